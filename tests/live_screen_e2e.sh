#!/bin/sh
# The live demo's picture on private X screens of several sizes, against the offline runner's frames
# of the same rows (made by live_frames.sh): full screen covering the display with the picture
# centred and black bars, exactly unscaled on a 640 x 480 screen, the "Qovo GL" question with both
# answers, a 640 x 480 window after No that ends with status 0 on Escape, a resized window keeping
# the aspect, and drawing again after minimise and restore.
# Usage: live_screen_e2e.sh BUILD_DIR FRAMES_DIR SCENARIO
#   SCENARIO: fullscreen | qovo | window
# Exits 77 (skipped) without Xvfb. Every wait is bounded; nothing is timed.
set -u
build=${1:?build directory}
frames=${2:?frames folder}
scenario=${3:?scenario}
name="live_screen_e2e ($scenario)"
. "$(dirname "$0")/support/live_e2e_lib.sh"
command -v import >/dev/null 2>&1 || { echo "$name: ImageMagick's import is not installed"; exit 77; }
[ -d "$frames/frames" ] || fail "no frames in $frames; live_frames.sh makes them"

# shot WINDOW FILE: the window's content (root: the whole screen).
shot() {
    if [ "$1" = root ]; then
        timeout 30 import -window root "$2" 2>/dev/null
    else
        timeout 30 import -window "$1" "$2" 2>/dev/null
    fi
}

# The colour of one pixel of a shot, "R,G,B".
pixel() {
    timeout 30 convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info: 2>/dev/null
}

# sceneShown WINDOW X Y: a shot whose picture pixel at X, Y is neither black (nothing drawn yet)
# nor the loading bar's clear colour nor the white of a row 0, i.e. the intro titles are on screen.
sceneShown() {
    shot "$1" "$work/shot.png" || return 1
    colour=$(pixel "$work/shot.png" "$2" "$3")
    [ -n "$colour" ] && [ "$colour" != "0,0,0" ] && [ "$colour" != "255,255,255" ] &&
        [ "$colour" != "89,12,89" ] && [ "$colour" != "89,13,89" ]
}

# matchesRunner WINDOW X Y [nearest]: waits for the titles, then holds that shot against the frames.
matchesRunner() {
    waitUntil 300 sceneShown "$1" "$2" "$3" || fail "the intro titles never came on screen"
    "$build/picture_check" "$work/shot.png" "$frames/frames" "$frames/log.csv" ${4:-} ||
        { cp "$work/shot.png" "/tmp/live_screen_e2e_$scenario.png" 2>/dev/null; fail "the picture does not match the runner's frames"; }
}

# fullscreenOn WIDTHxHEIGHT: Yes to "fullscreen?" on a screen of that size.
fullscreenOn() {
    startX "$1"
    startDemo SDL_AUDIODRIVER=dummy
    box=$(waitForBox zub.plomvardix "fullscreen?") || fail "no \"fullscreen?\" box"
    answerBox "$box" Return || fail "the box did not take Return"
    waitUntil 120 demoWindowSized "$1" >/dev/null || fail "no window covering the $1 screen"
    window=$(demoWindowSized "$1")
    position=$(timeout 10 xdotool getwindowgeometry "$window" | sed -n 's/^ *Position: \([0-9]*,[0-9]*\).*/\1/p')
    [ "$position" = "0,0" ] || fail "the full-screen window is at $position, not 0,0"
    # A point inside the picture near its top-left corner (the picture fills the height here).
    width=${1%x*}
    height=${1#*x}
    matchesRunner root $((width / 2 - 300)) $((height / 2 - 200))
    endDemo "$window"
    [ "$status" -eq 0 ] || fail "exit status $status after Escape"
    kill "$xpid" 2>/dev/null
    wait "$xpid" 2>/dev/null
    xpid=""
}

case "$scenario" in
fullscreen)
    fullscreenOn 1920x1080   # the picture 1440 x 1080 at x 240, bars at the sides
    fullscreenOn 1280x1024   # 1280 x 960 at y 32, bars above and below
    fullscreenOn 640x480     # exactly the picture: unscaled
    ;;
