#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those that are missing.
# Used by both README commands and by CI, so a fresh machine gets exactly what a developer's has.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  ccache lld  # a compiler cache and a faster linker: the build uses them when they are there
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libssl-dev uuid-dev
  media-types  # /etc/mime.types, the MIME types of multipart file parts
  nlohmann-json3-dev libplist-dev
  libcpp-httplib-dev libsqlite3-dev zlib1g-dev
  libxxhash-dev  # checksums of the URL cache's files
  libjs-jquery
  libcairo2-dev libpango1.0-dev libgtk-3-dev libpng-dev libjpeg-dev libgif-dev libtiff-dev libheif-dev fonts-noto-cjk xvfb xauth
  libwebkit2gtk-4.1-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  dbus-daemon  # a private bus for the network-service resolver's test
  clang libclang-rt-14-dev  # libFuzzer, for -DQUILLORA_FUZZERS=ON
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
