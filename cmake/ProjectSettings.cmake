# Language level, warnings, compiler cache and the optional sanitizer build.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

option(TONQUILL_BUILD_TESTS "Build the test programs" ON)
option(TONQUILL_BUILD_BENCHMARKS "Build the benchmark programs" ON)
set(TONQUILL_SANITIZE "" CACHE STRING "Sanitizer build: empty, 'address' (with undefined) or 'thread'")

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
    # juce_core embeds __DATE__/__TIME__; without time_macros sloppiness nothing would ever hit.
    set(launcher "${CMAKE_COMMAND}" -E env CCACHE_SLOPPINESS=time_macros
                 "CCACHE_BASEDIR=${CMAKE_SOURCE_DIR}" "${CCACHE_PROGRAM}")
    set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

# Warnings for the project's own code only: JUCE's sources bring warnings of their own.
add_library(tonquill_warnings INTERFACE)
target_compile_options(tonquill_warnings INTERFACE -Wall -Wextra)

if(TONQUILL_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(TONQUILL_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TONQUILL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TONQUILL_SANITIZE must be empty, 'address' or 'thread'")
endif()
