#!/usr/bin/env bash
# Play to first sound for a file whose open takes 1 s (a disk spinning up), on a private
# PulseAudio (see slow_open_bench.py). Usage: run-slow-open-bench.sh [BUILD_DIR]
set -euo pipefail
exec python3 "$(dirname "$0")/slow_open_bench.py" "${1:-build}"
