#!/usr/bin/env bash
# Builds Kalmix (installing what it needs) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec ./build/src/kalmix
