#!/usr/bin/env bash
# Configures and builds one preset (default when none is given): scripts/build.sh [preset]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-default}
cd "$root"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -- -j2
