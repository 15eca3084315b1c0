#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-sanitize and runs every test through CTest; the first error a
# sanitizer finds ends its test as failed. Arguments go to ctest (for
# example -R cli_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_WERROR=ON \
    -DTESSALY_SANITIZE=ON
cmake --build build-sanitize -j "$(nproc)"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# Leaks are not counted: the process-long allocations of Qt and the font
# libraries would hide everything else.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0
ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)" "$@"
