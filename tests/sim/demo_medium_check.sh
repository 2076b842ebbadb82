#!/bin/sh
# After the launcher's demo on a fresh state folder: the medium image is a clean FAT volume, and
# copying the backup folder out of it with mtools gives back every file of the device's object
# store (the non-ROM part of its tree), byte for byte and under its name.
# Usage: demo_medium_check.sh STATE_FOLDER HANDHELD
set -eu
state=$1
handheld=$2
rm -rf "$state"
"$handheld" --state "$state"
export MTOOLS_SKIP_CHECK=1 PATH="$PATH:/usr/sbin:/sbin"
if ! command -v fsck.fat >/dev/null || ! command -v mcopy >/dev/null; then
    echo "dosfstools or mtools not installed: medium not checked"
    exit 0
fi
fsck.fat -n "$state/card.img"
out="$state/medium-copy"
rm -rf "$out"
mkdir -p "$out"
mcopy -s -n -i "$state/card.img" '::*' "$out/"
backups=$(ls "$out" | grep -c '^Field ' || true)
if [ "$backups" -ne 1 ]; then
    echo "expected one backup folder on the medium, found $backups"
    exit 1
fi
backup="$out/$(ls "$out" | grep '^Field ')"
# Every file, by its relative name, in both trees (empty folders carry no file to back up).
(cd "$state/store" && find . -type f | sort) > "$state.device-files"
(cd "$backup" && find . -type f | sort) > "$state.medium-files"
diff "$state.device-files" "$state.medium-files"
while IFS= read -r file; do
    cmp "$state/store/$file" "$backup/$file"
done < "$state.device-files"
echo "medium checked: fsck.fat clean, the backup equals the device's files"
