#!/usr/bin/env bash
# The tool as a publisher gets it: installed with 'cmake --install' into a
# prefix, unpacked from the Debian package, and the Windows zip's contents.
# Installed copies are moved away from where they were installed and run
# from another working folder, so the build tree is not on any path the tool
# could guess; each must make the demo product's Setup.exe byte for byte as
# the build tree makes it.
set -u
source "$(dirname "$0")/common.inc"
if [ -n "${SOLIDSETUP_EMULATOR:-}" ]; then echo "the Windows tool is checked by the e2e scenario windows-tool"; exit 0; fi
if ldd "$tool" 2>/dev/null | grep -q libasan; then echo "packaging is checked by the plain native run"; exit 0; fi
build=${SOLIDSETUP_BUILD_DIR:?the build folder (set by CTest)}
stub=$src/build/win32/Setup.exe product=$src/build/win32/demo-product
if [ ! -f "$stub" ] || [ ! -d "$product" ]; then
  check "the i686 Setup.exe and the demo product are built (scripts/build.sh win32)" false
  finish
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.txt

# The reference: the build tree's tool with the build tree's stub.
"$tool" build "$product" -o "$work/reference.exe" --stub "$stub" --quiet
check "reference Setup.exe built in the build tree" test -s "$work/reference.exe"
"$tool" --version >"$out"
check "build tree: --version names the win32 build's stub" grep -qxF "default stub: $(realpath "$stub")" "$out"

# Another working folder holding a copy of the product (times kept, as the
# archive records them).
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
cp -a "$product" "$elsewhere/product"
# The same product without an uninstaller of its own: the tool adds ours.
cp -a "$product" "$elsewhere/product-generated"
rm -f "$elsewhere/product-generated/UnInst.exe"
"$tool" build "$elsewhere/product-generated" -o "$work/reference-generated.exe" --stub "$stub" \
  --uninstaller "$src/build/win32/Uninstaller.exe" --quiet

machine_of() {  # the PE header's machine field, as hex bytes in file order
  local at
  at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx1 -j"$((at + 4))" -N2 "$1" | tr -d ' \n'
}

installed_copy_works() {  # installed_copy_works NAME PREFIX: checks the tree installed in PREFIX
  local name=$1 prefix=$2 data
  data=$(realpath "$prefix")/share/solidsetup
  check "$name: tool installed" test -x "$prefix/bin/solidsetup"
  check "$name: stub installed as the i686 Setup.exe" cmp -s "$prefix/share/solidsetup/Setup.exe" "$stub"
  check "$name: README and copyright installed" \
    test -s "$prefix/share/doc/solidsetup/README.md" -a -s "$prefix/share/doc/solidsetup/copyright"
  check "$name: manual page installed, compressed" \
    bash -c "gzip -dc '$prefix/share/man/man1/solidsetup.1.gz' | cmp -s - '$src/docs/solidsetup.1'"
  (cd "$elsewhere" && "$prefix/bin/solidsetup" --version) >"$out" 2>&1
  check "$name: --version prints the version" grep -qE '^solidsetup [0-9]+\.[0-9]+\.[0-9]+$' "$out"
  check "$name: --version names the installed stub" grep -qxF "default stub: $data/Setup.exe" "$out"
  rm -f "$elsewhere/Setup.exe"
  (cd "$elsewhere" && "$prefix/bin/solidsetup" build product -o Setup.exe --quiet) >"$out" 2>&1
  check "$name: build without --stub succeeds" test $? -eq 0
  check "$name: Setup.exe byte-identical to the build tree's" cmp "$elsewhere/Setup.exe" "$work/reference.exe"
  (cd "$elsewhere" && "$prefix/bin/solidsetup" test Setup.exe) >"$out" 2>&1
  check "$name: the new Setup.exe tests OK" test $? -eq 0
  check "$name: the uninstaller installed beside the stub" \
    cmp -s "$prefix/share/solidsetup/Uninstaller.exe" "$src/build/win32/Uninstaller.exe"
  rm -f "$elsewhere/Setup-generated.exe"
  (cd "$elsewhere" && "$prefix/bin/solidsetup" build product-generated -o Setup-generated.exe --quiet) >"$out" 2>&1
  check "$name: a product without UnInst.exe gets the installed uninstaller, byte for byte as in the build tree" \
    cmp "$elsewhere/Setup-generated.exe" "$work/reference-generated.exe"
}

