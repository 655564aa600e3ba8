#!/usr/bin/env bash
# Installs what is missing, builds Orvanta with its tests and runs every test, then runs them all
# again under the sanitizers (test-sanitizers.sh). The tests run inside a private D-Bus session with a throwaway, unlocked keyring and a
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

bash "$root/scripts/with-sandbox.sh" -- \
    ctest --test-dir "$build" --output-on-failure -j "${ORVANTA_TEST_JOBS:-4}" "$@"

# Every test once more under AddressSanitizer and UndefinedBehaviorSanitizer (ORVANTA_SANITIZERS=0
# skips this while working on one test).
if [ "${ORVANTA_SANITIZERS:-1}" != 0 ]; then
    bash "$root/scripts/test-sanitizers.sh" "$@"
fi
