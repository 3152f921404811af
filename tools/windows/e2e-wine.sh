#!/usr/bin/env bash
# The unpacked Windows package under Wine against zart-sim, as a user would
# use it: zart-sim on a pseudo-terminal, Wine's COM5 linked to it, тп.ini
# beside zart-tool.exe with COM=5. Checks that the first frames on the wire
# are the status request and heartbeat 1, then presses Alt and Enter on
# "Программируемые параметры" under Xvfb, checks that the simulator answered
# all 131 reads of the read-all, and takes a screenshot before (the main
# window) and after (the parameters window over it). Then it closes the
# program and starts it again: the second start must open COM5 as well.
# A pseudo-terminal refuses the even-parity setting that a serial port takes,
# and Wine then fails every open after the first ("Неверный параметр"), so
# тп.ini says Parity=N and the simulator is told the same.
# Called by tools/build-windows with ZART_WIN_STAGE (the unpacked package),
# WINEPREFIX and ZART_WIN_CACHE set.
#   ZART_WIN_SHOT   where the screenshot goes (default docs/windows-wine.png;
#                   the main window's goes beside it as ...-main.png)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
stage=${ZART_WIN_STAGE:?the unpacked package}
: "${WINEPREFIX:?}"
export WINEDEBUG=-all
shot=${ZART_WIN_SHOT:-$top/docs/windows-wine.png}
fail() { echo "e2e-wine: $*" >&2; exit 1; }

# zart-sim is a Linux program: a host build of it alone.
sim_build=${ZART_WIN_SIM_BUILD:-$top/build-windows-sim}
cmake -S "$top" -B "$sim_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZART_BUILD_TESTS=OFF \
  -DZART_BUILD_BENCH=OFF >/dev/null
cmake --build "$sim_build" --target zart-sim >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  wineserver -k 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com5"
  rm -rf "$work"
}
trap cleanup EXIT

# A screen of a service laptop, with a window manager as on a desktop.
display=:$((60 + RANDOM % 30))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  pids+=($!)
fi

mkfifo "$work/control"
"$sim_build/bin/zart-sim" --link "$work/pty" --parity N --verbose --control "$work/control" </dev/null \
  >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/pty" ] && break; sleep 0.1; done
[ -e "$work/pty" ] || fail "zart-sim did not start: $(cat "$work/sim.log")"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$(readlink -f "$work/pty")" "$WINEPREFIX/dosdevices/com5"

app=$work/app
cp -r "$stage" "$app"
printf '[PC config]\r\nCOM=5\r\nParity=N\r\n' >"$app/тп.ini"
start_tool() {
  (cd "$app" && exec wine zart-tool.exe >>"$work/tool.log" 2>&1) &
  tool_pid=$!
  pids+=("$tool_pid")
}
start_tool

wait_for() {  # seconds description command...
  local seconds=$1 what=$2
  shift 2
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  echo "--- zart-sim (last lines)" >&2
  tail -n 20 "$work/sim.log" >&2
  echo "--- zart-tool" >&2
  cat "$work/tool.log" >&2
  fail "timed out after $seconds s waiting for $what"
}

# The first two frames: the status request (function 4, registers 300..424)
# and the heartbeat (function 16, registers 400..401) with transaction 1.
has_heartbeat() { grep -q '^heartbeat transaction=' "$work/sim.log"; }
wait_for 90 "the first heartbeat" has_heartbeat
first=$(grep '^rx ' "$work/sim.log" | head -n 2 | cut -c4-)
[[ $(sed -n 1p <<<"$first") == "07 04 01 2C 00 7D "* ]] || fail "first frame is not the status request: $first"
[[ $(sed -n 2p <<<"$first") == "07 10 01 90 00 02 04 "* ]] || fail "second frame is not the heartbeat: $first"
grep -m1 '^heartbeat transaction=' "$work/sim.log" | grep -q 'transaction=1 ' ||
  fail "the first heartbeat is not transaction 1: $(grep -m1 '^heartbeat' "$work/sim.log")"
echo "e2e-wine: first frames are the status request and heartbeat 1"

# Alt, then Enter on "Программируемые параметры": the read-all starts.
main_window() { xdotool search --onlyvisible --name 'ЗАРТ. Тест протокола' 2>/dev/null | head -n1; }
wait_for 30 "the main window" test -n "$(main_window)"
win=$(main_window)
sleep 2
mkdir -p "$(dirname "$shot")"
import -window root "${shot%.png}-main.png"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 1
xdotool key --clearmodifiers alt
sleep 0.5
xdotool key Return

reads() { grep -c '^rx 07 64 ' "$work/sim.log" || true; }
answered() { grep -c '^tx 07 64 ' "$work/sim.log" || true; }
distinct_reads() { grep '^rx 07 64 ' "$work/sim.log" | sort -u | wc -l; }
read_all_done() { [ "$(distinct_reads)" -ge 131 ] && [ "$(answered)" -ge "$(reads)" ]; }
wait_for 90 "131 distinct reads answered" read_all_done
grep -q '^tx 07 E4 ' "$work/sim.log" && fail "the simulator refused a read"
echo "e2e-wine: read-all: $(distinct_reads) distinct reads, $(answered) replies"

# Let the last replies reach the boxes, then picture the screen.
sleep 3
mkdir -p "$(dirname "$shot")"
import -window root "$shot"
echo "e2e-wine: screenshot $shot"
# A restart: the program closed as the user closes it, then started again.
# Its first heartbeat (transaction 1 again) shows that it opened the port.
xdotool windowactivate --sync "$win" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
for _ in $(seq 150); do kill -0 "$tool_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$tool_pid" 2>/dev/null; then
  wineserver -k 2>/dev/null || true
  wait "$tool_pid" 2>/dev/null || true
fi
first_runs() { grep -c '^heartbeat transaction=1 ' "$work/sim.log" || true; }
[ "$(first_runs)" -eq 1 ] || fail "expected one first heartbeat before the restart, saw $(first_runs)"
start_tool
restarted() { [ "$(first_runs)" -ge 2 ]; }
wait_for 90 "the first heartbeat after the restart" restarted
echo "e2e-wine: restarted, the port opened again"
echo "quit" >"$work/control" || true
