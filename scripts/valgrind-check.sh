#!/usr/bin/env bash
# Runs velmora-cli's real commands under valgrind's memcheck: a single pack, a single unpack,
# and the README's batch pair (unpack to PNG, pack --like), which read pictures through Qt on
# worker threads. Qt is not built with the sanitizers, so only valgrind sees its memory misused
# (a plug-in freed twice at exit, say). Flat pictures keep the stage to about a minute.
#   scripts/valgrind-check.sh BUILD_DIR [PROGRAM]   (PROGRAM: default BUILD_DIR/bin/velmora-cli)
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
program=$(realpath -- "${2:-$dir/bin/velmora-cli}" 2>/dev/null)
if [[ ! -x $program ]]; then
    echo "valgrind-check: ${2:-$dir/bin/velmora-cli} is not built"
    exit 1
fi
for tool in valgrind convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "valgrind-check: $tool is missing (scripts/setup-deps.sh installs it)"
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
cd "$work" || exit 1
mkdir -p tmp run data edit
chmod 700 run
# The run's own temporary, runtime and data folders: no installed texture header leaks in.
export TMPDIR=$work/tmp XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/data

# 99 is no exit status velmora-cli gives: it says valgrind found an error.
readonly valgrind_error=99
failures=0
check() {
    local name=$1
    shift
    echo "-- $name"
    valgrind -q --error-exitcode=$valgrind_error --leak-check=no "$program" "$@" \
        >"$name.out" 2>"$name.err"
    local status=$?
    if ((status == 0)); then
        return 0
    fi
    if ((status == valgrind_error)); then
        echo "valgrind-check: $name: valgrind found an error in: velmora-cli $*"
    else
        echo "valgrind-check: $name: velmora-cli $* exited with $status"
    fi
    sed -n '1,60p' "$name.err"
    failures=$((failures + 1))
}

convert -size 1024x1024 xc:'#3060a0' -alpha on flat.png || exit 1
check single-pack pack flat.png 3 single.bin
check single-unpack unpack single.bin single.png

mkdir -p menu
for mode in 0 4 9; do
    convert -size 1024x1024 gradient:"#204080-#e0c040" "source$mode.png" || exit 1
    "$program" pack "source$mode.png" "$mode" "menu/tile$mode.bin" >/dev/null 2>&1 || {
        echo "valgrind-check: cannot make the game file for mode $mode"
        exit 1
    }
done
check batch-unpack unpack menu/tile0.bin menu/tile4.bin menu/tile9.bin --to edit --format png
check batch-pack pack edit/tile0.png edit/tile4.png edit/tile9.png --to out --like menu

for file in single.bin single.png out/tile0.bin out/tile4.bin out/tile9.bin; do
    if [[ ! -s $file ]]; then
        echo "valgrind-check: $file was not written"
        failures=$((failures + 1))
    fi
done
if ((failures > 0)); then
    echo "valgrind-check: $failures failed"
    exit 1
fi
echo "valgrind-check: every command ran clean"
