# GoogleTest: Debian's packaged library for the native build; the cross builds
# compile Debian's googletest sources themselves.
if(CMAKE_CROSSCOMPILING)
    set(MAVRIS_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${MAVRIS_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
else()
    find_package(GTest REQUIRED)
endif()

# Every test executable is one CTest entry; under Wine each gets its own prefix
# so that parallel runs never share a registry.
function(mavris_add_gtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING)
        # Wine creates a missing prefix directory but not its parents.
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/wineprefix)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT
            "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix/${name};WINEARCH=win32;WINEDEBUG=-all")
    else()
        include(GoogleTest)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
    endif()
endfunction()
