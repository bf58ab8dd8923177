#!/usr/bin/env bash
# Command-line test: runs the built game with no display and checks, for each
# command line, its exit status, standard output and standard error. Arguments
# the game takes lead it on to look for a display, which it does not find: exit
# status 1 and its "no display" line. So --help, --version and usage errors are
# seen to need no display.
#
# Usage: command_line_test.sh BRELKOR VERSION
set -u
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER

game=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
cases=0

# expect STATUS OUT ERR ARGUMENT...
#   OUT: the first line of standard output, exactly; '' for no output at all.
#   ERR: the only line of standard error, exactly; '' for none; START for a game
#        that took its arguments and then found no display (status 1).
expect() {
    local status=$1 out=$2 err=$3
    shift 3
    cases=$((cases + 1))
    timeout 10 "$game" "$@" >"$work/out" 2>"$work/err"
    local seen=$?
    local shown first last lines problem=
    shown=$(printf '%q ' "$@")
    first=$(head -n 1 "$work/out")
    last=$(tail -n 1 "$work/err")
    lines=$(wc -l <"$work/err")
    if ((seen != status)); then
        problem="exit status $status; saw $seen"
    elif [[ -z $out && -s $work/out ]]; then
        problem="no standard output; saw '$first'"
    elif [[ -n $out && $first != "$out" ]]; then
        problem="standard output beginning '$out'; saw '$first'"
    elif [[ $err == START ]]; then
        [[ $last =~ ^brelkor:\ no\ display\ reachable ]] ||
            problem="the game to start and find no display; saw stderr ending '$last'"
    elif [[ -z $err && -s $work/err ]]; then
        problem="no standard error; saw '$last'"
    elif [[ -n $err && ($lines != 1 || $last != "$err") ]]; then
        problem="one stderr line '$err'; saw $lines line(s), the last '$last'"
    fi
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$work/err"; then
        problem="no sanitizer report; saw: $(grep -m 1 -E 'ERROR|runtime error' "$work/err")"
    fi
    if [[ -n $problem ]]; then
        echo "FAIL: brelkor ${shown% }: expected $problem" >&2
        failures=$((failures + 1))
    fi
}

usage='Usage: brelkor [--seed N] [--rocks N] [--record FILE] [--scale N] [--fullscreen]'
help='; see brelkor --help'
seed='brelkor: --seed wants a whole number from 0 to 4294967295'
rocks='brelkor: --rocks wants a whole number from 0 to 99'

