#!/usr/bin/env bash
# Takes pictures of the parameters window of zart-tool after a read-all from
# the simulated controller, on a virtual X display of a given size and DPI,
# with or without a window manager.
#
#   tools/screenshot-params.sh [options] [BUILD_DIR]     (default: build)
#     -s WxH    screen size                    (default: both pictures below)
#     -d DPI    font DPI (QT_FONT_DPI)         (default 96)
#     -w        run openbox as window manager
#     -o FILE   output PNG
#     -t SEC    seconds to wait for the read-all (default 20)
#     -f        the whole screen instead of the window scrolled left and right
#
# Without -s it takes the two pictures kept under docs/:
#   docs/param-window-1366x768.png            1366×768, 96 dpi
#   docs/param-window-1920x1080-144dpi.png    1920×1080, 144 dpi
#
# Builds nothing: BUILD_DIR/bin must hold zart-tool and zart-sim. The tool
# reads no options, so its settings file beside the executable maps COM5 to
# the simulator's pseudo-terminal for the time of the picture; a settings
# file that was there before is put back afterwards.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/screenshot-lib.sh"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size="" dpi=96 wm=0 full=0 out="" wait_s=20
while getopts "s:d:wo:t:f" opt; do
  case $opt in
    s) size=$OPTARG ;;
    d) dpi=$OPTARG ;;
    w) wm=1 ;;
    o) out=$OPTARG ;;
    t) wait_s=$OPTARG ;;
    f) full=1 ;;
    *) sed -n '2,22p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"

if [[ -z $size ]]; then
  args=(-t "$wait_s")
  ((wm)) && args+=(-w)
  ((full)) && args+=(-f)
  "$0" "${args[@]}" -s 1366x768 -d 96 -o "$root/docs/param-window-1366x768.png" "$build"
  "$0" "${args[@]}" -s 1920x1080 -d 144 -o "$root/docs/param-window-1920x1080-144dpi.png" "$build"
  exit 0
fi
[[ -n $out ]] || out="$root/docs/param-window-$size-${dpi}dpi.png"

bin="$build/bin"
shot_need Xvfb xwininfo xdotool import convert
((wm == 0)) || shot_need openbox

shot_begin "$bin"

shot_start_sim dgu

shot_settings "$link"

display=":$((100 + RANDOM % 400))"
Xvfb "$display" -screen 0 "${size}x24" -dpi "$dpi" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
if ((wm)); then
  DISPLAY=$display openbox >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  sleep 1
fi

DISPLAY=$display QT_QPA_PLATFORM=xcb QT_FONT_DPI=$dpi "$bin/zart-tool" >"$work/tool.log" 2>&1 &
tool_pid=$!

# The main window's menu bar: "Программируемые параметры" is its first item.
main=""
for _ in $(seq 50); do
  main=$(DISPLAY=$display xdotool search --onlyvisible --name 'Modbus' 2>/dev/null | head -1 || true)
  [[ -n $main ]] && break
  sleep 0.2
done
[[ -n $main ]] || { echo "main window not found" >&2; cat "$work/tool.log" >&2; exit 1; }
sleep 2  # the link comes up and the menu is enabled
scale=$((dpi * 100 / 96))
DISPLAY=$display xdotool mousemove --window "$main" $((40 * scale / 100)) $((10 * scale / 100)) click 1

params=""
for _ in $(seq 50); do
  params=$(DISPLAY=$display xdotool search --onlyvisible --name 'Программируемые параметры' 2>/dev/null | head -1 || true)
  [[ -n $params ]] && break
  sleep 0.2
done
[[ -n $params ]] || { echo "parameters window not found" >&2; cat "$work/tool.log" >&2; exit 1; }
sleep "$wait_s"  # the read-all: some 13 s at 9600 baud
DISPLAY=$display xdotool mousemove 0 0

# Two views of the window stacked: scrolled to the left edge as it opens,
# and scrolled to the right end by two clicks into the horizontal bar's
# trough (where the screen is narrower than the window), which lies just
# above the window's status line. With -f the
# whole screen instead, to see whether the window, frame included, fits.
# xwininfo, not xdotool: under openbox xdotool counts the title bar twice.
read -r wx wy ww wh < <(xwininfo -display "$display" -id "$params" |
  awk -F: '/Absolute upper-left X/{x=$2} /Absolute upper-left Y/{y=$2} /Width/{w=$2} /Height/{h=$2} END{print x+0, y+0, w+0, h+0}')
import -display "$display" -window root "$work/left.png"
if ((full)); then
  convert "$work/left.png" -colors 128 -define png:compression-level=9 "$out"
else
  for _ in 1 2; do
    DISPLAY=$display xdotool mousemove $((wx + ww - 40 * scale / 100)) $((wy + wh - 26 * scale / 100)) click 1
    sleep 0.5
  done
  DISPLAY=$display xdotool mousemove 0 0
  sleep 0.5
  import -display "$display" -window root "$work/right.png"
  # Of the second view only what the first did not show (frm_prg is 27135
  # twips wide), with a little of the first for orientation; the rest of
  # its row stays blank, which keeps the file small.
  seen=$((2 * ww - 27135 * dpi / 1440 - 100))
  ((seen > 0)) || seen=0
  convert \( "$work/left.png" -crop "${ww}x${wh}+${wx}+${wy}" +repage \) \
    \( "$work/right.png" -crop "$((ww - seen))x${wh}+$((wx + seen))+${wy}" +repage \) \
    -background '#efefef' -gravity East -append -colors 64 -define png:compression-level=9 "$out"
fi
echo "wrote $out ($size at $dpi dpi$( ((wm)) && echo ', openbox'))"
