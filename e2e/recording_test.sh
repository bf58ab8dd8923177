#!/usr/bin/env bash
# Recording files test: runs the built game with no display on recordings that
# are bad in one way each and checks its exit status and its one line on
# standard error: every one is refused before any window would open. Then the
# recordings that --record will not write, a recording cut off after a whole
# frame, and a replay that goes otherwise.
#
# Usage: recording_test.sh BRELKOR
set -u
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER

game=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
cases=0

problem() {
    echo "FAIL: $1: expected $2" >&2
    failures=$((failures + 1))
}

# A line of a recording: the text, " *" and the text's CRC-32 (gzip's trailer
# holds it, least significant byte first).
line() {
    local crc
    crc=$(printf '%s' "$1" | gzip -c | tail -c 8 | od -An -tx4 -N4 | tr -d ' ')
    printf '%s *%s\n' "$1" "$crc"
}
header() { line 'brelkor-recording 1'; line 'game 0.1'; line 'seed 5'; line 'rocks 4'; line 'field 800 600'; }
hash=0123456789abcdef

# bad NAME STATUS ERR: replays $work/NAME headless (the file is written by the
# caller) and expects STATUS and, as the only stderr line, "brelkor: " ERR with
# FILE standing for the file's path; a refused file prints nothing on stdout.
bad() {
    local name=$1 status=$2 err=$3 file=$work/$1
    cases=$((cases + 1))
    timeout 10 "$game" --replay "$file" --headless >"$work/out" 2>"$work/err"
    local seen=$? want="brelkor: ${err//FILE/$file}"
    if ((seen != status)); then
        problem "$name" "exit status $status; saw $seen ($(head -c 300 "$work/err"))"
    elif [[ $(wc -l <"$work/err") != 1 || $(cat "$work/err") != "$want" ]]; then
        problem "$name" "the one stderr line '$want'; saw '$(head -c 300 "$work/err")'"
    elif ((status != 0)) && [[ -s $work/out ]]; then
        problem "$name" "no standard output; saw '$(head -c 300 "$work/out")'"
    fi
}

bad none 1 "cannot read the recording 'FILE': No such file or directory"
mkdir "$work/folder"
bad folder 1 "cannot read the recording 'FILE': Is a directory"
: >"$work/empty"
bad empty 1 "FILE:1: expected 'brelkor-recording 2', not the end of the file"
line 'brelkor-replay 1' >"$work/name"
bad name 1 "FILE:1: not a Brelkor recording: expected 'brelkor-recording 2', not 'brelkor-replay 1'"
line 'brelkor-recording 3' >"$work/version"
bad version 1 "FILE:1: expected format version 1 or 2, not '3'"
line 'brelkor-recording 0' >"$work/version0"
bad version0 1 "FILE:1: expected format version 1 or 2, not '0'"
{ line 'brelkor-recording 1'; echo 'game 0.1'; } >"$work/unchecked"
bad unchecked 1 "FILE:2: expected a line ending in ' *' and its CRC-32 in 8 hex digits, not 'game 0.1'"
{ header; line 'frame 1 0 '$hash; } | sed '3s/seed 5/seed 6/' >"$work/damaged"
crc=$(line 'seed 5' | sed 's/.*\*//')
bad damaged 1 "FILE:3: expected the line's CRC-32 $(line 'seed 6' | sed 's/.*\*//'), not '$crc': the line is damaged"
{ header | head -2; line 'seed 4294967296'; } >"$work/seed"
bad seed 1 "FILE:3: expected 'seed' and a whole number from 0 to 4294967295, not 'seed 4294967296'"
{ header | head -3; line 'rocks 100'; } >"$work/rocks"
bad rocks 1 "FILE:4: expected 'rocks' and a whole number from 0 to 99, not 'rocks 100'"
{ header | head -3; line 'rocks '; } >"$work/blank"
bad blank 1 "FILE:4: expected 'rocks' and a whole number from 0 to 99, not 'rocks '"
{ header | head -4; line 'field 1024 768'; } >"$work/field"
bad field 1 "FILE:5: expected 'field 800 600', not 'field 1024 768'"
{ header | head -4; } >"$work/short"
bad short 1 "FILE:5: expected 'field 800 600', not the end of the file"
{ header; line "frame 2 0 $hash"; } >"$work/numbering"
bad numbering 1 "FILE:6: expected 'frame 1' or 'end', not 'frame 2 0 $hash'"
{ header; line "frame 1 4294967296 $hash"; } >"$work/milliseconds"
bad milliseconds 1 "FILE:6: expected the frame's milliseconds, a whole number from 0 to 4294967295, not '4294967296'"
{ header; line "frame 1 33 ${hash^^}"; } >"$work/hash"
bad hash 1 "FILE:6: expected the state's hash in 16 lowercase hex digits, not '${hash^^}'"
{ header; line "frame 1 33 $hash down:Up down:Enter"; } >"$work/event"
bad event 1 "FILE:6: expected an event: down:KEY, repeat:KEY, up:KEY or quit, not 'down:Enter'"
# Version 1 knows no gamepad; version 2 does, within its ranges.
{ header; line "frame 1 33 $hash pad-down:A"; } >"$work/v1-pad"
bad v1-pad 1 "FILE:6: expected an event: down:KEY, repeat:KEY, up:KEY or quit, not 'pad-down:A'"
{ header | sed 's/^brelkor-recording 1 .*/'"$(line 'brelkor-recording 2')"'/'
  line "frame 1 33 $hash pad-down:A stick-x:-32768 stick-y:32768"; } >"$work/v2-stick"
