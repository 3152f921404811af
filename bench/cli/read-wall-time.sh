#!/usr/bin/env bash
# Wall time of the whole `zart-cli --fast read` process, start to exit,
# against zart-sim with the line's timing (--wire-timing --turnaround 3).
# The goal is 1.5 s. Usage: bench/cli/read-wall-time.sh [BUILD_DIR] [RUNS]
# (default build-rel, 10 runs); prints each run and min / median / max.
set -euo pipefail
build=${1:-build-rel}
runs=${2:-10}
bin=$build/bin
[[ -x $bin/zart-cli && -x $bin/zart-sim ]] || { echo "build zart-cli and zart-sim in $build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
"$bin/zart-sim" --link "$work/pty" --wire-timing --turnaround 3 </dev/null >"$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 50); do [[ -e $work/pty ]] && break; sleep 0.1; done

times=()
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  "$bin/zart-cli" --settings-dir "$work" --port "$work/pty" --fast --quiet read "$work/set.ini" >/dev/null
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  times+=("$ms")
  echo "run $i: $ms ms"
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
n=${#sorted[@]}
echo "zart-cli --fast read, wall time: min ${sorted[0]} ms, median ${sorted[$((n / 2))]} ms, max ${sorted[$((n - 1))]} ms ($n runs, load $(cut -d' ' -f1-3 /proc/loadavg))"
