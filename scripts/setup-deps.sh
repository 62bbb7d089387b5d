#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Idempotent: when everything is present it asks dpkg only and returns at once.
set -euo pipefail

packages=(
    build-essential cmake pkg-config clang-format
    qt6-base-dev libdeflate-dev zlib1g-dev libexpected-dev libsquish-dev libtiff-dev libturbojpeg0-dev
    qt6-image-formats-plugins
    libgtest-dev libgmock-dev
    libcanberra-dev libcanberra-pulse fonts-liberation2
    xvfb xauth xdotool imagemagick valgrind
    shared-mime-info xdg-utils libfile-mimeinfo-perl desktop-file-utils lintian dpkg-dev help2man
    clang libclang-rt-14-dev libfuzzer-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
