#!/usr/bin/env bash
# Builds Orvanta and its tests a second time with AddressSanitizer and UndefinedBehaviorSanitizer,
# in a build folder of their own, and runs every test there the way test.sh does (private D-Bus
# session, throwaway keyring, temporary HOME). Any finding fails the test that ran into it.
# Findings inside Qt or system libraries are suppressed by name in tests/sanitizers/; our own code
# gets no suppression.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORVANTA_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
supp="$root/tests/sanitizers"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DORVANTA_SANITIZE=ON -DORVANTA_BUILD_TESTS=ON -DORVANTA_BUILD_BENCH=OFF \
    >/dev/null
cmake --build "$build" -j "$(nproc)"

# Tests left out of this run until a finding in their code is mended: "name|name" (a ctest regex).
# Keep the reason next to each entry.
excluded=""

# halt_on_error and -fno-sanitize-recover make the first finding end the test with a failure;
# leaks are reported when each test executable exits.
asan="detect_leaks=1:halt_on_error=1:abort_on_error=0:check_initialization_order=1:strict_init_order=1"
asan+=":suppressions=$supp/asan.supp"
ubsan="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
lsan="suppressions=$supp/lsan.supp:print_suppressions=0"

exclude_args=()
if [ -n "$excluded" ]; then exclude_args=(-E "$excluded"); fi

bash "$root/scripts/with-sandbox.sh" ASAN_OPTIONS="$asan" UBSAN_OPTIONS="$ubsan" LSAN_OPTIONS="$lsan" -- \
    ctest --test-dir "$build" --output-on-failure -j "${ORVANTA_TEST_JOBS:-4}" "${exclude_args[@]}" "$@"
