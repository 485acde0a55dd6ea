#!/usr/bin/env bash
# The media service on a private PulseAudio: dropouts under load, CPU and wake-ups, command
# latency, first sound after Play (see pulse_bench.py). Usage: run-pulse-bench.sh [BUILD_DIR]
set -euo pipefail
exec python3 "$(dirname "$0")/pulse_bench.py" "${1:-build}"
