#!/usr/bin/env bash
# What 'solidsetup build' must never do to the files around it: write through
# a planted name, replace a folder, a device or a link, overwrite its own stub
# or a file of the product, leave a temporary file behind when interrupted or
# out of space; and what every command must never print: control characters
# of untrusted names.
set -u
source "$(dirname "$0")/common.inc"
work=$(mktemp -d "${TMPDIR:-/tmp}/solidsetup-safety.XXXXXX")
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
out=$work/out.txt
native=1
[ -n "${SOLIDSETUP_EMULATOR:-}" ] && native=0
make_stub() {  # make_stub FILE SIZE: an "MZ" file of SIZE bytes
  { printf 'MZ'; head -c $(($2 - 2)) /dev/zero; } >"$1"
}
no_partial() {  # no_partial DIR: no temporary output file is left in DIR
  [ -z "$(find "$1" -maxdepth 1 -name '*.partial' ! -name 'S2.exe.partial' ! -name 'plain.partial')" ]
}

prod=$work/prod
mkdir -p "$prod"
printf 'Tool Version 1.0\r\n' >"$prod/FILE_ID.DIZ"
printf 'ID=TL\r\nExe=TOOL.EXE\r\n' >"$prod/INSTALL.INF"
for i in $(seq 1 500); do echo "line $i"; done >"$prod/TOOL.EXE"
make_stub "$work/stub.exe" 4096
W() { winpath "$1"; }

# --- a planted temporary name -------------------------------------------------
echo victim >"$work/victim.txt"
echo plain >"$work/plain.partial"
if [ $native -eq 1 ]; then ln -s victim.txt "$work/S2.exe.partial"; fi
run_tool build "$(W "$prod")" -o "$(W "$work/S2.exe")" --stub none -q >"$out" 2>&1
check "build beside a planted .partial link succeeds" test $? -eq 0
check "the link's target is untouched" grep -qx victim "$work/victim.txt"
check "the output is a regular file, not the link" bash -c "[ -f '$work/S2.exe' ] && [ ! -L '$work/S2.exe' ]"
run_tool build "$(W "$prod")" -o "$(W "$work/plain")" --stub none -q >"$out" 2>&1
check "an ordinary file named like the temporary one is left alone" grep -qx plain "$work/plain.partial"
check "no temporary file left" no_partial "$work"

# --- targets that are not regular files --------------------------------------
mkdir -p "$work/outdir/inside" && echo keep >"$work/outdir/inside/f"
run_tool build "$(W "$prod")" -o "$(W "$work/outdir")" --stub none -q >"$out" 2>&1
check "a folder as output: refused, exit 1, named" \
  bash -c "[ $? -eq 1 ] && grep -q \"'.*outdir' is a folder\" '$out' && [ -f '$work/outdir/inside/f' ]"
if [ $native -eq 1 ]; then
  # Never a real device of the system: a build that got this wrong would replace it.
  mkfifo "$work/pipe"
  run_tool build "$prod" -o "$work/pipe" --stub none -q >"$out" 2>&1
  check "a pipe as output: refused, the pipe stays" \
    bash -c "[ $? -eq 1 ] && grep -q 'not a regular file' '$out' && [ -p '$work/pipe' ]"
  if mknod "$work/fulldev" c 1 7 2>/dev/null; then
    run_tool build "$prod" -o "$work/fulldev" --stub none -q >"$out" 2>&1
    check "a device as output: refused, the device stays" \
      bash -c "[ $? -eq 1 ] && grep -q 'not a regular file' '$out' && [ -c '$work/fulldev' ]"
    rm -f "$work/fulldev"
  fi
  ln -s victim.txt "$work/link.exe"
  run_tool build "$prod" -o "$work/link.exe" --stub none -q >"$out" 2>&1
  check "a link as output: refused, its target untouched" \
    bash -c "[ $? -eq 1 ] && grep -q 'is a link' '$out' && grep -qx victim '$work/victim.txt' && [ -L '$work/link.exe' ]"
fi

# --- the stub and the product's own files ---------------------------------------
cp "$work/stub.exe" "$work/stub-copy.exe"
run_tool build "$(W "$prod")" -o "$(W "$work/stub.exe")" --stub "$(W "$work/stub.exe")" -q >"$out" 2>&1
check "--stub X -o X: refused, the stub unchanged" \
  bash -c "[ $? -eq 1 ] && grep -q 'is the stub' '$out' && cmp -s '$work/stub.exe' '$work/stub-copy.exe'"
cp "$prod/TOOL.EXE" "$work/tool-copy"
run_tool build "$(W "$prod")" -o "$(W "$prod/TOOL.EXE")" --stub none -q >"$out" 2>&1
check "-o PRODUCT/TOOL.EXE: refused, the program unchanged" \
  bash -c "[ $? -eq 1 ] && grep -q \"is the product's file 'TOOL.EXE'\" '$out' && cmp -s '$prod/TOOL.EXE' '$work/tool-copy'"
if [ $native -eq 1 ]; then
  ln "$prod/TOOL.EXE" "$work/hardlink.exe"
  run_tool build "$prod" -o "$work/hardlink.exe" --stub none -q >"$out" 2>&1
  check "another name of a product file (hard link): refused" \
    bash -c "[ $? -eq 1 ] && grep -q \"is the product's file 'TOOL.EXE'\" '$out' && cmp -s '$prod/TOOL.EXE' '$work/tool-copy'"
  # The default stub is Setup.exe beside the tool: building Setup.exe there.
  mkdir -p "$work/bin" && cp "$tool" "$work/bin/solidsetup" && make_stub "$work/bin/Setup.exe" 4096
  cp "$work/bin/Setup.exe" "$work/default-stub-copy"
  (cd "$work/bin" && ./solidsetup build ../prod -o Setup.exe -q) >"$out" 2>&1
  check "-o Setup.exe beside the default stub: refused, the stub unchanged" \
    bash -c "[ $? -eq 1 ] && grep -q 'is the stub' '$out' && cmp -s '$work/bin/Setup.exe' '$work/default-stub-copy'"
  (cd "$work/bin" && ./solidsetup build ../prod -o ../beside.exe -q) >"$out" 2>&1
  check "the default stub still works afterwards" test $? -eq 0
