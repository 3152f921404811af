#!/usr/bin/env bash
# Takes docs/traffic-monitor.png and docs/trends.png: zart-tool against the
# simulated controller (type ДРА) on a virtual X display, driven with xdotool.
#
#   tools/screenshot-traffic.sh [BUILD_DIR]     (default: build)
#
# The script presses "СТАРТ", opens the parameters window (its read-all holds
# the link for about 13 s, which the trends show as a gap), switches faults
# on in the simulator's control channel so that the monitor has something to
# show, and photographs the two windows. As in screenshot-main.sh the
# settings file beside zart-tool is replaced for the time of the pictures.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/screenshot-lib.sh"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
bin="$build/bin"
shot_need Xvfb openbox xdotool xwininfo import convert

shot_begin "$bin"

shot_start_sim dra
sim() { echo "$*" >&3; }

shot_settings "$link"

shot_desktop 1400x900
shot_launch

# Focus starts on "СТАРТ"; the engine ramps up.
keys space
sleep 4
# "Сервис" → "Графики" (second item), then back to the main window.
keys alt+Cyrillic_es Down Return
sleep 6
# The parameters window reads all parameters: the link is held, the status
# display and the trends stand still until it is done. A few faults on the
# line meanwhile give the monitor repeats to show.
sim fault bad-crc-every 9
keys alt+Cyrillic_pe
sleep 5
sim fault silent on
sleep 0.35
sim fault silent off
sleep 11
sim fault none
params=$(find_window 'Программируемые параметры')
if [[ -n $params ]]; then xdotool windowclose "$params" >/dev/null 2>&1 || true; fi
sleep 8
trends=$(find_window '^Графики$')
xdotool windowactivate --sync "$trends" >/dev/null 2>&1 || true
xdotool windowmove "$trends" 0 0 windowsize "$trends" 900 520
sleep 1.2
shoot '^Графики$' "$root/docs/trends.png"

# "Сервис" → "Монитор обмена" (first item), with the filter on: the command,
# the parameter reads and the faults, without the idle traffic between them.
keys alt+Cyrillic_es Return
sleep 1
monitor=$(find_window '^Монитор обмена$')
xdotool windowmove "$monitor" 0 0 windowsize "$monitor" 1280 560
xdotool windowactivate --sync "$monitor" >/dev/null 2>&1 || true
sleep 0.3
xdotool key alt+Cyrillic_ef
sleep 1
shoot '^Монитор обмена$' "$root/docs/traffic-monitor.png"
