#!/bin/sh
# Writes the golden games in tests/golden again from the game as it plays now.
# Run it only on purpose (a change meant to change how the game plays), and
# commit the new files on their own, saying why they changed.
set -eu
cd "$(dirname "$0")/.."
cmake --preset release -DBRELKOR_TESTS=ON >/dev/null
cmake --build --preset release --target brelkor_tests
BRELKOR_WRITE_GOLDEN=1 build/release/tests/brelkor_tests --gtest_filter="Games/Golden.PlaysAsRecorded/*:Probes.*"
build/release/tests/brelkor_tests --gtest_filter="Games/Golden.*:Probes.*"
