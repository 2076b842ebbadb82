#!/bin/sh
# Runs the pull script on a fresh handheld and checks what a pull may not harm: every run ended
# with a closing message (the launcher's script passed), the device's files are as they were,
# and the medium passes fsck.fat -n apart from lost clusters.
# Usage: pull_road_check.sh STATE_FOLDER HANDHELD SCRIPT COPY_ACCESSES EARLY_ACCESSES
set -eu
state=$1
handheld=$2
rm -rf "$state"
mkdir -p "$state"
sed -e "s/COPY_ACCESSES/$4/" -e "s/EARLY_ACCESSES/$5/" "$3" > "$state.script"
# A first boot with a script that does nothing makes the device, so its files can be kept.
printf '# nothing\n' > "$state.empty.script"
"$handheld" --state "$state" --script "$state.empty.script" >/dev/null
rm -rf "$state.store-before"
cp -a "$state/store" "$state.store-before"
"$handheld" --state "$state" --script "$state.script"
# The device's own files. A \Storage folder in the object store is left out of the comparison:
# a backup that meets the card gone after the drive was found creates the drive's folder chain
# in the object store, as the backup program's folder-chain step does (reported, not this
# road's to change); it is named here so it stays visible.
diff -r -x Storage "$state.store-before" "$state/store"
if [ -d "$state/store/Storage" ]; then echo "NOTE: a backup after the pull went into the object store's \\Storage"; fi
echo "device files whole"
export PATH="$PATH:/usr/sbin:/sbin"
if command -v fsck.fat >/dev/null; then
    # -n: nothing is changed. A pull may leave clusters no file owns, and, cut between the writes
    # of the two FAT copies, copies that differ while each is intact; nothing else.
    fsck.fat -n "$state/card.img" > "$state.fsck" 2>&1 || true
    cat "$state.fsck"
    if grep -v -e '^fsck.fat ' -e '^Reclaimed [0-9]* unused clusters\? ' -e '^Leaving filesystem unchanged' \
           -e '^FATs differ but appear to be intact' \
           -e ': [0-9]* files, [0-9]*/[0-9]* clusters$' -e '^$' "$state.fsck" | grep -q .; then
        echo "fsck.fat found more than lost clusters"
        exit 1
    fi
fi
echo "pull road checked"
