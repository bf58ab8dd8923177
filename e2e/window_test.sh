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

game=$1
closer=$2
convert=/usr/bin/convert # /usr/local/bin may hold a stand-in
import=/usr/bin/import

work=$(mktemp -d)
began=${EPOCHREALTIME/./}
game_pid=
xvfb_pid=
run=setup
limit_kb=

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

# Xvfb here now and then turns away a connection made a few milliseconds after
# another client left ("connection reset by peer", about one in twenty when
# clients follow each other closely). So every X client of this script is tried
# again when it fails, and so is a game that found no display.
xtry() {
    local i
    for i in 1 2 3 4 5; do
        "$@" && return 0
        sleep 0.02
    done
    return 1
}
xdo() { xtry xdotool "$@" 2>/dev/null || fail "expected xdotool $* to reach the X server"; }

# The private X server: -displayfd picks a free display; timeout bounds its life
# should this script itself be killed.
timeout 120 Xvfb -displayfd 3 -screen 0 1920x1440x24 -nolisten tcp -noreset \
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
xtry xdpyinfo >/dev/null 2>&1 || fail "expected Xvfb to answer on $DISPLAY; xdpyinfo failed"

# Starts the game with the arguments after NAME and waits for its one visible
# window; sets wid. Polls rather than use xdotool's --sync, which looks only
# every half second.
launch() {
    run=$1
    shift
    local attempt start
    for attempt in 1 2 3 4; do
        # A moment for the last client's leaving to settle; longer after a turn-away.
        ((attempt == 1)) || sleep 0.1
        sleep 0.02
        if [[ -n $limit_kb ]]; then
            # Files may grow to limit_kb KiB; a write beyond fails (EFBIG) rather
            # than kill the game.
            (ulimit -f "$limit_kb" && trap '' XFSZ && exec "$game" "$@") 2>"$work/stderr.$run" &
        else
            "$game" "$@" 2>"$work/stderr.$run" &
        fi
        game_pid=$!
        start=$(now_ms)
        wid=
        while [[ -z $wid ]] && alive && (($(now_ms) - start < 10000)); do
            wid=$(xdotool search --onlyvisible --name '^Brelkor!$' 2>/dev/null) || sleep 0.05
        done
        [[ -n $wid ]] && break
        alive && break
        wait "$game_pid"
        local status=$?
        game_pid=
        if [[ $status != 1 ]] || ! grep -q '^brelkor: no display reachable' "$work/stderr.$run"; then
            fail "expected a visible window named 'Brelkor!'; the game ended with status $status"
        fi
        echo "note ($run): the X server turned the game away (attempt $attempt); starting it again"
    done
    [[ -n $wid ]] ||
        fail "expected a visible window named 'Brelkor!' within 10 s; saw none (game $([[ -n $game_pid ]] && alive && echo running || echo ended))"
    [[ $wid =~ ^[0-9]+$ ]] || fail "expected exactly one 'Brelkor!' window; saw ids: ${wid//$'\n'/ }"
}

focus() { xdo mousemove --window "$wid" 400 300 windowfocus --sync "$wid"; }

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
    took=$(($(now_ms) - start))
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

