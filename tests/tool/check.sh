#!/usr/bin/env bash
# 'solidsetup check' and the product checks of 'build': the plan reads the
# product as the setup does, each finding names its file and line, errors stop
# a build and --strict makes warnings stop it too.
set -u
source "$(dirname "$0")/common.inc"
work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.txt err=$work/err.txt
W() { winpath "$1"; }
native=1
[ -n "${SOLIDSETUP_EMULATOR:-}" ] && native=0

# --- a sound product ------------------------------------------------------------
good=$work/good
mkdir -p "$good/help"
printf 'My Tool Version 2.1 [release]\r\nA tool.\r\n' >"$good/FILE_ID.DIZ"
printf 'ID=MT\r\nGroup=My Tool\r\nClass=MyToolWindow\r\n' >"$good/INSTALL.INF"
printf '[Text]\r\nLanguage=French (Fran\xe7ais)\r\n' >"$good/MYT_FR.LNG"
printf '\xff\xfe[\0T\0e\0x\0t\0]\0\r\0\n\0L\0a\0n\0g\0u\0a\0g\0e\0=\0D\0u\0t\0c\0h\0\r\0\n\0' >"$good/MYT_NL.LNG"
echo fr >"$good/help/MYT_FR.HLP"
echo licence >"$good/LICENSE.TXT"
echo order >"$good/BESTELL.HTM"
echo program >"$good/TGTOOL.EXE"
run_tool check "$(W "$good")" >"$out" 2>"$err"
check "a sound product: exit 0, no finding" bash -c "[ $? -eq 0 ] && [ ! -s '$err' ] && grep -q '^0 errors, 0 warnings$' '$out'"
check "title and version as the dialog shows them" \
  bash -c "grep -q \"^Title: *'My Tool'$\" '$out' && grep -q \"^Version: *'2.1'$\" '$out' && grep -q \"Caption: *'Setup My Tool 2.1'\" '$out'"
check "group, product ID, window class" \
  bash -c "grep -q \"^Group: *'My Tool'$\" '$out' && grep -q \"^Product ID: *'MT'$\" '$out' && grep -q \"^Window class: *'MyToolWindow'$\" '$out'"
check "the first T*.EXE is the main program" grep -q "^Main program: *'TGTOOL.EXE'$" "$out"
check "language rows: built-in, ANSI and UTF-16 files, sorted by text" \
  bash -c "grep -E '^  [A-Z]{2} ' '$out' | awk '{print \$1}' | tr '\n' ' ' | grep -qx 'NL US FR DE '"
check "a row's file and its companion installed only with the row ticked" \
  bash -c "grep -q '^  MYT_FR.HLP  (from help.MYT_FR.HLP; only with French ticked)$' '$out'"
check "the settings file is not installed" grep -q '^  - INSTALL.INF  (not installed: settings file)$' "$out"
check "shortcuts: group, licence, no German order form without German files; desktop" \
  bash -c "grep -q 'Start menu   Programs.My Tool.My Tool.lnk -> TGTOOL.EXE' '$out' &&
           grep -q 'Programs.My Tool.License.lnk -> LICENSE.TXT' '$out' && ! grep -q Bestellung '$out' &&
           grep -q 'Desktop      My Tool.lnk -> TGTOOL.EXE' '$out'"

# --- findings -------------------------------------------------------------------
finding() {  # finding DESCRIPTION EXIT PATTERN: check of $bad exits EXIT and prints PATTERN
  run_tool check "$(W "$bad")" >"$out" 2>"$err"
  check "$1" bash -c "[ $? -eq $2 ] && grep -q -- \"$3\" '$err'"
}
bad=$work/bad
reset() { rm -rf "$bad"; mkdir -p "$bad"; cp "$good/FILE_ID.DIZ" "$good/INSTALL.INF" "$good/TGTOOL.EXE" "$bad/"; }
reset; rm "$bad/FILE_ID.DIZ"
finding "no FILE_ID.DIZ: a warning" 0 "FILE_ID.DIZ: warning: missing"
reset; rm "$bad/FILE_ID.DIZ"; printf 'ID=MT\r\n' >"$bad/INSTALL.INF"
finding "no title and no Group: an error" 1 "error: no group name"
reset; printf 'Class=X\r\nID=TOOLONG\r\n' >"$bad/INSTALL.INF"
finding "ID=TOOLONG: a warning on its line, with what the setup keeps" 0 \
  "INSTALL.INF:2: warning: 'ID=TOOLONG' is longer than the setup keeps (3 characters): it becomes 'TOO'"
