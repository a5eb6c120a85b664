#!/usr/bin/env bash
# Speed of a whole compression run: `vantiro-cli compress` over a fresh copy of a
# corpus, backup store included, next to the copy floor (read every page, write it
# back) measured on the same pages in the same session. The floor writes over the
# pages its warm-up wrote, as shared/bench/run-bench.sh measures it: writing over
# a file makes the file system start writing it out at once, as replacing a page
# does for Vantiro.
#
#   bench/compress-run.sh [CORPUS...]      default: utf8 gbk zh-utf8 zh-gbk
#   RUNS=5 (counted runs after one warm-up), VANTIRO_CLI=path/to/vantiro-cli
#
# Corpora come from /work/shared/bench/make-corpus.sh (/tmp/bench/corpus-NAME).
# Pages are compressed as the code page reads them: the GBK corpora with the
# default GBK, the UTF-8 ones with VANTIRO_CODEPAGE=UTF-8.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
B=${BENCH_DIR:-/tmp/bench}
RUNS=${RUNS:-5}
FLOOR_SRC=${FLOOR_SRC:-$ROOT/../shared/bench/floor/copy.cpp}

. "$HERE/cli-path.sh"
. "$HERE/timing.sh"
COPY=$B/copy
[ -x "$COPY" ] || g++ -O2 -std=c++17 -o "$COPY" "$FLOOR_SRC"

work=$(mktemp -d /tmp/vantiro-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT


printf '%-8s %6s %9s %9s %9s %9s %8s %7s\n' corpus pages MB vantiro_s floor_s vant_MB/s floor_MB/s ratio
for name in "${@:-utf8 gbk zh-utf8 zh-gbk}"; do
  for c in $name; do
    src=$B/corpus-$c
    [ -d "$src" ] || { echo "missing $src (run make-corpus.sh)" >&2; continue; }
    codepage=GBK; case $c in *utf8) codepage=UTF-8 ;; esac
    bytes=$(cat "$src"/* | wc -c)
    pages=$(ls "$src" | wc -l)
    : >"$work/v" ; : >"$work/f"
    rm -rf "$work/out"
    for i in $(seq 0 "$RUNS"); do
      rm -rf "$work/pages" "$work/home"; cp -r "$src" "$work/pages"; mkdir "$work/home"
      sync
      t0=$(now)
      VANTIRO_CODEPAGE=$codepage "$CLI" --home "$work/home" compress "$work/pages" >"$work/rows" 2>"$work/err" || true
      t1=$(now)
      t2=$(now)
      "$COPY" "$src" "$work/out" >/dev/null
      t3=$(now)
      if [ "$i" -gt 0 ]; then
        echo "$t1 - $t0" | bc >>"$work/v"
        echo "$t3 - $t2" | bc >>"$work/f"
      fi
    done
    v=$(median <"$work/v"); f=$(median <"$work/f")
    after=$(tail -n 1 "$work/rows")
    failed=$(grep -c $'\t压缩失败\t' "$work/rows" || true)
    printf '%-8s %6d %9.2f %9.3f %9.3f %9.1f %9.1f %6.2fx   failed=%s  %s\n' "$c" "$pages" \
      "$(echo "$bytes/1000000" | bc -l)" "$v" "$f" "$(echo "$bytes/1000000/$v" | bc -l)" \
      "$(echo "$bytes/1000000/$f" | bc -l)" "$(echo "$v/$f" | bc -l)" "$failed" "$after"
  done
done