fi

# --- folders where files are expected -------------------------------------------
run_tool build "$(W "$prod")" -o "$(W "$work/o.exe")" --stub none --order "$(W "$work/outdir")" >"$out" 2>&1
check "--order FOLDER: a clear error naming it" \
  bash -c "[ $? -eq 1 ] && grep -q \"cannot read '.*outdir': it is a folder\" '$out' && ! grep -q bad_alloc '$out'"
run_tool build "$(W "$prod")" -o "$(W "$work/o.exe")" --stub "$(W "$work/outdir")" >"$out" 2>&1
check "--stub FOLDER: a clear error naming it" \
  bash -c "[ $? -eq 1 ] && grep -q \"cannot read '.*outdir': it is a folder\" '$out' && ! grep -q bad_alloc '$out'"

if [ $native -eq 1 ]; then
  # --- the system's reasons, and the user's own names --------------------------
  mkdir -p "$work/full" "$work/ro"
  if mount -t tmpfs -o size=64k tmpfs "$work/full" 2>/dev/null; then
    mounts+=("$work/full")
    head -c 300000 /dev/urandom >"$prod/noise.bin"
    run_tool build "$prod" -o "$work/full/Setup.exe" --stub none -q >"$out" 2>&1
    check "a full disk: exit 1, the output named with the system's reason" \
      bash -c "[ $? -eq 1 ] && grep -q \"cannot write '$work/full/Setup.exe': No space left on device\" '$out'"
    check "a full disk: nothing left behind" test -z "$(ls -A "$work/full")"
    rm -f "$prod/noise.bin"
  fi
  if mount -t tmpfs -o size=64k,ro tmpfs "$work/ro" 2>/dev/null; then
    mounts+=("$work/ro")
    run_tool build "$prod" -o "$work/ro/x.exe" --stub none -q >"$out" 2>&1
    check "a read-only folder: the output named with the system's reason" \
      bash -c "[ $? -eq 1 ] && grep -q \"cannot create '$work/ro/x.exe': Read-only file system\" '$out'"
  fi

  # --- an interrupted build leaves nothing behind --------------------------------
  big=$work/big
  mkdir -p "$big" && cp "$prod/FILE_ID.DIZ" "$prod/INSTALL.INF" "$prod/TOOL.EXE" "$big/"
  for i in $(seq 1 40); do seq 1 200000 | sed "s/^/$i /"; done >"$big/data.txt"
  for sig in INT TERM; do
    mkdir -p "$work/int-$sig"
    # With job control on, the background build gets SIGINT as a terminal's Ctrl-C would send it.
    set -m
    "$tool" build "$big" -o "$work/int-$sig/Setup.exe" --stub none --level 5 -q >/dev/null 2>&1 &
    pid=$!
    set +m
    for _ in $(seq 1 100); do
      [ -n "$(find "$work/int-$sig" -name '*.partial')" ] && break
      sleep 0.1
    done
    seen=$(find "$work/int-$sig" -name '*.partial' | wc -l)
    kill -$sig $pid
    wait $pid 2>/dev/null
    sleep 0.2
    check "SIG$sig during a build: the temporary file existed and is removed" \
      bash -c "[ $seen -eq 1 ] && [ -z \"\$(ls -A '$work/int-$sig')\" ]"
  done
fi

# --- control characters in names never reach the terminal -----------------------
# A name with an escape sequence, one with CR, LF and a bell (same length as
# FILE1.TXT, patched into a sample; header checksums are not verified).
patch_name() {  # patch_name COPY NAME
  cp "$data/real/rar202-comment-nopsw.rar" "$1" && chmod u+w "$1"
  printf '%b' "$2" | dd of="$1" bs=1 seek=90 conv=notrunc status=none
}
patch_name "$work/esc.rar" '\033[31mX.TX'
patch_name "$work/crlf.rar" 'A\rB\nC\aD.T'
for a in esc crlf; do
  for cmd in list test extract; do
    mkdir -p "$work/x-$a"
    if [ "$cmd" = extract ]; then
      run_tool extract "$(W "$work/$a.rar")" -d "$(W "$work/x-$a")" >"$out" 2>&1
    else
      run_tool $cmd "$(W "$work/$a.rar")" >"$out" 2>&1
    fi
    # Windows ends its lines with CR LF; only the names' own control characters count.
    [ $native -eq 1 ] || { tr -d '\r' <"$out" >"$out.lf" && mv "$out.lf" "$out"; }
    check "$cmd, $a name: no control character printed, the name shown escaped" \
      bash -c "! LC_ALL=C grep -q \$'[\\x01-\\x08\\x0b-\\x1f\\x7f]' '$out' && grep -q '\\\\x1B\\|A\\\\x0DB\\\\x0AC\\\\x07D' '$out' && [ \$(wc -l <'$out') -le 12 ]"
  done
done
run_tool list --json "$(W "$work/esc.rar")" >"$out" 2>&1
check "list --json escapes the name as JSON does" grep -q '"name":"\\u001B\[31mX.TX"' "$out"
finish
