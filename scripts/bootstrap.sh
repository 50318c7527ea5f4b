#!/usr/bin/env bash
# Installs, only when missing, every Debian package that the builds, the tests
# and the demonstration need. Needs root (apt-get) the first time; quick when
# everything is there. Works on a fresh Debian 12 without i386 packages.
# Extra packages named as arguments are installed too (the demo's screenshots
# want imagemagick and the openbox window manager; the tests do not).
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest          # native build and tests
  g++-mingw-w64-i686 g++-mingw-w64-x86-64   # the Windows builds
  g++-multilib qemu-user-static             # the i386 build, its tests under user-mode emulation
  wine64 xvfb xauth                         # running the win64 build
  gzip xz-utils zstd                        # reference figures in the benchmarks
  clang-14 libclang-rt-14-dev               # the libFuzzer targets
  python3
  locales-all                               # the German system language under Wine
  tzdata                                    # time zones east and west of UTC in the tests
  osslsigncode openssl                      # signing the setup program in the tests
  dpkg-dev file lintian                     # the Debian package: its dependencies, its check
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
