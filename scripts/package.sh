#!/bin/sh
# Installs what is missing, builds the game and makes its Debian package,
# build/release/brelkor_<version>_<arch>.deb, ready for `sudo apt install ./...`.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh g++ cmake make pkg-config libsdl2-dev zlib1g-dev dpkg-dev
cmake --preset release -DBRELKOR_TESTS=OFF -DBRELKOR_BENCHMARKS=OFF >/dev/null
cmake --build --preset release -j "$(nproc)"
cd build/release
cpack -G DEB
