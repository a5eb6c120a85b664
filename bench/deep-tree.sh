#!/usr/bin/env bash
# Time of scanning a directory chain DEPTH levels deep (one page at the
# bottom) with `vantiro-cli compress --dry-run`, which walks the tree as the
# main window's scan does.
#
#   bench/deep-tree.sh [DEPTH...]      default: 600 1200 2500
#   VANTIRO_CLI=path/to/vantiro-cli
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
. "$HERE/cli-path.sh"
work=$(mktemp -d /tmp/vantiro-deep.XXXXXX)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }

printf '%-6s %9s %s\n' depth scan_s rows
for depth in "${@:-600 1200 2500}"; do
  for d in $depth; do
    rm -rf "$work/tree" "$work/home"; mkdir -p "$work/tree" "$work/home"
    python3 - "$work/tree" "$d" <<'PY'
import os, sys
os.chdir(sys.argv[1])
for level in range(int(sys.argv[2])):
    os.mkdir("d"); os.chdir("d")
    with open("p.htm", "w") as page:
        page.write("<html><body>x</body></html>")
PY
    t0=$(now)
    rows=$("$CLI" --home "$work/home" compress --dry-run "$work/tree" 2>/dev/null | wc -l)
    t1=$(now)
    printf '%-6d %9.3f %s\n' "$d" "$(echo "$t1 - $t0" | bc)" "$rows"
  done
done
