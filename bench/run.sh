#!/usr/bin/env bash
# Builds the project in Release mode and runs every benchmark; figures are
# ratios measured in one run, so a noisy machine moves them together.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_GUI=ON >/dev/null
cmake --build build-bench --target expression_bench database_bench startup_bench list_bench >/dev/null
build-bench/bench/expression_bench
echo
build-bench/bench/database_bench
echo
build-bench/bench/startup_bench
echo
build-bench/bench/list_bench
