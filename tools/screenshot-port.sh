#!/usr/bin/env bash
# Takes a picture of the port dialog ("Настройка порта") of zart-tool running
# through an Ethernet gateway: zart-sim's own TCP server on the loopback
# address, named in тп.ini by key Link. The dialog's "Проверить" is pressed,
# so the picture shows what it found.
#
#   tools/screenshot-port.sh [options] [BUILD_DIR]     (default: build)
#
#   --size WxH      screen size (default 1366x768)
#   --dpi N         font DPI given to Qt through QT_FONT_DPI (default: Qt's 96)
#   --wm            run openbox, so the window gets a title bar and a frame
#   --mbap          the gateway converts (Modbus TCP) instead of passing
#                   the RTU frames through
#   --refused       Link names a loopback port nobody listens on, so the
#                   picture shows the refusal
#   --scan          press "Поиск контроллера…" instead, wait for the scan of
#                   the 128 addresses to end and take the scan window
#   --out FILE      where to write (default docs/port-dialog.png, with --scan
#                   docs/port-scan.png)
#
# As in screenshot-main.sh the settings file beside zart-tool is replaced for
# the time of the picture and put back afterwards.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/screenshot-lib.sh"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size=1366x768
dpi=""
wm=0
mbap=()
refused=0
scan=0
out=""
build=build
while [[ $# -gt 0 ]]; do
  case $1 in
    --size) size=$2; shift 2 ;;
    --dpi) dpi=$2; shift 2 ;;
    --wm) wm=1; shift ;;
    --mbap) mbap=(--mbap); shift ;;
    --refused) refused=1; shift ;;
    --scan) scan=1; shift ;;
    --out) out=$2; shift 2 ;;
    -h | --help) sed -n '2,22p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
[[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "--size wants WxH, got $size" >&2; exit 2; }
[[ -z $dpi || $dpi =~ ^[0-9]+$ ]] || { echo "--dpi wants a number, got $dpi" >&2; exit 2; }
[[ -n $out ]] || { ((scan)) && out="$root/docs/port-scan.png" || out="$root/docs/port-dialog.png"; }
[[ $build = /* ]] || build="$root/$build"
[[ $out = /* ]] || out="$PWD/$out"
bin="$build/bin"
tools=(Xvfb xdotool xwininfo import convert)
((wm)) && tools+=(openbox)
shot_need "${tools[@]}"

shot_begin "$bin"

# The simulator as a gateway on a free loopback port; its first line is the
# address to give the tool.
mkfifo "$work/sim.in"
"$bin/zart-sim" --tcp 127.0.0.1:0 "${mbap[@]}" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3>"$work/sim.in"
url=""
for _ in $(seq 50); do
  url=$(head -n1 "$work/sim.out" 2>/dev/null || true)
  [[ -n $url ]] && break
  sleep 0.1
done
[[ -n $url ]] || { echo "zart-sim did not come up" >&2; cat "$work/sim.err" >&2; exit 1; }

((refused)) && url=rtuovertcp://127.0.0.1:1
if [[ -e $ini ]]; then saved_ini="$work/saved.ini"; cp -p "$ini" "$saved_ini"; fi
printf '[PC config]\r\nCOM=5\r\nLink=%s\r\nReplyTimeout=1500\r\n[KZR config]\r\nMBSLAD=7\r\n' "$url" >"$ini"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 "${size}x24" -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
if ((wm)); then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  sleep 1
fi

shot_launch ${dpi:+QT_FONT_DPI="$dpi"}

focus() { xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true; }
# "Настройка порта" from the menu bar (Alt+Н).
focus "$main"
xdotool key --delay 150 alt+Cyrillic_en
dialog=$(wait_window '^Настройка порта$')
sleep 1
focus "$dialog"
if ((scan)); then
  # Focus starts on "ОК"; five steps on (Отмена, the list, Обновить, Быстрый
  # обмен) is "Поиск контроллера…". Through the gateway each address is
  # given 300 ms: the whole range takes about 40 s.
  xdotool key --delay 150 Tab Tab Tab Tab Tab space
  dialog=$(wait_window '^Поиск контроллера$')
  sleep 45
else
  # Focus starts on "ОК"; one step back in the focus chain is "Проверить".
  xdotool key --delay 150 shift+Tab space
  sleep 2
fi

mkdir -p "$(dirname "$out")"
import -window root "$work/screen.png"
geometry=$(xwininfo -id "$dialog" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
  /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}')
convert "$work/screen.png" -crop "$geometry" +repage -strip -colors 128 -define png:compression-level=9 "$out"
echo "wrote $out ($geometry${dpi:+, $dpi dpi})"