#      status out       err                                    arguments
# Questions answer at once, ignoring what follows them.
expect 0 "$usage" '' --help
expect 0 "brelkor $version" '' --version
expect 0 "$usage" '' --help --bogus --rocks 100
expect 0 "brelkor $version" '' --rocks 5 --version --help
expect 2 '' "brelkor: unknown option '--bogus'$help" --bogus --help
expect 2 '' "brelkor: --help takes no value, yet got 'yes'$help" --help=yes
expect 2 '' "brelkor: --version takes no value, yet got ''$help" --version=
# Numbers: bounds, leading zeros, both spellings.
expect 1 '' START
expect 1 '' START --seed 0
expect 1 '' START --seed 4294967295
expect 1 '' START --seed=0004294967295
expect 1 '' START --rocks 0
expect 1 '' START --rocks=99
expect 1 '' START --rocks 007 --seed 12
expect 2 '' "$seed, not '4294967296'$help" --seed 4294967296
expect 2 '' "$seed, not '18446744073709551617'$help" --seed 18446744073709551617
expect 2 '' "$rocks, not '100'$help" --rocks 100
expect 2 '' "$rocks, not '-0'$help" --rocks -0
expect 2 '' "$rocks, not '+1'$help" --rocks +1
expect 2 '' "$rocks, not ' 1'$help" --rocks ' 1'
expect 2 '' "$rocks, not '1 '$help" --rocks '1 '
expect 2 '' "$rocks, not '1x'$help" --rocks 1x
expect 2 '' "$rocks, not '0x1'$help" --rocks 0x1
expect 2 '' "$rocks, not '1.0'$help" --rocks 1.0
expect 2 '' "$rocks, not ''$help" --rocks ''
expect 2 '' "$rocks, not ''$help" --rocks=
expect 2 '' "$rocks, not '=3'$help" --rocks==3
expect 2 '' "$seed after it$help" --seed
expect 2 '' "$rocks after it$help" --seed 3 --rocks
expect 2 '' "$seed, not '--rocks'$help" --seed --rocks 3
# Repeats: the last value counts, yet each is checked where it stands.
expect 2 '' "$rocks, not '100x'$help" --rocks 100x --rocks 3
expect 2 '' "$rocks, not '100'$help" --rocks 3 --rocks 100
expect 1 '' START --rocks 3 --rocks 5 --seed 1 --seed 2
# Recording and replaying: which options go together, and whole names only.
expect 0 "$usage" '' --replay x --record y --help
expect 2 '' "brelkor: --record cannot go with --replay$help" --record a --replay b
expect 2 '' "brelkor: --headless goes only with --replay$help" --headless --record a
expect 2 '' "brelkor: --seed cannot go with --replay, whose file holds the start$help" --replay x --seed 1
expect 2 '' "brelkor: --rocks cannot go with --replay, whose file holds the start$help" --rocks=1 --replay=x
expect 2 '' "brelkor: --record wants a file name after it$help" --record
expect 2 '' "brelkor: --replay wants a file name after it$help" --headless --replay
expect 2 '' "brelkor: --headless takes no value, yet got '1'$help" --headless=1
expect 2 '' "brelkor: unknown option '--rec'$help" --rec x
expect 2 '' "brelkor: unknown option '--re'$help" --re x
expect 2 '' "brelkor: unknown option '--he=1'$help" --he=1
# A larger window: the scale's range, and no window to scale when headless.
expect 1 '' START --scale 4 --fullscreen
expect 1 '' START --scale=1
expect 2 '' "brelkor: --scale wants a whole number from 1 to 4, not '0'$help" --scale 0
expect 2 '' "brelkor: --scale wants a whole number from 1 to 4, not '5'$help" --scale 5
expect 2 '' "brelkor: --scale wants a whole number from 1 to 4 after it$help" --scale
expect 2 '' "brelkor: --scale cannot go with --headless, which opens no window$help" --replay x --headless --scale 2
expect 2 '' "brelkor: --fullscreen cannot go with --headless, which opens no window$help" --fullscreen --replay x --headless
# Anything else, shown on one line whatever it holds.
expect 2 '' "brelkor: unexpected argument 'play'$help" play
expect 2 '' "brelkor: unknown option '-h'$help" -h
expect 2 '' "brelkor: unknown option '--'$help" --
expect 2 '' "brelkor: unknown option '-'$help" -
expect 2 '' "brelkor: unknown option '--see'$help" --see 1
expect 2 '' "brelkor: unknown option '--rocks?3'$help" $'--rocks\n3'

# The whole help, and an answer that cannot be written.
cases=$((cases + 1))
"$game" --help >"$work/out" 2>&1
for option in '--seed N' '--rocks N' '--record FILE' '--replay FILE' '--headless' '--scale N' '--fullscreen' '--help' '--version'; do
    grep -q -- "^  $option " "$work/out" || {
        echo "FAIL: expected --help to describe '$option'" >&2
        failures=$((failures + 1))
    }
done
if [[ -w /dev/full ]]; then
    cases=$((cases + 1))
    "$game" --version >/dev/full 2>"$work/err"
    status=$?
    last=$(tail -n 1 "$work/err")
    [[ $status == 1 && $last == 'brelkor: cannot write to the standard output: '* ]] || {
        echo "FAIL: brelkor --version >/dev/full: expected status 1 and a 'cannot write' line; saw $status, '$last'" >&2
        failures=$((failures + 1))
    }
fi

if ((failures > 0)); then
    echo "$failures of $cases cases failed" >&2
    exit 1
fi
echo "ok: $cases command lines"
