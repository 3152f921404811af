#!/usr/bin/env bash
# Takes a picture of the main window of zart-tool talking to the simulated
# controller, on a virtual X display.
#
#   tools/screenshot-main.sh [options] [BUILD_DIR]     (default: build)
#
#   --size WxH      screen size (default 1400x900)
#   --dpi N         font DPI given to Qt through QT_FONT_DPI (default: Qt's 96)
#   --wm            run openbox, so the window gets a title bar and a frame
#                   and the window manager places it
#   --blocked       the controller reports control over Modbus blocked, so
#                   the red banner shows
#   --port-error    COM5 maps to a device that does not exist: the picture
#                   shows the start-up message box instead of the window
#   --details       with --port-error: the box's details opened
#   --screen        keep the whole screen instead of cropping to the window
#   --out FILE      where to write (default docs/main-window.png)
#
# Builds nothing: BUILD_DIR/bin must hold zart-tool and zart-sim. The tool
# reads no options, so its settings file beside the executable maps COM5 to
# the simulator's pseudo-terminal for the time of the picture; a settings file
# that was there before is put back afterwards.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/screenshot-lib.sh"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size=1400x900
dpi=""
wm=0
blocked=0
port_error=0
details=0
whole_screen=0
out="$root/docs/main-window.png"
build=build
while [[ $# -gt 0 ]]; do
  case $1 in
    --size) size=$2; shift 2 ;;
    --dpi) dpi=$2; shift 2 ;;
    --wm) wm=1; shift ;;
    --blocked) blocked=1; shift ;;
    --port-error) port_error=1; shift ;;
    --details) details=1; shift ;;
    --screen) whole_screen=1; shift ;;
    --out) out=$2; shift 2 ;;
    -h | --help) sed -n '2,22p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "--size wants WxH, got $size" >&2; exit 2; }
[[ -z $dpi || $dpi =~ ^[0-9]+$ ]] || { echo "--dpi wants a number, got $dpi" >&2; exit 2; }
[[ $build = /* ]] || build="$root/$build"
[[ $out = /* ]] || out="$PWD/$out"
bin="$build/bin"
tools=(Xvfb xwininfo import convert)
((wm)) && tools+=(openbox)
((details)) && tools+=(xdotool)
shot_need "${tools[@]}"

shot_begin "$bin"

shot_start_sim dgu
((blocked)) && echo "block on" >&3

device=$link
((port_error)) && device="$work/no-such-device"
shot_settings "$device"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 "${size}x24" -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
if ((wm)); then
  DISPLAY=$display openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  sleep 1
fi

qt_env=(DISPLAY="$display" QT_QPA_PLATFORM=xcb)
[[ -n $dpi ]] && qt_env+=(QT_FONT_DPI="$dpi")
env "${qt_env[@]}" "$bin/zart-tool" >"$work/tool.log" 2>&1 &
tool_pid=$!
sleep 2

if ((port_error)); then
  title='Ошибка открытия порта'
  if ((details)); then
    # The details button comes next after OK in the box's focus chain.
    id=$(DISPLAY=$display xdotool search --sync --name "$title" | head -n1)
    DISPLAY=$display xdotool windowactivate --sync "$id" 2>/dev/null || DISPLAY=$display xdotool windowfocus "$id"
    DISPLAY=$display xdotool key --window "$id" Tab space
    sleep 1
  fi
else
  title='Modbus'
  # There is no way to click here without xdotool, so "СТАРТ" is sent
  # straight into the line, the same frame the button queues (slave 7,
  # register 402, code 0x1238). The simulator answers it and the engine
  # ramps up.
  printf '\x07\x06\x01\x92\x12\x38\x24\xCF' >"$link"
  sleep 2.5
fi

mkdir -p "$(dirname "$out")"
# A window of flat colours loses nothing visible in a 128-colour palette,
# and the picture stays small enough to keep in the repository.
small=(-strip -colors 128 -define png:compression-level=9)
import -display "$display" -window root "$work/screen.png"
if ((whole_screen)); then
  convert "$work/screen.png" "${small[@]}" "$out"
  echo "wrote $out (screen $size${dpi:+, $dpi dpi})"
  exit 0
fi
# The tool's own window (without the frame a window manager adds): its size
# and its absolute place on the screen.
geometry=$(xwininfo -display "$display" -root -tree | grep -m1 "$title" |
  sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) +\+(-?[0-9]+)\+(-?[0-9]+).*/\1x\2+\5+\6/')
[[ -n $geometry ]] || { echo "window not found" >&2; cat "$work/tool.log" >&2; exit 1; }
convert "$work/screen.png" -crop "$geometry" +repage "${small[@]}" "$out"
echo "wrote $out ($geometry${dpi:+, $dpi dpi})"
