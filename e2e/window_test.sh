#!/usr/bin/env bash
# End-to-end test: runs the game in a real X window on a private Xvfb server,
# looks at what it draws, presses its keys and closes it as a user would.
#
# Usage: window_test.sh BRELKOR CLOSE_WINDOW
set -u
export LC_ALL=C # EPOCHREALTIME with a '.' separator
unset SDL_VIDEODRIVER WAYLAND_DISPLAY

game=$1
closer=$2
convert=/usr/bin/convert # /usr/local/bin may hold a stand-in
import=/usr/bin/import

work=$(mktemp -d)
game_pid=
xvfb_pid=
run=setup

cleanup() {
    if [[ -n $game_pid ]]; then
        kill -KILL "$game_pid" 2>/dev/null
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null
    fi
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 2' INT TERM HUP

fail() {
    echo "FAIL ($run): $*" >&2
    if [[ -s $work/stderr.$run ]]; then
        echo "--- the game's stderr ---" >&2
        cat "$work/stderr.$run" >&2
    fi
    exit 1
}

now_ms() { local t=${EPOCHREALTIME/./}; echo $((t / 1000)); }

# Whether the game is running: an ended child stays a zombie until waited for.
alive() {
    local state
    read -r _ _ state _ 2>/dev/null <"/proc/$game_pid/stat" && [[ $state != Z ]]
}

# The private X server: -displayfd picks a free display; timeout bounds its life
# should this script itself be killed.
timeout 120 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ $(wc -l <"$work/display") -ge 1 ]] && break
    sleep 0.05
done
read -r number <"$work/display"
[[ ${number:-} =~ ^[0-9]+$ ]] ||
    fail "expected Xvfb to report its display within 5 s; saw '${number:-}': $(cat "$work/xvfb.log")"
export DISPLAY=:$number
xdpyinfo >/dev/null 2>&1 || fail "expected Xvfb to answer on $DISPLAY; xdpyinfo failed"

# Starts the game and waits for its one visible window; sets wid.
launch() {
    run=$1
    "$game" 2>"$work/stderr.$run" &
    game_pid=$!
    wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Brelkor!$') ||
        fail "expected a visible window named 'Brelkor!' within 10 s; saw none (game $(alive && echo running || echo ended))"
    [[ $wid =~ ^[0-9]+$ ]] || fail "expected exactly one 'Brelkor!' window; saw ids: ${wid//$'\n'/ }"
}

focus() { xdotool mousemove --window "$wid" 400 300 windowfocus --sync "$wid"; }

no_sanitizer_report() {
    local report
    report=$(grep -E 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$work/stderr.$run")
    [[ -z $report ]] || fail "expected no sanitizer report on stderr; saw: $report"
}

# Waits up to LIMIT ms after START (ms) for the game to end with STATUS.
expect_exit() {
    local status=$1 limit=$2 start=$3 seen
    while alive && (($(now_ms) - start <= limit)); do sleep 0.02; done
    alive && fail "expected the game to end within $limit ms; still running after $(($(now_ms) - start)) ms"
    local took=$(($(now_ms) - start))
    wait "$game_pid"
    seen=$?
    game_pid=
    no_sanitizer_report
    ((seen == status)) || fail "expected exit status $status; saw $seen (after $took ms)"
    ((took <= limit)) || fail "expected the game to end within $limit ms; it took $took ms"
    echo "ok ($run): exit status $seen after $took ms"
}

# Takes shots of the window until two in a row agree and something is drawn;
# sets shot. A frame may be half drawn, or not yet drawn, when a shot is taken.
steady_shot() {
    local previous='' signature i
    for i in $(seq 60); do
        shot=$work/$run.$i.png
        "$import" -window "$wid" "png:$shot" 2>/dev/null || continue
        signature=$("$convert" "$shot" -format '%[max] %#' info:)
        [[ $signature == "$previous" && $signature != "0 "* ]] && return
        previous=$signature
        sleep 0.05
    done
}

# Pixels of colour R,G,B in the shot, or in the region WxH+X+Y of it.
pixels() {
    "$convert" "$shot" ${2:+-crop "$2" +repage} -format %c histogram:info:- |
        awk -v c="$1" '$2 == "(" c ")" || index($2, "(" c ",") == 1 { n += $1 } END { print n + 0 }'
}

# The field is black where nothing is drawn; the red ship (255,40,40), an
# arrowhead 50 pixels long and 26 wide, stands nose up at the centre (400,300).
check_picture() {
    steady_shot
    local black red box corner
    black=$(pixels 0,0,0)
    ((black >= 480000 * 95 / 100)) ||
        fail "expected at least 95% of the 800x600 window black; saw $black black pixels"
    # Corners: black, or a grey rock (200,200,200) drifting through.
    for corner in 40x40+0+0 40x40+760+0 40x40+0+560 40x40+760+560; do
        (($(pixels 0,0,0 $corner) + $(pixels 200,200,200 $corner) == 1600)) ||
            fail "expected the corner $corner black; saw: $("$convert" "$shot" -crop $corner +repage -format %c histogram:info:- | head -3)"
    done
    red=$(pixels 255,40,40)
    ((red >= 60)) || fail "expected the red ship's outline (at least 60 red pixels); saw $red"
    (($(pixels 255,40,40 90x90+355+255) == red)) ||
        fail "expected every red pixel within 45 pixels of the centre (400,300); $red red in all, $(pixels 255,40,40 90x90+355+255) near the centre"
    box=$("$convert" "$shot" -fill black +opaque 'rgb(255,40,40)' -format %@ info:)
    local top=-1000
    [[ $box =~ ^27x51\+387\+([0-9]+)$ ]] && top=${BASH_REMATCH[1]}
    ((top < 300 && top + 51 > 300)) ||
        fail "expected the ship's red bounds 27x51 centred on x=400 and spanning y=300; saw $box"
    [[ $(pixels 255,40,40 "1x1+400+$top") == 1 ]] ||
        fail "expected the nose, the topmost red pixel, at x=400 (ship nose up); bounds $box"
}

# --- First launch: the window, its picture, pause and Escape. ---
launch keys
geometry=$(xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[[ $geometry == 800x600 ]] || fail "expected the window 800x600; saw $geometry"
check_picture
echo "ok ($run): window $wid is 800x600, black, with the red ship at the centre"

focus
xdotool key p
sleep 0.2
xdotool key p
sleep 0.3
alive || fail "expected the game running after P, P; it ended"
check_picture
echo "ok ($run): still running and drawing after P, P"

focus
start=$(now_ms)
xdotool key Escape
expect_exit 0 1000 "$start"

# --- Second launch: closed as a window manager's close button does. ---
launch close
check_picture
start=$(now_ms)
"$closer" "$wid" || fail "expected close_window to deliver WM_DELETE_WINDOW to window $wid"
expect_exit 0 1000 "$start"

# --- No display: status 1 and a last line naming the game. ---
run=nodisplay
start=$(now_ms)
env -u DISPLAY timeout 10 "$game" 2>"$work/stderr.$run"
status=$?
took=$(($(now_ms) - start))
((status == 1)) || fail "expected exit status 1 with no display; saw $status after $took ms"
((took <= 5000)) || fail "expected the game to give up within 5000 ms with no display; it took $took ms"
last=$(tail -n 1 "$work/stderr.$run")
[[ $last =~ ^brelkor:\  ]] || fail "expected the last stderr line to begin 'brelkor: '; saw '$last'"
no_sanitizer_report
echo "ok ($run): exit status 1 after $took ms, last line: $last"
