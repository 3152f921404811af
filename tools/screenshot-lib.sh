#!/usr/bin/env bash
# Shared by the screenshot scripts: checks for the tools they need, starts
# zart-sim on a pseudo-terminal with its control channel on descriptor 3,
# points the settings file beside zart-tool at it, and undoes all of that
# when the script ends. Sourced, not run.
#   shot_need TOOL...         exits with a message when a tool is missing
#   shot_begin BIN_DIR        work folder, cleanup trap; sets work, link, ini
#   shot_start_sim TYPE       zart-sim --type TYPE (dgu or dra)
#   shot_settings DEVICE      тп.ini maps COM5 to DEVICE (the previous file
#                             is put back at the end)
#   shot_desktop SCREEN       Xvfb of SCREEN (e.g. 1366x768) with openbox
#   shot_launch [VAR=VALUE…]  zart-tool on it (with those variables); sets main
#   keys KEY…                 keys to the main window
#   find_window TITLE         the first window whose title matches
#   wait_window TITLE         the same, waited for up to 10 s
#   shoot TITLE FILE          the window's picture, cut from the screen
# The caller stores the pids it starts in tool_pid, wm_pid and xvfb_pid.

shot_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
  done
}

shot_cleanup() {
  set +e
  exec 3>&- 2>/dev/null
  local pid
  for pid in "$tool_pid" "$wm_pid" "$sim_pid" "$xvfb_pid"; do
    if [[ -n $pid ]]; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
    fi
  done
  if [[ -n $saved_ini ]]; then mv -f "$saved_ini" "$ini"; else rm -f "$ini"; fi
  rm -rf "$work"
}

shot_begin() {
  bin=$1
  local exe
  for exe in zart-tool zart-sim; do
    [[ -x "$bin/$exe" ]] || { echo "missing $bin/$exe: build it first" >&2; exit 1; }
  done
  work=$(mktemp -d)
  link="$work/zart-sim.pty"
  ini="$bin/тп.ini"
  saved_ini=""
  sim_pid="" tool_pid="" xvfb_pid="" wm_pid=""
  trap shot_cleanup EXIT
}

shot_start_sim() {
  # The simulator's control channel is a FIFO kept open on descriptor 3.
  mkfifo "$work/sim.in"
  "$bin/zart-sim" --link "$link" --type "$1" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  exec 3>"$work/sim.in"
  for _ in $(seq 50); do [[ -e $link ]] && break; sleep 0.1; done
  [[ -e $link ]] || { echo "zart-sim did not come up" >&2; cat "$work/sim.err" >&2; exit 1; }
}

shot_settings() {
  if [[ -e $ini ]]; then saved_ini="$work/saved.ini"; cp -p "$ini" "$saved_ini"; fi
  printf '[PC config]\r\nCOM=5\r\n[KZR config]\r\nMBSLAD=7\r\n[Ports]\r\nCOM5=%s\r\n' "$1" >"$ini"
}

shot_desktop() {
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 "${1}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
  export DISPLAY=$display
  # A window manager, so that xdotool can hand the keyboard to a window.
  openbox >"$work/wm.log" 2>&1 &
  wm_pid=$!
  sleep 1
}

shot_launch() {
  env "$@" QT_QPA_PLATFORM=xcb "$bin/zart-tool" >"$work/tool.log" 2>&1 &
  tool_pid=$!
  main=""
  for _ in $(seq 50); do
    main=$(xdotool search --name 'Modbus' 2>/dev/null | head -1 || true)
    [[ -n $main ]] && break
    sleep 0.2
  done
  [[ -n $main ]] || { echo "main window not found" >&2; cat "$work/tool.log" >&2; exit 1; }
  sleep 1.5
}

keys() {
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  sleep 0.3
  xdotool key --delay 150 "$@"
}

find_window() { xdotool search --name "$1" 2>/dev/null | head -1 || true; }

# Waits up to 10 s for a window whose title matches; prints its id or exits.
wait_window() {
  local id=""
  for _ in $(seq 50); do
    id=$(find_window "$1")
    [[ -n $id ]] && break
    sleep 0.2
  done
  [[ -n $id ]] || { echo "window \"$1\" not found" >&2; cat "$work/tool.log" >&2; exit 1; }
  echo "$id"
}

shoot() {  # window title, output file
  local id geometry
  id=$(find_window "$1")
  [[ -n $id ]] || { echo "window \"$1\" not found" >&2; cat "$work/tool.log" >&2; exit 1; }
  geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}')
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$geometry" +repage -colors 128 "PNG8:$2"
  echo "wrote $2 ($geometry)"
}
