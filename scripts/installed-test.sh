#!/usr/bin/env bash
# The window as a user meets it once installed: installs BUILD_DIR into a temporary prefix,
# makes the prefix read-only, and as the unprivileged user "nobody" packs two pictures and
# unpacks the two game files with two windows at once, each of which must get its own picture
# back, and keeps a picture packed with velmora-cli watch. Nothing may be written into the
# prefix and no work folder may be left behind.
#   scripts/installed-test.sh BUILD_DIR      (as root: it needs runuser)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
say() { echo "installed-test: $*"; }
if [[ $(id -u) -ne 0 ]]; then
    say "needs root to run the program as nobody; skipped"
    exit 0
fi
cmake --build "$build" --target velmora velmora-cli velmora-window-check -j2 >/dev/null

top=$(mktemp -d)
trap 'chmod -R u+w "$top" 2>/dev/null || true; rm -rf "$top"' EXIT
chmod 755 "$top"
prefix=$top/opt/velmora
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake --install "$build" --prefix "$prefix" --component velmora-installed-check >/dev/null
chmod -R a-w,a+rX "$prefix"
home=$top/home
runtime=$top/runtime
mkdir -p "$home" "$runtime"
chown nobody "$home" "$runtime"
chmod 700 "$home" "$runtime"
listing() { (cd "$prefix" && find . -printf '%p %s %T@\n' | sort); }
before=$(listing)

as_nobody() {
    runuser -u nobody -- env -i QT_LOGGING_RULES="qt.qpa.*=false" PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" \
        QT_QPA_PLATFORM=offscreen "$@"
}
check=$prefix/velmora-window-check

as_nobody "$check" image 11 "$home/first.dds"
as_nobody "$check" image 12 "$home/second.dds"
as_nobody "$check" pack "$home/first.dds" "Online" "$home/first"
as_nobody "$check" pack "$home/second.dds" "Edit" "$home/second"
say "packed two pictures with the installed window"

# Two windows at once, each unpacking its own game file.
as_nobody "$check" unpack "$home/first.bin" "$home/first-back" >"$top/a.log" 2>&1 &
a=$!
as_nobody "$check" unpack "$home/second.bin" "$home/second-back" >"$top/b.log" 2>&1 &
b=$!
status=0
wait $a || status=1
wait $b || status=1
cat "$top/a.log" "$top/b.log"
if [[ $status -ne 0 ]]; then
    say "an Unpack failed"
    exit 1
fi
cmp "$home/first.dds" "$home/first-back.dds"
cmp "$home/second.dds" "$home/second-back.dds"
grep -qx "message: $home/first-back.dds" "$top/a.log"
grep -qx "message: $home/second-back.dds" "$top/b.log"
say "two windows at once each unpacked their own game file"

# The program itself starts as nobody from the read-only copy. Killed, it leaves its work
# folder; the next window to start removes it.
as_nobody timeout -s KILL 5 "$prefix/velmora" || [[ $? -eq 137 ]]
as_nobody "$check" unpack "$home/first.bin" "$home/again" >/dev/null 2>&1
cmp "$home/first.dds" "$home/again.dds"

# velmora-cli watch from the read-only copy: a picture in the watched folder reaches its game
# file, and SIGTERM ends the watch with exit 143 and nothing left behind.
mkdir -p "$home/pictures" "$home/tiles"
cp "$home/first.dds" "$home/pictures/tile.dds"
chown -R nobody "$home/pictures" "$home/tiles"
as_nobody "$prefix/velmora-cli" watch "$home/pictures" --to "$home/tiles" --mode Online \
    >"$top/watch.out" 2>"$top/watch.err" &
watcher=$!
for _ in $(seq 1 300); do
    grep -q "^written: " "$top/watch.out" 2>/dev/null && break
    sleep 0.1
done
pkill -TERM -u nobody -f "velmora-cli watch" || true
status=0
wait $watcher || status=$?
if [[ $status -ne 143 ]] || ! grep -qx "written: $home/tiles/tile.bin" "$top/watch.out"; then
    say "the watch did not pack the picture and end on SIGTERM (exit $status)"
    cat "$top/watch.out" "$top/watch.err"
    exit 1
fi
[[ "$(as_nobody "$prefix/velmora-cli" verify "$home/tiles/tile.bin" "$home/first.dds" 2>/dev/null)" == ok ]]
say "the watch packed a saved picture as nobody and ended on SIGTERM"

if [[ "$(listing)" != "$before" ]]; then
    say "the installed folder changed"
    exit 1
fi
# Work folders live in "$runtime/velmora", which itself stays.
if [[ -n "$(ls -A "$runtime" | grep -vx velmora)" || -n "$(ls -A "$runtime/velmora")" ]]; then
    say "work folders were left behind: $(ls -AR "$runtime")"
    exit 1
fi
say "passed"
