# A real desktop for end-to-end scripts: an X server (Xvfb) with a window manager (openbox), and helpers that
# drive it with xdotool and look at it with ImageMagick. Source it from bash:
#
#   source tests/e2e/desktop.sh
#   trap desktop_stop EXIT
#   desktop_start 1024x768x24            # exports DISPLAY; the window manager is running when it returns
#   desktop_wait_until desktop_find_window '^Quillmoor$' || ...
#   desktop_click "$desktop_window" 20 30
#   desktop_shot build/failure.png
#
# Without a window manager X gives the focus back to nobody when a dialog closes, and windows get neither
# frames nor activation, so the program would be tested on a desktop no user has.
#
# Every wait polls with a bounded time: a loaded machine answers slowly, never wrongly. The helpers return
# non-zero instead of exiting, so the calling script decides what a failure means.

desktop_dir=""
desktop_xvfb_pid=""
desktop_wm_pid=""
# The window that desktop_find_window and desktop_active_window found last.
desktop_window=""
# The geometry that desktop_geometry read last: the client area's place on the screen and its size.
desktop_left=0
desktop_top=0
desktop_width=0
desktop_height=0

# Seconds that desktop_wait_until waits before it gives up; the polling interval is a tenth of a second.
: "${DESKTOP_WAIT_SECONDS:=20}"

