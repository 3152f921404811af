#!/usr/bin/env bash
# Takes docs/param-window.png: the parameters window after a read-all from
# the simulated controller, rendered offscreen by the window's end-to-end
# test.
#
#   tools/screenshot-params.sh [BUILD_DIR]     (default: build)
#
# Builds nothing: BUILD_DIR/bin must hold e2e_tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
test="$build/bin/e2e_tests"
[[ -x $test ]] || { echo "missing $test: build it first" >&2; exit 1; }
QT_QPA_PLATFORM=offscreen ZART_PARAM_SCREENSHOT="$root/docs/param-window.png" \
  "$test" --gtest_filter='*ReadAllFillsEveryBox*'
echo "wrote $root/docs/param-window.png"