qovo)
    startX 1024x768
    # Yes, then Yes to windowed mode: a 640 x 480 window.
    startDemo SDL_AUDIODRIVER=dummy PLOMVARDIX_FULLSCREEN=unavailable
    box=$(waitForBox zub.plomvardix "fullscreen?") || fail "no \"fullscreen?\" box"
    answerBox "$box" Return || fail "the box did not take Return"
    box=$(waitForBox "Qovo GL" "The Requested Fullscreen Mode Is Not Supported By") || fail "no \"Qovo GL\" box"
    answerBox "$box" Return || fail "the \"Qovo GL\" box did not take Return"
    waitUntil 120 demoWindowSized 640x480 >/dev/null || fail "no 640x480 window after Yes"
    endDemo "$(demoWindowSized 640x480)"
    [ "$status" -eq 0 ] || fail "exit status $status after Yes and Escape"
    grep -q "^Qovo GL: The Requested Fullscreen Mode Is Not Supported By$" "$work/err" || fail "question text"
    grep -q "^your Video Card. Use Windowed Mode Instead?$" "$work/err" || fail "question text, second line"
    ! grep -q "Program Will Now Close" "$work/err" || fail "Yes closed the program"

    # Yes, then No: "Program Will Now Close." and exit status 1, no window.
    startDemo SDL_AUDIODRIVER=dummy PLOMVARDIX_FULLSCREEN=unavailable
    box=$(waitForBox zub.plomvardix "fullscreen?") || fail "no \"fullscreen?\" box"
    answerBox "$box" Return || fail "the box did not take Return"
    box=$(waitForBox "Qovo GL" "The Requested Fullscreen Mode Is Not Supported By") || fail "no \"Qovo GL\" box"
    answerBox "$box" Escape || fail "the \"Qovo GL\" box did not take Escape"
    box=$(waitForBox ERROR "Program Will Now Close.") || fail "no \"Program Will Now Close.\" box"
    [ -z "$(demoWindows)" ] || fail "a window was made after No"
    answerBox "$box" Return || fail "the closing box did not take Return"
    waitExit 60
    [ "$status" -eq 1 ] || fail "exit status $status after No, not 1"
    [ "$(grep -c "^ERROR: " "$work/err")" -eq 1 ] || fail "other boxes than \"Program Will Now Close.\""
    ! grep -q "Loading texture" "$work/out" || fail "pictures were loaded after No"
    ;;
window)
    startX 1280x1024
    startDemo SDL_AUDIODRIVER=dummy
    box=$(waitForBox zub.plomvardix "fullscreen?") || fail "no \"fullscreen?\" box"
    answerBox "$box" Escape || fail "the box did not take Escape"
    waitUntil 120 demoWindowSized 640x480 >/dev/null || fail "no 640x480 window"
    window=$(demoWindowSized 640x480)

    # Minimised (as a compositing window manager does it, by the hidden state): drawing stops.
    waitUntil 300 sceneShown "$window" 20 20 || fail "the intro titles never came on screen"
    timeout 10 xprop -id "$window" -f _NET_WM_STATE 32a -set _NET_WM_STATE _NET_WM_STATE_HIDDEN
    still() {
        shot "$window" "$work/a.png" && sleep 0.5 && shot "$window" "$work/b.png" &&
            [ "$(timeout 30 compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)" = "0" ]
    }
    waitUntil 60 still || fail "drawing went on while minimised"
    # Restored: it draws again.
    timeout 10 xprop -id "$window" -remove _NET_WM_STATE
    moving() {
        shot "$window" "$work/a.png" && sleep 0.3 && shot "$window" "$work/b.png" &&
            [ "$(timeout 30 compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)" != "0" ]
    }
    waitUntil 60 moving || fail "no drawing after restore"

    # Minimised by unmapping (as a classic window manager iconifies), then maximised straight
    # from there: mapped again at the screen's size with the maximised state.
    timeout 10 xdotool windowunmap "$window"
    sleep 1
    timeout 10 xprop -id "$window" -f _NET_WM_STATE 32a -set _NET_WM_STATE \
        _NET_WM_STATE_MAXIMIZED_VERT,_NET_WM_STATE_MAXIMIZED_HORZ
    timeout 10 xdotool windowmap "$window"
    timeout 10 xdotool windowsize "$window" 1280 1024
    waitUntil 60 demoWindowSized 1280x1024 >/dev/null || fail "the window was not maximised"
    waitUntil 60 moving || fail "no drawing after maximising from minimised"

    # Resized to a wide window: the picture keeps its aspect, bars at the sides, and still matches.
    timeout 10 xprop -id "$window" -remove _NET_WM_STATE
    timeout 10 xdotool windowsize "$window" 1000 500
    waitUntil 60 demoWindowSized 1000x500 >/dev/null || fail "the window did not take its new size"
    # The first shots after the resize may predate the first frame scaled to the new size.
    fitted() {
        shot "$window" "$work/shot.png" || return 1
        "$build/picture_check" "$work/shot.png" "$frames/frames" "$frames/log.csv" >"$work/check" 2>&1
        check=$?
        ! grep -q "not black" "$work/check" && grep -q "picture at 166,0 size 667x500" "$work/check"
    }
    check=1
    waitUntil 6 fitted
    cat "$work/check"
    # The titles may have moved past order 0 by now: the bars are checked in any case.
    grep -q "not black" "$work/check" && fail "the bars around the resized picture are not black"
    grep -q "picture at 166,0 size 667x500" "$work/check" || fail "the picture is not fitted to 1000x500"
    [ "$check" -eq 0 ] || echo "$name: (later rows than the frames cover; bars and fit checked)"
    endDemo "$window"
    [ "$status" -eq 0 ] || fail "exit status $status"
    grep -q "^zub.plomvardix: fullscreen?$" "$work/err" || fail "the question is not on stderr as it stands"
    ;;
*)
    fail "no scenario $scenario"
    ;;
esac
echo "$name: ok"
