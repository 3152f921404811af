#!/usr/bin/env bash
# Takes docs/service-report-page1.png: the first page of the service report's
# PDF after a read-all and a checked write-all against the simulated
# controller, made by the commissioning end-to-end test and turned into a
# picture with pdftoppm (Debian package poppler-utils).
#
#   tools/screenshot-report.sh [BUILD_DIR]     (default: build)
#
# Builds nothing: BUILD_DIR/bin must hold e2e_tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
test="$build/bin/e2e_tests"
[[ -x $test ]] || { echo "missing $test: build it first" >&2; exit 1; }
command -v pdftoppm >/dev/null || { echo "pdftoppm missing: apt-get install poppler-utils" >&2; exit 1; }
pdf=$(mktemp --suffix=.pdf)
trap 'rm -f "$pdf"' EXIT
QT_QPA_PLATFORM=offscreen ZART_REPORT_PDF="$pdf" "$test" --gtest_filter='Commissioning/E2e.Runs/WriteAllLeaves*'
pdftoppm -png -r 90 -f 1 -l 1 -singlefile "$pdf" "$root/docs/service-report-page1"
echo "wrote $root/docs/service-report-page1.png"
