#!/bin/sh
# Starts an installed Vantiro. The program keeps its settings, lists and
# backups in its program directory; an installed copy gives every user one of
# their own (VANTIRO_HOME, by default ~/.local/share/vantiro) and links the
# shipped tips and help page into it.
set -e
here=$(dirname "$(readlink -f "$0")")
libdir=$(readlink -f "$here/../lib/vantiro")
if [ -z "${VANTIRO_HOME:-}" ]; then
  VANTIRO_HOME="${XDG_DATA_HOME:-$HOME/.local/share}/vantiro"
fi
export VANTIRO_HOME
mkdir -p "$VANTIRO_HOME"
[ -e "$VANTIRO_HOME/rjyl.dat" ] || ln -s "$libdir/rjyl.dat" "$VANTIRO_HOME/rjyl.dat"
[ -e "$VANTIRO_HOME/help" ] || ln -s "$libdir/help" "$VANTIRO_HOME/help"
exec "$libdir/vantiro" "$@"
