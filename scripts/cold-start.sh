#!/usr/bin/env bash
# Cold start side by side: the time from execve to the end of the first
# present, for pellwood on the sample content (-nosplash) and for a bare SDL
# window program (bench/coldstart), alternating, each started RUNS times.
# Prints both medians, the ratio and the machine's load. Without a DISPLAY it
# runs on its own Xvfb. Usage: scripts/cold-start.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${RUNS:-7}

if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
fi
cmake --build "$build" --target pellwood cold_start_bare_window cold_start_run cold_start_first_present >/dev/null

xvfb_pid=""
runtime=""
cleanup()
{
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ -n "$runtime" ]; then rm -rf "$runtime"; fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # -noreset: a desktop's server stays as it is between programs; without it Xvfb resets
  # whenever its last client leaves, and every measured start would pay for the reset.
  Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp -noreset 4>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  read -r number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number"
fi

# Without a session's runtime folder the single-instance lock would be shared
# with any other copy of the program this user runs; the measured ones get their own.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=$(mktemp -d)
  export XDG_RUNTIME_DIR="$runtime"
fi

stop="$build/bench/coldstart/cold_start_first_present.so"
run="$build/bench/coldstart/cold_start_run"
# Windowed, as the bare window is: without a window manager (Xvfb) SDL waits
# 100 ms for one to apply full screen, which says nothing about either program.
program=("$build/app/pellwood" -data "$PWD/sample" -nosplash -windowed)
bare=("$build/bench/coldstart/cold_start_bare_window")

# One unmeasured start each, so that both find their files in the page cache.
"$run" "$stop" "${program[@]}" >/dev/null 2>&1 || true
"$run" "$stop" "${bare[@]}" >/dev/null 2>&1 || true

mine=()
floor=()
for ((i = 0; i < runs; ++i)); do
  # The runner prints "wall cpu"; the wall time is compared here.
  mine+=("$("$run" "$stop" "${program[@]}" 2>/dev/null | cut -d' ' -f1)")
  floor+=("$("$run" "$stop" "${bare[@]}" 2>/dev/null | cut -d' ' -f1)")
done

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
m=$(median "${mine[@]}")
f=$(median "${floor[@]}")
echo "pellwood first present (ms):    ${mine[*]}"
echo "bare SDL window (ms):           ${floor[*]}"
echo "medians: pellwood $m ms, bare window $f ms"
awk -v m="$m" -v f="$f" 'BEGIN { printf "ratio: %.2f (goal at most 1.5)\n", m / f }'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
