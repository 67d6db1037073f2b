# Shared build settings: warnings for our own code, optional sanitizers, how the build goes fast
# (compiler cache, unity batches, lld), and one way to add a test binary.

# A compiler cache, when there is one, makes a rebuild of unchanged sources (a second checkout, a
# switch of branch, CI after a session) nearly free. Paths under the checkout are hashed relative
# to it, and the working folder not at all, so that two checkouts in different places share their
# results; test programs find their data through paths relative to themselves
# (quillora_test_paths) for the same reason. Only the benchmarks compile in absolute paths. An
# object taken from another checkout's build names that checkout's build folder in its debug
# information.
find_program(QUILLORA_CCACHE ccache)
find_program(QUILLORA_ENV env)
if(QUILLORA_CCACHE AND QUILLORA_ENV AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(launcher ${QUILLORA_ENV} CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=1 ${QUILLORA_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
  # __FILE__ (in every assertion) and the debug information name sources relative to the
  # checkout, so that another checkout's objects are the same and come from the cache.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
endif()

# Unity builds compile a target's sources in batches, one compiler run per batch: the headers
# every file includes (the platform's, the standard library's, GoogleTest's) are read once a batch
# instead of once a file. Code inside a batch shares one translation unit, so names local to a
# file (anonymous namespaces, static functions) must not clash between the files of one target.
option(QUILLORA_UNITY_BUILD "Compile each target's sources in batches" ON)
if(QUILLORA_UNITY_BUILD)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE 8)
  # gcc takes the files a batch includes for headers, and warns when a class there derives from
  # one in an anonymous namespace (every test fixture does): that warning is about headers shared
  # between translation units, which these files are not.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-subobject-linkage)
  endif()
endif()

# lld links several times faster than the default linker, and there are nearly two hundred links.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld QUILLORA_HAVE_LLD)
if(QUILLORA_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()

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

# LeakSanitizer's suppressions for libraries that keep process-wide caches, compiled once and
# linked into every test program (it only matters under the sanitizers).
add_library(quillora_leak_suppressions OBJECT ${PROJECT_SOURCE_DIR}/platform/gfx/testing/LeakSuppressions.cpp)

include(GoogleTest)
include(${CMAKE_CURRENT_LIST_DIR}/Fuzz.cmake)

# Gives a test program the paths of its data as macros (NAME PATH ...), each relative to the
# program's folder and resolved when it runs (platform/core/testing/BuildPaths.h): an absolute
# path compiled in would differ between checkouts, and so would every object that uses it.
function(quillora_test_paths target)
  get_target_property(folder ${target} BINARY_DIR)
  set(definitions "")
  while(ARGN)
    list(POP_FRONT ARGN name path)
    file(RELATIVE_PATH relative ${folder} ${path})
    list(APPEND definitions "${name}=::core::testkit::besideProgram(\"${relative}\")")
  endwhile()
  target_compile_definitions(${target} PRIVATE ${definitions})
  target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/platform/core/testing/BuildPaths.h)
endfunction()

# quillora_add_test(<name> SOURCES <files...> LIBS <targets...> [PROPERTIES <ctest properties...>])
# Builds one GoogleTest binary and registers each of its cases with CTest.
# Tests run in a private HOME so that settings and the keychain never touch the developer's own.
function(quillora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillora_leak_suppressions GTest::gtest GTest::gtest_main GTest::gmock quillora_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()
