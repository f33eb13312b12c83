#!/usr/bin/env bash
# ./run demo: makes the sample two-CD course, installs it into a fresh prefix
# through telvora-setup, the way a user would, with drive E: holding the CD;
# looks up a media file on the CD through the update control; publishes an
# update package on a local telvora-update-server and starts the course with
# lesson, which opens it in the course browser and applies the package; then
# publishes a second one, opens the course in the browser and clicks 内容更新
# in its navigation bar, which runs the update from the page and shows the
# history page. Headless with an answer file and the browser offscreen from
# a script of steps unless a display is present (real windows then). Shows
# the installed course, the patched navigation page, the recorded version,
# the history page, the transcript and the window snapshots (the browser's
# pictures among them).
#
# usage: scripts/demo.sh BUILD_DIR   (./run builds first)
#   TELVORA_DEMO_DIR  where to work (default ./demo-out); replaced on each run
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
BIN=$BUILD/bin
OUT=${TELVORA_DEMO_DIR:-$ROOT/demo-out}
MARK=.telvora-demo

for p in telvora-sample-course telvora-setup install telvora-ocx telvora-reg; do
    [ -x "$BIN/$p" ] || { echo "demo: $BIN/$p is not built" >&2; exit 2; }
done
# Only a folder an earlier demo made is cleared.
if [ -e "$OUT" ] && [ ! -e "$OUT/$MARK" ] && [ -n "$(ls -A "$OUT" 2>/dev/null)" ]; then
    echo "demo: $OUT exists and was not made by the demo; set TELVORA_DEMO_DIR elsewhere" >&2
    exit 2
fi
rm -rf "$OUT"
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
touch "$OUT/$MARK"
echo "demo: working in $OUT"

section() { printf '\n==== %s\n' "$1"; }

section "the sample course (two CDs)"
"$BIN/telvora-sample-course" "$OUT/sample"

export TELVORA_PREFIX=$OUT/prefix
# The course's menu entry goes into the demo's folder, not the user's menu.
export XDG_DATA_HOME=$OUT/data
export TELVORA_TRANSCRIPT=$OUT/transcript.jsonl
export TELVORA_SNAPSHOTS=$OUT/snapshots
mkdir -p "$TELVORA_SNAPSHOTS"
# Qt (which draws the snapshots) wants a private runtime folder.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$OUT/runtime
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
fi
# Discs the desktop has mounted stay out of the demo's drive table.
export TELVORA_MOUNTS_FILE=$OUT/mounts
: > "$TELVORA_MOUNTS_FILE"

# The answer file, with the second CD's folder quoted for it.
cd2=$OUT/sample/cd2
cd2=${cd2//\\/\\\\}
cd2=${cd2//\"/\\\"}
export TELVORA_ANSWERS=$OUT/answers.txt
shopt -u patsub_replacement 2>/dev/null || true  # keep "&" in folder names as it is
while IFS= read -r line || [ -n "$line" ]; do
    printf '%s\n' "${line//@CD2@/$cd2}"
done < "$ROOT/scripts/demo-answers.txt" > "$TELVORA_ANSWERS"

setup_args=(--cd-folder "$OUT/sample/cd1" --drive E: --dest "$OUT/courses")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${TELVORA_UI:-}" != headless ]; then
    # Real windows take no answers: telvora-setup puts CD 2 into E: when the
    # installer asks for it, and the user answers the windows.
    echo "demo: a display is present: the windows are real; answer them (Yes, then 确定)"
    setup_args+=(--next-cd "$OUT/sample/cd2")
else
    export TELVORA_UI=headless
    echo "demo: no display: headless, answered from $TELVORA_ANSWERS"
fi

section "telvora-setup: CD 1 in drive E:, the installer asks for CD 2"
status=0
"$BIN/telvora-setup" "${setup_args[@]}" || status=$?
COURSE=$OUT/courses/jsjyy01
case $status in
    0) echo "demo: telvora-setup succeeded" ;;
    1) echo "demo: the installation was abandoned (telvora-setup exit status 1)" ;;
    *) echo "demo: telvora-setup failed (exit status $status)" ;;
esac

if [ -d "$COURSE" ]; then
    section "the installed course: $COURSE"
    (cd "$COURSE" && find . \( -type f -o -type l \) | LC_ALL=C sort | sed 's|^\./|  |')
    echo "  ($(find "$COURSE" -type f | wc -l) files)"

    section "navbar/navbar.htm as patched by the installer (GBK shown as UTF-8)"
    iconv -f GBK -t UTF-8 "$COURSE/navbar/navbar.htm" | tr -d '\r'

    section "setup.ini"
    iconv -f GBK -t UTF-8 "$COURSE/setup.ini" | tr -d '\r'
fi

