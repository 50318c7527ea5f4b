#!/usr/bin/env bash
# 'solidsetup build': a product folder packed into an archive and into setup
# programs, read back by 'list', 'test' and 'extract'; the order rules, the
# refused names and the refused stubs.
set -u
source "$(dirname "$0")/common.inc"

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-build.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
out=$work/out.txt
native=1
[ $windows_tool -eq 1 ] && native=0

# --- a product folder -------------------------------------------------------
prod=$work/prod
mkdir -p "$prod/sub/deeper"
printf 'Tool Version 1.0\r\nA tool.\r\n' >"$prod/FILE_ID.DIZ"
printf 'ID=tl\r\nGroup=Tool\r\nExe=TOOL.EXE\r\n' >"$prod/INSTALL.INF"
printf '[Text]\r\nLanguage=French (Francais)\r\n' >"$prod/TOOL_FR.LNG"
printf '[Text]\r\nLanguage=German\r\n' >"$prod/TOOL_DE.LNG"
: >"$prod/empty.txt"
head -c 200000 /dev/urandom >"$prod/sub/noise.bin"
for i in $(seq 1 3000); do echo "line $i of the readme, which repeats itself"; done >"$prod/Readme.txt"
dll=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/atl.dll
if [ -f "$dll" ]; then cp "$dll" "$prod/TOOL.EXE"; else cp "$prod/Readme.txt" "$prod/TOOL.EXE"; fi
cp "$prod/Readme.txt" "$prod/sub/deeper/copy.txt"
chmod a-w "$prod/sub/deeper/copy.txt"

# --- a plain archive ---------------------------------------------------------
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/plain.rar")" --stub none >"$out" 2>&1
check "build --stub none exits 0" test $? -eq 0
check "summary line: files, bytes in, bytes out, ratio, seconds" \
  grep -Eq '^.*plain\.rar: 9 files(, [0-9]+ stored)?, [0-9,]+ bytes in, [0-9,]+ bytes out \(no stub\), ratio [0-9.]+%, [0-9.]+ s$' "$out"
check "no .partial file left" test ! -e "$work/plain.rar.partial"

run_tool list "$(winpath "$work/plain.rar")" >"$out"
names=$(awk '/^ +[0-9]/ {print $NF}' "$out" | tr '\n' ' ')
check "order: FILE_ID.DIZ, INSTALL.INF, language files, then the rest by name" \
  test "$names" = 'FILE_ID.DIZ INSTALL.INF TOOL_DE.LNG TOOL_FR.LNG empty.txt Readme.txt sub\deeper\copy.txt sub\noise.bin TOOL.EXE '
check "archive at offset 0" grep -q 'at offset 0 ' "$out"
check "read-only file carries ATTR 0x21" grep -Eq ' 0x21 .* sub\\deeper\\copy\.txt$' "$out"
check "noise stored, readme compressed" \
  bash -c "grep -Eq ' 0x30 .* sub\\\\noise\\.bin$' '$out' && grep -Eq ' 0x35 .* Readme\\.txt$' '$out'"

run_tool test "$(winpath "$work/plain.rar")" >"$out" 2>&1
check "test accepts every entry" test $? -eq 0

mkdir "$work/x"
run_tool extract "$(winpath "$work/plain.rar")" -d "$(winpath "$work/x")" >"$out" 2>&1
check "extract reproduces every file" bash -c "cd '$prod' && for f in \$(find . -type f); do cmp -s \"\$f\" '$work/x/'\"\$f\" || exit 1; done"

# An output inside the product folder: the first build writes it; the next
# one would pack or overwrite a file of the product, so it is refused.
run_tool build "$(winpath "$prod")" -o "$(winpath "$prod/self.rar")" --stub none --quiet >"$out" 2>&1
check "a new output inside the product folder is written" test -s "$prod/self.rar"
cp "$prod/self.rar" "$work/self-before.rar"
run_tool build "$(winpath "$prod")" -o "$(winpath "$prod/self.rar")" --stub none --quiet >"$out" 2>&1
check "an output that is a file of the product is refused" \
  bash -c "[ $? -eq 1 ] && grep -q \"is the product's file 'self.rar'\" '$out' && cmp -s '$prod/self.rar' '$work/self-before.rar'"
rm -f "$prod/self.rar"

# --- levels -----------------------------------------------------------------
for level in 1 5; do
  run_tool build "$(winpath "$prod")" -o "$(winpath "$work/l$level.rar")" --stub none --level $level --quiet >"$out" 2>&1
  check "level $level builds quietly" bash -c "[ $? -eq 0 ] && [ ! -s '$out' ]"
done
check "level 5 is no larger than level 1" test "$(stat -c %s "$work/l5.rar")" -le "$(stat -c %s "$work/l1.rar")"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/bad.rar")" --stub none --level 6 >"$out" 2>&1
check "level 6 refused with exit 2" test $? -eq 2
for threads in 1 3; do
  run_tool build "$(winpath "$prod")" -o "$(winpath "$work/t$threads.rar")" --stub none --level 5 --threads $threads --quiet >"$out" 2>&1
  check "level 5 with $threads thread(s) builds" test $? -eq 0
