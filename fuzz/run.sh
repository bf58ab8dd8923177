#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer and the address and
# undefined-behaviour sanitizers into build/fuzz, then runs each for the given
# number of seconds (20 by default) from its corpus in fuzz/corpus/<target>.
# New inputs go to build/fuzz/corpus/<target>; a failing input is written to
# build/fuzz/ and the script stops with status 1.
#   sh fuzz/run.sh 20 1   # the short run of the test command, from seed 1
#   sh fuzz/run.sh 600    # ten minutes for each target, from a fresh seed
# A fixed seed makes the test command's short run explore the same inputs each
# time, so that it fails only on a fault that those inputs reach; the long runs
# go looking further.
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-20}"
seed="${2:-0}"
out=build/fuzz
mkdir -p "$out"
flags="-std=c++20 -g -O1 -ffp-contract=off -Wall -Wextra -Werror
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc
    $(pkg-config --cflags sdl2)"
targets="init_polygon intersections split_polygon draw recording"
for target in $targets; do
    case $target in
    draw) sources="src/shapes.cpp src/draw.cpp" ;;
    recording) sources="src/brelkor_record.cpp -lz" ;;
    *) sources="src/shapes.cpp" ;;
    esac
    # shellcheck disable=SC2086
    clang++-14 $flags "fuzz/${target}_fuzz.cpp" $sources -o "$out/$target"
done
for target in $targets; do
    echo "== fuzz: $target, $seconds s"
    mkdir -p "$out/corpus/$target"
    "$out/$target" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$out/$target-" -print_final_stats=1 \
        "$out/corpus/$target" "fuzz/corpus/$target" 2>"$out/$target.log" ||
        { tail -40 "$out/$target.log"; exit 1; }
    grep -E "^(#[0-9]+ *DONE|stat::number_of_executed_units)" "$out/$target.log" || true
done
