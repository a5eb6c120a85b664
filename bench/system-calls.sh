#!/usr/bin/env bash
# System calls a run makes per page: `vantiro-cli compress` over a fresh copy of
# a corpus, in place and with --into (absolute and relative), counted by strace (every thread), with the
# calls that look a file up by path or descriptor (stat, fstat, lstat, readlink,
# listxattr) summed up as "lookups".
#
#   bench/system-calls.sh [CORPUS...]      default: utf8
#   VANTIRO_CLI=path/to/vantiro-cli, JOBS=N (default: the CLI's own default)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
B=${BENCH_DIR:-/tmp/bench}
. "$HERE/cli-path.sh"
command -v strace >/dev/null || { echo "strace is needed (apt-get install strace)" >&2; exit 1; }

work=$(mktemp -d /tmp/vantiro-calls.XXXXXX)
trap 'rm -rf "$work"' EXIT
jobs=()
[ -n "${JOBS:-}" ] && jobs=(--jobs "$JOBS")

# count NAME PAGES ARGS...: one traced run, a line of calls per page.
count() {
  local name=$1 pages=$2; shift 2
  rm -rf "$work/home"; mkdir "$work/home"
  VANTIRO_CODEPAGE=$codepage strace -f -c -o "$work/calls" "$CLI" --home "$work/home" "$@" >/dev/null 2>&1 || true
  python3 - "$work/calls" "$pages" "$name" <<'PY'
import sys
calls = {}
for line in open(sys.argv[1]):
    f = line.split()
    if len(f) >= 5 and f[-1].isidentifier() and f[3].isdigit():
        calls[f[-1]] = int(f[3])
pages = int(sys.argv[2])
lookups = sum(v for k, v in calls.items() if k in ("newfstatat", "fstat", "stat", "lstat", "statx", "readlink", "listxattr"))
shown = ["newfstatat", "readlink", "openat", "read", "write", "writev", "rename", "linkat", "fsync", "fdatasync"]
print(f"{sys.argv[3]:<10} lookups/page {lookups / pages:6.2f}   " +
      "  ".join(f"{k} {calls.get(k, 0) / pages:.2f}" for k in shown) +
      f"   all {sum(calls.values()) / pages:.1f}")
PY
}

for c in "${@:-utf8}"; do
  src=$B/corpus-$c
  [ -d "$src" ] || { echo "missing $src (run make-corpus.sh)" >&2; continue; }
  codepage=GBK; case $c in *utf8) codepage=UTF-8 ;; esac
  pages=$(ls "$src" | wc -l)
  echo "$c: $pages pages"
  rm -rf "$work/out"
  count "--into" "$pages" compress "${jobs[@]}" --into "$src" "$work/out"
  # As typed in a shell: both directories relative to the current one.
  rm -rf "$work/out"; ln -sfn "$src" "$work/site"
  (cd "$work" && count "--into rel" "$pages" compress "${jobs[@]}" --into site out)
  rm -rf "$work/pages"; cp -r "$src" "$work/pages"
  count "in place" "$pages" compress "${jobs[@]}" "$work/pages"
  count "dry run" "$pages" compress "${jobs[@]}" --dry-run "$src"
done
