#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), and runs every test with CTest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# No library includes a header of a layer above it.
./scripts/check-layers.sh

build=build/test
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DPELLWOOD_SANITIZE=ON -DPELLWOOD_FUZZ=ON -DPELLWOOD_BENCH=ON \
    "${launcher[@]}"
fi
cmake --build "$build" --parallel "$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900 "$@"
