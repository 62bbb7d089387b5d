#!/usr/bin/env bash
# The files that hook Velmora into the desktop, as the desktop reads them: the MIME package
# through xdg-mime, and the thumbnailer through the command line its Exec line gives.
# desktop-files-test.sh SOURCE_DIR BIN_DIR
set -uo pipefail
source_dir=$1
bin_dir=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config TMPDIR=$work
mkdir -p "$XDG_DATA_HOME/mime/packages" "$work/files"
cp "$source_dir/packaging/velmora-mime.xml" "$XDG_DATA_HOME/mime/packages/velmora.xml"
update-mime-database "$XDG_DATA_HOME/mime" || fail "update-mime-database refused the package"

# A game file: 00 01 01 "WESYS", then the rest of a header and a zlib stream.
files=$work/files
cp "$source_dir/assets/resources/velmora.png" "$files/picture.png"
printf 'DDS \x7c\x00\x00\x00' >"$files/image.dds"
head -c 200 /dev/zero >"$files/zeros.dat"
printf '\x00\x01\x01WESYS\x00\x00\x00\x00\x00\xd0\x00\x40\x00\x78\x9c' >"$files/game-header"
convert -size 1024x1024 gradient:teal-gold "PNG32:$files/tile.png"
"$bin_dir/velmora-cli" pack "$files/tile.png" 3 "$files/tile.bin" >/dev/null 2>&1 ||
    fail "could not pack a game file to look at"
cp "$files/tile.bin" "$files/tile-without-extension"
cp "$files/tile.bin" "$files/tile.dat"
# Other programs' .bin files are none of ours: text, and bytes that mean nothing.
printf 'shopping list\nmilk\n' >"$files/notes.bin"
perl -e 'srand 7; print map { chr int rand 256 } 1 .. 100' >"$files/random.bin"

# name | expected type: the first bytes decide, whatever the name. Asked both ways the desktop
# asks: xdg-mime, and mimetype (File::MimeInfo) directly.
while IFS='|' read -r name expected; do
    for query in "xdg-mime query filetype" "mimetype --brief"; do
        got=$($query "$files/$name" 2>/dev/null)
        [[ $got == "$expected" ]] || fail "$query: $name is \"$got\", not \"$expected\""
    done
done <<'TABLE'
tile.bin|application/x-velmora-menu-tile
tile-without-extension|application/x-velmora-menu-tile
tile.dat|application/x-velmora-menu-tile
game-header|application/x-velmora-menu-tile
image.dds|image/x-dds
picture.png|image/png
zeros.dat|application/octet-stream
notes.bin|text/plain
random.bin|application/octet-stream
TABLE

# The thumbnailer's own command line, with the placeholders a file manager fills in.
thumbnailer=$source_dir/packaging/velmora.thumbnailer
command=$(sed -n 's/^Exec=//p' "$thumbnailer")
mimes=$(sed -n 's/^MimeType=//p' "$thumbnailer")
[[ $mimes == *"application/x-velmora-menu-tile;"* ]] || fail "the thumbnailer skips game files"
for size in 128 256; do
    out=$work/thumb-$size.png
    line=${command//%i/$files/tile.bin}
    line=${line//%o/$out}
    line=${line//%s/$size}
    # Split as a file manager splits Exec: on blanks, the paths here have none.
    read -r -a argv <<<"$line"
    PATH=$bin_dir:$PATH "${argv[@]}" || fail "the thumbnailer command failed: $line"
    identified=$(identify -format '%m %wx%h' "$out" 2>/dev/null)
    [[ $identified == "PNG ${size}x${size}" ]] || fail "thumbnail at $size is \"$identified\""
done

((failures == 0)) && echo "desktop files: all checks passed"
((failures == 0))
