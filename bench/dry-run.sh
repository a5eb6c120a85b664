#!/usr/bin/env bash
# What writing costs a run: `vantiro-cli compress --dry-run` (every page read
# and compressed, nothing written) next to `compress --into` of the same pages
# (mirror files and backup store written), taken in turns in one session.
#
#   bench/dry-run.sh [CORPUS...]      default: utf8
#   RUNS=5 (counted runs after one warm-up), VANTIRO_CLI=path/to/vantiro-cli,
#   WORK=directory for the copy of the corpus (default: a fresh one under /tmp)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
B=${BENCH_DIR:-/tmp/bench}
RUNS=${RUNS:-5}

. "$HERE/cli-path.sh"
. "$HERE/timing.sh"

work=${WORK:-$(mktemp -d /tmp/vantiro-dry.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work/pages" "$work/out" "$work/home"' EXIT

# timed TIMES ROWS ARGS...: one run of the program, its seconds added to TIMES
# after the warm-up ($i 0), its output kept in ROWS.
timed() {
  local times=$1 rows=$2; shift 2
  local t0; t0=$(now)
  VANTIRO_CODEPAGE=$codepage "$CLI" --home "$work/home" "$@" >"$rows" 2>&1 || true
  local t1; t1=$(now)
  [ "$i" -eq 0 ] || echo "$t1 - $t0" | bc >>"$times"
}

printf '%-8s %6s %9s %9s %9s %7s\n' corpus pages MB dry_s into_s ratio
for c in "${@:-utf8}"; do
  src=$B/corpus-$c
  [ -d "$src" ] || { echo "missing $src (run make-corpus.sh)" >&2; continue; }
  codepage=GBK; case $c in *utf8) codepage=UTF-8 ;; esac
  bytes=$(cat "$src"/* | wc -c)
  pages=$(ls "$src" | wc -l)
  rm -rf "$work/pages"; cp -r "$src" "$work/pages"
  : >"$work/d"; : >"$work/i"
  for i in $(seq 0 "$RUNS"); do
    rm -rf "$work/out" "$work/home"; mkdir "$work/home"
    sync
    timed "$work/d" "$work/dry" compress --dry-run "$work/pages"
    timed "$work/i" "$work/into" compress --into "$work/pages" "$work/out" "$work/pages"
  done
  d=$(median <"$work/d"); v=$(median <"$work/i")
  printf '%-8s %6d %9.2f %9.3f %9.3f %6.2fx   %s\n' "$c" "$pages" "$(echo "$bytes/1000000" | bc -l)" "$d" "$v" \
    "$(echo "$v/$d" | bc -l)" "$(tail -n 1 "$work/dry")"
done
