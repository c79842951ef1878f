#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake --build build
export QT_QPA_PLATFORM=offscreen
cd build
# One test at a time: tests mount volumes and use the trash, which every other test sees too.
ctest --output-on-failure --timeout 300 "$@"
