#!/usr/bin/env bash
# Takes docs/main-window.png: the main window of zart-tool talking to the
# simulated controller, on a virtual X display.
#
#   tools/screenshot-main.sh [BUILD_DIR]     (default: build)
#
# Builds nothing: BUILD_DIR/bin must hold zart-tool and zart-sim. The tool
# reads no options, so its settings file beside the executable maps COM5 to
# the simulator's pseudo-terminal for the time of the picture; a settings file
# that was there before is put back afterwards.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
bin="$build/bin"
out="$root/docs/main-window.png"
for exe in zart-tool zart-sim; do
  [[ -x "$bin/$exe" ]] || { echo "missing $bin/$exe: build it first" >&2; exit 1; }
done
for tool in Xvfb xwininfo import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d)
link="$work/zart-sim.pty"
ini="$bin/тп.ini"
saved_ini=""
sim_pid="" tool_pid="" xvfb_pid=""

cleanup() {
  set +e
  exec 3>&- 2>/dev/null
  for pid in "$tool_pid" "$sim_pid" "$xvfb_pid"; do
    if [[ -n $pid ]]; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
    fi
  done
  if [[ -n $saved_ini ]]; then mv -f "$saved_ini" "$ini"; else rm -f "$ini"; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The simulator; its control channel is a FIFO kept open by this script.
mkfifo "$work/sim.in"
"$bin/zart-sim" --link "$link" --type dgu <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3>"$work/sim.in"
for _ in $(seq 50); do [[ -e $link ]] && break; sleep 0.1; done
[[ -e $link ]] || { echo "zart-sim did not come up" >&2; cat "$work/sim.err" >&2; exit 1; }

if [[ -e $ini ]]; then saved_ini="$work/saved.ini"; cp -p "$ini" "$saved_ini"; fi
printf '[PC config]\r\nCOM=5\r\n[KZR config]\r\nMBSLAD=7\r\n[Ports]\r\nCOM5=%s\r\n' "$link" >"$ini"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done

DISPLAY=$display QT_QPA_PLATFORM=xcb "$bin/zart-tool" >"$work/tool.log" 2>&1 &
tool_pid=$!
sleep 2

# There is no way to click here without xdotool, so "СТАРТ" is sent straight
# into the line, the same frame the button queues (slave 7, register 402,
# code 0x1238). The simulator answers it and the engine ramps up.
printf '\x07\x06\x01\x92\x12\x38\x24\xCF' >"$link"
sleep 2.5

# No window manager runs, so the window stands undecorated where it opened.
geometry=$(xwininfo -display "$display" -root -tree | grep -m1 'Modbus' |
  sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) +\+(-?[0-9]+)\+(-?[0-9]+).*/\1x\2+\5+\6/')
[[ -n $geometry ]] || { echo "main window not found" >&2; cat "$work/tool.log" >&2; exit 1; }
import -display "$display" -window root "$work/screen.png"
convert "$work/screen.png" -crop "$geometry" +repage "$out"
echo "wrote $out ($geometry)"
