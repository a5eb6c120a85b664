#!/usr/bin/env bash
# Every #include between the program's folders points down the floors:
# platform <- common <- engine folders <- windows <- programs. The command
# line, a program without windows, includes no window.
#   include_direction.sh SOURCE_ROOT
set -euo pipefail
cd "$1"

floor() {
  case $1 in
    platform/*) echo 0 ;;
    common/ui/*) echo 3 ;;
    common/*) echo 1 ;;
    mainwin/* | */*_window.h | */*_window.cpp) echo 3 ;;
    compress/* | backup/* | replace/* | lists/* | pageinfo/* | queue/*) echo 2 ;;
    app/* | cli/*) echo 4 ;;
    *) echo "" ;;
  esac
}

wrong=0
while IFS= read -r file; do
  from=$(floor "$file")
  [ -n "$from" ] || continue
  while IFS= read -r included; do
    to=$(floor "$included")
    [ -n "$to" ] || continue
    if [ "$to" -gt "$from" ] || { [[ $file == cli/* ]] && [ "$to" -eq 3 ]; }; then
      echo "$file includes $included, which is on a higher floor"
      wrong=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find platform common compress backup replace lists pageinfo queue mainwin app cli \
           -name '*.h' -o -name '*.cpp' 2>/dev/null | sort)
exit $wrong
