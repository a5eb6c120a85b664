# Sourced by bench scripts: CLI is $VANTIRO_CLI, or vantiro-cli built for
# release in build/bench-cli from the tree ROOT names.
CLI=${VANTIRO_CLI:-}
if [ -z "$CLI" ]; then
  build=$ROOT/build/bench-cli
  cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTIRO_GUI=OFF -DVANTIRO_TESTS=OFF >/dev/null
  cmake --build "$build" --target vantiro-cli >/dev/null
  CLI=$build/cli/vantiro-cli
fi
# Absolute, for scripts that run it from another directory.
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
