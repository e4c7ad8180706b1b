#!/usr/bin/env bash
# Each program's manual page names exactly the options its --help names, so
# neither falls behind the other: an option added to one and not the other
# fails here. The page is roff ("\-\-address"); its escapes are dropped
# before comparing. The bash completion of orbisight-cli offers the same
# options as its --help.
#
#   man-pages.sh BIN_DIR MAN_DIR COMPLETION_FILE
set -euo pipefail

bin=$1
man=$2
completion=$3
options() {
  grep -oE -- '--[a-z][a-z0-9-]*' | sort -u
}

failed=0
for program in orbisight orbisight-cli orbisight-sim; do
  page=$man/$program.1
  if [ ! -x "$bin/$program" ]; then
    echo "SKIP: $bin/$program is not built"
    continue
  fi
  help=$("$bin/$program" --help) || {
    echo "FAIL: $program --help exits with $?"
    failed=1
    continue
  }
  [ -n "$help" ] || {
    echo "FAIL: $program --help prints nothing on standard output"
    failed=1
    continue
  }
  from_help=$(options <<<"$help")
  from_page=$(sed 's/\\//g' "$page" | options)
  only_help=$(comm -23 <(echo "$from_help") <(echo "$from_page"))
  only_page=$(comm -13 <(echo "$from_help") <(echo "$from_page"))
  if [ -n "$only_help" ]; then
    echo "FAIL: $program --help names options its manual page lacks:" $only_help
    failed=1
  fi
  if [ -n "$only_page" ]; then
    echo "FAIL: $page names options $program --help lacks:" $only_page
    failed=1
  fi
  # The page's name and section line are those of the program.
  head -n 1 "$page" | grep -q "^\.TH $(tr a-z A-Z <<<"$program" | sed 's/-/\\\\-/g') 1 " || {
    echo "FAIL: $page does not begin with .TH for $program(1)"
    failed=1
  }
done

if [ -x "$bin/orbisight-cli" ]; then
  from_help=$("$bin/orbisight-cli" --help | options)
  # The options the script offers, not the values it completes after them.
  from_completion=$(grep -v '^ *--.*)$' "$completion" | grep -v '^ *--.*\\$' | options)
  only_help=$(comm -23 <(echo "$from_help") <(echo "$from_completion"))
  only_completion=$(comm -13 <(echo "$from_help") <(echo "$from_completion"))
  if [ -n "$only_help" ]; then
    echo "FAIL: the bash completion does not offer:" $only_help
    failed=1
  fi
  if [ -n "$only_completion" ]; then
    echo "FAIL: the bash completion offers options orbisight-cli --help lacks:" $only_completion
    failed=1
  fi
fi
exit $failed
