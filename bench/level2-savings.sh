#!/usr/bin/env bash
# What `compress --level 2` saves beside the peer minifiers of the shared bench, on the shared corpora
# and their CR LF twins, with the CPU time of each whole process (user + sys, one run: compare the
# ratios of one run; the machine is shared). The CPU times of Vantiro and of the fastest peer are the
# medians of RUNS runs taken in turns.
#
#   bash bench/level2-savings.sh [CLI]        # CLI defaults to build/release/cli/vantiro-cli; RUNS=3
#
# Needs the corpora of ../shared/bench (make-corpus.sh) and its peers installed under /tmp/bench/peers
# as its README says. The CR LF twins are made once under /tmp/bench/crlf-*. Prints a markdown table.
set -euo pipefail
CLI=$(realpath "${1:-build/release/cli/vantiro-cli}")
B=/tmp/bench
PEERS=${PEER_DRIVERS:-/work/shared/bench/peers}
HOME_DIR=$(mktemp -d)
OUT=$(mktemp -d)
trap 'rm -rf "$HOME_DIR" "$OUT"' EXIT

# The same pages with every line ending in CR LF.
twin() {
  local src=$1 dst=$2
  [ -d "$dst" ] && return
  mkdir -p "$dst"
  python3 - "$src" "$dst" <<'EOF'
import os, sys
src, dst = sys.argv[1], sys.argv[2]
for name in os.listdir(src):
    data = open(os.path.join(src, name), 'rb').read().replace(b'\r\n', b'\n').replace(b'\n', b'\r\n')
    open(os.path.join(dst, name), 'wb').write(data)
EOF
}

RUNS=${RUNS:-3}
cpu() { awk '{printf "%.3f", $1 + $2}' "$1"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

vantiro() {  # level dir -> "saved% cpu"
  local t=$OUT/time saved
  saved=$(/usr/bin/time -f '%U %S' -o "$t" "$CLI" --home "$HOME_DIR" compress --dry-run --quiet --level "$1" "$2" |
    grep -o '[0-9.]*%$' | tr -d %)
  echo "$saved $(cpu "$t")"
}

peer() {  # driver gbk? dir -> "saved% cpu"
  local t=$OUT/time saved flag=()
  [ "$2" = gbk ] && flag=(--gbk)
  rm -rf "$OUT/peer"
  saved=$(/usr/bin/time -f '%U %S' -o "$t" node "$PEERS/$1" "${flag[@]}" "$3" "$OUT/peer" |
    grep -o '"savedPct":[0-9.]*' | cut -d: -f2)
  echo "$saved $(cpu "$t")"
}

echo "| corpus | level 1 | level 2 | CPU s (1 / 2) | @minify-html | @swc/html | html-minifier-terser | fastest peer CPU s: its ratio to level 2 |"
echo "|---|---|---|---|---|---|---|---|"
for c in utf8 zh-gbk; do
  twin "$B/corpus-$c" "$B/crlf-corpus-$c"
  for d in "$B/corpus-$c" "$B/crlf-corpus-$c"; do
    enc=utf8; case $c in *gbk) enc=gbk ;; esac
    : >"$OUT/c1"; : >"$OUT/c2"; : >"$OUT/cmh"
    for _ in $(seq "$RUNS"); do
      read -r s1 c1 < <(vantiro 1 "$d"); echo "$c1" >>"$OUT/c1"
      read -r s2 c2 < <(vantiro 2 "$d"); echo "$c2" >>"$OUT/c2"
      read -r mh cmh < <(peer minify-html.js $enc "$d"); echo "$cmh" >>"$OUT/cmh"
    done
    c1=$(median <"$OUT/c1"); c2=$(median <"$OUT/c2"); cmh=$(median <"$OUT/cmh")
    read -r swc _ < <(peer swc-html.js $enc "$d")
    read -r hmt _ < <(peer html-minifier-terser.js $enc "$d")
    label=$c; case $d in *crlf*) label="$c+crlf" ;; esac
    echo "| $label | $s1% | $s2% | $c1 / $c2 | $mh% | $swc% | $hmt% | $(awk -v a="$cmh" -v b="$c2" 'BEGIN {printf "%.2f s: %.2fx", a, a / b}') |"
  done
done