done
check "the output is the same for 1 and 3 threads" cmp -s "$work/t1.rar" "$work/t3.rar"
for bad in 0 -2 x 2x; do
  run_tool build "$(winpath "$prod")" -o "$(winpath "$work/bad.rar")" --stub none --threads "$bad" >"$out" 2>&1
  check "--threads $bad refused with exit 2 and a message" bash -c "[ $? -eq 2 ] && grep -q -- '--threads takes' '$out'"
done

# --- an order list ------------------------------------------------------------
printf '# packed first\nTOOL.EXE\nsub/noise.bin\n\n' >"$work/order.txt"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/ordered.rar")" --stub none --order "$(winpath "$work/order.txt")" >"$out" 2>&1
check "order list accepted" test $? -eq 0
run_tool list "$(winpath "$work/ordered.rar")" >"$out"
names=$(awk '/^ +[0-9]/ {print $NF}' "$out" | head -3 | tr '\n' ' ')
check "listed files first, then the default order" test "$names" = 'TOOL.EXE sub\noise.bin FILE_ID.DIZ '
printf 'missing.txt\n' >"$work/order2.txt"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/ordered2.rar")" --stub none --order "$(winpath "$work/order2.txt")" >"$out" 2>&1
check "order list naming a missing file refused" bash -c "[ $? -ne 0 ] && grep -q 'missing.txt' '$out' && [ ! -e '$work/ordered2.rar' ]"

# --- stubs ----------------------------------------------------------------------
make_stub() {  # make_stub FILE SIZE: an "MZ" file of SIZE bytes
  { printf 'MZ'; head -c $(($2 - 2)) /dev/zero; } >"$1"
}
make_stub "$work/stub.exe" 4096
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/stubbed.exe")" --stub "$(winpath "$work/stub.exe")" >"$out" 2>&1
check "build with a stub" test $? -eq 0
check "stub bytes come first" cmp -s -n 4096 "$work/stub.exe" "$work/stubbed.exe"
run_tool list "$(winpath "$work/stubbed.exe")" >"$out"
check "archive found right after the stub" grep -q 'at offset 4096 ' "$out"

make_stub "$work/edge.exe" 249996
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/edge-out.exe")" --stub "$(winpath "$work/edge.exe")" >"$out" 2>&1
check "stub of 249,996 bytes accepted" test $? -eq 0
make_stub "$work/big.exe" 249997
cp "$work/stubbed.exe" "$work/keep.exe"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/keep.exe")" --stub "$(winpath "$work/big.exe")" >"$out" 2>&1
check "stub of 249,997 bytes refused with a message" bash -c "[ $? -ne 0 ] && grep -q '249996' '$out'"
check "the existing output is left as it was" cmp -s "$work/keep.exe" "$work/stubbed.exe"

run_tool build "$(winpath "$prod")" -o "$(winpath "$work/twice.exe")" --stub "$(winpath "$work/stubbed.exe")" >"$out" 2>&1
check "stub that already holds an archive refused" bash -c "[ $? -ne 0 ] && grep -q 'already holds an archive' '$out'"
head -c 5000 /dev/zero >"$work/notexe.bin"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/n.exe")" --stub "$(winpath "$work/notexe.bin")" >"$out" 2>&1
check "stub that is not an executable refused" bash -c "[ $? -ne 0 ] && grep -q 'not a Windows executable' '$out'"

# The default stub: Setup.exe next to the tool, or in the win32 build folder.
tooldir=$(dirname "$(realpath "$tool")")
if [ ! -f "$tooldir/Setup.exe" ] && [ ! -f "$tooldir/../win32/Setup.exe" ]; then
  run_tool build "$(winpath "$prod")" -o "$(winpath "$work/default.exe")" >"$out" 2>&1
  check "missing default stub explained" bash -c "[ $? -ne 0 ] && grep -q 'no setup stub found' '$out' && grep -q -- '--stub' '$out'"
else
  run_tool build "$(winpath "$prod")" -o "$(winpath "$work/default.exe")" >"$out" 2>&1
  check "default stub used" test $? -eq 0
fi

# The project's own setup programs as stubs.
for stub in "${SOLIDSETUP_BUILD_DIR:-/nonexistent}/Setup.exe" "$src/build/win32/Setup.exe" "$src/build/win64/Setup.exe"; do
  [ -f "$stub" ] || { echo "skip $stub (not built)"; continue; }
  run_tool build "$(winpath "$prod")" -o "$(winpath "$work/Setup.exe")" --stub "$(winpath "$stub")" >"$out" 2>&1
  check "setup program built with $stub" test $? -eq 0
  run_tool test "$(winpath "$work/Setup.exe")" >"$out" 2>&1
  check "test accepts the setup program built with $stub" test $? -eq 0
