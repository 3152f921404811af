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
