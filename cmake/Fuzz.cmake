# Fuzz targets for parsers of untrusted bytes.
#
# quillora_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> CORPUS <dir> [MAX_LEN <bytes>])
# The sources define LLVMFuzzerTestOneInput. MAX_LEN (65536 unless given) is the largest input a
# fuzzing run tries, written to <build>/fuzz-options/<name> for scripts/fuzz.sh: libFuzzer's own
# default (4 KB, or the largest seed) is too small to reach the nesting depths and sizes that
# break parsers of structured text (2 MB for property lists and JSON). With QUILLORA_FUZZERS=ON and clang, <name> is a
# libFuzzer binary (-fsanitize=fuzzer; every library is built with -fsanitize=fuzzer-no-link so
# its code is instrumented too): run it as `<name> <corpus dir>` to fuzz. Otherwise <name> links a
# small main() that feeds every file of the directories or files on its command line to the
# target once. Either way CTest replays the seed corpus (`<name>_corpus`), so a crash that was
# once found and saved there stays fixed; under QUILLORA_SANITIZE the replay runs with
# AddressSanitizer and UndefinedBehaviorSanitizer.

set(QUILLORA_LIBFUZZER OFF)
if(QUILLORA_FUZZERS)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(QUILLORA_LIBFUZZER ON)
    add_compile_options(-fsanitize=fuzzer-no-link)
  else()
    message(WARNING "QUILLORA_FUZZERS needs clang (libFuzzer); building corpus replayers instead")
  endif()
endif()

# The replay main(), compiled once for every target that is not a libFuzzer binary.
if(NOT QUILLORA_LIBFUZZER)
  add_library(quillora_fuzz_replay_main OBJECT ${CMAKE_CURRENT_LIST_DIR}/fuzz/ReplayMain.cpp)
  target_link_libraries(quillora_fuzz_replay_main PRIVATE quillora_warnings)
endif()

function(quillora_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_CORPUS)
    message(FATAL_ERROR "quillora_add_fuzzer(${name}) needs a CORPUS directory")
  endif()
  if(NOT ARG_MAX_LEN)
    set(ARG_MAX_LEN 65536)
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz-options/${name} "-max_len=${ARG_MAX_LEN}\n")
  get_filename_component(corpus ${ARG_CORPUS} ABSOLUTE)
  if(QUILLORA_LIBFUZZER)
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # -runs=0 executes every corpus file once and stops.
    add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 ${corpus})
  else()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE quillora_fuzz_replay_main)
    add_test(NAME ${name}_corpus COMMAND ${name} ${corpus})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillora_warnings)
  set_tests_properties(${name}_corpus PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()