# desktop_wait_until COMMAND [ARGS...]: runs the command until it succeeds, at most DESKTOP_WAIT_SECONDS long.
desktop_wait_until() {
    local tries=$((DESKTOP_WAIT_SECONDS * 10))
    for ((i = 0; i < tries; ++i)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

desktop_wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# desktop_start [WIDTHxHEIGHTxDEPTH]: starts Xvfb on a free display and openbox on it; exports DISPLAY. Now and
# then, on a machine where other servers come and go, openbox cannot open the display that the server has just
# announced: the desktop is started afresh then, three times at most.
desktop_start() {
    local attempt
    for attempt in 1 2 3; do
        desktop_start_once "$@" && return 0
        desktop_stop
    done
    return 1
}

desktop_wm_running_or_gone() {
    desktop_wm_running || ! kill -0 "$desktop_wm_pid" 2>/dev/null
}

desktop_start_once() {
    local screen=${1:-1024x768x24}
    desktop_dir=$(mktemp -d)
    # The server picks a free display itself and tells its number once it accepts clients, so a display still
    # being released by an earlier run is never taken.
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$desktop_dir/display" >"$desktop_dir/xvfb.log" 2>&1 &
    desktop_xvfb_pid=$!
    local waited=0
    while [ ! -s "$desktop_dir/display" ]; do
        if ! kill -0 "$desktop_xvfb_pid" 2>/dev/null || [ $waited -ge 200 ]; then
            echo "desktop: Xvfb did not start" >&2
            cat "$desktop_dir/xvfb.log" >&2
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    export DISPLAY=":$(tr -d '[:space:]' <"$desktop_dir/display")"
    # A configuration of its own: the user's openbox settings must not change what the tests see.
    mkdir -p "$desktop_dir/config" "$desktop_dir/cache"
    XDG_CONFIG_HOME="$desktop_dir/config" XDG_CACHE_HOME="$desktop_dir/cache" \
        openbox --sm-disable >"$desktop_dir/openbox.log" 2>&1 &
    desktop_wm_pid=$!
    if ! desktop_wait_until desktop_wm_running_or_gone || ! desktop_wm_running; then
        echo "desktop: openbox did not start" >&2
        cat "$desktop_dir/openbox.log" >&2
        return 1
    fi
}

# desktop_stop: ends the window manager and the server that desktop_start started, and removes their files.
desktop_stop() {
    local pid
    for pid in "$desktop_wm_pid" "$desktop_xvfb_pid"; do
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    desktop_wm_pid=""
    desktop_xvfb_pid=""
    [ -n "$desktop_dir" ] && rm -rf "$desktop_dir"
    desktop_dir=""
}

# Ends the program under test, whose process id the sourcing script keeps in app_pid; nothing when none runs.
app_pid=""
desktop_stop_program() {
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    app_pid=""
}

# desktop_find_window REGEX: the first visible window whose name matches; sets desktop_window.
desktop_find_window() {
    desktop_window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$desktop_window" ]
}

# desktop_active_window: the window the window manager made active; sets desktop_window.
desktop_active_window() {
    desktop_window=$(xdotool getactivewindow 2>/dev/null)
    [ -n "$desktop_window" ]
}

# desktop_active_is REGEX: the active window's name matches.
desktop_active_is() {
    local active
    active=$(xdotool getactivewindow 2>/dev/null) || return 1
    xdotool getwindowname "$active" 2>/dev/null | grep -q -- "$1"
}

# desktop_window_gone WINDOW: the window is no longer shown (closed or unmapped).
desktop_window_gone() {
    [ -n "$1" ] || return 0
    ! xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# desktop_geometry WINDOW: sets desktop_left, desktop_top, desktop_width, desktop_height (client area).
desktop_geometry() {
    local info
    # xwininfo without an id waits for the user to pick a window.
    [ -n "$1" ] || return 1
    info=$(xwininfo -id "$1" 2>/dev/null) || return 1
    desktop_left=$(awk '/Absolute upper-left X:/{print $4}' <<<"$info")
    desktop_top=$(awk '/Absolute upper-left Y:/{print $4}' <<<"$info")
    desktop_width=$(awk '/Width:/{print $2}' <<<"$info")
    desktop_height=$(awk '/Height:/{print $2}' <<<"$info")
    [ -n "$desktop_left" ] && [ -n "$desktop_height" ]
}

# desktop_frame_geometry WINDOW: like desktop_geometry, but of the window with the frame the window manager
# drew around it (its _NET_FRAME_EXTENTS); sets desktop_left, desktop_top, desktop_width, desktop_height.
desktop_frame_geometry() {
    local extents left right top bottom
    desktop_geometry "$1" || return 1
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p')
    [ -n "$extents" ] || return 1
    IFS=', ' read -r left right top bottom <<<"$extents"
    desktop_left=$((desktop_left - left))
    desktop_top=$((desktop_top - top))
    desktop_width=$((desktop_width + left + right))
    desktop_height=$((desktop_height + top + bottom))
}

# desktop_activate WINDOW: asks the window manager to activate the window and waits until it is.
desktop_activate() {
    xdotool windowactivate "$1" 2>/dev/null || true
    desktop_wait_until desktop_is_active "$1"
}

desktop_is_active() {
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# desktop_click WINDOW X Y [BUTTON]: one click at X, Y of the window's client area.
desktop_click() {
    desktop_geometry "$1" || return 1
    desktop_click_at $((desktop_left + $2)) $((desktop_top + $3)) "${4:-1}"
}

# desktop_click_at X Y [BUTTON]: one click at X, Y of the screen.
desktop_click_at() {
    # --sync waits for the pointer to move, which it never does when it is there already.
    if [ "$(xdotool getmouselocation 2>/dev/null | sed 's/^x:\([0-9]*\) y:\([0-9]*\).*/\1 \2/')" = "$1 $2" ]; then
        xdotool click "${3:-1}"
    else
        xdotool mousemove --sync "$1" "$2" click "${3:-1}"
    fi
}

# desktop_keys KEY...: key strokes to whatever has the focus (xdotool names: Return, ctrl+Home, F2).
desktop_keys() {
    xdotool key --delay 30 "$@"
}

# desktop_type TEXT: types the text into whatever has the focus.
desktop_type() {
    xdotool type --delay 30 -- "$1"
}

# desktop_override_redirect_shown: prints the ids of shown top-level windows that bypass the window manager
# (menus, completer lists); none printed means none is shown. Tool tips do not count: they come and go with the
# pointer's rest and take no input.
desktop_override_redirect_shown() {
    local id info wm
    # The window manager's own check window is one too, kept off the screen.
    wm=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '{print $NF}')
    for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/{print $1}'); do
        [ "$((id))" = "$((wm))" ] && continue
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        if grep -q 'Override Redirect State: yes' <<<"$info" && grep -q 'Map State: IsViewable' <<<"$info" &&
            ! xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP; then
            echo "$id"
        fi
    done
}

desktop_no_popup() {
    [ -z "$(desktop_override_redirect_shown)" ]
}

# desktop_pixel X Y: prints the screen pixel's colour as "R G B" (0-255).
desktop_pixel() {
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# desktop_shot FILE: a screenshot of the whole screen.
desktop_shot() {
    mkdir -p "$(dirname "$1")"
    import -window root "$1" 2>/dev/null
}

# desktop_release_script NAME PROGRAM [SHOTS_DIR]: what a script that drives the Release program begins with. It
# skips (77) without the program, sets a UTF-8 locale, makes the work folder $work with a copy of the program in
# $work/app (which keeps its settings beside itself), stops everything at exit, and defines fail, which keeps a
# screenshot in SHOTS_DIR as NAME-failure.png and the program's log.
desktop_release_script() {
    local name=$1
    program=$2
    shots=${3:-$(dirname "$program")}
    if [ ! -x "$program" ]; then
        echo "No Release program at $program: cmake --preset release && cmake --build build/release --target quillmoor" >&2
        exit 77
    fi
    export LC_ALL=C.UTF-8
    work=$(mktemp -d)
    trap 'desktop_stop_program; desktop_stop; rm -rf "$work"' EXIT
    desktop_failure_shot="$shots/$name-failure.png"
    mkdir -p "$work/app"
    cp "$program" "$work/app/quillmoor"
}

fail() {
    echo "FAIL: $*" >&2
    desktop_shot "$desktop_failure_shot" && echo "screenshot: $desktop_failure_shot" >&2
    [ -s "$work/app.log" ] && sed 's/^/program: /' "$work/app.log" >&2
    exit 1
}
