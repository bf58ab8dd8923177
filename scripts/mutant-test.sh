#!/bin/sh
# The test command of a mutation run (.mutants): the unit tests, stopping at the
# first failure and led by the standard golden game, then the recording and
# command-line tables of the real binary. Exit status 0 only when all pass.
set -eu
build=$1
# As CTest runs them: SDL's own start-up blocks left out of the sanitizer
# build's leak report, and the unit tests' SDL without a display.
export LSAN_OPTIONS="suppressions=$(pwd)/e2e/lsan.supp:print_suppressions=0"
tests="env SDL_VIDEODRIVER=dummy $build/tests/brelkor_tests"
$tests --gtest_filter='Games/Golden.*/standard' >/dev/null 2>&1
$tests --gtest_fail_fast --gtest_filter='-Games/Golden.*/standard' >/dev/null 2>&1
$build/tests/brelkor_split_tests >/dev/null 2>&1
bash e2e/recording_test.sh "$build/brelkor" >/dev/null 2>&1
bash e2e/command_line_test.sh "$build/brelkor" "$(sed -n 's/^project(brelkor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" >/dev/null 2>&1
