#!/usr/bin/env bash
# What the jobs of a run give, paired in one session on this machine:
#  1. a whole `compress --into` run next to the copy floor (read every page,
#     write it back, over files the warm-up wrote), on each corpus;
#  2. `compress --dry-run` with --jobs 1 and with --jobs N (default 2), beside
#     what the machine gives N separate one-job runs at once (its own ceiling);
#  3. that --jobs 1 and --jobs N write the same bytes: the mirror tree, the rows
#     and the backup data, with each option set in turn.
#
#   bench/jobs.sh [CORPUS...]      default: utf8 zh-gbk (speed); identity on the
#                                  four shared corpora and the CR LF twins found
#   RUNS=5, JOBS=2, VANTIRO_CLI=path/to/vantiro-cli, SKIP_SAME=1 skips part 3
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
B=${BENCH_DIR:-/tmp/bench}
RUNS=${RUNS:-5}
JOBS=${JOBS:-2}
FLOOR_SRC=${FLOOR_SRC:-$ROOT/../shared/bench/floor/copy.cpp}
. "$HERE/cli-path.sh"
. "$HERE/timing.sh"
COPY=$B/copy
[ -x "$COPY" ] || g++ -O2 -std=c++17 -o "$COPY" "$FLOOR_SRC"

work=$(mktemp -d /tmp/vantiro-jobs.XXXXXX)
trap 'rm -rf "$work"' EXIT
codepageOf() { case $1 in *utf8) echo UTF-8 ;; *) echo GBK ;; esac; }
# run SECONDS-FILE ARGS...: one run of the program, its wall time appended.
run() {
  local times=$1; shift
  rm -rf "$work/home"; mkdir "$work/home"
  local t0; t0=$(now)
  VANTIRO_CODEPAGE=$codepage "$CLI" --home "$work/home" "$@" >"$work/rows" 2>"$work/err" || true
  echo "$(now) - $t0" | bc >>"$times"
}

echo "compress --into next to the copy floor (medians of $RUNS after a warm-up)"
echo "  fresh: DEST and the floor's copy new directories each time (every file a new one)"
echo "  again: DEST holds the last run's output, the floor writes over its last copy"
echo "  Nothing is deleted until all runs are done: a file system that has just freed many files"
echo "  makes new ones far slower for some minutes, and would time the deletes, not the runs."
printf '%-8s %-6s %6s %8s %9s %9s %7s\n' corpus dest pages MB into_s floor_s ratio
for c in "${@:-utf8 zh-gbk}"; do
  for c in $c; do
    src=$B/corpus-$c; [ -d "$src" ] || { echo "missing $src" >&2; continue; }
    codepage=$(codepageOf "$c")
    for dest in fresh again; do
      : >"$work/v"; : >"$work/f"
      mkdir -p "$work/$c-$dest"
      for i in $(seq 0 "$RUNS"); do
        out=$work/$c-$dest/out floor=$work/$c-$dest/floor
        [ "$dest" = fresh ] && { out=$out$i; floor=$floor$i; }
        sync
        run "$work/v" compress --into "$src" "$out"
        sync
        t0=$(now); "$COPY" "$src" "$floor" >/dev/null; echo "$(now) - $t0" | bc >>"$work/f"
        [ "$i" -eq 0 ] && { : >"$work/v"; : >"$work/f"; }
      done
      v=$(median <"$work/v"); f=$(median <"$work/f")
      printf '%-8s %-6s %6d %8.2f %9.3f %9.3f %6.2fx\n' "$c" "$dest" "$(ls "$src" | wc -l)" \
        "$(echo "$(cat "$src"/* | wc -c)/1000000" | bc -l)" "$v" "$f" "$(echo "$v/$f" | bc -l)"
    done
  done
done

echo
echo "compress --dry-run, --jobs 1 against --jobs $JOBS (medians of $RUNS, taken in turns)"
for c in "${@:-utf8 zh-gbk}"; do
  for c in $c; do
    src=$B/corpus-$c; [ -d "$src" ] || continue
    codepage=$(codepageOf "$c")
    : >"$work/one"; : >"$work/many"; : >"$work/side"
    for i in $(seq 0 "$RUNS"); do
      run "$work/one" compress --jobs 1 --dry-run "$src"
      run "$work/many" compress --jobs "$JOBS" --dry-run "$src"
      # What the machine itself gives: JOBS runs of one job each, side by side.
      t0=$(now)
      for k in $(seq "$JOBS"); do
        VANTIRO_CODEPAGE=$codepage "$CLI" --home "$work/side$k" compress --jobs 1 --dry-run "$src" >/dev/null 2>&1 &
      done
      wait
      echo "$(now) - $t0" | bc >>"$work/side"
      [ "$i" -eq 0 ] && { : >"$work/one"; : >"$work/many"; : >"$work/side"; }
    done
    one=$(median <"$work/one"); many=$(median <"$work/many"); side=$(median <"$work/side")
    printf '%-8s jobs1 %7.3f s   jobs%s %7.3f s   speed-up %5.2fx   (%s one-job runs side by side: %5.2fx)\n' \
      "$c" "$one" "$JOBS" "$many" "$(echo "$one/$many" | bc -l)" "$JOBS" "$(echo "$JOBS*$one/$side" | bc -l)"
  done
done

[ -n "${SKIP_SAME:-}" ] && exit 0
echo
echo "the same bytes with --jobs 1 and --jobs $JOBS (mirror tree, rows, backup data)"
# state DIR: what a run left that must not depend on the jobs.
state() {
  (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha1sum) | sha1sum | cut -c1-12
}
for src in "$B"/corpus-utf8 "$B"/corpus-gbk "$B"/corpus-zh-utf8 "$B"/corpus-zh-gbk "$B"/crlf-corpus-*; do
  [ -d "$src" ] || continue
  c=${src##*/}; codepage=$(codepageOf "$c")
  for options in "" "--scripts" "--paragraphs" "--readable" "--require-html" "--level 2" "--level 2 --scripts"; do
    sums=()
    for jobs in 1 "$JOBS"; do
      rm -rf "$work/out"
      # shellcheck disable=SC2086
      run "$work/ignored" compress --jobs "$jobs" $options --into "$src" "$work/out"
      rows=$(sed "s|$work/out||g" "$work/rows" | sha1sum | cut -c1-12)
      sums+=("$(state "$work/out")/$rows/$(sha1sum <"$work/home/bak.dat" | cut -c1-12)")
    done
    verdict=same; [ "${sums[0]}" = "${sums[1]}" ] || verdict=DIFFERENT
    printf '%-20s %-22s %s  %s\n' "$c" "${options:-(defaults)}" "$verdict" "${sums[0]}"
  done
done
