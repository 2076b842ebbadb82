#!/usr/bin/env bash
# README command 2: set up, build and run every test (scripts/test.sh [preset ...]; default preset
# when none is named).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default)
cd "$root"
for preset in "${presets[@]}"; do
  echo "== $preset =="
  "$root/scripts/build.sh" "$preset"
  ctest --preset "$preset"
done
