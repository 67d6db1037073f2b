#!/usr/bin/env bash
# Installs what is missing, builds, and starts the app.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

if [ -x build/app/quillora ]; then
  exec build/app/quillora "$@"
fi
echo "The app window is not part of this build yet; the libraries and their tests are (see README)." >&2
exit 1
