#!/usr/bin/env bash
# Records a game of real play: the built game in a real window on a private
# Xvfb server, flown by keys sent as a player presses them (thrust, turns,
# retro, fire held and tapped, pauses with keys pressed and released while
# paused), for about SECONDS seconds, then Escape. The keys follow a fixed
# plan; the timing is the machine's, so each run records another game.
#
# Usage: record-demo.sh BRELKOR OUT SECONDS SEED ROCKS
#   sh scripts/record-demo.sh build/release/brelkor bench/recordings/standard.brec 150 1207 4
#   sh scripts/record-demo.sh build/release/brelkor bench/recordings/crowded.brec 90 1208 40
set -eu
game=$1 out=$2 seconds=$3 seed=$4 rocks=$5
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")
unset SDL_VIDEODRIVER
"$game" --seed "$seed" --rocks "$rocks" --record "$out" &
pid=$!
wid=$(timeout 10 xdotool search --sync --onlyvisible --pid "$pid" --name '^Brelkor!$')
xdotool mousemove --window "$wid" 400 300 windowfocus --sync "$wid"
hold() { xdotool keydown "$1" sleep "$2" keyup "$1"; }
end=$((SECONDS + seconds))
round=0
while ((SECONDS < end)); do
    round=$((round + 1))
    xdotool keydown space # fire held through most of the round
    hold Left 0.$((3 + round % 5))
    hold Up 0.4
    hold Right 0.$((2 + round % 7))
    hold Down 0.8 # retro: face against the motion
    hold Up 0.3
    xdotool keyup space
    xdotool key space sleep 0.1 key space sleep 0.5 key space
    if ((round % 3 == 0)); then
        # Paused with keys pressed and released while paused.
        xdotool key p keydown Up sleep 0.4 keydown Left sleep 0.2 keyup Left key p sleep 0.3 keyup Up
    fi
    hold Left 1.$((round % 4))
    xdotool keydown space sleep 0.6 keyup space
done
xdotool key Escape
wait "$pid"
echo "recorded $(grep -c '^frame' "$out") frames in $out"
