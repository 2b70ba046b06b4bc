# photogeo_subsystem(NAME src...): an object library pg_NAME with the public headers and the
# library's own build definitions; it joins the list that makes up libphotogeo.
set(PHOTOGEO_SUBSYSTEMS "" CACHE INTERNAL "")
function(photogeo_subsystem name)
    if(NOT ARGN)
        return()
    endif()
    add_library(pg_${name} OBJECT ${ARGN})
    target_include_directories(pg_${name} PUBLIC ${PROJECT_SOURCE_DIR}/include
                                          PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_compile_definitions(pg_${name} PUBLIC PHOTOGEO_BUILDING
        $<$<NOT:$<BOOL:${BUILD_SHARED_LIBS}>>:PHOTOGEO_STATIC>)
    set(PHOTOGEO_SUBSYSTEMS ${PHOTOGEO_SUBSYSTEMS} pg_${name} CACHE INTERNAL "")
endfunction()

# photogeo_test(NAME [ORACLE] SOURCES src... DEPS subsystem... [LIBS lib...]): a GoogleTest
# executable linked with the object files of the listed subsystems, registered with CTest.
# ORACLE marks a suite that compares with an outside program or library; it is left out when
# PHOTOGEO_ORACLE_TESTS is off (cross builds).
function(photogeo_test name)
    cmake_parse_arguments(T "ORACLE" "" "SOURCES;DEPS;LIBS" ${ARGN})
    if(T_ORACLE AND NOT PHOTOGEO_ORACLE_TESTS)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    foreach(dep ${T_DEPS})
        target_link_libraries(${name} PRIVATE pg_${dep})
    endforeach()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        PHOTOGEO_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "TZ=JST-9")
endfunction()
