#!/usr/bin/env bash
# The manual page docs/solidsetup.1 names every command and every option that
# the tool's own help texts offer (top-level --help and each COMMAND --help),
# so a new option cannot ship undocumented.
set -u
source "$(dirname "$0")/common.inc"
if [ -n "${SOLIDSETUP_EMULATOR:-}" ]; then echo "the manual is checked by the native run"; exit 0; fi
page=$src/docs/solidsetup.1
check "manual page present" test -s "$page"

# The page's text without roff markup: escapes for hyphens and fonts undone,
# request names and quotes dropped, so that '.BI \-\-stub " FILE"' reads
# '--stub FILE'.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(.q//g' -e 's/^\.[A-Z]\{1,2\} \{0,1\}//' -e 's/"//g' "$page" |
       tr -s ' \t' '  ')
mentions() { grep -qE -- "(^|[^A-Za-z0-9-])$1([^A-Za-z0-9-]|\$)" <<<"$text"; }

help=$("$tool" --help)
check "--help lists commands" test -n "$help"
commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p')
check "--help names at least the four archive commands" test "$(wc -w <<<"$commands")" -ge 4

options() {  # every -x or --word token of the given lines of a help text
  grep -oE -- '(^|[][ |,(])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[][ |,(]//' | sort -u
}
# The tool's own options: in the top-level help, the Commands and Options
# sections; in a command's help, its usage line and the lines that describe
# an option (examples of other programs' command lines are left out).
top_lines=$(sed -n '/^Commands:/,/^Run /p' <<<"$help")
command_lines() { grep -E -- '^usage:|^  -'; }
for opt in $(options <<<"$top_lines"); do
  check "manual names option $opt of --help" mentions "$opt"
done
for cmd in $commands; do
  check "manual names command '$cmd'" mentions "solidsetup $cmd"
  cmd_help=$("$tool" "$cmd" --help 2>&1)
  for opt in $(command_lines <<<"$cmd_help" | options); do
    check "manual names option $opt of '$cmd --help'" mentions "$opt"
  done
done

# One version everywhere: the tool's, the page's header, the package changelog's.
version=$("$tool" --version | sed -n '1s/^solidsetup //p')
check "--version prints a version ($version)" test -n "$version"
check "manual page header carries version $version" grep -qE "^\.TH .*\"solidsetup $version\"" "$page"
check "package changelog's latest entry is version $version" \
  bash -c "head -n 1 '$src/packaging/changelog' | grep -qF 'solidsetup ($version)'"
finish
