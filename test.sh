#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake --build build
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --timeout 300 -j2 "$@"
