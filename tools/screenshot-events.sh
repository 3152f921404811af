#!/usr/bin/env bash
# Takes docs/event-log.png: zart-tool against the simulated controller (type
# ДГУ) on a virtual X display with a window manager, signal names from a
# file, the engine started, an alarm raised and acknowledged, control
# blocked for a moment and the link silent for two seconds; then the event
# log and the trends (time of day on their axis) are photographed.
#
#   tools/screenshot-events.sh [BUILD_DIR] [SCREEN] [DPI] [OUT_DIR]
#       (defaults: build, 1366x768, 96, docs; at another size or dpi the
#        pictures are event-log-SCREEN-DPI.png and trends-SCREEN-DPI.png)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/screenshot-lib.sh"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
screen=${2:-1366x768}
dpi=${3:-96}
out=${4:-$root/docs}
bin="$build/bin"
shot_need Xvfb openbox xdotool xwininfo import convert
suffix=""
[[ $screen == 1366x768 && $dpi == 96 ]] || suffix="-$screen-$dpi"

shot_begin "$bin"
shot_start_sim dgu
sim() { echo "$*" >&3; }
shot_settings "$link"
# Names for the signals the simulator drives, in Windows-1251 as a service
# engineer's file from a Windows machine would be, named in тп.ini.
printf '[Signals]\r\nS1=Двигатель работает\r\nS2=Готов к пуску\r\nS3=Стартер\r\nS4=Топливный клапан\r\nS5=Зарядный генератор\r\nS6=Авария\r\nS7=Предупреждение\r\nS8=Управление заблокировано\r\nS255=Контроллер жив\r\n' |
  iconv -f UTF-8 -t CP1251 >"$work/сигналы.ini"
printf '[PC config]\r\nCOM=5\r\nSignalNames=%s\r\n[KZR config]\r\nMBSLAD=7\r\n[Ports]\r\nCOM5=%s\r\n' "$work/сигналы.ini" "$link" |
  iconv -f UTF-8 -t CP1251 >"$ini"

shot_desktop "$screen"
shot_launch QT_FONT_DPI="$dpi"

# Focus starts on "СТАРТ": the engine starts and runs up.
keys space
sleep 5
sim alarm
sleep 2
sim block on
sleep 1.5
sim block off
sleep 1
sim fault silent on
sleep 2.5
sim fault silent off
sleep 2
# "Сервис" → "Журнал событий".
keys alt+Cyrillic_es Cyrillic_es
sleep 2
events=$(find_window '^Журнал событий$')
[[ -n $events ]] || { echo "the event log did not open" >&2; cat "$work/tool.log" >&2; exit 1; }
xdotool windowactivate --sync "$events" >/dev/null 2>&1 || true
sleep 1
mkdir -p "$out"
shoot '^Журнал событий$' "$out/event-log$suffix.png"
# "Сервис" → "Графики", at other sizes than the README's (whose trends come
# from screenshot-traffic.sh).
if [[ -n $suffix ]]; then
  keys alt+Cyrillic_es Cyrillic_ghe
  sleep 2
  shoot '^Графики$' "$out/trends$suffix.png"
fi
