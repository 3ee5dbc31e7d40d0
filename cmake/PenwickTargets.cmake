# Compile settings shared by the project's own targets.

# Warnings as errors for everything the project writes; no contraction of
# a * b + c into fused multiply-adds, which would change the filter's
# single-precision results.
function(penwick_project_code target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -ffp-contract=off)
endfunction()

# The driver itself: plain procedural code without exceptions or RTTI.
function(penwick_driver_code target)
    penwick_project_code(${target})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

# GoogleTest: Debian's build on the machine itself, built from Debian's
# sources with the cross compiler otherwise.
macro(penwick_find_gtest)
    if(CMAKE_CROSSCOMPILING)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        if(NOT TARGET GTest::gtest_main)
            add_library(GTest::gtest ALIAS gtest)
            add_library(GTest::gtest_main ALIAS gtest_main)
        endif()
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endmacro()

# One GoogleTest executable; its tests are discovered when CTest runs, through
# the cross build's emulator where there is one.
function(penwick_add_test name)
    add_executable(${name} ${ARGN})
    penwick_project_code(${name})
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()
