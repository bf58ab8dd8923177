#!/usr/bin/env bash
# Recording files test: runs the built game with no display on recordings that
# are bad in one way each and checks its exit status and its one line on
# standard error: every one is refused before any window would open (the
# reader's every rule is probed in the unit tests; these are its kinds of
# refusal, as the game reports them). Then the
# recordings that --record will not write, a recording cut off after a whole
# frame, and a replay that goes otherwise.
#
# Usage: recording_test.sh BRELKOR
set -u
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
game=$1 work=$(mktemp -d) failures=0 cases=0 hash=0123456789abcdef
trap 'rm -rf "$work"' EXIT
problem() { echo "FAIL: $1: expected $2" >&2; failures=$((failures + 1)); }

# A line of a recording for each TEXT: the text, " *" and the text's CRC-32
# (gzip's trailer holds it, least significant byte first).
crc() { printf '%s' "$1" | gzip -c | tail -c 8 | od -An -tx4 -N4 | tr -d ' '; }
line() { for text; do printf '%s *%s\n' "$text" "$(crc "$text")"; done; }
header() { line "brelkor-recording ${1:-1}" 'game 0.1' 'seed 5' 'rocks 4' 'field 800 600'; }
events='expected an event: down:KEY, repeat:KEY, up:KEY'

# expect STATUS ERR ARG...: the game run with ARG... ends with STATUS, the one
# line ERR as all of its stderr and, when it refuses, nothing on stdout.
expect() {
    local status=$1 err=$2
    cases=$((cases + 1))
    timeout 10 "$game" "${@:3}" >"$work/out" 2>"$work/err"
    local got="$?|$(cat "$work/err" && echo .)|$( ((status)) && cat "$work/out")" want="$status|$err"$'\n.|'
    [[ $got == "$want" ]] || problem "brelkor ${*:3}" "status|stderr|stdout ${want@Q}; saw ${got@Q}"
}
# bad ERR WRITE [STATUS]: replays headless the file that the shell code WRITE
# writes to its standard output (or leaves at $file), expecting STATUS (1) and
# "brelkor: " ERR, with FILE standing for the file's path.
bad() {
    file=$work/$((cases + 1))
    eval "$2" >"$file"
    expect "${3:-1}" "brelkor: ${1//FILE/"$file"}" --replay "$file" --headless
}

bad "cannot read the recording 'FILE': No such file or directory" 'rm "$file"'
bad "cannot read the recording 'FILE': Is a directory" 'rm "$file" && mkdir "$file"'
bad "FILE:1: expected 'brelkor-recording 2', not the end of the file" :
bad "FILE:1: not a Brelkor recording: expected 'brelkor-recording 2', not 'brelkor-replay 1'" "line 'brelkor-replay 1'"
bad "FILE:1: expected format version 1 or 2, not '3'" 'header 3'
bad "FILE:2: expected a line ending in ' *' and its CRC-32 in 8 hex digits, not 'game 0.1'" "line 'brelkor-recording 1'; echo 'game 0.1'"
bad "FILE:3: expected the line's CRC-32 $(crc 'seed 6'), not '$(crc 'seed 5')': the line is damaged" 'header | sed "3s/seed 5/seed 6/"'
bad "FILE:5: expected 'field 800 600', not the end of the file" 'header | head -4'
bad "FILE:6: $events or quit, not 'down:Enter'" 'header; line "frame 1 33 $hash down:Up down:Enter"'
# Version 1 knows no gamepad; version 2 does, within its ranges.
bad "FILE:6: $events or quit, not 'pad-down:A'" 'header; line "frame 1 33 $hash pad-down:A"'
bad "FILE:6: $events, quit, pad-down:BUTTON, pad-up:BUTTON, stick-x:N, stick-y:N or pad-removed, not 'stick-y:32768'" \
    'header 2; line "frame 1 33 $hash pad-down:A stick-x:-32768 stick-y:32768"'
bad "FILE:6: expected at most 65535 events in a frame" 'header; line "frame 1 33 $hash$(printf " repeat:Left%.0s" {1..65536})"'
# A repeated Escape quits too.
bad "FILE:8: expected no frame after frame 2, in which the game quit" \
    'header; line "frame 1 33 $hash up:Escape" "frame 2 33 $hash repeat:Escape" "frame 3 33 $hash"'
bad "FILE:8: expected nothing after the end line, not 'more'" 'header; line "frame 1 0 $hash quit" "end 1 $hash"; echo more'
bad "FILE:7: expected a newline at the end of the line: the last line is cut short" 'header; line "frame 1 0 $hash"; line "frame 2 0 $hash" | head -c 20'

# A frame that replays otherwise: status 1, the first such frame named, and the
# summary of the whole replay (125 ms: 12 steps).
header >"$work/otherwise" && line "frame 1 0 $hash" "frame 2 125 $hash" >>"$work/otherwise"
"$game" --replay "$work/otherwise" --headless >"$work/out" 2>"$work/err"
status=$? first=$(head -n 1 "$work/err") cases=$((cases + 1))
replayed=${first##*replayed } # frame 1's hash as replayed
[[ $status == 1 && $(<"$work/out") == "$work/otherwise: 2 frames, 12 steps, 0.12 game seconds, "*" wall seconds, "*" steps per second, first differing frame 1, final hash "* &&
    $first == "brelkor: $work/otherwise: frame 1 went otherwise: recorded hash $hash, replayed "* && $replayed =~ ^[0-9a-f]{16}$ ]] ||
    problem otherwise "status 1, a summary naming frame 1 and that frame named on stderr; saw $status, '$(<"$work/out")', '$(<"$work/err")'"

# The same frame with the replayed hash matches, and without its end line the
# replay says that the end is missing, yet all went as recorded: status 0.
bad "FILE: the recording ends after frame 1 without its end line: the game that made it stopped before it ended" 'header; line "frame 1 0 $replayed up:97"' 0
[[ $(<"$work/out") == "$file: 1 frames, 0 steps, "*", matches, final hash $replayed" ]] || problem unended "a summary that says it matches; saw '$(<"$work/out")'"

# --record never replaces a file, says so when it cannot create one, and leaves
# no file behind when the game cannot start (here: no display).
echo kept >"$work/kept"
expect 1 "brelkor: cannot record to '$work/kept': the file exists, and a recording never replaces one" --record "$work/kept"
[[ $(<"$work/kept") == kept ]] || problem kept "the file left as it was"
expect 1 "brelkor: cannot record to '$work/no/x': No such file or directory" --record "$work/no/x"
SDL_AUDIODRIVER=dummy expect 1 "brelkor: no display reachable: DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) must name a running display server; DISPLAY is not set, WAYLAND_DISPLAY is not set" --seed 1 --record "$work/fresh"
[[ ! -e $work/fresh ]] || problem fresh "no recording left behind by a game that never started"

((failures == 0)) || { echo "$failures of $cases recording cases failed" >&2 && exit 1; }
echo "ok: $cases recording cases"
