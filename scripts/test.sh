#!/bin/sh
# Installs what is missing, builds the game twice (optimised, and with the
# address and undefined-behaviour sanitizers) and runs every test in both: the
# unit tests, the benchmark smoke run and the window test under Xvfb. Then each
# fuzz target runs for 20 seconds (fuzz/run.sh).
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh g++ cmake make pkg-config libsdl2-dev zlib1g-dev libgtest-dev \
    libbenchmark-dev libx11-dev xvfb xdotool evilwm imagemagick x11-utils clang-14 libclang-rt-14-dev \
    desktop-file-utils appstream mandoc libxml2-utils dpkg-dev lintian
jobs="$(nproc)"
cmake --preset release -DBRELKOR_TESTS=ON -DBRELKOR_BENCHMARKS=ON >/dev/null
cmake --preset sanitize -DBRELKOR_TESTS=ON >/dev/null
for preset in release sanitize; do
    cmake --build --preset "$preset" -j "$jobs"
done
status=0
for preset in release sanitize; do
    echo "== tests: $preset build"
    ctest --preset "$preset" || status=1
done
echo "== fuzz"
sh fuzz/run.sh 20 1 || status=1
exit $status
