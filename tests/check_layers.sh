#!/usr/bin/env bash
# The layers of the sources, lowest first: a file of the portable core
# includes headers of its own folder and of lower folders only, the
# Windows-only code never reaches into the tools, and no two modules (a .cpp
# file with its header) include each other.
# usage: check_layers.sh SOURCE_DIR
set -euo pipefail
cd "$1"
declare -A rank=([platform]=0 [util]=1 [unpack]=2 [archive]=3 [pack]=4
                 [common]=5 [resources]=5 [install]=6 [frontend]=6 [uninstall]=6
                 [tools]=7)
status=0
declare -A includes
for folder in "${!rank[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' file; do
    while IFS= read -r header; do
      includes["${file%.*} ${header%.*}"]=1
      target=${header%%/*}
      [ -n "${rank[$target]+set}" ] || continue
      if [ "${rank[$target]}" -gt "${rank[$folder]}" ]; then
        echo "$file includes $header, a folder above its own"
        status=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done < <(find "$folder" -name '*.cpp' -print0 -o -name '*.h' -print0)
done
for pair in "${!includes[@]}"; do
  read -r a b <<<"$pair"
  if [ "$a" \< "$b" ] && [ -n "${includes["$b $a"]+set}" ]; then
    echo "$a and $b include each other"
    status=1
  fi
done
exit $status
