#!/usr/bin/env bash
# Configures and builds the given presets (default: all of them).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan i386 fuzz win32 win64)
for preset in "${presets[@]}"; do
  # The package build is profile-guided: an instrumented build runs first.
  [ "$preset" != package ] || scripts/profile-train.sh
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
