#!/usr/bin/env bash
# Runs a command the way every test runs: a temporary HOME and XDG folders, a private D-Bus
# session and a throwaway, unlocked keyring, so that nothing of the user's is touched.
# usage: with-sandbox.sh [VAR=value ...] -- command [args ...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
extra=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do extra+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift

sandbox="$(mktemp -d)"
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/home" "$sandbox/config" "$sandbox/data" "$sandbox/cache" "$sandbox/runtime"
chmod 700 "$sandbox/runtime"

env -i PATH="$PATH" LANG=C.UTF-8 HOME="$sandbox/home" \
    XDG_CONFIG_HOME="$sandbox/config" XDG_DATA_HOME="$sandbox/data" XDG_CACHE_HOME="$sandbox/cache" \
    XDG_RUNTIME_DIR="$sandbox/runtime" CTEST_OUTPUT_ON_FAILURE=1 "${extra[@]}" \
    dbus-run-session -- bash "$here/with-keyring.sh" "$@"