if [ -d "$COURSE" ] && [ -x "$BIN/telvora-ocx" ]; then
    section "the update control: a course page looks up a media file on the CD"
    # telvora-setup registered libcorvane.so; a course page asks it for the
    # lecture of chapter 5, which lies on CD 2, with CD 1 in drive E:.
    # Headless, the answer file puts CD 2 in when the control asks for it;
    # with real windows CD 2 is put in beforehand.
    disc=$OUT/sample/cd1
    [ "${TELVORA_UI:-}" = headless ] || disc=$OUT/sample/cd2
    ln -sfn "$disc" "$TELVORA_PREFIX/drives/e:"
    "$BIN/telvora-reg" add 'HKLM\Software\Telvora\Drives' /v e: /d cdrom /f >/dev/null
    course_ini="C:${COURSE//\//\\}\\setup.ini"
    echo "  telvora-ocx call CORVANE.CorvaneCtrl.1 GetCdDrive , RightMFile $course_ini 5 ../content/video05/lecture.asf"
    ocx_status=0
    "$BIN/telvora-ocx" call CORVANE.CorvaneCtrl.1 GetCdDrive , \
        RightMFile "$course_ini" 5 ../content/video05/lecture.asf | sed 's|^|  => |' \
        || ocx_status=$?
    [ "$ocx_status" -eq 0 ] || echo "demo: telvora-ocx failed (exit status $ocx_status)"
fi

update_status=0
if [ -d "$COURSE" ] && [ -x "$BIN/lesson" ] && [ -x "$BIN/telvora-update-server" ]; then
    section "an online update: two packages on a local update server"
    # Two packages of the course: the first changes its start page, the
    # second adds a chapter. Each is a tree under a top folder named after
    # the course, as the update mirrors it onto the course folder.
    PKG=$OUT/packages
    mkdir -p "$PKG/p1/jsjyy01" "$PKG/p2/jsjyy01/content/chapter07"
    gbk() { iconv -f UTF-8 -t GBK; }
    { iconv -f GBK -t UTF-8 "$COURSE/index.htm" | sed 's|</body>|<p>2026年12月：课程内容已更新。</p></body>|'; } \
        | gbk > "$PKG/p1/jsjyy01/index.htm"
    printf '<html><head><title>第七章</title></head><body><h1>第七章 网络基础</h1></body></html>\r\n' \
        | gbk > "$PKG/p2/jsjyy01/content/chapter07/index.htm"
    printf '<html><body>第一次更新：首页新增更新说明。</body></html>\r\n' | gbk > "$PKG/notes1.htm"
    printf '<html><body>第二次更新：新增第七章。</body></html>\r\n' | gbk > "$PKG/notes2.htm"
    SERVER_DIR=$OUT/update-server
    "$BIN/telvora-update-server" publish "$SERVER_DIR" --course jsjyy01 --code 26120701 \
        --from "$PKG/p1/jsjyy01" --notes "$PKG/notes1.htm"
    echo demo | "$BIN/telvora-update-server" user "$SERVER_DIR" add demo >/dev/null
    echo "  user demo, password demo"

    "$BIN/telvora-update-server" serve "$SERVER_DIR" --listen 127.0.0.1:0 \
        > "$OUT/update-server.out" 2> "$OUT/update-server.log" &
    server_pid=$!
    trap 'kill "$server_pid" 2>/dev/null || true' EXIT
    port=
    for _ in $(seq 100); do
        port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$OUT/update-server.out")
        [ -n "$port" ] && break
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$port" ]; then
        echo "demo: the update server did not start (see $OUT/update-server.log)"
        update_status=1
    else
        echo "  telvora-update-server serves $SERVER_DIR on 127.0.0.1:$port"
        "$BIN/telvora-reg" add 'HKLM\Software\Telvora\Update' /v Server /d "127.0.0.1:$port" /f >/dev/null
        # The course's own browser is telvora-browser (its default
        # substitute). Without a display it runs offscreen from a script of
        # steps: every browser that starts takes the next section for its
        # page (docs/browser.md).
        BROWSER_SHOTS=$OUT/snapshots
        unattended=0
        if [ "${TELVORA_UI:-}" = headless ] && [ -x "$BIN/telvora-browser" ]; then
            unattended=1
            export QT_QPA_PLATFORM=offscreen
            export TELVORA_BROWSER_SCRIPT=$OUT/browser-steps.txt
            cat > "$TELVORA_BROWSER_SCRIPT" <<STEPS
