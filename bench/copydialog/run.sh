#!/usr/bin/env bash
# Builds and runs the copy benchmark on the offscreen platform (or under xvfb-run when
# QT_QPA_PLATFORM=xcb is asked for). Arguments go to the program, e.g.
#   bench/copydialog/run.sh --dir /var/tmp --repeat 3 --big-mb 2048 --files 10000
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
flock /tmp/corvane-build.lock cmake --build "$build" --target bench_copydialog >/dev/null
if [ "${QT_QPA_PLATFORM:-offscreen}" = xcb ] && command -v xvfb-run >/dev/null; then
    exec xvfb-run -a "$build/bench/bench_copydialog" "$@"
fi
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/bench_copydialog" "$@"
