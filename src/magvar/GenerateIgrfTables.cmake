# Turns one coefficient file of data/ into the C++ definition of its IgrfCoefficients table
# (IgrfTables.h). Run at build time by src/magvar/CMakeLists.txt:
#   cmake -DINPUT=data/igrf1990.txt -DOUTPUT=IgrfTable1990.cpp -DTABLE=kIgrf1990 -P this-file
#
# The input holds comment lines starting with '#' and one line per degree n and order m:
#   n m g h gt ht
# with the numbers written as decimals. They are copied into the C++ source as written, so the
# compiler's reading of each literal is the only conversion; unlisted entries are 0.0.
cmake_minimum_required(VERSION 3.20)

foreach(var INPUT OUTPUT TABLE)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "GenerateIgrfTables: ${var} is not set")
    endif()
endforeach()

set(max_degree 12)
set(number "(-?[0-9]+\\.[0-9]+)")
set(row_pattern "^([0-9]+) +([0-9]+) +${number} +${number} +${number} +${number}$")
set(zero_pattern "^-?0\\.0+$")

# Comment lines are left out by the read itself: they may hold ';', which a CMake list would
# otherwise split.
file(STRINGS "${INPUT}" lines REGEX "^[^#]")
foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "")
        continue()
    endif()
    if(NOT line MATCHES "${row_pattern}")
        message(FATAL_ERROR "${INPUT}: malformed coefficient line '${line}'")
    endif()
    set(n ${CMAKE_MATCH_1})
    set(m ${CMAKE_MATCH_2})
    if(n LESS 1 OR n GREATER max_degree OR m GREATER n)
        message(FATAL_ERROR "${INPUT}: degree ${n} order ${m} is outside the table")
    endif()
    if(DEFINED seen_${n}_${m})
        message(FATAL_ERROR "${INPUT}: degree ${n} order ${m} is listed twice")
    endif()
    set(seen_${n}_${m} 1)
    set(g_${n}_${m} ${CMAKE_MATCH_3})
    set(h_${n}_${m} ${CMAKE_MATCH_4})
    set(gt_${n}_${m} ${CMAKE_MATCH_5})
    set(ht_${n}_${m} ${CMAKE_MATCH_6})
    if(m EQUAL 0 AND (NOT h_${n}_${m} MATCHES "${zero_pattern}"
                      OR NOT ht_${n}_${m} MATCHES "${zero_pattern}"))
        message(FATAL_ERROR "${INPUT}: degree ${n} order 0 has a non-zero h or ht")
    endif()
endforeach()

get_filename_component(input_name "${INPUT}" NAME)
set(out "// Generated from ${input_name} by GenerateIgrfTables.cmake: edit the data file, not this.\n")
string(APPEND out "#include \"magvar/IgrfTables.h\"\n\nnamespace photogeo::magvar {\n\n")
string(APPEND out "const IgrfCoefficients ${TABLE} = {\n")
foreach(column g h gt ht)
    string(APPEND out "    // ${column}[n][m]\n    {\n")
    foreach(n RANGE ${max_degree})
        set(row "")
        foreach(m RANGE ${max_degree})
            if(DEFINED ${column}_${n}_${m})
                list(APPEND row ${${column}_${n}_${m}})
            else()
                list(APPEND row 0.0)
            endif()
        endforeach()
        list(JOIN row ", " row)
        string(APPEND out "        {${row}},\n")
    endforeach()
    string(APPEND out "    },\n")
endforeach()
string(APPEND out "};\n\n}  // namespace photogeo::magvar\n")
file(WRITE "${OUTPUT}" "${out}")
