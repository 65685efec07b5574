# Sourced by the benchmarks that time Windows code under Wine. windows_build [BUILD_DIR] prints
# the build folder to time: the one given, else the 32-bit build (build/windows) where 32-bit
# code runs natively and its x64 twin (build/windows-x64) where it runs through qemu's
# emulator, since emulated times are not the product's. It says on standard error which one
# and why.
i386_emulated() {
  local entry=/proc/sys/fs/binfmt_misc/kovra-i386
  [ -r "$entry" ] && [ "$(head -n 1 "$entry")" = enabled ]
}
windows_build() {
  local build=${1:-}
  if [ -z "$build" ]; then
    build=build/windows
    if i386_emulated; then
      build=build/windows-x64
      echo "32-bit code is emulated on this machine (qemu user mode): timing the x64 build of" \
           "the same sources ($build); emulated times are not the product's" >&2
    fi
  elif i386_emulated && [ "$(tests/win/wine-env.sh "$build" pe-machine)" = 014c ]; then
    echo "NOTE: timing a 32-bit build while 32-bit code is emulated (qemu user mode): these" \
         "times are the emulator's, not the product's" >&2
  fi
  (cd "$build" && pwd)
}
