#!/usr/bin/env bash
# Installs what is missing, builds, and starts Velmora from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh build
if [[ -x build/bin/velmora ]]; then
    exec build/bin/velmora "$@"
fi
exec build/bin/velmora-cli --help