reset; printf 'ID=MT\r\nExe=MISSING.EXE\r\n' >"$bad/INSTALL.INF"
finding "Exe=MISSING.EXE: an error on its line" 1 "INSTALL.INF:2: error: the main program 'MISSING.EXE' is not among"
reset; printf 'ID=MT\r\nExe = TGTOOL.EXE\r\n' >"$bad/INSTALL.INF"
finding "'Exe = X' (blanks): the setup ignores it, said on its line" 0 "INSTALL.INF:2: warning: 'Exe' is not followed by '='"
reset; printf 'GUID=1234\r\nID=MT\r\n' >"$bad/INSTALL.INF"
finding "'ID' first found inside GUID: a warning on that line" 0 "INSTALL.INF:1: warning: the setup reads 'ID' from inside a longer word"
reset; printf 'French\r\n' >"$bad/TOOL_FR.LNG"
finding "a language file without [Text] / Language=: an error" 1 "TOOL_FR.LNG:1: error: it adds no row to the language list"
reset; cp "$good/MYT_FR.LNG" "$bad/MYT_FR.LNG"; cp "$good/MYT_FR.LNG" "$bad/MYT_fr.lng.bak"; cp "$good/MYT_FR.LNG" "$bad/ZZZ_Fr.LNG"
finding "a second file for a language adds nothing: a warning naming the first" 0 \
  "ZZZ_Fr.LNG:2: warning: adds no row: the row for 'FR' comes from 'MYT_FR.LNG'"
reset; mkdir -p "$bad/a" "$bad/b"; echo 1 >"$bad/a/same.txt"; echo 2 >"$bad/b/same.txt"
finding "two files flattening to one name: an error" 1 "b.same.txt: error: installs as 'same.txt', as 'a.same.txt' does"
if [ $native -eq 1 ]; then
  reset; echo x >"$bad/$(printf 'n%.0s' $(seq 1 235))"
  finding "a name that the default destination makes too long: a warning" 0 "characters long: in the default destination"
  reset; echo outside >"$work/outside.txt"; ln -s "$work/outside.txt" "$bad/linked.txt"
  finding "a link to a file outside the folder: a warning" 0 "'linked.txt' is a link to '.*outside.txt', outside the product folder"
fi

# --- build applies the same checks --------------------------------------------------
{ printf 'MZ'; head -c 4094 /dev/zero; } >"$work/stub.exe"
reset; printf 'ID=MT\r\nExe=MISSING.EXE\r\n' >"$bad/INSTALL.INF"
run_tool build "$(W "$bad")" -o "$(W "$work/bad.rar")" --stub "$(W "$work/stub.exe")" >"$out" 2>&1
check "build stops at an error and writes nothing" \
  bash -c "[ $? -eq 1 ] && grep -q 'INSTALL.INF:2: error' '$out' && grep -q '1 error in the product; nothing was written' '$out' && [ ! -e '$work/bad.rar' ]"
reset; printf 'Class=X\r\nID=TOOLONG\r\n' >"$bad/INSTALL.INF"
run_tool build "$(W "$bad")" -o "$(W "$work/warn.rar")" --stub "$(W "$work/stub.exe")" >"$out" 2>&1
check "build goes on after a warning, and prints it" bash -c "[ $? -eq 0 ] && grep -q 'warning:' '$out' && [ -s '$work/warn.rar' ]"
run_tool build "$(W "$bad")" -o "$(W "$work/strict.rar")" --stub "$(W "$work/stub.exe")" --strict >"$out" 2>&1
check "build --strict stops at a warning" \
  bash -c "[ $? -eq 1 ] && grep -q -- '--strict counts warnings as errors' '$out' && [ ! -e '$work/strict.rar' ]"
reset; printf 'ID=MT\r\nExe=MISSING.EXE\r\n' >"$bad/INSTALL.INF"
run_tool build "$(W "$bad")" -o "$(W "$work/plain.rar")" --stub none >"$out" 2>&1
check "build --stub none: the product's errors are warnings (a plain archive installs nothing)" \
  bash -c "[ $? -eq 0 ] && grep -q 'INSTALL.INF:2: warning: .*(an error in a setup program)' '$out' && [ -s '$work/plain.rar' ]"
reset; printf 'Class=X\r\nID=TOOLONG\r\n' >"$bad/INSTALL.INF"
run_tool check --strict "$(W "$bad")" >"$out" 2>&1
check "check --strict exits 1 on a warning" test $? -eq 1
run_tool check -q "$(W "$bad")" >"$out" 2>&1
check "check -q prints the findings, not the plan" \
  bash -c "[ $? -eq 0 ] && grep -q 'warning: .ID=TOOLONG' '$out' && ! grep -q '^Title' '$out'"
finish
