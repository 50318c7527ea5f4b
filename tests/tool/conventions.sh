#!/usr/bin/env bash
# The command-line conventions every command keeps: options as "--name=value"
# too, "--" ends the options, wrong arguments are named, the exit codes are
# the documented ones, and names are converted between the archive's Windows
# code page and the locale's encoding.
set -u
source "$(dirname "$0")/common.inc"
work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-conv.XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.txt
W() { winpath "$1"; }
native=1
[ -n "${SOLIDSETUP_EMULATOR:-}" ] && native=0

prod=$work/prod
mkdir -p "$prod"
printf 'Tool Version 1.0\r\n' >"$prod/FILE_ID.DIZ"
echo program >"$prod/TOOL.EXE"

# --- options ---------------------------------------------------------------------
run_tool build "$(W "$prod")" -o "$(W "$work/a.rar")" --stub none --level=5 -q >"$out" 2>&1
check "--level=5 as well as --level 5" bash -c "[ $? -eq 0 ] && [ -s '$work/a.rar' ] && [ ! -s '$out' ]"
run_tool build --output="$(W "$work/b.rar")" --stub=none -- "$(W "$prod")" >"$out" 2>&1
check "--output=FILE, --stub=none, and -- before the product folder" bash -c "[ $? -eq 0 ] && [ -s '$work/b.rar' ]"
run_tool list -- "$(W "$work/a.rar")" >"$out" 2>&1
check "-- before a file name in list" test $? -eq 0
for cmd in check build list test extract; do
  run_tool $cmd --bogus x >"$out" 2>&1
  check "$cmd: an unknown option is named, exit 2" bash -c "[ $? -eq 2 ] && grep -q \"solidsetup $cmd: unknown option '--bogus'\" '$out'"
  if [ $cmd = build ]; then run_tool build -o x one two >"$out" 2>&1; else run_tool $cmd one two >"$out" 2>&1; fi
  check "$cmd: a surplus argument is named, exit 2" bash -c "[ $? -eq 2 ] && grep -q \"unexpected argument 'two'\" '$out'"
  run_tool $cmd --help >"$out" 2>&1
  check "$cmd --help: exit 0, names -q and -v" bash -c "[ $? -eq 0 ] && grep -q -- '-q, --quiet' '$out'"
done
run_tool build "$(W "$prod")" -o "$(W "$work/c.rar")" --stub none --level >"$out" 2>&1
check "an option without its value is named" bash -c "[ $? -eq 2 ] && grep -q \"option '--level' needs a value\" '$out'"
run_tool build "$(W "$prod")" -o "$(W "$work/c.rar")" --stub none --level=9 >"$out" 2>&1
check "a wrong value is named" bash -c "[ $? -eq 2 ] && grep -q \"not '9'\" '$out'"
run_tool frobnicate >"$out" 2>&1
check "an unknown command is named, exit 2" bash -c "[ $? -eq 2 ] && grep -q \"unknown command 'frobnicate'\" '$out'"

# --- quiet and verbose ---------------------------------------------------------------
run_tool test -q "$(W "$work/a.rar")" >"$out" 2>&1
check "test -q prints nothing when all is well" bash -c "[ $? -eq 0 ] && [ ! -s '$out' ]"
run_tool list -q "$(W "$work/a.rar")" >"$out" 2>&1
check "list -q prints only the entry lines" bash -c "[ \$(wc -l <'$out') -eq 2 ]"
run_tool build -v "$(W "$prod")" -o "$(W "$work/v.rar")" --stub none >"$out" 2>&1
check "build -v prints the installation plan" bash -c "[ $? -eq 0 ] && grep -q '^Main program: *.TOOL.EXE' '$out'"

