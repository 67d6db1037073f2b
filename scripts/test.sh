#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings on, and runs every test; then does the
# same under AddressSanitizer and UndefinedBehaviorSanitizer; then builds every fuzz target with
# clang and runs each for 30 seconds, all at once (scripts/fuzz.sh). Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${QUILLORA_SKIP_SANITIZERS:-0}" != "1" ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLORA_SANITIZE=ON -DQUILLORA_BENCHMARKS=OFF
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
fi

if [ "${QUILLORA_SKIP_FUZZ:-0}" != "1" ]; then
  ./scripts/fuzz.sh
fi
