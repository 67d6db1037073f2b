#!/usr/bin/env bash
# Installs what is missing, builds everything with gcc and warnings on (benchmarks included, so
# they never rot) and runs every test; then builds everything again with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, runs every test there too, and runs each fuzz
# target of that same build for 30 seconds, as many at a time as there are cores
# (scripts/fuzz.sh). Each step prints how long it took. Exits non-zero on any failure.
#
# Builds go through ccache when it is installed (install-deps.sh installs it), so a second run,
# or a second checkout on the same machine, compiles only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitizer-build.sh

jobs=$(nproc)
started=$SECONDS
step() {
  local name=$1 begin=$SECONDS
  shift
  "$@"
  echo "test.sh: $name took $((SECONDS - begin)) s (total $((SECONDS - started)) s)"
}

optimised_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" > /dev/null
  cmake --build build -j "$jobs"
}
sanitizer_build() {
  configure_sanitizer_build
  cmake --build build-san -j "$jobs"
}

step "install" ./scripts/install-deps.sh
step "optimised build" optimised_build
step "optimised tests" ctest --test-dir build --output-on-failure -j "$jobs"
if [ "${QUILLORA_SKIP_SANITIZERS:-0}" != "1" ]; then
  step "sanitizer build" sanitizer_build
  step "sanitizer tests" ctest --test-dir build-san --output-on-failure -j "$jobs"
  if [ "${QUILLORA_SKIP_FUZZ:-0}" != "1" ]; then
    step "fuzzing" ./scripts/fuzz.sh
  fi
fi
