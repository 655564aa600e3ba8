#!/usr/bin/env bash
# Runs a command with an unlocked gnome-keyring on the current D-Bus session (used by test.sh).
set -uo pipefail
eval "$(printf 'orvanta-test' | gnome-keyring-daemon --daemonize --unlock --components=secrets)"
export GNOME_KEYRING_CONTROL
"$@"
status=$?
if [ -n "${GNOME_KEYRING_PID:-}" ]; then kill "$GNOME_KEYRING_PID" 2>/dev/null || true; fi
exit $status
