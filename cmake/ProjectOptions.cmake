# Project-wide build settings: warnings, sanitizers and output folders.

option(LOBBY_SANITIZE_ADDRESS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(LOBBY_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
option(LOBBY_BUILD_BENCHMARKS "Build the micro-benchmarks under bench/" OFF)
option(LOBBY_BUILD_FUZZERS "Build libFuzzer targets (needs clang)" OFF)

if(LOBBY_SANITIZE_ADDRESS AND LOBBY_SANITIZE_THREAD)
    message(FATAL_ERROR "AddressSanitizer and ThreadSanitizer cannot be combined")
endif()

# Static libraries of ours also go into the shared unpacking library.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

if(LOBBY_SANITIZE_ADDRESS)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()
if(LOBBY_SANITIZE_THREAD)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Every target of ours calls this; third-party code is never compiled with -Werror.
function(lobby_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
    # GCC 12 at -O3 reports overlaps that cannot happen inside std::string's own
    # concatenation (GCC bug 105329); the warning is kept on other compilers.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()

# A GoogleTest executable registered with CTest. QT tests get a main() that makes
# the application object and runs on the offscreen platform.
function(lobby_test name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    lobby_warnings(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE qt_test_main)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    # NO_PRETTY_VALUES: a parameter's bytes would otherwise become part of the test's name.
    gtest_discover_tests(${name}
        NO_PRETTY_VALUES
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES TIMEOUT 120
        DISCOVERY_TIMEOUT 30)
endfunction()
