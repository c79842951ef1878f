#!/usr/bin/env bash
# Installs what is missing, builds and starts Corvane.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake --build build --target corvane
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found. Start Corvane under a virtual display instead:"
    echo "    xvfb-run -a build/corvane"
    exit 1
fi
exec build/corvane "$@"
