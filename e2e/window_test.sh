#!/usr/bin/env bash
# End-to-end test: runs the game in a real X window on a private Xvfb server,
# looks at what it draws, flies the ship, presses the other keys and closes it
# as a user would.
#
# Usage: window_test.sh BRELKOR CLOSE_WINDOW
# With BRELKOR_SCREENSHOT=FILE it also saves a picture of the game with rocks,
# the ship and a missile in flight as FILE (PNG).
set -u
export LC_ALL=C # EPOCHREALTIME with a '.' separator
unset SDL_VIDEODRIVER WAYLAND_DISPLAY
game=$1 closer=$2 convert=/usr/bin/convert # /usr/local/bin may hold a stand-in
work=$(mktemp -d) run=setup game_pid= xvfb_pid= shots=0
trap 'kill -KILL $(jobs -p) 2>/dev/null; kill $xvfb_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 2' INT TERM HUP

fail() { echo "FAIL ($run): $*" && [[ -s $work/$run.err ]] && echo "--- the game's stderr ---" && cat "$work/$run.err"; exit 1; } >&2
# poll N COMMAND...: runs COMMAND every 50 ms, at most N times, until it succeeds.
poll() { for ((polled = 0; polled < $1; polled++)); do "${@:2}" && return || sleep 0.05; done && return 1; }
# Whether the game is running: an ended child stays a zombie until waited for.
alive() { read -r _ _ state _ 2>/dev/null <"/proc/$game_pid/stat" && [[ $state != Z ]]; }
# Points at the window and gives it the focus, then sends the keys.
keys() { timeout 10 xdotool mousemove --window "$wid" 400 300 windowfocus --sync "$wid" "$@" || fail "expected xdotool $* to reach the game"; }
no_report() { ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$work/$run.err" || fail "expected no sanitizer report on stderr"; }
# Whether the window is WxH; sets geometry.
sized() { geometry=$(xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }') && [[ $geometry == "$1" ]]; }

# The private X server: -displayfd picks a free display; -noreset keeps it
# from resetting, and turning clients away, whenever its last client leaves;
# timeout bounds its life should this script itself be killed.
exec 3< <(exec timeout 120 Xvfb -displayfd 1 -screen 0 1920x1440x24 -nolisten tcp -noreset 2>"$work/xvfb.log") && xvfb_pid=$!
read -t 5 -r number <&3 && export DISPLAY=:$number && xdpyinfo >/dev/null 2>&1 ||
    fail "expected Xvfb to answer on a display within 5 s: $(cat "$work/xvfb.log")"

# launch NAME ARG...: starts the game and waits for its one visible window;
# sets wid. With limit=KIB its files may grow to that size; a write beyond
# fails (EFBIG) rather than kill the game.
window() { wid=$(xdotool search --onlyvisible --pid "$game_pid" --name '^Brelkor!$' 2>/dev/null) || ! alive; }
launch() {
    run=$1
    (${limit:+ulimit -f "$limit"} && trap '' XFSZ && exec "$game" "${@:2}") 2>"$work/$run.err" & game_pid=$!
    poll 200 window && [[ $wid =~ ^[0-9]+$ ]] ||
        fail "expected one visible window named 'Brelkor!' within 10 s; saw '${wid//$'\n'/ }' (game $(alive && echo running || echo ended))"
}

# ends STATUS LIMIT ACTION...: does ACTION, then expects the game to end with
# STATUS within LIMIT ms, with no sanitizer report. Sets took.
ends() {
    local status=$1 limit=$2 start=${EPOCHREALTIME/./} seen who timer
    "${@:3}" || fail "expected ${*:3} to reach the game"
    sleep "${limit}e-3" & timer=$!
    wait -n -p who "$game_pid" "$timer"
    seen=$? took=$(((${EPOCHREALTIME/./} - start) / 1000))
    [[ $who == "$game_pid" ]] || seen='none: still running'
    no_report
    [[ $seen == "$status" ]] && ((took <= limit)) || fail "expected exit status $status within $limit ms; saw $seen after $took ms"
    game_pid= && echo "ok ($run): exit status $seen after $took ms"
}

# shoot [R,G,B]: takes shots of the window until two in a row agree and
# something is drawn (a frame may be half drawn, or not yet drawn, when a shot
# is taken); sets shot, and the bounds of the colour R,G,B in it, if given.
# (import waits for ever on a window that has gone: the game must be running.)
steady() {
    previous=$signature shot=$work/$((++shots)).png
    ! alive || { timeout 5 /usr/bin/import -window "$wid" "png:$shot" 2>/dev/null &&
        signature=$("$convert" "$shot" -format '%[max] %#' info:) && [[ $signature == "$previous" && $signature != "0 "* ]]; }
}
shoot() {
    signature= && poll 60 steady && alive || fail "expected two shots of the window in a row alike, not black (the game $(alive && echo running || echo ended))"
    ((!$#)) || bounds "$1"
}
# Pixels of colour R,G,B in the shot, or in its region WxH+X+Y.
pixels() {
    "$convert" "$shot" ${2:+-crop "$2" +repage} -format %c histogram:info:- |
        awk -v c="$1" '$2 == "(" c ")" || index($2, "(" c ",") == 1 { n += $1 } END { print n + 0 }'
}
# The bounds of colour R,G,B in the shot: sets box (WxH+X+Y) and bw, bh, bx, by.
bounds() {
    box=$("$convert" "$shot" -fill black +opaque "rgb($1)" -format %@ info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && read -r bw bh bx by <<<"${BASH_REMATCH[*]:1}" ||
        fail "expected a bounding box of rgb($1); saw '$box'"
}
# The field is black where nothing is drawn, its 40x40 corners black or a grey
# rock (200,200,200) drifting through; the red ship (255,40,40), an arrowhead 50
# pixels long and 26 wide, stands nose up at the centre (400,300), the nose, its
# topmost pixel, at x=400. Sets top, the nose's row.
check_picture() {
    shoot 255,40,40
    black=$(pixels 0,0,0) red=$(pixels 255,40,40) near=$(pixels 255,40,40 90x90+355+255) top=$by
    corners=$("$convert" "$shot" -fill black -opaque 'rgb(200,200,200)' +antialias \
        -draw 'rectangle 40,0 759,599 rectangle 0,40 799,559' -format '%[max]' info:)
    ((black >= 480000 * 95 / 100 && corners == 0 && red >= 60 && near == red && top < 300 && top + 51 > 300)) &&
        [[ $box =~ ^27x51\+387\+ && $(pixels 255,40,40 "1x1+400+$top") == 1 ]] ||
        fail "expected 95% of the 800x600 window black (saw $black pixels), its corners black or grey (saw up to $corners), 60 or more" \
            "red pixels of the ship (saw $red) all within 45 pixels of the centre (saw $near), in bounds 27x51 centred on x=400 spanning y=300 (saw $box), the nose at x=400"
}

# A fixed start: every run meets the same rocks, and a saved screenshot shows
# the same scene.
seed=20240607

# --- The first game, recorded, with no rocks (the last --rocks counts): the
# window and its picture, again after P twice, the ship's engines and
# missiles, Escape. ---
launch fly --seed "$seed" --rocks 4 --rocks 0 --record "$work/fly.brec"
sized 800x600 || fail "expected the window 800x600; saw $geometry"
check_picture
grey=$(pixels 200,200,200) && ((grey == 0)) || fail "expected no rocks (no grey pixels) with --rocks 4 --rocks 0; saw $grey grey pixels"
keys key p sleep 0.2 key p sleep 0.3
check_picture

# Up held 300 ms, then paused: 400 px/s/s for 0.3 s carries the ship 18 pixels
# up (a frame more or less of thrust: 12 to 32).
keys keydown Up sleep 0.3 keyup Up key p
shoot 255,40,40
[[ $box =~ ^27x51\+387\+ ]] && ((top - by >= 8 && top - by <= 40)) ||
    fail "expected the ship's red bounds 27x51 at x=387 (moved straight up), 8 to 40 pixels higher than y=$top after Up; saw $box"

# Space held 150 ms, paused while it is still down (and let go while paused,
# which leaves the paused picture as it is): one grey missile within 10x10.
keys key p keydown space sleep 0.15 key p keyup space
shoot
grey=$(pixels 200,200,200) && bounds 200,200,200 && ((grey >= 4 && bw <= 10 && bh <= 10)) ||
    fail "expected one grey missile (4 or more grey pixels within 10x10) while Space was held; saw $grey in $box"
ends 0 1000 keys key Escape

# --- The first game replayed: headless it goes as it went, to the hash its
# recording ends with; in the window it keeps the pace it was played at (each
# frame's recorded time, at most a second). ---
run=headless summary=$("$game" --replay "$work/fly.brec" --headless 2>"$work/$run.err")
status=$? recorded=$(sed -n 's/^end [0-9]* \([0-9a-f]*\) .*/\1/p' "$work/fly.brec")
[[ $status == 0 && -n $recorded && $summary == *", matches, final hash $recorded" ]] ||
    fail "expected the recorded game to replay headless to 'matches' and its end hash '$recorded'; saw status $status, '$summary'"
no_report
played=$(awk '/^frame/ { t += ($3 < 1000 ? $3 : 1000) } END { print t }' "$work/fly.brec")
launch replay --replay "$work/fly.brec"
ends 0 $((played + 3000)) :
((took >= played * 8 / 10)) || fail "expected the replay to take about the $played ms the game was played for; it took $took ms"

# --- A recording whose file cannot grow beyond 1 KiB: the write that fails
# stops the recording with one line, the game plays on, and ends with status 1.
# (Without sound: PulseAudio's client wants files of its own larger than that.)
limit=1 SDL_AUDIODRIVER=dummy launch full --seed "$seed" --rocks 0 --record "$work/full.brec"
want="brelkor: cannot go on recording to '$work/full.brec': File too large; the game goes on unrecorded"
poll 100 grep -q 'cannot go on recording' "$work/$run.err" && [[ $(cat "$work/$run.err") == "$want" ]] || fail "expected the one line '$want'"
ends 1 1000 keys key Escape

# --- Four rocks, paused at once (a missile in flight among them for the
# screenshot), closed as a window manager's close button does. ---
launch rocks --seed "$seed" --rocks 4
keys key p
check_picture
grey=$(pixels 200,200,200) && ((grey >= 200)) || fail "expected four grey rocks (200 or more grey pixels) with --rocks 4; saw $grey"
[[ -z ${BRELKOR_SCREENSHOT:-} ]] || { keys key p keydown space sleep 0.5 key p keyup space && shoot && cp "$shot" "$BRELKOR_SCREENSHOT"; } ||
    fail "expected to save the screenshot as $BRELKOR_SCREENSHOT"
ends 0 1000 "$closer" "$wid"

# --- A larger window: --scale 2 opens 1600x1200 and shows the picture twice
# as large: the ship, which nothing moves with no rocks, 54x102 at x=774. ---
launch scaled --rocks 0 --scale 2
sized 1600x1200 || fail "expected the window 1600x1200 with --scale 2; saw $geometry"
shoot 255,40,40
((bw >= 52 && bw <= 56 && bh >= 100 && bh <= 104 && bx >= 772 && bx <= 776 && by >= 2 * top - 2 && by <= 2 * top + 2)) ||
    fail "expected the ship's red bounds twice the unscaled 27x51+387+$top; saw $box"
ends 0 1000 keys key Escape

# --- Under a window manager (full screen is the manager's to grant),
# Alt+Enter: the 800x600 window fills the 1920x1440 screen, which holds the
# field 2.4 times, so the ship, nose up at the field's centre, is 2.4 times as
# large at the screen's centre; Alt+Enter again brings it back. ---
evilwm >"$work/wm.log" 2>&1 &
sleep 0.3
launch managed --seed "$seed" --rocks 4
keys key p
check_picture
keys key alt+Return && poll 50 sized 1920x1440 || fail "expected Alt+Enter to fill the 1920x1440 screen; the window is $geometry"
shoot 255,40,40
((bx + bw / 2 >= 950 && bx + bw / 2 <= 970 && bh >= 110 && bh <= 130)) ||
    fail "expected the ship scaled 2.4 times at the screen's centre; its red bounds are $box"
keys key alt+Return && poll 50 sized 800x600 || fail "expected Alt+Enter again to bring back the 800x600 window; saw $geometry"
ends 0 1000 keys key Escape
