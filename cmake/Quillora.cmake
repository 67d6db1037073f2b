# Shared build settings: warnings for our own code, optional sanitizers, and one way to add a test binary.

add_library(quillora_warnings INTERFACE)
target_compile_options(quillora_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wimplicit-fallthrough)

if(QUILLORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Test programs that load WebKit (with dlopen, on the first page) pass these to
# quillora_add_test's PROPERTIES. Under the sanitizers LeakSanitizer's exit-time scan crashes
# while stopping WebKit's threads, so those programs run without the leak check; every other
# AddressSanitizer and UndefinedBehaviorSanitizer check still applies to them.
set(QUILLORA_WEBKIT_TEST_PROPERTIES "")
if(QUILLORA_SANITIZE)
  set(QUILLORA_WEBKIT_TEST_PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
endif()

include(GoogleTest)
include(${CMAKE_CURRENT_LIST_DIR}/Fuzz.cmake)

# quillora_add_test(<name> SOURCES <files...> LIBS <targets...> [PROPERTIES <ctest properties...>])
# Builds one GoogleTest binary and registers each of its cases with CTest.
# Tests run in a private HOME so that settings and the keychain never touch the developer's own.
function(quillora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock quillora_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()
