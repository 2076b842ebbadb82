#!/usr/bin/env bash
# README command 1: set up, build, and run the main job on the simulated handheld.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" default
exec "$root/build/default/bin/handheld" --state "$root/handheld-state" "$@"