done

# --- refused names ------------------------------------------------------------------
refuse() {  # refuse DESCRIPTION PATTERN: the folder $bad must be refused with PATTERN in the message
  run_tool build "$(winpath "$bad")" -o "$(winpath "$work/refused.rar")" --stub none >"$out" 2>&1
  check "$1" bash -c "[ $? -eq 1 ] && grep -q -- '$2' '$out' && [ ! -e '$work/refused.rar' ]"
}
bad=$work/bad
mkdir -p "$bad"
title() { printf 'Bad Version 1.0\r\n' >"$bad/FILE_ID.DIZ"; }  # a product the setup can name
echo a >"$bad/readme.txt"
echo b >"$bad/README.TXT"
if [ "$(ls "$bad" | wc -l)" -eq 2 ]; then refuse "names differing only in case refused" 'differ only in case'; fi
rm -rf "$bad"/*
if [ $native -eq 1 ]; then
  # Names that Windows cannot hold exist only on the host side.
  for name in 'CON.txt' 'a:b.txt' 'what?.txt' 'trailing.' 'lpt1'; do
    rm -rf "$bad"/*
    echo x >"$bad/$name"
    refuse "name '$name' refused" "$name"
  done
  rm -rf "$bad"/*
  long=$bad/$(printf 'd%.0s' $(seq 1 200))/$(printf 'f%.0s' $(seq 1 60))
  mkdir -p "$(dirname "$long")" && echo x >"$long"
  refuse "a 261-byte name refused" '261 bytes'
  rm -rf "$bad"/*
  fits=$bad/$(printf 'd%.0s' $(seq 1 200))/$(printf 'f%.0s' $(seq 1 58))
  mkdir -p "$(dirname "$fits")" && echo x >"$fits"
  title
  run_tool build "$bad" -o "$work/fits.rar" --stub none >"$out" 2>&1
  check "a 259-byte name accepted" test $? -eq 0
  rm -rf "$bad"/*
  printf 'x' >"$bad/$(printf 'caf\xc3\xa9').txt"
  title
  run_tool build "$bad" -o "$work/ansi.rar" --stub none >"$out" 2>&1
  check "a name in the ANSI code page accepted" test $? -eq 0
  rm -rf "$bad"/*
  printf 'x' >"$bad/$(printf '\xe6\x97\xa5').txt"
  refuse "a name outside the ANSI code page refused" 'code page 1252 cannot hold'
fi
# Fresh folders from here on: Wine may still remember the names removed above.
flat=$work/flat
mkdir -p "$flat/a" "$flat/b"
echo 1 >"$flat/a/same.txt"
echo 2 >"$flat/b/same.txt"
run_tool build "$(winpath "$flat")" -o "$(winpath "$work/flat.rar")" --stub "$(winpath "$work/stub.exe")" >"$out" 2>&1
check "same file name in two folders: refused, the later one would replace the earlier" \
  bash -c "[ $? -eq 1 ] && grep -q \"b.same.txt: error: installs as 'same.txt', as 'a.same.txt' does\" '$out' && [ ! -e '$work/flat.rar' ]"
mkdir -p "$work/emptydir"
run_tool build "$(winpath "$work/emptydir")" -o "$(winpath "$work/emptyfolder.rar")" --stub none >"$out" 2>&1
check "an empty product folder refused" bash -c "[ $? -eq 1 ] && grep -q 'no files' '$out'"
run_tool build "$(winpath "$work/nope")" -o "$(winpath "$work/nope.rar")" --stub none >"$out" 2>&1
check "a missing product folder refused" bash -c "[ $? -eq 1 ] && grep -q 'not a folder' '$out'"
# A file dated after January 2038 (MS-DOS times reach 2107): packed with its
# date and extracted with it, by 32-bit builds as well.
dated=$work/dated
mkdir -p "$dated"
echo late >"$dated/late.txt"
touch -d '2040-03-04 05:06:08' "$dated/late.txt"
run_tool build "$(winpath "$dated")" -o "$(winpath "$work/dated.rar")" --stub none >"$out" 2>&1
check "a file dated 2040 packed" test $? -eq 0
run_tool list "$(winpath "$work/dated.rar")" >"$out" 2>&1
check "its entry carries the date" grep -q '2040-03-04 05:06:08 .*late\.txt$' "$out"
mkdir -p "$work/dated-x"
run_tool extract "$(winpath "$work/dated.rar")" -d "$(winpath "$work/dated-x")" >"$out" 2>&1
check "extracted with the date" test "$(date -r "$work/dated-x/late.txt" '+%F %T' 2>/dev/null)" = '2040-03-04 05:06:08'

run_tool build "$(winpath "$prod")" --stub none >"$out" 2>&1
check "no output named: exit 2, says what is missing" bash -c "[ $? -eq 2 ] && grep -q 'missing -o OUTPUT' '$out'"
finish
