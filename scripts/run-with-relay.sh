#!/usr/bin/env bash
# Tries the social-network feature end to end on this machine: builds pellwood, liblinkwell.so and
# the relay stand-in (Release, as ./run.sh does), starts the stand-in on a loopback port the kernel
# chooses and runs pellwood on the sample with PELLWOOD_RELAY_URL pointing at it. The stand-in's
# log-in page hands out the user id 4242 and closes itself. Every request the stand-in receives is
# printed on standard error. Extra arguments go to the program (for example -windowed).
# Without the stand-in (./run.sh) the sample's dialog shows its "error" page instead.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

build=build/release
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$build" --parallel "$(nproc)" --target pellwood linkwell relay_standin

# The stand-in prints its port first, then one line per request; it ends when its input closes.
coproc RELAY { exec "$build/tests/relay/relay_standin"; }
relay_pid=$RELAY_PID
# Copies of the stand-in's descriptors: bash keeps a coprocess's own ones from background jobs.
exec {relay_out}<&"${RELAY[0]}" {relay_in}>&"${RELAY[1]}"
if ! read -r -t 10 port <&"$relay_out" || [ -z "$port" ]; then
  echo "run-with-relay: the relay stand-in did not start" >&2
  exit 1
fi
sed 's/^/relay: /' <&"$relay_out" >&2 {relay_in}>&- &
echo "run-with-relay: relay stand-in on http://127.0.0.1:$port" >&2

status=0
PELLWOOD_RELAY_URL="http://127.0.0.1:$port" no_proxy="127.0.0.1,localhost" \
  "$build/app/pellwood" -data "$PWD/sample" "$@" || status=$?
exec {relay_in}>&-
eval "exec ${RELAY[1]}>&-" 2>/dev/null || true
wait "$relay_pid" 2>/dev/null || true
exit "$status"
