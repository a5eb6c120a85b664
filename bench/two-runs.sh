#!/usr/bin/env bash
# Two `vantiro-cli compress` runs started together on one program directory,
# each over half of a fresh copy of a corpus; then `restore --all`, compared
# with the originals. Without --wait the second run must be refused (exit 2),
# with it both must finish; either way every page must come back exactly.
#
#   bench/two-runs.sh [refuse|wait] [ROUNDS]     default: refuse 20
#   CORPUS=/tmp/bench/corpus-zh-gbk, WORK=/tmp/$USER-two-runs,
#   VANTIRO_CLI=path/to/vantiro-cli (default: the dev build's)
set -uo pipefail
mode=${1:-refuse}
rounds=${2:-20}
corpus=${CORPUS:-/tmp/bench/corpus-zh-gbk}
work=${WORK:-/tmp/${USER:-$(id -un)}-two-runs}
cli=${VANTIRO_CLI:-$(dirname "$0")/../build/dev/cli/vantiro-cli}
wait=""
[ "$mode" = wait ] && wait=--wait

refused=0 waited=0 bothSucceeded=0 exact=0 differing=0
for round in $(seq 1 "$rounds"); do
  rm -rf "$work"
  mkdir -p "$work/site/a" "$work/site/b" "$work/home"
  n=0
  for page in "$corpus"/*; do
    if [ $((n % 2)) -eq 0 ]; then cp "$page" "$work/site/a/"; else cp "$page" "$work/site/b/"; fi
    n=$((n + 1))
  done
  cp -r "$work/site" "$work/original"
  "$cli" --home "$work/home" $wait compress --quiet "$work/site/a" >/dev/null 2>"$work/err-a" & a=$!
  "$cli" --home "$work/home" $wait compress --quiet "$work/site/b" >/dev/null 2>"$work/err-b" & b=$!
  wait $a; statusA=$?
  wait $b; statusB=$?
  { [ $statusA -eq 2 ] || [ $statusB -eq 2 ]; } && refused=$((refused + 1))
  grep -q 正在等待 "$work/err-a" "$work/err-b" && waited=$((waited + 1))
  [ $statusA -eq 0 ] && [ $statusB -eq 0 ] && bothSucceeded=$((bothSucceeded + 1))
  "$cli" --home "$work/home" restore --all --quiet >/dev/null 2>&1
  restoreStatus=$?
  d=$(diff -rq "$work/original" "$work/site" | wc -l)
  differing=$((differing + d))
  [ "$d" -eq 0 ] && [ $restoreStatus -eq 0 ] && exact=$((exact + 1))
  echo "round $round: exit $statusA $statusB, restore exit $restoreStatus, pages differing $d"
done
rm -rf "$work"
echo "mode=$mode rounds=$rounds refused=$refused waited=$waited both-succeeded=$bothSucceeded" \
  "restored-exactly=$exact pages-differing=$differing"
