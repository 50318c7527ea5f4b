#!/usr/bin/env bash
# 'solidsetup build' and the uninstaller: a product without UnInst.exe gets
# the uninstaller program with the installation's data appended; one with
# its own keeps it; --no-uninstaller and plain archives get none.
set -u
source "$(dirname "$0")/common.inc"

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-uninst.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.txt

prod=$work/prod
mkdir -p "$prod/help" "$prod/more"
printf 'Tool Version 1.0\r\n' >"$prod/FILE_ID.DIZ"
printf 'ID=tl\r\nClass=ToolWindow\r\n' >"$prod/INSTALL.INF"
printf 'ID=zz\r\n' >"$prod/more/EXTRA.INF"
printf '[Text]\r\nLanguage=French\r\n' >"$prod/TOOL_FR.LNG"
echo fr >"$prod/help/TOOL_FR.TXT"
echo de >"$prod/help/TOOL_DE.TXT"
echo program >"$prod/TGTOOL.EXE"
# (Two files with one installed name are refused by the product checks, so
# the description's one line per name is seen with a single such file.)
echo one >"$prod/help/same.txt"
stub=$work/stub.exe
{ printf 'MZ'; head -c 4094 /dev/zero; } >"$stub"
program=$work/uninstaller.exe
{ printf 'MZ'; head -c 2046 /dev/zero; } >"$program"

entry_data() {  # entry_data SETUP DIR: extracts the setup's UnInst.exe into DIR
  rm -rf "$2"
  run_tool extract "$(winpath "$1")" -d "$(winpath "$2")" --flat >/dev/null 2>&1
}

run_tool build "$(winpath "$prod")" -o "$(winpath "$work/Setup.exe")" --stub "$(winpath "$stub")" \
  --uninstaller "$(winpath "$program")" --quiet >"$out" 2>&1
check "build with the generated uninstaller exits 0" test $? -eq 0
run_tool list "$(winpath "$work/Setup.exe")" >"$out" 2>&1
check "the archive holds UnInst.exe" grep -q 'UnInst.exe' "$out"
entry_data "$work/Setup.exe" "$work/x"
u=$work/x/UnInst.exe
check "it is the uninstaller program" cmp -s -n 2048 "$program" "$u"
size=$(stat -c %s "$u")
check "its data ends with the trailer" bash -c "tail -c 8 '$u' | grep -q SSUNDATA"
len=$(tail -c 12 "$u" | head -c 4 | od -An -tu4 | tr -d ' ')
check "the trailer's length spans the data" test "$((2048 + len + 12))" -eq "$size"
tail -c "$((len + 12))" "$u" | head -c "$len" | tr -d '\r' >"$work/data.txt"
cat "$work/data.txt"
check "product id from INSTALL.INF" grep -qx 'ID=zz' "$work/data.txt"
check "group from the title line" grep -qx 'Group=Tool' "$work/data.txt"
check "window class" grep -qx 'Class=ToolWindow' "$work/data.txt"
check "main program: the first T program" grep -qx 'Exe=TGTOOL.EXE' "$work/data.txt"
check "every language's files, flattened" bash -c "grep -qx 'File=TOOL_FR.TXT' '$work/data.txt' && grep -qx 'File=TOOL_DE.TXT' '$work/data.txt' && grep -qx 'File=TOOL_FR.LNG' '$work/data.txt'"
check "no settings file" bash -c "! grep -q 'INF' '$work/data.txt'"
check "not the uninstaller itself" bash -c "! grep -qi 'File=UnInst.exe' '$work/data.txt'"
check "one line for an installed file" test "$(grep -ci 'File=same.txt' "$work/data.txt")" -eq 1
check "no scratch file left" bash -c "! ls '$work' | grep -q partial"
# Reproducible: a later build of the same product is the same file, byte for
# byte (the uninstaller's entry is not stamped with the time of the build).
sleep 2
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/Setup-again.exe")" --stub "$(winpath "$stub")" \
  --uninstaller "$(winpath "$program")" --quiet >"$out" 2>&1
check "a second build two seconds later is byte-identical" cmp -s "$work/Setup.exe" "$work/Setup-again.exe"

run_tool build "$(winpath "$prod")" -o "$(winpath "$work/none.exe")" --stub "$(winpath "$stub")" \
  --no-uninstaller --quiet >"$out" 2>&1
check "--no-uninstaller exits 0" test $? -eq 0
run_tool list "$(winpath "$work/none.exe")" >"$out" 2>&1
check "--no-uninstaller: no UnInst.exe" bash -c "! grep -q 'UnInst.exe' '$out'"

run_tool build "$(winpath "$prod")" -o "$(winpath "$work/plain.rar")" --stub none --quiet >"$out" 2>&1
run_tool list "$(winpath "$work/plain.rar")" >"$out" 2>&1
check "a plain archive gets no uninstaller" bash -c "! grep -q 'UnInst.exe' '$out'"

echo "the publisher's own" >"$prod/more/uninst.EXE"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/own.exe")" --stub "$(winpath "$stub")" \
  --uninstaller "$(winpath "$program")" --quiet >"$out" 2>&1
entry_data "$work/own.exe" "$work/y"
check "the publisher's own uninstaller is kept" bash -c "grep -q \"publisher's own\" '$work/y/uninst.EXE' && [ ! -e '$work/y/UnInst.exe' ] || [ \$(ls '$work/y' | grep -ci uninst) -eq 1 ]"
rm "$prod/more/uninst.EXE"

# A title longer than the group's 31 bytes: the group keeps what fits, as
# the setup's own survey does.
cp "$prod/FILE_ID.DIZ" "$work/diz"
printf 'ID=tl\r\nClass=ToolWindow\r\n' >"$work/inf"
rm "$prod/INSTALL.INF" "$prod/more/EXTRA.INF"
printf 'A Tool With A Name Much Too Long For The Group Version 2.0\r\n' >"$prod/FILE_ID.DIZ"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/long.exe")" --stub "$(winpath "$stub")" \
  --uninstaller "$(winpath "$program")" --quiet >"$out" 2>&1
entry_data "$work/long.exe" "$work/z"
check "a long title is cut to the group's 31 bytes" \
  bash -c "tr -d '\r' <'$work/z/UnInst.exe' | grep -qax 'Group=A Tool With A Name Much Too Lon'"
cp "$work/diz" "$prod/FILE_ID.DIZ"
cp "$work/inf" "$prod/INSTALL.INF"
printf 'ID=zz\r\n' >"$prod/more/EXTRA.INF"

printf 'not a program' >"$work/bad.exe"
cp "$work/Setup.exe" "$work/keep.exe"
run_tool build "$(winpath "$prod")" -o "$(winpath "$work/keep.exe")" --stub "$(winpath "$stub")" \
  --uninstaller "$(winpath "$work/bad.exe")" >"$out" 2>&1
check "an uninstaller that is no program is refused" bash -c "[ $? -ne 0 ] && grep -q 'not a Windows executable' '$out'"
check "the existing output is left as it was" cmp -s "$work/Setup.exe" "$work/keep.exe"
finish
