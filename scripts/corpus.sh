# shellcheck shell=bash
# Sourced by the scripts that compare two builds of the tool on the PE corpus.
#
#   corpus_folder LIST DLL_FOLDER DEST [SLICE_BYTES]
# Copies every file that the corpus LIST names (one per line; blank lines
# and '#' comments skipped) from DLL_FOLDER into DEST, made when missing, or
# only its first SLICE_BYTES bytes. Every copy gets the same fixed time, so
# two tools packing DEST write the same headers. Sets corpus_files to the
# number of files. On failure (a listed file missing, or none listed) it
# sets corpus_error to the reason and returns 1.
# shellcheck disable=SC2034
corpus_folder() {
  local list=$1 dir=$2 dest=$3 slice=${4:-} name
  corpus_files=0 corpus_error=
  mkdir -p "$dest"
  while read -r name; do
    case $name in '' | '#'*) continue ;; esac
    if [ ! -f "$dir/$name" ]; then
      corpus_error="corpus file $dir/$name is missing (the wine64 package installs it)"
      return 1
    fi
    if [ -n "$slice" ]; then head -c "$slice" "$dir/$name" >"$dest/$name"; else cp "$dir/$name" "$dest/$name"; fi
    corpus_files=$((corpus_files + 1))
  done <"$list"
  [ $corpus_files -gt 0 ] || { corpus_error="no files in the corpus list"; return 1; }
  touch -d '2024-05-06 07:08:10' "$dest"/*
}
