#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a fixed time:
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...] [-DOPTION=VALUE...]
# Arguments starting with -D go to cmake (scripts/test.sh passes -DVELMORA_WERROR=ON).
# The seed corpus is copied to a scratch folder first, so a run never writes into the
# repository; crash reproducers are kept in BUILD_DIR/fuzz-artifacts/. Exits non-zero when
# any target reports a crash, a leak of the bound, a timeout or a sanitizer error.
set -uo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build-fuzz}
seconds=${2:-30}
shift 2 || shift $#
targets=()
cmake_options=()
for arg in "$@"; do
    if [[ $arg == -D* ]]; then
        cmake_options+=("$arg")
    else
        targets+=("$arg")
    fi
done

export CC=${CC:-clang} CXX=${CXX:-clang++}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF "${cmake_options[@]}" \
    >/dev/null || exit 1
mkdir -p "$dir"
if ! cmake --build "$dir" --parallel "$(nproc)" --target velmora_fuzzers >"$dir/fuzz-build.log" 2>&1; then
    tail -40 "$dir/fuzz-build.log"
    exit 1
fi

if ((${#targets[@]} == 0)); then
    mapfile -t targets <"$dir/fuzz/targets.txt"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
artifacts="$dir/fuzz-artifacts"
mkdir -p "$artifacts"

# Each target gets its own corpus copy, log and temporary folder; with two or more cores
# two targets run side by side, which keeps the smoke run short.
run_target() {
    local t=$1
    local work="$scratch/$t"
    mkdir -p "$work/corpus" "$work/tmp"
    if [[ -d fuzz/corpus/$t ]]; then
        cp -r "fuzz/corpus/$t/." "$work/corpus/"
    fi
    # -malloc_limit_mb catches any single allocation far beyond the 8 MiB inflate bound;
    # -timeout catches a hang on one input. Pictures in a design may legitimately be as
    # large as Qt's image reader allows (128 MiB), and so may a picture's decoder buffers.
    local malloc_limit=64
    [[ $t == fuzz_design || $t == fuzz_pictures ]] && malloc_limit=160
    TMPDIR="$work/tmp" ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 \
        LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0" \
        QT_QPA_PLATFORM=offscreen \
        "$dir/bin/$t" "$work/corpus" -max_total_time="$seconds" -rss_limit_mb=1536 \
        -malloc_limit_mb="$malloc_limit" -timeout=20 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$work/" >"$work/log" 2>&1
    echo $? >"$work/rc"
}

jobs_at_once=$(($(nproc) >= 2 ? 2 : 1))
running=0
for t in "${targets[@]}"; do
    if [[ ! -x $dir/bin/$t ]]; then
        echo "missing fuzz target: $dir/bin/$t"
        echo 1 >"$scratch/missing-$t"
        continue
    fi
    echo "fuzzing $t for ${seconds}s"
    run_target "$t" &
    running=$((running + 1))
    if ((running >= jobs_at_once)); then
        wait -n
        running=$((running - 1))
    fi
done
wait

failed=0
printf '%-24s %14s %10s  %s\n' target executions "exec/s" result
for t in "${targets[@]}"; do
    if [[ -e $scratch/missing-$t ]]; then
        printf '%-24s %14s %10s  %s\n' "$t" - - "not built"
        failed=1
        continue
    fi
    work="$scratch/$t"
    rc=$(cat "$work/rc")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)
    result=ok
    if [[ $rc != 0 ]]; then
        result="FAILED (exit $rc)"
        failed=1
        cp "$work/log" "$artifacts/$t.log"
        for a in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* "$work"/slow-unit-*; do
            [[ -e $a ]] && cp "$a" "$artifacts/$t-$(basename "$a")"
        done
        echo "---- $t: last lines of the log (full log and reproducers in $artifacts/)"
        tail -40 "$work/log"
    fi
    printf '%-24s %14s %10s  %s\n' "$t" "${runs:-?}" "${speed:-?}" "$result"
done
exit $failed
