#!/usr/bin/env bash
# Installs what is missing, builds the Release program and starts it on the
# sample content. Extra arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build=build/release
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$build" --parallel "$(nproc)" --target pellwood linkwell
exec "$build/app/pellwood" -data "$PWD/sample" "$@"
