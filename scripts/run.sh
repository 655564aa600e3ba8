#!/usr/bin/env bash
# Installs what is missing, builds Orvanta and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build" --target orvanta
exec "$root/build/src/orvanta" "$@"