# --- messages and exit codes ---------------------------------------------------------
run_tool build "$(W "$prod")" -o "$(W "$work/one.rar")" --stub none >"$out" 2>&1
check "the summary counts in words: '2 files'" grep -q ': 2 files, 2 stored, ' "$out"
run_tool test "$(W "$work/a.rar")" >"$out" 2>&1
check "test: 'All 2 entries OK'" grep -q '^All 2 entries OK' "$out"
mkdir -p "$work/x"
run_tool extract "$(W "$work/a.rar")" -d "$(W "$work/x")" >"$out" 2>&1
check "extract into an empty folder: exit 0" test $? -eq 0
echo mine >"$work/x/TOOL.EXE.keep" && cp "$work/x/TOOL.EXE" "$work/x/TOOL.EXE.keep"
run_tool extract "$(W "$work/a.rar")" -d "$(W "$work/x")" >"$out" 2>&1
check "extract over existing files without --force: exit 3, the files named" \
  bash -c "[ $? -eq 3 ] && grep -q 'TOOL.EXE.* exists (use --force' '$out' && grep -q '0 files extracted .*, 2 skipped' '$out'"
run_tool extract "$(W "$work/a.rar")" -d "$(W "$work/x")" --force >"$out" 2>&1
check "extract --force: exit 0" test $? -eq 0
run_tool extract "$(W "$work/nothere.rar")" -d "$(W "$work/y")" >"$out" 2>&1
check "extract of a missing archive: exit 1, no count, no folder made" \
  bash -c "[ $? -eq 1 ] && grep -q 'cannot open' '$out' && ! grep -q 'extracted' '$out' && [ ! -e '$work/y' ]"

# --- names outside ASCII ---------------------------------------------------------------
if [ $native -eq 1 ]; then
  export LC_ALL=C.UTF-8
  names=$work/names
  mkdir -p "$names" && cp "$prod/FILE_ID.DIZ" "$prod/TOOL.EXE" "$names/"
  echo cafe >"$names/Café.txt"
  "$tool" build "$names" -o "$work/n.rar" --stub none -q
  check "the archive holds the name in code page 1252 (0xE9)" bash -c "LC_ALL=C grep -q \$'Caf\\xe9.txt' '$work/n.rar'"
  check "list shows the name in the locale's encoding" bash -c "'$tool' list '$work/n.rar' | grep -q ' Café.txt$'"
  check "list --json gives the name in UTF-8" bash -c "'$tool' list --json '$work/n.rar' | grep -q '\"name\":\"Café.txt\"'"
  mkdir -p "$work/nx" && "$tool" extract "$work/n.rar" -d "$work/nx" -q
  check "extract writes the name in the locale's encoding" test "$(cat "$work/nx/Café.txt" 2>/dev/null)" = cafe
  "$tool" build "$names" -o "$work/n850.rar" --stub none -q --codepage 850
  check "--codepage 850 stores the name as 0x82" bash -c "LC_ALL=C grep -q \$'Caf\\x82.txt' '$work/n850.rar'"
  check "list --codepage 850 reads it back" bash -c "'$tool' list --codepage=850 '$work/n850.rar' | grep -q ' Café.txt$'"
  check "an unknown code page is refused, exit 2" bash -c "'$tool' list --codepage 12345 '$work/n.rar' 2>&1 | grep -q 'cannot convert names of code page 12345'"
  LC_ALL=en_US.ISO-8859-1 locale charmap 2>/dev/null | grep -q 8859 && {
    mkdir -p "$work/nl1" && LC_ALL=en_US.ISO-8859-1 "$tool" extract "$work/n.rar" -d "$work/nl1" -q
    check "extract under a Latin-1 locale writes Latin-1 names" test -f "$work/nl1/$(printf 'Caf\xe9.txt')"
  }
  printf 'x' >"$names/$(printf 'bad\xff.txt')"
  "$tool" build "$names" -o "$work/bad.rar" --stub none -q >"$out" 2>&1
  check "a name that is not valid in the locale: exit 1, the path named (escaped)" \
    bash -c "[ $? -eq 1 ] && grep -q \"'bad\\\\\\\\xFF.txt': the name has characters that code page 1252 cannot hold\" '$out'"
fi
finish
