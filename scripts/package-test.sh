#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it: the files where the desktop and
# the programs look for them (dpkg-deb -c), and lintian --pedantic (errors and the hardening
# and section tags below fail, other notes are shown).
# scripts/package-test.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[[ -f $build/CMakeCache.txt ]] || scripts/build.sh "$build" -DVELMORA_WERROR=ON || exit 1
rm -f "$build"/velmora_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || { echo "cpack failed"; exit 1; }
deb=$(ls "$build"/velmora_*_"$(dpkg --print-architecture)".deb 2>/dev/null | head -1)
[[ -n $deb ]] || { echo "no velmora_<version>_<arch>.deb was made"; exit 1; }

failures=0
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for expected in ./usr/bin/velmora ./usr/bin/velmora-cli ./usr/share/velmora/WE00 \
    ./usr/share/velmora/resources/velmora.png ./usr/share/velmora/Image/readme.txt \
    ./usr/share/applications/velmora.desktop ./usr/share/mime/packages/velmora.xml \
    ./usr/share/thumbnailers/velmora.thumbnailer \
    ./usr/share/icons/hicolor/48x48/apps/velmora.png \
    ./usr/share/icons/hicolor/128x128/apps/velmora.png \
    ./usr/share/icons/hicolor/256x256/apps/velmora.png \
    ./usr/share/icons/hicolor/scalable/apps/velmora.svg \
    ./usr/share/doc/velmora/copyright ./usr/share/man/man1/velmora.1.gz \
    ./usr/share/man/man1/velmora-cli.1.gz; do
    grep -qxF "$expected" <<<"$contents" || { echo "missing from the package: $expected"; failures=$((failures + 1)); }
done
# The package's version is project()'s, which the program reports.
version=$("$build/bin/velmora-cli" --version | awk '{print $2}')
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] ||
    { echo "the package's version is not velmora-cli's ($version)"; failures=$((failures + 1)); }
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 qt6-qpa-plugins fonts-liberation2 qt6-image-formats-plugins; do
    grep -q "$needed" <<<"$depends" || { echo "the package does not depend on $needed"; failures=$((failures + 1)); }
done

unpacked=$(mktemp -d)
chmod 755 "$unpacked"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/velmora.desktop" || failures=$((failures + 1))
# The packaged programs find their data in ../share/velmora: a user who cannot write there packs
# a picture with the shipped texture header, and nothing is written beside the programs.
work=$(mktemp -d)
trap 'rm -rf "$unpacked" "$work"' EXIT
chmod 777 "$work"
convert -size 1024x1024 gradient:'#20406080-#c0a08040' "PNG32:$work/tile.png"
if ! (cd "$work" && XDG_DATA_HOME="$work/data" runuser -u nobody -- \
    "$unpacked/usr/bin/velmora-cli" pack tile.png 0 tile.bin >/dev/null 2>"$work/err") ||
    [[ $(stat -c %s "$work/tile.bin" 2>/dev/null) != 2400017 ]]; then
    echo "the packaged velmora-cli did not pack with its shipped data:"
    cat "$work/err"
    failures=$((failures + 1))
fi

report=$(lintian --pedantic --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EWIP]: ')
# The programs are built hardened (bind now, fortified, position independent) and shipped
# without the compiler's .comment notes.
refused='hardening-no-bindnow|hardening-no-fortify-functions|hardening-no-pie|binary-has-unneeded-section'
grep -vE "^E: |$refused" <<<"$report" | sed '/^$/d; s/^/lintian (noted): /'
if grep -qE "^E: |$refused" <<<"$report"; then
    grep -E "^E: |$refused" <<<"$report"
    failures=$((failures + 1))
fi
((failures == 0)) && echo "package: $(basename "$deb") checked"
((failures == 0))
