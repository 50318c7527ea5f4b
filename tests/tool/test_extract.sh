#!/usr/bin/env bash
# Tool-level tests of 'solidsetup test' and 'solidsetup extract' on the real
# sample archives and on copies of them whose entry names were made hostile.
# Arguments: the tool, the source folder, the shared test data folder.
set -u
tool=$1
data=$3/real
run_tool() { ${SOLIDSETUP_EMULATOR:+"$SOLIDSETUP_EMULATOR"} "$tool" "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-tool.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1

# --- test -------------------------------------------------------------------
out=$(run_tool test "$data/rar2-unix-owner.rar" 2>&1) || fail "test of rar2-unix-owner.rar: $out"
grep -q '^OK .*file.txt' <<<"$out" || fail "test does not list file.txt as OK: $out"

out=$(run_tool test "$data/rar202-comment-nopsw.rar" 2>&1) || fail "test of rar202-comment-nopsw.rar: $out"

if out=$(run_tool test "$data/rar202-comment-psw.rar" 2>&1); then fail "test of the encrypted archive succeeded"; fi
grep -q 'FILE1.TXT' <<<"$out" || fail "test does not name the failing entry: $out"

for f in rar15-comment.rar seektest.rar rar3-vols.part1.rar rar3-vols.part2.rar rar3-seektest.sfx missing.rar; do
    if out=$(run_tool test "$data/$f" 2>&1); then fail "test of $f succeeded"; fi
    grep -q 'solidsetup test: ' <<<"$out" || fail "test of $f gives no message: $out"
done

# --- extract ----------------------------------------------------------------
out=$(run_tool extract "$data/rar3-readonly-win.rar" -d plain 2>&1) || fail "extract: $out"
[ "$(wc -c <plain/ro_dir/ro_file.txt)" -eq 9 ] || fail "extract did not keep the folder: $(ls -R plain)"

out=$(run_tool extract "$data/rar3-readonly-win.rar" -d flat --flat 2>&1) || fail "extract --flat: $out"
[ -f flat/ro_file.txt ] || fail "extract --flat did not put the file at the top: $(ls -R flat)"
[ ! -e flat/ro_dir ] || fail "extract --flat created a folder"

# An existing file is kept without --force and replaced with it.
mkdir -p keep && printf 'mine' >keep/file.txt
if out=$(run_tool extract "$data/rar2-unix-owner.rar" -d keep 2>&1); then fail "extract over an existing file succeeded"; fi
[ "$(cat keep/file.txt)" = mine ] || fail "extract overwrote a file without --force"
grep -q 'file.txt' <<<"$out" || fail "no message names the existing file: $out"
out=$(run_tool extract "$data/rar2-unix-owner.rar" -d keep --force 2>&1) || fail "extract --force: $out"
[ "$(wc -c <keep/file.txt)" -eq 4 ] && [ "$(cat keep/file.txt)" != mine ] || fail "--force did not replace the file"

# A checksum failure leaves nothing behind, and --force does not cost the old file.
if out=$(run_tool extract "$data/rar202-comment-psw.rar" -d bad 2>&1); then fail "extract of the encrypted archive succeeded"; fi
grep -q 'FILE1.TXT' <<<"$out" || fail "the failing entry is not named: $out"
[ -z "$(ls -A bad)" ] || fail "a failed entry left files: $(ls -A bad)"
mkdir -p precious && printf 'precious' >precious/FILE1.TXT
run_tool extract "$data/rar202-comment-psw.rar" -d precious --force >/dev/null 2>&1
[ "$(cat precious/FILE1.TXT 2>/dev/null)" = precious ] || fail "a failed entry destroyed the file it would replace"
[ "$(ls -A precious)" = FILE1.TXT ] || fail "a failed entry left files: $(ls -A precious)"

# Hostile names (same length as FILE1.TXT, patched in; header checksums are
# not verified): each is refused, named, and nothing lands outside DIR.
patch_name() {  # archive-copy new-name
    cp "$data/rar202-comment-nopsw.rar" "$1" && chmod u+w "$1"
    printf '%s' "$2" | dd of="$1" bs=1 seek=90 conv=notrunc status=none
}
i=0
for name in '..\EVIL.T' '\EVIL.TXT' 'C:EVIL.TX' 'EVIL:.TXT' 'a\..\EV.T' 'CON.TXTXX' 'nul.a.txt' 'lpt9\E.TX' '../EVIL.T' 'a\.\EVL.T' 'EVIL.TX. ' 'a\\EVIL.T'; do
    i=$((i + 1))
    mkdir -p "h$i/dest"
    patch_name "h$i/evil.rar" "$name"
    if out=$(run_tool extract "h$i/evil.rar" -d "h$i/dest" 2>&1); then fail "hostile name '$name' was accepted: $out"; fi
    # The reader turns "/" into "\" before anyone sees the name.
    grep -qF "${name//\//\\}" <<<"$out" || fail "the refusal does not name '$name': $out"
    [ -f "h$i/dest/FILE2.TXT" ] || fail "the entry after '$name' was not extracted: $out"
    [ "$(ls -A "h$i")" = "$(printf 'dest\nevil.rar')" ] || fail "'$name' wrote outside DIR: $(ls -A "h$i")"
    [ "$(ls -A "h$i/dest")" = FILE2.TXT ] || fail "'$name' wrote into DIR: $(ls -A "h$i/dest")"
done
[ -z "$(ls -A "$work" | grep -i evil)" ] || fail "a hostile name reached the work folder"

# A harmless name with folders is accepted and its folders are made.
patch_name ok.rar 'd1\d2\F.T'
out=$(run_tool extract ok.rar -d okdest 2>&1) || fail "a plain nested name was refused: $out"
[ -f okdest/d1/d2/F.T ] || fail "nested folders were not created: $(ls -R okdest)"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all tool tests passed"
