#!/usr/bin/env bash
# Speed of `vantiro-cli restore --all` by the number of entries, next to the
# copy floor (read every saved page, write it over an earlier copy) over the
# same bytes.
#
#   bench/restore-all.sh [ENTRIES...]      default: 1000 5000 20000 100000
#   PAGE_BYTES=1000 (bytes per saved page), VANTIRO_CLI=path/to/vantiro-cli
#
# The backup store is written directly: one page per entry, spread over
# directories of 1,000 pages.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
PAGE_BYTES=${PAGE_BYTES:-1000}
FLOOR_SRC=${FLOOR_SRC:-$ROOT/../shared/bench/floor/copy.cpp}
. "$HERE/cli-path.sh"
COPY=${COPY:-/tmp/bench/copy}
[ -x "$COPY" ] || g++ -O2 -std=c++17 -o "$COPY" "$FLOOR_SRC"

work=$(mktemp -d /tmp/vantiro-restore.XXXXXX)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }

printf '%-8s %9s %9s %9s %7s\n' entries MB restore_s floor_s ratio
for n in "${@:-1000 5000 20000 100000}"; do
  for count in $n; do
    rm -rf "$work/pages" "$work/home" "$work/out"; mkdir -p "$work/home"
    python3 - "$work" "$count" "$PAGE_BYTES" <<'PY'
import os, sys
work, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
body = (b"<html><body>" + b"x" * size)[:size]
with open(f"{work}/home/bak.dat", "wb") as data, open(f"{work}/home/bak.kbq", "wb") as index:
    at = 0
    for k in range(count):
        d = f"{work}/pages/d{k // 1000}"
        if k % 1000 == 0:
            os.makedirs(d)
        path = f"{d}/p{k}.htm"
        with open(path, "wb") as page:
            page.write(b"changed")
        data.write(b" " * 99 + body)
        index.write(f"{path}\r\n{at + 100}\r\n{size}\r\n2026-01-01 00:00:00\r\n".encode())
        at += 99 + size
PY
    sync
    t0=$(now)
    "$CLI" --home "$work/home" restore --all >/dev/null
    t1=$(now)
    bad=$(find "$work/pages" -type f -size -$((PAGE_BYTES))c | wc -l)
    # The floor writes over files its warm-up wrote, as a restore writes over
    # pages: writing over a file makes the file system write it out at once.
    for d in "$work"/pages/d*; do "$COPY" "$d" "$work/out/$(basename "$d")" >/dev/null; done
    sync
    t2=$(now)
    for d in "$work"/pages/d*; do "$COPY" "$d" "$work/out/$(basename "$d")" >/dev/null; done
    t3=$(now)
    v=$(echo "$t1 - $t0" | bc); f=$(echo "$t3 - $t2" | bc)
    printf '%-8d %9.1f %9.3f %9.3f %6.2fx   not restored=%s\n' "$count" \
      "$(echo "$count*$PAGE_BYTES/1000000" | bc -l)" "$v" "$f" "$(echo "$v/$f" | bc -l)" "$bad"
  done
done
