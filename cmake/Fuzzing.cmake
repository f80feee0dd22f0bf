# libFuzzer targets. They need clang and the address sanitizer build:
#   cmake -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 \
#         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONQUILL_SANITIZE=address -DTONQUILL_BUILD_FUZZERS=ON
# scripts/fuzz.sh does this and runs every target. A target is an executable <name>_fuzzer in
# <build>/fuzz, made with tonquill_add_fuzzer; its seed corpus lives in tests/fuzz/corpus/<name>.

option(TONQUILL_BUILD_FUZZERS "Build the libFuzzer targets (clang and TONQUILL_SANITIZE=address)" OFF)

if(TONQUILL_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TONQUILL_BUILD_FUZZERS needs clang: -DCMAKE_CXX_COMPILER=clang++-14")
    endif()
    if(NOT TONQUILL_SANITIZE STREQUAL "address")
        message(FATAL_ERROR "TONQUILL_BUILD_FUZZERS needs -DTONQUILL_SANITIZE=address")
    endif()
    # Coverage for all code, JUCE's included, so that the fuzzer finds its way through the parser.
    add_compile_options(-fsanitize=fuzzer-no-link)
    # Recoverable so that tests/fuzz/ubsan.supp can pass over known overflows inside JUCE;
    # scripts/fuzz.sh runs with halt_on_error, so every other report still stops the fuzzer.
    add_compile_options(-fsanitize-recover=signed-integer-overflow)
    add_custom_target(fuzzers)
endif()

# tonquill_add_fuzzer(name SOURCES ... [LIBRARIES ...]): builds <name>_fuzzer into <build>/fuzz.
function(tonquill_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name}_fuzzer ${ARG_SOURCES})
    target_link_libraries(${name}_fuzzer PRIVATE ${ARG_LIBRARIES})
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    set_target_properties(${name}_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/fuzz")
    add_dependencies(fuzzers ${name}_fuzzer)
endfunction()
