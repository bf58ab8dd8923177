#!/bin/sh
# Installs what is missing, builds the game and starts it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh g++ cmake make pkg-config libsdl2-dev zlib1g-dev
cmake --preset release -DBRELKOR_TESTS=OFF -DBRELKOR_BENCHMARKS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)"
exec ./build/release/brelkor