# lesson opens the course: a picture of the whole frameset.
[index.htm]
wait-load 60
snapshot $BROWSER_SHOTS/browser-frameset.png
quit
# lesson's update opens the history page and the start page.
[alter.htm]
wait-load 60
quit
[index.htm]
wait-load 60
quit
# The course opened again: the user clicks 内容更新 in the navigation
# frame; the page's update runs in the control host...
[index.htm]
wait-load 60
wait 30 navbar typeof UpDate !== 'undefined'
click navbar 内容更新
wait-file 240 $BROWSER_SHOTS/browser-history.png
quit
# ... and shows its history page and the start page.
[alter.htm]
wait-load 60
snapshot $BROWSER_SHOTS/browser-history.png
quit
[index.htm]
wait-load 60
quit
STEPS
        fi
        version() { "$BIN/telvora-reg" query 'HKCU\software\telvora\jsjyy01' /ve | sed -n 's/.*REG_SZ *//p'; }

        section "lesson: the course opens in its browser, the update control logs in, offers and applies the first package"
        echo "  recorded version before: $(version)"
        [ "$unattended" -eq 1 ] || echo "  (real windows: log in as demo / demo and press 下载; close the browser when done)"
        lesson_status=0
        "$COURSE/bin/lesson" || lesson_status=$?
        echo "  lesson ended with exit status $lesson_status (quit code 1003 leaves 235)"
        echo "  recorded version after:  $(version)"

        # Every browser takes the next section of the steps for its page:
        # lesson's three (the course, then the update's history and start
        # pages) have theirs before the next browser starts.
        wait_taken() {
            [ "$unattended" -eq 1 ] || return 0
            for _ in $(seq 600); do
                [ -d "$TELVORA_BROWSER_SCRIPT.taken-$1" ] && return 0
                sleep 0.1
            done
        }
        wait_taken 2

        section "the course's navigation bar: 内容更新 runs the second package's update from the page"
        "$BIN/telvora-update-server" publish "$SERVER_DIR" --course jsjyy01 --code 26120702 \
            --from "$PKG/p2/jsjyy01" --notes "$PKG/notes2.htm"
        browser_status=0
        if [ -x "$BIN/telvora-browser" ]; then
            [ "$unattended" -eq 1 ] || echo "  (real windows: click 内容更新, log in as demo / demo, press 下载)"
            "$BIN/telvora-browser" "$COURSE/index.htm" 2> "$OUT/browser.log" || browser_status=$?
            echo "  the browser ended with exit status $browser_status (its messages: $OUT/browser.log)"
            # The update's own windows (history page, start page) and its
            # control host end on their own; they are given a minute.
            wait_taken 5
            for _ in $(seq 600); do
                pgrep -f "telvora-browser $COURSE" >/dev/null || pgrep -fx ".*telvora-ocx host" >/dev/null || break
                sleep 0.1
            done
        else
            echo "  (telvora-browser is not built: no Qt WebEngine)"
        fi
        echo "  recorded version now:    $(version)"
        if [ -f "$COURSE/content/chapter07/index.htm" ] && [ "$(version)" = 26120702 ]; then
            echo "  the new chapter: content/chapter07/index.htm"
        else
            echo "demo: the update did not apply"
            update_status=1
        fi
        if [ "$unattended" -eq 1 ]; then
            for shot in browser-frameset.png browser-history.png; do
                if [ -f "$BROWSER_SHOTS/$shot" ]; then
                    echo "  the browser's picture: $BROWSER_SHOTS/$shot"
                else
                    echo "demo: the browser left no $shot"
                    update_status=1
                fi
            done
        fi
        section "systeminfo/alter.htm, the history page (GBK shown as UTF-8)"
        tr -d '\r\000' < "$COURSE/systeminfo/alter.htm" | iconv -f GBK -t UTF-8
        section "the update server's log"
        sed 's|^|  |' "$OUT/update-server.log"
    fi
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    trap - EXIT
fi

section "transcript: $TELVORA_TRANSCRIPT"
[ -f "$TELVORA_TRANSCRIPT" ] && cat "$TELVORA_TRANSCRIPT"

section "window snapshots: $TELVORA_SNAPSHOTS"
ls "$TELVORA_SNAPSHOTS" 2>/dev/null | sed 's|^|  |'
[ -n "$(ls -A "$TELVORA_SNAPSHOTS" 2>/dev/null)" ] || echo "  (none: the Qt renderer draws them)"

section "where things are"
echo "  work folder:  $OUT"
echo "  sample CDs:   $OUT/sample/cd1, $OUT/sample/cd2"
echo "  prefix:       $TELVORA_PREFIX (registry.db, drives/)"
echo "  course:       $COURSE"
[ -e "$COURSE/bin/lesson" ] && echo "  start it:     TELVORA_PREFIX=$TELVORA_PREFIX $COURSE/bin/lesson"
[ -d "${SERVER_DIR:-}" ] && echo "  updates:      $SERVER_DIR (serve it with $BIN/telvora-update-server serve $SERVER_DIR)"
echo "  transcript:   $TELVORA_TRANSCRIPT"
echo "  snapshots:    $TELVORA_SNAPSHOTS"
[ "$status" -ne 0 ] || status=$update_status
exit "$status"
