#!/usr/bin/env bash
# Kills `vantiro-cli compress` with SIGKILL at random moments over a set of
# pages and checks after every kill that each page is its original or its
# full result, and at the end that restoring every entry (newest first, so
# that each page's oldest copy is written last) gives back every original byte.
#
#   tests/faults/kill_soak.sh CLI [KILLS] [PAGES] [SOURCE_DIR]
#   default: 30 kills over 2000 pages, copies of /tmp/bench/corpus-zh-gbk;
#   JOBS=N runs every compression with --jobs N
set -euo pipefail
CLI=$1
KILLS=${2:-30}
PAGES=${3:-2000}
SRC=${4:-/tmp/bench/corpus-zh-gbk}
jobs=()
[ -n "${JOBS:-}" ] && jobs=(--jobs "$JOBS")
work=$(mktemp -d /tmp/vantiro-kill-soak.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/orig" "$work/home" "$work/clean-home"
mapfile -t sources < <(ls "$SRC")
for ((k = 0; k < PAGES; k++)); do
  cp "$SRC/${sources[k % ${#sources[@]}]}" "$work/orig/p$k.htm"
done
# What a run that is not killed writes, once and twice over.
cp -r "$work/orig" "$work/clean"
start=$(date +%s.%N)
"$CLI" --home "$work/clean-home" compress "${jobs[@]}" "$work/clean" >/dev/null 2>&1 || true
runtime=$(echo "$(date +%s.%N) - $start" | bc)
cp -r "$work/clean" "$work/clean2"
"$CLI" --home "$work/clean-home" compress "${jobs[@]}" "$work/clean2" >/dev/null 2>&1 || true
cp -r "$work/orig" "$work/pages"

echo "pages=$PAGES  bytes=$(cat "$work"/orig/* | wc -c)  one whole run: ${runtime}s"

bad=0 total_left=0 max_left=0
for ((kill = 1; kill <= KILLS; kill++)); do
  delay=$(python3 -c "import random; print(round(random.uniform(0.02, max(0.1, $runtime)), 3))")
  "$CLI" --home "$work/home" compress "${jobs[@]}" "$work/pages" >/dev/null 2>&1 &
  pid=$!
  sleep "$delay"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  left=$(find "$work/pages" -name '.*.vantiro-*' | wc -l)
  total_left=$((total_left + left)); ((left > max_left)) && max_left=$left
  state=$(python3 - "$work" "$PAGES" <<'PY'
import sys, filecmp
work, pages = sys.argv[1], int(sys.argv[2])
counts = {"original": 0, "result": 0, "result of result": 0, "other": 0}
for k in range(pages):
    now = open(f"{work}/pages/p{k}.htm", "rb").read()
    for kind in ("orig", "clean", "clean2"):
        if now == open(f"{work}/{kind}/p{k}.htm", "rb").read():
            counts[{"orig": "original", "clean": "result", "clean2": "result of result"}[kind]] += 1
            break
    else:
        counts["other"] += 1
print(" ".join(f"{v}" for v in counts.values()))
PY
)
  read -r o r rr other <<<"$state"
  ((other > 0)) && bad=$((bad + other))
  # Pages put back as they were (by another program, as far as the store
  # knows) once most are compressed, so that every kill meets a run at work.
  if ((o < PAGES / 5)); then cp "$work"/orig/* "$work/pages/"; fi
  printf 'kill %2d after %6.3fs: original %4d, result %4d, result of result %4d, other %d, temporaries left %d\n' \
    "$kill" "$delay" "$o" "$r" "$rr" "$other" "$left"
done
# One run that is not killed (a second later, so that every leftover is
# older than it): it clears what the kills left.
sleep 1.1
"$CLI" --home "$work/home" compress "${jobs[@]}" "$work/pages" >/dev/null 2>&1 || true
after=$(find "$work/pages" -name '.*.vantiro-*' | wc -l)
entries=$(( $(wc -l <"$work/home/bak.kbq") / 4 ))
"$CLI" --home "$work/home" restore --all --newest-first >/dev/null 2>&1 || true
restored_bad=$(python3 - "$work" "$PAGES" <<'PY'
import sys
work, pages = sys.argv[1], int(sys.argv[2])
print(sum(open(f"{work}/pages/p{k}.htm", "rb").read() != open(f"{work}/orig/p{k}.htm", "rb").read() for k in range(pages)))
PY
)
echo "kills=$KILLS  pages neither original nor result=$bad  temporaries left by kills: total $total_left, at most $max_left, after the next run $after"
echo "backup entries=$entries  pages not restored to their original bytes=$restored_bad"
