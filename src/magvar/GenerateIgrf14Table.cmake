# Turns the IGRF-14 coefficient file data/IGRF14.SHC into the C++ header Igrf14Table.h: the
# model's degree and epochs as constants and its coefficients as one read-only table. Run at
# build time by src/magvar/CMakeLists.txt:
#   cmake -DINPUT=data/IGRF14.SHC -DOUTPUT=.../magvar/Igrf14Table.h -P this-file
#
# The file (see data/IGRF14-source.txt) holds '#' comment lines, a line
#   nmin nmax ntimes order steps first last
# the ntimes epochs, then one line per coefficient, "n m" and its ntimes values, in the order
# g_n0, then g_nm and h_nm for m = 1..n, degree by degree. The h line may carry m or -m. The
# generator checks that order, the counts and evenly spaced epochs, and copies each value into
# the C++ source as written, so the compiler's reading of each literal is the only conversion.
cmake_minimum_required(VERSION 3.20)

foreach(var INPUT OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "GenerateIgrf14Table: ${var} is not set")
    endif()
endforeach()

function(fail text)
    message(FATAL_ERROR "${INPUT}: ${text}")
endfunction()

set(number "-?[0-9]+(\\.[0-9]+)?")
# Comment lines are left out by the read itself: they may hold ';', which a CMake list would
# otherwise split. STRIP also drops the CR of CR LF line ends.
file(STRINGS "${INPUT}" lines REGEX "^[^#]")
set(data_lines "")
foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(NOT line STREQUAL "")
        list(APPEND data_lines "${line}")
    endif()
endforeach()
list(LENGTH data_lines line_count)
if(line_count LESS 3)
    fail("no header line, epoch line and coefficients")
endif()

# Header: nmin nmax ntimes order steps first last. Order 2 is linear interpolation.
list(GET data_lines 0 header)
string(REGEX REPLACE "[ \t]+" ";" header "${header}")
list(LENGTH header header_fields)
if(NOT header_fields EQUAL 7)
    fail("the header line needs 7 fields, not ${header_fields}")
endif()
list(GET header 0 nmin)
list(GET header 1 nmax)
list(GET header 2 ntimes)
list(GET header 3 order)
if(NOT nmin EQUAL 1 OR nmax LESS 1 OR NOT order EQUAL 2 OR ntimes LESS 2)
    fail("the model must start at degree 1 and interpolate linearly between at least 2 epochs")
endif()

# Epochs: evenly spaced, whole years.
list(GET data_lines 1 epochs)
string(REGEX REPLACE "[ \t]+" ";" epochs "${epochs}")
list(LENGTH epochs epoch_count)
if(NOT epoch_count EQUAL ntimes)
    fail("${ntimes} epochs announced, ${epoch_count} listed")
endif()
set(previous "")
foreach(epoch IN LISTS epochs)
    if(NOT epoch MATCHES "^([0-9]+)\\.0$")
        fail("epoch '${epoch}' is not a whole year")
    endif()
    set(year ${CMAKE_MATCH_1})
    if(previous STREQUAL "")
        set(first_year ${year})
    else()
        math(EXPR gap "${year} - ${previous}")
        if(NOT DEFINED step)
            set(step ${gap})
        endif()
        if(gap LESS 1 OR NOT gap EQUAL step)
            fail("the epochs are not evenly spaced at ${previous} to ${year}")
        endif()
    endif()
    set(previous ${year})
endforeach()
list(GET header 5 header_first)
list(GET header 6 header_last)
list(GET epochs 0 listed_first)
list(GET epochs -1 listed_last)
if(NOT header_first STREQUAL listed_first OR NOT header_last STREQUAL listed_last)
    fail("the header's span ${header_first} to ${header_last} is not the epochs' span")
endif()

# Coefficients: every line in the expected order with one value per epoch.
math(EXPR expected_lines "${nmax} * (${nmax} + 2) + 2")
if(NOT line_count EQUAL expected_lines)
    math(EXPR listed "${line_count} - 2")
    math(EXPR wanted "${expected_lines} - 2")
    fail("${listed} coefficient lines for degree ${nmax}, which has ${wanted}")
endif()
set(body "")
set(index 2)
foreach(n RANGE 1 ${nmax})
    foreach(m RANGE 0 ${n})
        set(kinds g)
        if(m GREATER 0)
            list(APPEND kinds h)
        endif()
        foreach(kind IN LISTS kinds)
            list(GET data_lines ${index} line)
            math(EXPR index "${index} + 1")
            string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
            list(LENGTH fields field_count)
            list(GET fields 0 line_n)
            list(GET fields 1 line_m)
            if(kind STREQUAL "h" AND line_m STREQUAL "-${m}")
                set(line_m ${m})
            endif()
            if(NOT line_n STREQUAL "${n}" OR NOT line_m STREQUAL "${m}")
                fail("'${line_n} ${line_m}' where ${kind} of degree ${n} order ${m} belongs")
            endif()
            math(EXPR wanted "${ntimes} + 2")
            if(NOT field_count EQUAL wanted)
                fail("degree ${n} order ${m} (${kind}) has ${field_count} fields, not ${wanted}")
            endif()
            list(REMOVE_AT fields 0 1)
            set(values "")
            foreach(value IN LISTS fields)
                if(NOT value MATCHES "^${number}$")
                    fail("degree ${n} order ${m} (${kind}): '${value}' is not a number")
                endif()
                if(NOT value MATCHES "\\.")
                    string(APPEND value ".0")
                endif()
                list(APPEND values ${value})
            endforeach()
            list(JOIN values ", " values)
            string(APPEND body "    {${values}},  // ${kind} ${n} ${m}\n")
        endforeach()
    endforeach()
endforeach()

get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}" "\
// Generated from ${input_name} by GenerateIgrf14Table.cmake: edit the data file, not this.
#ifndef PHOTOGEO_MAGVAR_IGRF14TABLE_H
#define PHOTOGEO_MAGVAR_IGRF14TABLE_H

namespace photogeo::magvar {

constexpr int kIgrf14Degree = ${nmax};
constexpr int kIgrf14Terms = kIgrf14Degree * (kIgrf14Degree + 2);
constexpr int kIgrf14Epochs = ${ntimes};
constexpr double kIgrf14FirstEpoch = ${first_year}.0;
constexpr double kIgrf14EpochStep = ${step}.0;
constexpr double kIgrf14LastEpoch = kIgrf14FirstEpoch + (kIgrf14Epochs - 1) * kIgrf14EpochStep;

// [term][epoch] in nT, terms ordered g_10, g_11, h_11, g_20, g_21, h_21, g_22, h_22, g_30, ...
inline constexpr double kIgrf14Coefficients[kIgrf14Terms][kIgrf14Epochs] = {
${body}};

}  // namespace photogeo::magvar

#endif
")