# --- cmake --install ------------------------------------------------------------
cmake --install "$build" --prefix "$work/prefix" >"$out" 2>&1
check "cmake --install into a temporary prefix" test $? -eq 0
# Moved after installing: nothing may depend on the prefix it was installed to.
mv "$work/prefix" "$work/moved"
installed_copy_works "cmake --install" "$work/moved"

# Run through a symbolic link elsewhere (as from /usr/local/bin), the tool
# still finds the stub of the tree it really lives in.
mkdir -p "$work/links"
ln -s "$work/moved/bin/solidsetup" "$work/links/solidsetup"
"$work/links/solidsetup" --version >"$out" 2>&1
check "through a symbolic link: --version names the stub of the real tree" \
  grep -qxF "default stub: $(realpath "$work/moved")/share/solidsetup/Setup.exe" "$out"

# The order of the search: the installed stub before a Setup.exe that
# happens to lie beside the tool, which is used when the installed one is gone.
cp "$stub" "$work/moved/bin/Setup.exe"
"$work/moved/bin/solidsetup" --version >"$out" 2>&1
check "the installed stub wins over a Setup.exe beside the tool" \
  grep -qxF "default stub: $(realpath "$work/moved")/share/solidsetup/Setup.exe" "$out"
mv "$work/moved/share/solidsetup/Setup.exe" "$work/moved/share/solidsetup/Setup.away"
"$work/moved/bin/solidsetup" --version >"$out" 2>&1
check "without the installed stub, the one beside the tool is used" \
  grep -qxF "default stub: $(realpath "$work/moved")/bin/Setup.exe" "$out"
mv "$work/moved/share/solidsetup/Setup.away" "$work/moved/share/solidsetup/Setup.exe"
rm "$work/moved/bin/Setup.exe"

# Without its stub, an installed tool finds none (nothing outside its own
# tree is guessed) and says what to do.
rm "$work/moved/share/solidsetup/Setup.exe"
(cd "$elsewhere" && "$work/moved/bin/solidsetup" build product -o NoStub.exe --quiet) >"$out" 2>&1
check "installed tool without its stub refuses to build" bash -c "[ $? -eq 1 ] && grep -q 'no setup stub found' '$out' && grep -q -- '--stub' '$out'"
check "... and writes nothing" test ! -e "$elsewhere/NoStub.exe"
check "... and its message never names the build tree" bash -c "! grep -qF '$src/build' '$out'"
"$work/moved/bin/solidsetup" --version >"$out" 2>&1
check "installed tool without its stub: --version says none was found" bash -c "[ $? -eq 0 ] && grep -q '^default stub: none found' '$out'"

# --- the install-time check of the stub ---------------------------------------------
# A scratch project installs one file through the same rule: only an i686
# Windows program gets through, anything else stops the installation.
stub_install() {  # stub_install FILE: configures and installs the scratch project
  rm -rf "$work/scratch"
  mkdir -p "$work/scratch"
  cat >"$work/scratch/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(scratch NONE)
set(SOLIDSETUP_INSTALL_DATA share/solidsetup)
include("$src/cmake/install_windows_program.cmake")
solidsetup_install_windows_program("$1" 4c01 "the win32 preset")
CMAKE
  cmake -S "$work/scratch" -B "$work/scratch/build" >/dev/null 2>&1 &&
    cmake --install "$work/scratch/build" --prefix "$work/scratch/prefix" >"$out" 2>&1
}
said() { tr -s ' \n' '  ' <"$out" | grep -q -- "$1"; }  # CMake wraps its messages
stub_install "$stub"
check "stub check: the i686 Setup.exe is installed" test -s "$work/scratch/prefix/share/solidsetup/Setup.exe"
stub_install "$work/absent.exe"
check "stub check: a missing stub stops the installation" test $? -ne 0
check "... naming the file and the build that makes it" said 'absent.exe is missing: build the win32 preset first'
printf 'MZ' >"$work/short.exe"
stub_install "$work/short.exe"
check "stub check: a file too short for a PE header is refused" test $? -ne 0
check "... as not a Windows program" said 'is not a Windows program (too short)'
check "... and not installed" test ! -e "$work/scratch/prefix/share/solidsetup/short.exe"
if [ -f "$src/build/win64/Setup.exe" ]; then
  stub_install "$src/build/win64/Setup.exe"
  check "stub check: the x86_64 Setup.exe is refused" test $? -ne 0
  check "... as the wrong kind of program" said 'not a Windows program of the expected kind'
  check "... and not installed" test ! -e "$work/scratch/prefix/share/solidsetup/Setup.exe"
