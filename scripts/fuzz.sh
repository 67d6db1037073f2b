#!/usr/bin/env bash
# Runs every fuzz target of the sanitizer build (build-san, see sanitizer-build.sh; configured
# and built here if needed) for QUILLORA_FUZZ_SECONDS (30 by default), as many side by side as
# there are cores, each starting from its seed corpus. New inputs go to a scratch folder, never
# into the seed corpora. Exits non-zero when a target does not build or finds a crash (the
# crashing input is kept in build-san/findings/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitizer-build.sh

seconds=${QUILLORA_FUZZ_SECONDS:-30}
jobs=$(nproc)

configure_sanitizer_build
mapfile -t targets < <(ctest --test-dir build-san -N -L fuzz | sed -n 's/.*Test *#[0-9]*: \(.*\)_corpus$/\1/p')
if [ "${#targets[@]}" -eq 0 ]; then
  echo "no fuzz targets found" >&2
  exit 1
fi
cmake --build build-san -j "$jobs" --target "${targets[@]}"

# One target: its run, its verdict.
fuzz_one() {
  local target=$1 binary corpus scratch findings options
  # The target's own options (its -max_len, see cmake/Fuzz.cmake).
  options=$(cat "build-san/fuzz-options/$target" 2>/dev/null || true)
  binary=$(find build-san -type f -name "$target" -perm -u+x | head -n 1)
  corpus=$(ctest --test-dir build-san -N -V -R "^${target}_corpus\$" | sed -n 's/.*Test command: .*"-runs=0" "\(.*\)"$/\1/p')
  scratch=build-san/scratch/$target
  findings=build-san/findings/$target
  rm -rf "$scratch"
  mkdir -p "$scratch" "$findings"
  # shellcheck disable=SC2086 # the options are separate words
  if "$binary" $options -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
      -print_final_stats=1 "$scratch" "$corpus" > "build-san/findings/$target.log" 2>&1; then
    echo "fuzz $target: clean ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build-san/findings/$target.log" | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz $target: FAILED, see build-san/findings/$target.log" >&2
    return 1
  fi
}

status=0
running=()
for target in "${targets[@]}"; do
  if [ "${#running[@]}" -ge "$jobs" ]; then
    wait "${running[0]}" || status=1
    running=("${running[@]:1}")
  fi
  fuzz_one "$target" &
  running+=($!)
done
for pid in "${running[@]}"; do
  wait "$pid" || status=1
done
exit $status
