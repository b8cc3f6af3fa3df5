#!/usr/bin/env bash
# Runs blinkorb for five seconds on a private 1024x768 X server (Xvfb) and
# prints its tick rate, its and the server's processor use, the time to its
# first frame and from a key to its exit, and its peak memory, each beside its
# goal. Builds what it needs first, in build/default or in the directory
# given as BLINKORB_BUILD_DIR. The figures move with the machine's load,
# which the table reports.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BLINKORB_BUILD_DIR:-build/default}
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target blinkorb x11_bench >/dev/null
"$build/bench/x11_bench"
