#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building and testing need and that are
# missing, then lets a kernel that runs no 32-bit programs run them through qemu's emulator
# (scripts/i386-emulation/setup.sh; nothing changes where they run natively). Says what it
# does. Run as root (or with sudo available).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
packages=(
  cmake make g++ clang googletest zlib1g-dev
  g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64 xvfb xauth xdotool x11-apps imagemagick fonts-wine
  unzip zip libarchive-tools python3 openssl clang-format chromium libsqlite3-dev
)
sudo_cmd=()
[ "$(id -u)" = 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Wine's 32-bit loader is a 32-bit Linux program: on a kernel without 32-bit emulation it runs
# through qemu's user-mode emulator, which the set-up step installs and checks.
i386_emulation() {
  "${sudo_cmd[@]}" bash "$here/i386-emulation/setup.sh" install
}
if [ ${#missing[@]} -eq 0 ]; then
  i386_emulation
  exit
fi

echo "Installing missing packages: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture (for wine32)"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync can fail one index; try again, and go on with what was
# fetched: the installs below say clearly if a package is still out of reach.
for attempt in 1 2 3; do
  "${sudo_cmd[@]}" apt-get update -q && break
  echo "apt-get update failed (attempt $attempt); retrying"
  sleep 5
done
install() {
  [ $# -eq 0 ] && return 0
  for attempt in 1 2; do
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "$@" && return 0
    echo "apt-get install failed (attempt $attempt)"
    sleep 5
    "${sudo_cmd[@]}" apt-get update -q || true
  done
  return 1
}
# The native tools first, so that a problem with the i386 packages (Wine) leaves the host build
# and its tests able to run.
native=() foreign=()
for p in "${missing[@]}"; do
  case "$p" in wine*|*:i386|fonts-wine) foreign+=("$p") ;; *) native+=("$p") ;; esac
done
status=0
install "${native[@]}" || status=1
if ! install "${foreign[@]}" && [ ${#foreign[@]} -gt 0 ]; then
  # When one architecture's security index is out of reach (a mirror mid-sync), the i386
  # packages cannot match the newer native ones; taking both from the release suite can.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "Retrying the i386 packages from the $codename suite"
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends -t "$codename" "${foreign[@]}" ||
    status=1
fi
i386_emulation || status=1
exit $status
