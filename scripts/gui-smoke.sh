#!/usr/bin/env bash
# Starts the real program under a virtual X server, waits for its main window, saves a
# screenshot of the screen and closes the program again.
#   scripts/gui-smoke.sh BUILD_DIR [SCREENSHOT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shot=${2:-$dir/gui-smoke.png}
program=$dir/bin/velmora
if [[ ! -x $program ]]; then
    echo "gui-smoke: $program is not built"
    exit 1
fi
for tool in xvfb-run xdotool import-im6.q16; do
    if ! command -v "$tool" >/dev/null; then
        echo "gui-smoke: $tool is missing (scripts/setup-deps.sh installs it)"
        exit 1
    fi
done

inner=$(cat <<'INNER'
set -euo pipefail
program=$1
shot=$2
"$program" &
pid=$!
window=
for _ in $(seq 1 100); do
    window=$(xdotool search --name '^Velmora v\.1\.0\.1$' 2>/dev/null | head -n 1 || true)
    [[ -n $window ]] && break
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "gui-smoke: the program ended before showing its window"
        exit 1
    fi
    sleep 0.2
done
if [[ -z $window ]]; then
    echo "gui-smoke: no main window after 20 s"
    kill "$pid" 2>/dev/null || true
    exit 1
fi
# Let the load sequence shape the frames and paint.
sleep 1
import-im6.q16 -window root "$shot"
if ! kill -0 "$pid" 2>/dev/null; then
    echo "gui-smoke: the program ended after showing its window"
    exit 1
fi
kill -TERM "$pid"
wait "$pid" || true
echo "gui-smoke: main window $window shown, screenshot in $shot"
INNER
)
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$inner" gui-smoke "$program" "$shot"
