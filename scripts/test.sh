#!/usr/bin/env bash
# Installs what is missing, builds Orvanta with its tests and runs every test.
# The tests run inside a private D-Bus session with a throwaway, unlocked keyring and a
# temporary HOME, so the keychain under test is real and never the user's own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORVANTA_BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DORVANTA_BUILD_TESTS=ON -DORVANTA_BUILD_BENCH=ON
cmake --build "$build" -j "$(nproc)"

# The reply parser's fuzz target, built with clang and the sanitizers in a build folder of its own,
# replays the committed corpus.
fuzz_build="${ORVANTA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
cmake -S "$root" -B "$fuzz_build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DORVANTA_FUZZ=ON \
    -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$fuzz_build" -j "$(nproc)" --target fuzz_sentence
"$fuzz_build/fuzz/fuzz_sentence" "$root"/fuzz/corpus/sentence/*

sandbox="$(mktemp -d)"
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/home" "$sandbox/config" "$sandbox/data" "$sandbox/cache" "$sandbox/runtime"
chmod 700 "$sandbox/runtime"

env -i PATH="$PATH" LANG=C.UTF-8 HOME="$sandbox/home" \
    XDG_CONFIG_HOME="$sandbox/config" XDG_DATA_HOME="$sandbox/data" XDG_CACHE_HOME="$sandbox/cache" \
    XDG_RUNTIME_DIR="$sandbox/runtime" CTEST_OUTPUT_ON_FAILURE=1 \
    dbus-run-session -- bash "$root/scripts/with-keyring.sh" \
    ctest --test-dir "$build" --output-on-failure -j "${ORVANTA_TEST_JOBS:-4}" "$@"
