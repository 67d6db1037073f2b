#!/usr/bin/env bash
# Installs what is missing, builds, starts the sample service in the background (unless one is
# already listening) and opens the app window. Without a display the app cannot open a window;
# it then writes pictures of its main screens into a folder and says which.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

# The service listens where the build's server switch points (a loopback port); 18931 unless
# the build was configured otherwise.
port="$(sed -n 's/^QUILLORA_SWITCH_BASE_URL:STRING=http:\/\/\(127\.0\.0\.1\|localhost\):\([0-9]*\).*/\2/p' build/CMakeCache.txt)"
port="${port:-18931}"
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

service_pid=""
cleanup() { if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if listening; then
  echo "run.sh: a service already listens on port $port; using it." >&2
else
  build/service/quillora-service --port "$port" &
  service_pid=$!
  for _ in $(seq 1 100); do
    listening && break
    if ! kill -0 "$service_pid" 2>/dev/null; then echo "run.sh: the sample service did not start." >&2; exit 1; fi
    sleep 0.1
  done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  folder="${QUILLORA_SNAPSHOTS:-$PWD/build/snapshots}"
  echo "run.sh: no display to open the window on; writing pictures of the home screen, an answer list," >&2
  echo "run.sh: the side menu and the about page to $folder instead." >&2
  # A virtual display lets the about page's web view draw too.
  if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 800x900x24 -nolisten tcp" build/app/quillora --snapshots "$folder"
  else
    build/app/quillora --snapshots "$folder"
  fi
else
  build/app/quillora "$@"
fi
