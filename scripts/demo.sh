#!/usr/bin/env bash
# The main job: installs what is missing, builds everything and shows the
# archive tool at work on the sample archives of other archivers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh native win32 win64
tool=build/native/solidsetup
real=../shared/testdata/real
for f in rar2-unix-owner.rar rar202-comment-nopsw.rar rar3-readonly-win.rar; do
  echo
  echo "\$ solidsetup list $real/$f"
  "$tool" list "$real/$f"
done
