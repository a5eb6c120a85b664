#!/usr/bin/env bash
# The compressor's single-thread cost as instructions, which a shared, noisy
# machine does not blur: `vantiro-cli compress --dry-run` over a corpus under
# callgrind, at level 1 and at level 2, and the functions that cost most.
#
#   bench/instructions.sh [CORPUS]      default: utf8
#   VANTIRO_CLI=path/to/vantiro-cli, TOP=15 (functions listed per level)
#
# Corpora come from /work/shared/bench/make-corpus.sh (/tmp/bench/corpus-NAME).
# The program is run from a copy without the section callgrind cannot read in
# large debug builds, so that functions keep their names.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
B=${BENCH_DIR:-/tmp/bench}
TOP=${TOP:-15}
c=${1:-utf8}
src=$B/corpus-$c
[ -d "$src" ] || { echo "missing $src (run make-corpus.sh)" >&2; exit 1; }
codepage=GBK; case $c in *utf8) codepage=UTF-8 ;; esac

. "$HERE/cli-path.sh"

work=$(mktemp -d /tmp/vantiro-instr.XXXXXX)
trap 'rm -rf "$work"' EXIT
objcopy "$CLI" "$work/vantiro-cli"

for level in 1 2; do
  VANTIRO_CODEPAGE=$codepage valgrind --tool=callgrind --callgrind-out-file="$work/level$level.out" \
    "$work/vantiro-cli" --home "$work/home" compress --level "$level" --dry-run "$src" >/dev/null 2>"$work/err"
  total=$(callgrind_annotate "$work/level$level.out" | awk '/PROGRAM TOTALS/ {print $1}')
  echo "level $level: $total instructions ($c)"
  callgrind_annotate "$work/level$level.out" | grep -A"$TOP" '^Ir  *file:function' | tail -n "$TOP" |
    sed -E 's/ \[[^]]*\]$//; s/std::basic_string_view<char32_t, std::char_traits<char32_t> >/TextView/g' | cut -c1-140
done