fi

# --- the Debian package -----------------------------------------------------------
if [ ! -f "$build/CPackConfig.cmake" ]; then
  check "CPack configuration present in the build folder" false
else
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$out" 2>&1
  check "cpack -G DEB makes a package" test $? -eq 0
  deb=$(ls "$work"/deb/solidsetup_*.deb 2>/dev/null | head -n 1)
  if [ -z "$deb" ]; then
    cat "$out"
    check "a .deb file was written" false
  else
    dpkg-deb -f "$deb" Package Architecture Depends >"$out"
    check "package named solidsetup" grep -qx 'Package: solidsetup' "$out"
    check "package architecture is the build machine's" grep -qx "Architecture: $(dpkg --print-architecture)" "$out"
    check "depends on libc6 and libstdc++6" bash -c "grep -q 'libc6' '$out' && grep -q 'libstdc++6' '$out'"
    extra=$(sed -n 's/^Depends: //p' "$out" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -vxE 'libc6|libstdc\+\+6|libgcc-s1')
    check "no dependency beyond libc, libstdc++ and libgcc (${extra:-none})" test -z "$extra"
    dpkg-deb -c "$deb" | awk '{print $6}' >"$out"
    check "package puts the tool in /usr/bin" grep -qx './usr/bin/solidsetup' "$out"
    check "package puts the stub in /usr/share/solidsetup" grep -qx './usr/share/solidsetup/Setup.exe' "$out"
    mkdir -p "$work/root"
    dpkg -x "$deb" "$work/root"
    check "dpkg -x unpacks the package" test $? -eq 0
    installed_copy_works "dpkg -x" "$work/root/usr"
    if command -v lintian >/dev/null; then
      lintian --fail-on error "$deb" >"$out" 2>&1
      status=$?
      cat "$out"
      check "lintian finds no error in the package" test $status -eq 0
    else
      check "lintian installed (scripts/bootstrap.sh installs it)" false
    fi
  fi
fi

# --- the Windows zip (from the win32 build) -------------------------------------------
win32=$src/build/win32
if [ ! -f "$win32/CPackConfig.cmake" ]; then
  check "win32 build configured (scripts/build.sh win32)" false
else
  cpack -G ZIP --config "$win32/CPackConfig.cmake" -B "$work/zip" >"$out" 2>&1
  zip=$(ls "$work"/zip/solidsetup-*-win32.zip 2>/dev/null | head -n 1)
  check "cpack -G ZIP makes the Windows zip" test -n "$zip"
  if [ -n "$zip" ]; then
    mkdir -p "$work/unzipped"
    (cd "$work/unzipped" && cmake -E tar xf "$zip")
    top=$(ls -d "$work"/unzipped/*/ | head -n 1)
    for f in solidsetup.exe Setup.exe README.md COPYRIGHT.txt; do
      check "zip holds $f in its top folder" test -s "$top/$f"
    done
    check "zip's Setup.exe is the win32 build's" cmp -s "$top/Setup.exe" "$stub"
    check "zip's Uninstaller.exe is the win32 build's" cmp -s "$top/Uninstaller.exe" "$src/build/win32/Uninstaller.exe"
    check "zip's solidsetup.exe is an i686 program" test "$(machine_of "$top/solidsetup.exe")" = 4c01
    check "zip holds nothing but files side by side" test -z "$(find "$top" -mindepth 1 -type d)"
  fi
fi
finish
