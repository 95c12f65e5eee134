#!/usr/bin/env bash
# The sample game's figures, Release build, software device at 1024x768:
#  1. cold start to the main menu's first frame: pellwood on the sample with a
#     profile already made, from execve to the end of the first present after
#     its log says `screen "scr_mainmenu" open`; anchor: the same engine with a
#     game object that loads the game's five start-up groups and nothing else
#     (bench/gamestart/GroupsOnly.cpp), to its first present. Alternating, RUNS
#     starts each, medians and their ratio (goal: at most 1.5), in wall time
#     and in processor time (all threads, which moves less with the machine's
#     load); beside them pellwood with the social network off, for
#     liblinkwell.so's share.
#  2. the level's frame (pointer still and moving), the paused level's frame and
#     the switch from the menu to the level's first frame: bench_game_frames.
#  3. the idle level loop of the real program: Play clicked on the menu, then
#     IDLE seconds without input; CPU time over wall time from /proc, and the
#     program's peak resident memory (VmHWM) at the end.
# Without a DISPLAY it runs on its own Xvfb. The load is printed with each part.
# Recorded (gcc Release, a shared 8-core machine, load 10.6): cold start
# medians pellwood 974 ms, anchor 459 ms, ratio 2.12 (processor time 828 and
# 313 ms, 2.65); with the social network off 557 ms, ratio 1.21 (1.20):
# loading liblinkwell.so is what misses the goal. Idle level loop 30% of one
# core (main thread 27%), VmHWM 88 MiB. At load 22-25 the ratios were 2.6-3.3.
# Usage: scripts/game-figures.sh [build-folder]   (RUNS=9 IDLE=10 by default;
# PARTS="start frames idle" picks the parts)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
runs=${RUNS:-9}
idle=${IDLE:-10}
parts=${PARTS:-start frames idle}
wanted() { [[ " $parts " == *" $1 "* ]]; }

if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLWOOD_BENCH=ON -DPELLWOOD_TESTS=OFF \
    "${launcher[@]}" >/dev/null
fi
cmake --build "$build" --parallel 3 --target pellwood cold_start_run game_start_groups_only game_start_make_profile \
  cold_start_first_present bench_game_frames >/dev/null

load() { echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"; }

xvfb_pid=""
game_pid=""
folder=$(mktemp -d)
cleanup()
{
  if [ -n "$game_pid" ]; then kill "$game_pid" 2>/dev/null || true; wait "$game_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$folder"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  fifo="$folder/displayfd"
  mkfifo "$fifo"
  # -noreset: a desktop's server stays as it is between programs; without it Xvfb resets
  # whenever its last client leaves, and every measured start would pay for the reset.
  Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp -noreset 4>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  read -r number <"$fifo"
  export DISPLAY=":$number"
fi

# Saved games of their own, with the profile made before any measured start:
# a first start would show the new-profile screen instead of the menu.
mkdir -p "$folder/config" "$folder/data" "$folder/run"
export XDG_CONFIG_HOME="$folder/config" XDG_DATA_HOME="$folder/data" XDG_RUNTIME_DIR="$folder/run"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
"$build/bench/gamestart/game_start_make_profile" "$PWD/sample" 2>/dev/null

# Windowed: without a window manager (Xvfb) SDL waits 100 ms for one to apply
# full screen. Both log to standard error, since the menu's line is read there.
program=("$build/app/pellwood" -data "$PWD/sample" -nosplash -windowed)
menu_line='screen "scr_mainmenu" open'

# ---- 1. Cold start to the main menu's first frame.
if wanted start; then
run="$build/bench/coldstart/cold_start_run"
stop="$build/bench/coldstart/cold_start_first_present.so"
anchor=("$build/bench/gamestart/game_start_groups_only" -data "$PWD/sample" -nosplash -windowed)
# The same content without "lwcache.bin" (a copy of the small sample): the
# social network stays off and liblinkwell.so is never loaded, which shows
# that library's share of the start.
offline="$folder/offline"
cp -r "$PWD/sample" "$offline"
rm -f "$offline/lwcache.bin"
offline_program=("$build/app/pellwood" -data "$offline" -nosplash -windowed)
start_offline() { COLD_START_AFTER_LINE="$menu_line" PELLWOOD_LOG=debug "$run" "$stop" "${offline_program[@]}" 2>/dev/null; }
start_program() { COLD_START_AFTER_LINE="$menu_line" PELLWOOD_LOG=debug "$run" "$stop" "${program[@]}" 2>/dev/null; }
start_anchor() { COLD_START_AFTER_LINE= PELLWOOD_LOG=debug "$run" "$stop" "${anchor[@]}" 2>/dev/null; }

# One unmeasured start each, so that both find their files in the page cache.
start_program >/dev/null || true
start_offline >/dev/null || true
start_anchor >/dev/null || true
mine=()
off=()
floor=()
for ((i = 0; i < runs; ++i)); do
  mine+=("$(start_program)")
  floor+=("$(start_anchor)")
  off+=("$(start_offline)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
# Each start gives "wall cpu"; column 1 or 2 of a list.
column() { local n=$1; shift; printf '%s\n' "$@" | awk -v n="$n" '{print $n}'; }
report()
{
  local name=$1 n=$2
  local m f o
  m=$(median $(column "$n" "${mine[@]}"))
  f=$(median $(column "$n" "${floor[@]}"))
  o=$(median $(column "$n" "${off[@]}"))
  echo "$name, pellwood (ms):                  $(column "$n" "${mine[@]}" | tr '\n' ' ')"
  echo "$name, engine + five groups (ms):      $(column "$n" "${floor[@]}" | tr '\n' ' ')"
  echo "$name, pellwood without network (ms):  $(column "$n" "${off[@]}" | tr '\n' ' ')"
  awk -v name="$name" -v m="$m" -v f="$f" -v o="$o" 'BEGIN {
    printf "%s medians: pellwood %s ms, anchor %s ms; ratio %.2f (goal at most 1.5)\n", name, m, f, m / f;
    printf "%s without liblinkwell.so: pellwood %s ms, ratio %.2f\n", name, o, o / f }'
}
echo "== cold start to the main menu's first frame, $runs starts each"
report "wall time" 1
report "processor time" 2
load
fi

# ---- 2. Frames and the switch to the level.
if wanted frames; then
echo "== frames (bench_game_frames)"
"$build/bench/bench_game_frames" 2>/dev/null | grep -v 'repeats:\|^---\|^Benchmark\|^Run on\|^Load\|^\*\*\*\|^[0-9]\{4\}-' || true
load
fi

# ---- 3. The idle level loop and peak memory of the real program.
if ! wanted idle; then exit 0; fi
echo "== idle level loop, $idle s without input"
log="$folder/idle.log"
PELLWOOD_LOG=debug "${program[@]}" 2>"$log" &
game_pid=$!
wait_line()
{
  for ((t = 0; t < 600; ++t)); do
    if grep -qF "$1" "$log"; then return 0; fi
    if ! kill -0 "$game_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "game-figures: no '$1' in the program's log" >&2
  return 1
}
wait_line "$menu_line"
window=$(xdotool search --sync --name '^The Pellwood$' | head -n 1)
# The game pauses without the input focus; Play is the menu's first button.
xdotool windowfocus "$window"
for ((t = 0; t < 20; ++t)); do
  if grep -qF 'screen "scr_ispy" open' "$log"; then break; fi
  xdotool mousemove --window "$window" 210 276 click 1
  sleep 0.5
done
wait_line 'screen "scr_ispy" open'
# The pointer rests away from the board; the loading shield plays out first.
xdotool mousemove --window "$window" 1000 20
sleep 2
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$game_pid/stat"; }
# The main thread alone: the loop itself, without the audio output's mixing.
main_cpu() { awk '{print $14 + $15}' "/proc/$game_pid/task/$game_pid/stat"; }
c0=$(cpu)
m0=$(main_cpu)
t0=$(date +%s.%N)
sleep "$idle"
c1=$(cpu)
m1=$(main_cpu)
t1=$(date +%s.%N)
hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$game_pid/status")
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$game_pid/status")
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" \
  -v m0="$m0" -v m1="$m1" \
  'BEGIN { printf "CPU of the idle level loop: %.1f%% of one core (%.2f s CPU in %.2f s); the main thread %.1f%%\n", 100 * (c1 - c0) / hz / (t1 - t0), (c1 - c0) / hz, t1 - t0, 100 * (m1 - m0) / hz / (t1 - t0) }'
echo "peak memory after menu -> level -> idle: VmHWM $((hwm / 1024)) MiB (resident now $((rss / 1024)) MiB)"
load
kill "$game_pid"
wait "$game_pid" 2>/dev/null || true
game_pid=""
