#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the format check, the suite,
# velmora-cli's commands under valgrind, the GUI smoke run, the suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz smoke. Every build treats a
# compiler warning as an error.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh || exit 1

passed=0
failed=0
stage() {
    local name=$1
    shift
    echo "==== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "==== $name FAILED"
        failed=$((failed + 1))
    fi
}

suite() {
    local dir=$1
    shift
    scripts/build.sh "$dir" "$@" && ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)"
}

stage "format check" scripts/check-format.sh
stage "test suite" suite build -DVELMORA_WERROR=ON
stage "valgrind" scripts/valgrind-check.sh build
if [[ -x scripts/gui-smoke.sh ]]; then
    stage "GUI smoke run" scripts/gui-smoke.sh build
fi
stage "installed copy" scripts/installed-test.sh build
stage "Debian package" scripts/package-test.sh build
stage "sanitizer suite" suite build-asan -DVELMORA_WERROR=ON -DVELMORA_SANITIZE=ON \
    -DVELMORA_BUILD_BENCH=OFF
if [[ -x scripts/fuzz.sh ]]; then
    stage "fuzz smoke" scripts/fuzz.sh build-fuzz "${VELMORA_FUZZ_SECONDS:-30}" -DVELMORA_WERROR=ON
fi

echo "checks: $passed passed, $failed failed"
((failed == 0))