bad v2-stick 1 "FILE:6: expected an event: down:KEY, repeat:KEY, up:KEY, quit, pad-down:BUTTON, pad-up:BUTTON, stick-x:N, stick-y:N or pad-removed, not 'stick-y:32768'"
{ header; line "frame 1 33 $hash$(printf ' repeat:Left%.0s' $(seq 65536))"; } >"$work/crowded"
bad crowded 1 "FILE:6: expected at most 65535 events in a frame"
{ header; line "frame 1 33 $hash quit"; line "frame 2 33 $hash"; } >"$work/after-quit"
bad after-quit 1 "FILE:7: expected no frame after frame 1, in which the game quit"
{ header; line "frame 1 33 $hash up:Escape"; line "frame 2 33 $hash repeat:Escape"; line "frame 3 33 $hash"; } >"$work/after-escape"
bad after-escape 1 "FILE:8: expected no frame after frame 2, in which the game quit"
{ header; line "frame 1 33 $hash down:Escape"; line "end 2 $hash"; } >"$work/count"
bad count 1 "FILE:7: expected 'end 1 $hash': the frame count and the last frame's hash, not 'end 2 $hash'"
{ header; line "frame 1 0 $hash quit"; line "end 1 $hash"; echo 'more'; } >"$work/trailing"
bad trailing 1 "FILE:8: expected nothing after the end line, not 'more'"
{ header; line "frame 1 0 $hash"; line "frame 2 0 $hash" | head -c 20; } >"$work/cut"
bad cut 1 "FILE:7: expected a newline at the end of the line: the last line is cut short"

# A frame that replays otherwise: status 1, the first such frame named, and the
# summary of the whole replay (125 ms: 12 steps).
{ header; line "frame 1 0 $hash"; line "frame 2 125 $hash"; } >"$work/otherwise"
cases=$((cases + 1))
"$game" --replay "$work/otherwise" --headless >"$work/out" 2>"$work/err"
status=$?
summary=$(cat "$work/out")
first=$(head -n 1 "$work/err")
replayed=${first##*replayed } # frame 1's hash as replayed
[[ $status == 1 && $summary == "$work/otherwise: 2 frames, 12 steps, 0.12 game seconds, "*" wall seconds, "*" steps per second, first differing frame 1, final hash "* ]] ||
    problem otherwise "status 1 and a summary naming frame 1; saw $status, '$summary'"
[[ $first == "brelkor: $work/otherwise: frame 1 went otherwise: recorded hash $hash, replayed "* &&
    $replayed =~ ^[0-9a-f]{16}$ ]] ||
    problem otherwise "the frame named on stderr; saw '$(head -n 2 "$work/err")'"

# The same frame with the replayed hash matches, and without its end line the
# replay says that the end is missing, yet all went as recorded: status 0.
{ header; line "frame 1 0 $replayed up:97"; } >"$work/unended"
bad unended 0 "FILE: the recording ends after frame 1 without its end line: the game that made it stopped before it ended"
[[ $(cat "$work/out") == "$work/unended: 1 frames, 0 steps, "*", matches, final hash $replayed" ]] ||
    problem unended "a summary that says it matches; saw '$(cat "$work/out")'"

# --record never replaces a file, says so when it cannot create one, and leaves
# no file behind when the game cannot start (here: no display).
record() {
    local name=$1 status=$2 err=$3
    shift 3
    cases=$((cases + 1))
    timeout 10 "$game" "$@" >"$work/out" 2>"$work/err"
    local seen=$?
    [[ $seen == "$status" && $(tail -n 1 "$work/err") == $err ]] ||
        problem "$name" "status $status and '$err'; saw $seen, '$(tail -n 1 "$work/err")'"
}
echo kept >"$work/kept"
record exists 1 "brelkor: cannot record to '$work/kept': the file exists, and a recording never replaces one" \
    --record "$work/kept"
[[ $(cat "$work/kept") == kept ]] || problem exists "the file left as it was"
record nowhere 1 "brelkor: cannot record to '$work/no/x': No such file or directory" --record "$work/no/x"
record nodisplay 1 "brelkor: no display reachable*" --seed 1 --record "$work/fresh"
[[ ! -e $work/fresh ]] || problem nodisplay "no recording left behind by a game that never started"

if ((failures > 0)); then
    echo "$failures of $cases cases failed" >&2
    exit 1
fi
echo "ok: $cases recording cases"
