#!/usr/bin/env bash
# The installation part of ./run demo: makes the sample two-CD course, then
# installs it into a fresh prefix through telvora-setup, the way a user
# would, with drive E: holding the CD. Headless with an answer file unless a
# display is present (real windows then; the answer file still answers them
# so that the demo runs on its own). Shows the installed course, the patched
# navigation page, the transcript and the window snapshots.
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
echo "  transcript:   $TELVORA_TRANSCRIPT"
echo "  snapshots:    $TELVORA_SNAPSHOTS"
exit "$status"
