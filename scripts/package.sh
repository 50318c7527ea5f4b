#!/usr/bin/env bash
# Makes the packages a publisher installs the tool from, in build/packages/:
#   solidsetup_VERSION_ARCH.deb   the Linux tool, the i686 Setup.exe stub, the manual
#   solidsetup-VERSION-win32.zip  solidsetup.exe, Setup.exe, README and licence texts
# and checks the Debian package with lintian (any error fails).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
# The stub in the .deb is the win32 build's Setup.exe: built first.
scripts/build.sh win32 package
rm -f build/packages/solidsetup[-_]*
cpack --preset package
cpack --preset windows-zip
deb=$(ls build/packages/solidsetup_*.deb)
echo "== lintian $deb"
lintian --fail-on error "$deb"
ls -l build/packages/solidsetup[-_]*
