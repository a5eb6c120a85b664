#!/usr/bin/env bash
# Peak memory of compressing one large page, against the page's size: an
# ordinary table-layout page of SIZE_MB megabytes is written, compressed in
# place by `vantiro-cli compress` (backup entry and all), and the peak resident
# size the kernel saw is printed with its ratio to the page, at the standard
# level and at level 2 with paragraphs laid out with spaces. The same for a
# search and replace in the texts between its tags and in the whole page, and
# in the specific mode's title and links.
#
#   bench/page-memory.sh [SIZE_MB...]      default: 200
#   VANTIRO_CLI=path/to/vantiro-cli, WORK=directory for the page (default: a fresh one under /tmp)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)

. "$HERE/cli-path.sh"

work=${WORK:-$(mktemp -d /tmp/vantiro-memory.XXXXXX)}
mkdir -p "$work/home"
trap 'rm -rf "$work/page.htm" "$work/original.htm" "$work/peak" "$work/home"' EXIT

for mb in "${@:-200}"; do
  python3 - "$work/page.htm" "$mb" <<'PY'
import sys
path, mb = sys.argv[1], int(sys.argv[2])
row = ('  <tr>\r\n    <td width="30%" class="name">  Item &nbsp; name  </td>\r\n'
       '    <td><a href="page.htm">  a link  </a>  <b>bold</b>  text   with   spaces</td>\r\n  </tr>\r\n')
with open(path, 'w', newline='') as f:
    f.write('<html>\r\n<head>\r\n  <title>t</title>\r\n</head>\r\n<body>\r\n<table>\r\n')
    f.write(row * (mb * 1024 * 1024 // len(row)))
    f.write('</table>\r\n</body>\r\n</html>\r\n')
PY
  size=$(stat -c %s "$work/page.htm")
  cp "$work/page.htm" "$work/original.htm"
  for what in compress compress-level2 replace-text replace-page replace-title replace-link; do
    cp "$work/original.htm" "$work/page.htm"
    rm -rf "$work/home"/*
    case $what in
      compress) args=(compress --quiet) ;;
      compress-level2) args=(compress --quiet --level 2 --paragraphs) ;;
      replace-text) args=(replace --find link --with url) ;;
      replace-page) args=(replace --find link --with url --in page) ;;
      replace-title) args=(replace --kind title --find t --with u) ;;
      replace-link) args=(replace --kind link --find page --with url) ;;
    esac
    /usr/bin/time -f '%M' -o "$work/peak" "$CLI" --home "$work/home" "${args[@]}" "$work/page.htm" >/dev/null
    peak_kb=$(tail -1 "$work/peak")
    awk -v what="$what" -v size="$size" -v peak="$peak_kb" \
      'BEGIN { printf "%-13s page %.1f MB\tpeak %.1f MB\tpeak / page %.2f\n", what, size / 1048576, peak / 1024, peak * 1024 / size }'
  done
done
