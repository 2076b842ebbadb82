#!/bin/sh
# A backup folder made by hand on a PC with mtools (named after the device and a date, as the
# backup program names its own) is restored onto the handheld: its files land on the device.
# Usage: pc_filled_restore_check.sh STATE_FOLDER HANDHELD SCRIPT
set -eu
state=$1
handheld=$2
export MTOOLS_SKIP_CHECK=1 PATH="$PATH:/usr/sbin:/sbin"
if ! command -v mcopy >/dev/null; then
    echo "mtools not installed: not checked"
    exit 0
fi
rm -rf "$state"
mkdir -p "$state"
# First boot: the card goes in once, so the blank medium is formatted.
printf 'insert-card\n' > "$state.format.script"
"$handheld" --state "$state" --script "$state.format.script" >/dev/null
pc="$state.pc"
rm -rf "$pc"
mkdir -p "$pc/My Documents/From the PC"
printf 'written on the PC\r\n' > "$pc/My Documents/From the PC/Note from the PC.txt"
head -c 70000 /dev/urandom > "$pc/My Documents/From the PC/Picture.bin"
image="$state/card.img"
mmd -i "$image" '::/Field 1-2-2027 10.30'
mcopy -s -i "$image" "$pc/My Documents" '::/Field 1-2-2027 10.30/'
"$handheld" --state "$state" --script "$3"
cmp "$pc/My Documents/From the PC/Note from the PC.txt" "$state/store/My Documents/From the PC/Note from the PC.txt"
cmp "$pc/My Documents/From the PC/Picture.bin" "$state/store/My Documents/From the PC/Picture.bin"
echo "restored from the PC's backup folder"
