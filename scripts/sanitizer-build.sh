# Sourced by test.sh and fuzz.sh: the one sanitizer build, in build-san. clang with
# AddressSanitizer and UndefinedBehaviorSanitizer at -O1 (fast enough to run every test, and still
# exact stack traces with line tables), assertions kept on; its libraries also carry libFuzzer's
# coverage instrumentation, so the tests and the fuzz targets are linked from the same objects.
# No benchmarks: the optimised build keeps those built.
configure_sanitizer_build() {
  CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DQUILLORA_SANITIZE=ON -DQUILLORA_FUZZERS=ON -DQUILLORA_BENCHMARKS=OFF > /dev/null
}

# The sanitizers' settings for every program run from that build. Allocations keep ten frames of
# their stack (not thirty): enough to place a leak, and the tests run about a tenth faster.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:malloc_context_size=10
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
