#!/usr/bin/env bash
# The windows' long loops at the engine's speed: each loop driven in its window
# under Xvfb (bench/window_speed.cpp) next to the same work on the command line
# plus the pauses the window takes on purpose. A window keeps the screen
# current at a few frames a second, so its time should stay close to that sum.
#
#   bench/window-speed.sh [CORPUS]     default /tmp/bench/corpus-zh-gbk
#   WORK=/tmp/NAME/window-speed        where the corpus is copied (default: a temporary directory)
#   STEPS="compress restore replace"   which loops to time
#
# Stated pauses: compress 1 ms a page; restore ("全部还原") none; replace 1 ms
# before each page.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
SRC=${1:-/tmp/bench/corpus-zh-gbk}
STEPS=${STEPS:-compress restore replace}
SESSION=${GUI_SESSION:-$ROOT/../shared/gui-testing/gui-session.sh}
[ -x "$SESSION" ] || SESSION=/work/shared/gui-testing/gui-session.sh

build=$ROOT/build/bench
if [ -z "${NO_BUILD:-}" ]; then
  cmake --preset bench -S "$ROOT" >/dev/null
  cmake --build "$build" --target vantiro-bench-windows vantiro-cli >/dev/null
fi
GUI=$build/bench/vantiro-bench-windows
CLI=$build/cli/vantiro-cli

work=${WORK:-}
if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/vantiro-window-speed.XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
codepage=GBK; case $SRC in *utf8*) codepage=UTF-8 ;; esac
export VANTIRO_CODEPAGE=$codepage

fresh() { rm -rf "$work/pages" "$work/home"; cp -r "$SRC" "$work/pages"; mkdir "$work/home"; sync; }
now() { date +%s.%N; }
# Seconds and rows as the window program prints them. A busy machine sometimes
# fails to bring the X session up: that start is tried again.
window() {
  local out="" try
  for try in 1 2 3; do
    out=$(VANTIRO_HOME=$work/home "$SESSION" run -s 1280x800x24 -- "$GUI" "$@" 2>/dev/null | tail -n 1)
    [ -n "$out" ] && break
  done
  echo "${out:-0 rows=0}"
}
cli() {
  local t0 t1
  t0=$(now)
  "$CLI" --home "$work/home" "$@" >/dev/null 2>&1 || true
  t1=$(now)
  echo "$t1 - $t0" | bc
}

printf '%-9s %6s %9s %9s %9s %9s %7s\n' loop rows window_s cli_s pauses_s budget_s ratio
report() {  # loop rows window cli pauses
  local budget
  budget=$(echo "$4 + $5" | bc -l)
  printf '%-9s %6d %9.2f %9.2f %9.2f %9.2f %6.2fx\n' "$1" "$2" "$3" "$4" "$5" "$budget" "$(echo "$3 / $budget" | bc -l)"
}

has() { case " $STEPS " in *" $1 "*) return 0 ;; esac; return 1; }

# Restore works on what the compression run backed up.
if has compress || has restore; then
  fresh
  read -r gc rows < <(window compress "$work/pages")
  rows=${rows#rows=}
  has restore && read -r gr entries < <(window restore "$work/pages")
  fresh
  cc=$(cli compress "$work/pages")
  has restore && cr=$(cli restore --all)
  has compress && report compress "$rows" "$gc" "$cc" "$(echo "$rows * 0.001" | bc -l)"
  has restore && report restore "${entries#rows=}" "$gr" "$cr" 0
fi
if has replace; then
  fresh
  read -r gs rows < <(window replace "$work/pages")
  rows=${rows#rows=}
  fresh
  cs=$(cli replace --find 参考 --with 參考 --in text "$work/pages"/*)
  report replace "$rows" "$gs" "$cs" "$(echo "$rows * 0.001" | bc -l)"
fi
