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
game=$1 version=$2 work=$(mktemp -d) failures=0 cases=0
trap 'rm -rf "$work"' EXIT
problem() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# row STATUS OUT ERR LINE... [:: VALUE...]: runs the game on each command LINE
# (shell words), once for each VALUE standing for '@' in LINE and in ERR, and
# compares "status|stdout|stderr|sanitizer reports" with what is expected:
#   OUT: the first line of standard output, exactly; '' for no output at all.
#   ERR: all of standard error, one line, exactly; '' for none; START for a game
#        that took its arguments and then found no display: its last line.
row() {
    local status=$1 out=$2 err=$3 lines=() values=('') v line e tail got want
    shift 3
    while (($#)) && [[ $1 != :: ]]; do lines+=("$1") && shift; done
    (($#)) && values=("${@:2}")
    for v in "${values[@]}"; do
        for line in "${lines[@]}"; do
            line=${line//@/"${v@Q}"} e=${err//@/"$v"} tail=cat cases=$((cases + 1))
            [[ $e == START ]] && e=$nowhere tail='tail -n 1'
            eval "timeout 10 \"\$game\" $line" >"$work/out" 2>"$work/err"
            got="$?|$(head -n 1 "$work/out" && echo .)|$($tail "$work/err" && echo .)|$(grep -cE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$work/err")"
            want="$status|${out:+$out$'\n'}.|${e:+$e$'\n'}.|0"
            [[ $got == "$want" ]] || problem "brelkor $line: expected ${want@Q}; saw ${got@Q}"
        done
    done
}

usage='Usage: brelkor [--seed N] [--rocks N] [--record FILE] [--scale N] [--fullscreen]'
nowhere='brelkor: no display reachable: DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) must name a running display server; DISPLAY is not set, WAYLAND_DISPLAY is not set'
help='; see brelkor --help'
seed="brelkor: --seed wants a whole number from 0 to 4294967295"
rocks="brelkor: --rocks wants a whole number from 0 to 99"
# Questions answer at once, ignoring what follows them; a value they refuse.
row 0 "$usage" '' --help '--help --bogus --rocks 100' '--replay x --record y --help'
row 0 "brelkor $version" '' --version '--rocks 5 --version --help'
row 2 '' "brelkor: --@ takes no value, yet got 'yes'$help" --@=yes :: help headless
row 2 '' "brelkor: --version takes no value, yet got ''$help" --version=
# Numbers: bounds, leading zeros, both spellings; repeats, where the last value
# counts, yet each is checked where it stands.
row 1 '' START '' '--seed 0' '--seed 4294967295' --seed=0004294967295 '--rocks 0' --rocks=99 \
    '--rocks 007 --seed 12' '--rocks 3 --rocks 5 --seed 1 --seed 2' '--scale 4 --fullscreen' --scale=1
row 2 '' "$seed, not '@'$help" '--seed @' '--seed @ --rocks 3' :: 4294967296 18446744073709551617 --rocks
row 2 '' "$rocks, not '@'$help" '--rocks @' '--rocks=@' :: 100 -0 +1 ' 1' '1 ' 1x 0x1 1.0 '' =3
row 2 '' "$rocks, not '@'$help" '--rocks @ --rocks 3' '--rocks 3 --rocks @' :: 100x 100
row 2 '' "brelkor: --scale wants a whole number from 1 to 4, not '@'$help" '--scale @' :: 0 5
row 2 '' "$seed after it$help" --seed
row 2 '' "$rocks after it$help" '--seed 3 --rocks'
row 2 '' "brelkor: --scale wants a whole number from 1 to 4 after it$help" --scale
# Recording and replaying: which options go together, and whole names only.
row 2 '' "brelkor: --record cannot go with --replay$help" '--record a --replay b'
row 2 '' "brelkor: --headless goes only with --replay$help" '--headless --record a'
row 2 '' "brelkor: --@ cannot go with --replay, whose file holds the start$help" \
    '--replay x --@ 1' '--@=1 --replay=x' :: seed rocks
row 2 '' "brelkor: --record wants a file name after it$help" --record
row 2 '' "brelkor: --replay wants a file name after it$help" '--headless --replay'
row 2 '' "brelkor: --scale cannot go with --headless, which opens no window$help" '--replay x --headless --scale 2'
row 2 '' "brelkor: --fullscreen cannot go with --headless, which opens no window$help" '--fullscreen --replay x --headless'
# Anything else, shown on one line whatever it holds.
row 2 '' "brelkor: unknown option '@'$help" @ '@ 1 --help' :: --bogus --rec --re --see --he=1 -h -- -
row 2 '' "brelkor: unknown option '--rocks?3'$help" @ :: $'--rocks\n3'
row 2 '' "brelkor: unexpected argument 'play'$help" play
# An answer that cannot be written.
row 1 '' 'brelkor: cannot write to the standard output: No space left on device' '@ >/dev/full' :: --help --version

# The whole help describes every option.
"$game" --help >"$work/out" 2>&1
for option in '--seed N' '--rocks N' '--record FILE' '--replay FILE' --headless '--scale N' --fullscreen --help --version; do
    grep -q -- "^  $option " "$work/out" || problem "expected --help to describe '$option'"
done
((failures == 0)) || { echo "$failures of $cases command lines failed" >&2 && exit 1; }
echo "ok: $cases command lines"
