#!/usr/bin/env bash
# The demo: builds the program and its demo medium and shows it working.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-build}
echo "demo: the installer is not built yet."