# The bounds of the colour R,G,B in the shot: sets bw, bh, bx, by (0 0 0 0 when
# the colour is absent) and box (WxH+X+Y).
bounds() {
    box=$("$convert" "$shot" -fill black +opaque "rgb($1)" -format %@ info: 2>/dev/null)
    if [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
        bw=${BASH_REMATCH[1]} bh=${BASH_REMATCH[2]} bx=${BASH_REMATCH[3]} by=${BASH_REMATCH[4]}
    else
        fail "expected a bounding box of rgb($1); ImageMagick said '$box'"
    fi
    ((bw > 0)) || bx=0 by=0
}

# The field is black where nothing is drawn; the red ship (255,40,40), an
# arrowhead 50 pixels long and 26 wide, stands nose up at the centre (400,300).
# Sets top, the nose's row.
check_picture() {
    steady_shot
    local black red corner
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
    bounds 255,40,40
    top=-1000
    [[ $box =~ ^27x51\+387\+([0-9]+)$ ]] && top=${BASH_REMATCH[1]}
    ((top < 300 && top + 51 > 300)) ||
        fail "expected the ship's red bounds 27x51 centred on x=400 and spanning y=300; saw $box"
    [[ $(pixels 255,40,40 "1x1+400+$top") == 1 ]] ||
        fail "expected the nose, the topmost red pixel, at x=400 (ship nose up); bounds $box"
}

# The middle of the red pixels in the ship's topmost row: sets nose. bounds must
# have just run on red.
find_nose() {
    nose=$("$convert" "$shot" -crop "${bw}x1+$bx+$by" +repage -depth 8 txt:- |
        awk -F '[,:]' -v x="$bx" '/#FF2828/ { if (n++ == 0) first = $1; last = $1 }
                                   END { if (n) print x + int((first + last) / 2) }')
    [[ -n $nose ]] || fail "expected red in the ship's top row, y=$by; saw none"
}

# The share, in percent, of the grey (200,200,200) in shot A that lies within
# about RADIUS pixels of grey in shot B. Compared in blocks of 4 by 4 pixels,
# which keeps the dilation quick.
grey_near() {
    local a=$1 b=$2 radius=$3
    local mask=(-fill black +opaque 'rgb(200,200,200)' -fill white -opaque 'rgb(200,200,200)'
        -colorspace gray -scale 25% -threshold 0)
    "$convert" "$a" "${mask[@]}" \( "$b" "${mask[@]}" -morphology Dilate "Disk:$((radius / 4))" \) \
        \( -clone 0 -clone 1 -compose Darken -composite \) -delete 1 \
        -format '%[fx:mean]\n' info: |
        awk 'NR == 1 { a = $1 } NR == 2 { print (a > 0 ? int(100 * $1 / a) : 0) }'
}

# Whether shots A and B show the rocks in the same places: 90% of either's grey
# within RADIUS pixels of the other's; else fails, saying what was WANTED.
# Sets same and back, the two shares.
rocks_alike() {
    same=$(grey_near "$1" "$2" "$3")
    back=$(grey_near "$2" "$1" "$3")
    ((same >= 90 && back >= 90)) ||
        fail "expected $4: 90% of either's grey within $3 pixels of the other's; saw $same% and $back%"
}

# A fixed start: every run meets the same rocks, and a saved screenshot shows
# the same scene.
seed=20240607

# --- First launch, no rocks: the window, its picture, pause, the ship's
# engines and missiles, and Escape. ---
launch fly --seed "$seed" --rocks 4 --rocks 0 --record "$work/fly.brec" # the last --rocks counts
geometry=$(xtry xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[[ $geometry == 800x600 ]] || fail "expected the window 800x600; saw $geometry"
check_picture
grey=$(pixels 200,200,200)
((grey == 0)) || fail "expected no rocks (no grey pixels) with --rocks 4 --rocks 0; saw $grey grey pixels"
echo "ok ($run): window $wid is 800x600, black, with the red ship nose up at the centre and no rocks"

focus
xdo key p
sleep 0.2
xdo key p
sleep 0.3
alive || fail "expected the game running after P, P; it ended"
check_picture
echo "ok ($run): still running and drawing after P, P"

# Up held 300 ms, then paused: 400 px/s/s for 0.3 s carries the ship 18 pixels
# up (a frame more or less of thrust: 12 to 32).
before=$top
xdo keydown Up sleep 0.3 keyup Up key p
steady_shot
bounds 255,40,40
[[ $box =~ ^27x51\+387\+ ]] || fail "expected the ship's red bounds 27x51 at x=387 after Up (moved straight up); saw $box"
((before - by >= 8 && before - by <= 40)) ||
    fail "expected the ship 8 to 40 pixels higher after Up held for 300 ms; its top went from y=$before to y=$by"
echo "ok ($run): Up moved the ship $((before - by)) pixels up, nose up"

# Left held 250 ms: 1.1 pi rad/s turns the nose about 50 degrees (35 to 70)
# counter-clockwise, up and to the left of the ship's middle.
xdo key p keydown Left sleep 0.25 keyup Left key p
steady_shot
bounds 255,40,40
find_nose
middle=$((bx + bw / 2))
((bw >= 36 && bw <= 58 && bh >= 36 && bh <= 58)) ||
    fail "expected the ship's red bounds turned (36 to 58 wide and high, not 27x51) after Left; saw $box"
((nose <= middle - 8)) ||
    fail "expected the nose, the topmost red pixel, 8 or more pixels left of the ship's middle x=$middle after Left; saw x=$nose (bounds $box)"
echo "ok ($run): Left turned the ship: bounds $box, nose at x=$nose, middle $middle"

# Space held 150 ms, paused while it is still down: one grey missile, fired
# from 3 pixels ahead of the nose, about 50 pixels ahead of the ship's middle
# (34 plus 800 t^2 px) along the line through the nose.
xdo key p keydown space sleep 0.15 key p
steady_shot
xdo keyup space
bounds 255,40,40
ship_box=$box
find_nose
nose_y=$by
centre_x=$((bx * 2 + bw)) centre_y=$((by * 2 + bh)) # doubled, to stay whole
grey=$(pixels 200,200,200)
bounds 200,200,200
((grey >= 4 && bw <= 10 && bh <= 10)) ||
    fail "expected one grey missile (4 or more grey pixels within 10x10) while Space was held; saw $grey grey pixels in $box"
# The missile's offset from the ship's middle, along and across the nose's line.
read -r ahead aside < <(awk -v cx="$centre_x" -v cy="$centre_y" -v nx="$((nose * 2))" \
    -v ny="$((nose_y * 2))" -v mx="$((bx * 2 + bw))" -v my="$((by * 2 + bh))" 'BEGIN {
        ux = nx - cx; uy = ny - cy; l = sqrt(ux * ux + uy * uy); ux /= l; uy /= l
        px = (mx - cx) / 2; py = (my - cy) / 2
        printf "%d %d\n", px * ux + py * uy, px * uy - py * ux
    }')
((ahead >= 36 && ahead <= 110 && aside >= -12 && aside <= 12)) ||
    fail "expected the missile 36 to 110 pixels ahead of the ship's middle along its nose and within 12 pixels of that line; saw $ahead ahead, $aside aside (missile $box, ship $ship_box, nose x=$nose)"
echo "ok ($run): Space fired a missile $ahead pixels ahead of the ship's middle, $aside aside"

focus
start=$(now_ms)
xdo key Escape
expect_exit 0 1000 "$start"

# --- The first game was recorded: replayed headless it goes as it went, to
# the hash its recording ends with; replayed in the window it keeps the pace it
# was played at, and Escape stops it. ---
run=headless
summary=$("$game" --replay "$work/fly.brec" --headless 2>"$work/stderr.$run")
status=$?
recorded=$(sed -n 's/^end [0-9]* \([0-9a-f]*\) .*/\1/p' "$work/fly.brec")
[[ $status == 0 && -n $recorded && $summary == *", matches, final hash $recorded" ]] ||
    fail "expected the recorded game to replay headless to 'matches' and its end hash '$recorded'; saw status $status, '$summary'"
no_sanitizer_report
echo "ok ($run): $summary"
# Each frame's recorded time, as the replay waits for it (at most a second).
played=$(awk '/^frame/ { t += ($3 < 1000 ? $3 : 1000) } END { print t }' "$work/fly.brec")
launch replay --replay "$work/fly.brec"
start=$(now_ms)
expect_exit 0 $((played + 3000)) "$start"
((took >= played * 8 / 10)) ||
    fail "expected the replay to take about the $played ms the game was played for; it took $took ms"
launch replay-stopped --replay "$work/fly.brec"
focus
start=$(now_ms)
xdo key Escape
expect_exit 0 1000 "$start"

# --- A recording whose file cannot grow beyond 1 KiB: the write that fails
# stops the recording with one line, the game plays on, and ends with status 1.
# (Without sound: PulseAudio's client wants files of its own larger than that.)
limit_kb=1
SDL_AUDIODRIVER=dummy launch full --seed "$seed" --rocks 0 --record "$work/full.brec"
limit_kb=
for _ in $(seq 100); do
    grep -q 'cannot go on recording' "$work/stderr.$run" && break
    sleep 0.05
done
want="brelkor: cannot go on recording to '$work/full.brec': File too large; the game goes on unrecorded"
[[ $(cat "$work/stderr.$run") == "$want" ]] ||
    fail "expected the one line '$want'; saw '$(head -c 300 "$work/stderr.$run")'"
sleep 0.2
alive || fail "expected the game to play on once its recording stopped"
check_picture
focus
start=$(now_ms)
xdo key Escape
expect_exit 1 1000 "$start"

# --- Second launch, four rocks: paused at once, a missile in flight among
# them, closed as a window manager's close button does. ---
launch rocks --seed "$seed" --rocks 4
second=$EPOCHSECONDS
focus
xdo key p
check_picture
rocks_shot=$work/rocks-start.png
cp "$shot" "$rocks_shot"
grey=$(pixels 200,200,200)
((grey >= 200)) || fail "expected four grey rocks (200 or more grey pixels) with --rocks 4; saw $grey"
echo "ok ($run): $grey grey pixels of rocks around the ship"

xdo key p keydown space sleep 0.5 key p
steady_shot
xdo keyup space
if [[ -n ${BRELKOR_SCREENSHOT:-} ]]; then
    cp "$shot" "$BRELKOR_SCREENSHOT" || fail "expected to write the screenshot to $BRELKOR_SCREENSHOT"
    echo "ok ($run): screenshot saved as $BRELKOR_SCREENSHOT"
fi
start=$(now_ms)
xtry "$closer" "$wid" || fail "expected close_window to deliver WM_DELETE_WINDOW to window $wid"
expect_exit 0 1000 "$start"

# --- Third launch: the same seed in another second of the clock gives the
# same rocks, so the seed, not the clock, placed them. ---
while ((EPOCHSECONDS == second)); do sleep 0.05; done
launch repeat --seed "$seed" --rocks 4
focus
xdo key p
check_picture
rocks_alike "$shot" "$rocks_shot" 16 "the same rocks as the last launch with --seed $seed"
echo "ok ($run): the same rocks again ($same% and $back% of grey within 16 pixels)"
focus
start=$(now_ms)
xdo key Escape
expect_exit 0 1000 "$start"

# --- A larger window: --scale 2 opens 1600x1200 and shows the scaled picture
# of the unscaled game. Both replay one recording, paused from its first frame
# with nothing yet simulated, so both show the same scene. ---
line() { # a recording's line: the text, then its CRC-32 (gzip's trailer holds it)
    printf '%s *%s\n' "$1" "$(printf '%s' "$1" | gzip -c | tail -c 8 | od -An -tx4 -N4 | tr -d ' ')"
}
paused() { # the recording, each frame with the hash $1
    line 'brelkor-recording 2'
    line 'game 0.1'
    line "seed $seed"
    line 'rocks 4'
    line 'field 800 600'
    line "frame 1 0 $1 down:P"
    local frame
    for frame in $(seq 2 120); do line "frame $frame 33 $1"; done
}
paused 0000000000000000 | head -n 6 >"$work/paused.brec"
hash=$("$game" --replay "$work/paused.brec" --headless 2>/dev/null | sed 's/.*final hash //')
paused "$hash" >"$work/paused.brec"
launch unscaled --replay "$work/paused.brec"
steady_shot
cp "$shot" "$work/unscaled.png"
bounds 255,40,40
small=("$bw" "$bh" "$bx" "$by")
focus
xdo key Escape
expect_exit 0 1000 "$(now_ms)"
launch scaled --replay "$work/paused.brec" --scale 2
geometry=$(xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[[ $geometry == 1600x1200 ]] || fail "expected the window 1600x1200 with --scale 2; saw $geometry"
steady_shot
bounds 255,40,40
for k in 0 1 2 3; do
    big=("$bw" "$bh" "$bx" "$by")
    ((big[k] >= 2 * small[k] - 2 && big[k] <= 2 * small[k] + 2)) ||
        fail "expected the ship's red bounds twice the unscaled ${small[*]} (width, height, x, y); saw ${big[*]}"
done
"$convert" "$work/unscaled.png" -sample 200% "$work/doubled.png"
rocks_alike "$shot" "$work/doubled.png" 8 "the rocks where the unscaled picture has them, doubled"
echo "ok ($run): 1600x1200, the ship's bounds ${big[*]} against ${small[*]}, $same% and $back% of grey in place"
focus
xdo key Escape
expect_exit 0 1000 "$(now_ms)"

# --- Alt+Enter under a window manager (full screen is the manager's to
# grant): the 800x600 window fills the screen with the field letterboxed, and
# Alt+Enter again brings it back; the game plays on and ends as usual. ---
run=fullscreen
evilwm >"$work/wm.log" 2>&1 &
wm_pid=$!
sleep 0.3
launch fullscreen --seed "$seed" --rocks 0
focus
xdo key p alt+Return
screen=$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
for _ in $(seq 50); do
    geometry=$(xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    [[ $geometry == "$screen" ]] && break
    sleep 0.05
done
[[ $geometry == "$screen" ]] || fail "expected Alt+Enter to fill the $screen screen; the window is $geometry"
steady_shot
bounds 255,40,40
# 1920x1440 holds the field 2.4 times: the ship, nose up at the field's
# centre, is 2.4 times as large at the screen's centre.
((bx + bw / 2 >= 950 && bx + bw / 2 <= 970 && bh >= 110 && bh <= 130)) ||
    fail "expected the ship scaled 2.4 times at the screen's centre; its red bounds are $box"
xdo key alt+Return
for _ in $(seq 50); do
    geometry=$(xwininfo -id "$wid" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    [[ $geometry == 800x600 ]] && break
    sleep 0.05
done
[[ $geometry == 800x600 ]] || fail "expected Alt+Enter again to bring back the 800x600 window; saw $geometry"
echo "ok ($run): Alt+Enter filled the $screen screen (ship $box) and went back to 800x600"
focus
start=$(now_ms)
xdo key Escape
expect_exit 0 1000 "$start"
kill "$wm_pid" 2>/dev/null
wait "$wm_pid" 2>/dev/null

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
echo "ok: the window test took $(((${EPOCHREALTIME/./} - began) / 1000)) ms"
