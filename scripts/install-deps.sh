#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building and testing need and that are
# missing. Says what it installs. Run as root (or with sudo available).
set -eu
packages=(
  cmake make g++ clang googletest zlib1g-dev
  g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb xauth xdotool x11-apps imagemagick fonts-wine
  unzip zip libarchive-tools python3 openssl clang-format
)
sudo_cmd=()
[ "$(id -u)" = 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture (for wine32)"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
