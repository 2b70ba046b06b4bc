# GoogleTest for the test suites: the installed package, or else (always in a cross build, where
# the host's library does not fit the target) built here from the sources Debian ships in
# /usr/src/googletest (package googletest), as a static library without GoogleMock.
set(PHOTOGEO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, used when no installed package fits")
if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest QUIET)
endif()
if(NOT TARGET GTest::gtest)
    if(NOT EXISTS ${PHOTOGEO_GTEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest not found: install libgtest-dev (or googletest for the sources)")
    endif()
    function(photogeo_add_gtest)
        # Its own flags only: none of the project's warnings, visibility or library kind.
        set_property(DIRECTORY PROPERTY COMPILE_OPTIONS "")
        set(BUILD_SHARED_LIBS OFF)
        set(CMAKE_CXX_VISIBILITY_PRESET default)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(${PHOTOGEO_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endfunction()
    get_directory_property(photogeo_saved_options COMPILE_OPTIONS)
    photogeo_add_gtest()
    set_property(DIRECTORY PROPERTY COMPILE_OPTIONS "${photogeo_saved_options}")
endif()
