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

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
# A window manager, so that xdotool can hand the keyboard to a window.
openbox >"$work/wm.log" 2>&1 &
wm_pid=$!
sleep 1

QT_QPA_PLATFORM=xcb "$bin/zart-tool" >"$work/tool.log" 2>&1 &
tool_pid=$!
main=""
for _ in $(seq 50); do
  main=$(xdotool search --name 'Modbus' 2>/dev/null | head -1 || true)
  [[ -n $main ]] && break
  sleep 0.2
done
[[ -n $main ]] || { echo "main window not found" >&2; cat "$work/tool.log" >&2; exit 1; }
sleep 1.5

keys() {
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  sleep 0.3
  xdotool key --delay 150 "$@"
}
find_window() { xdotool search --name "$1" 2>/dev/null | head -1 || true; }
shoot() {  # window name, output file
  local id geometry
  id=$(find_window "$1")
  [[ -n $id ]] || { echo "window \"$1\" not found" >&2; cat "$work/tool.log" >&2; exit 1; }
  geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}')
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$geometry" +repage -colors 128 "PNG8:$2"
  echo "wrote $2 ($geometry)"
}

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
