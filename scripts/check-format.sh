#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the project's .clang-format makes of it;
# `cmake --build build --target format` fixes that.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
