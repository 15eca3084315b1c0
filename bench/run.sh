#!/usr/bin/env bash
# Builds the project in Release mode and runs every benchmark; figures are
# ratios measured in one run, so a noisy machine moves them together.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALY_GUI=ON >/dev/null
cmake --build build-bench --target expression_bench database_bench startup_bench list_bench validate_bench page_bench import_bench kill_bench export_bench report_bench repair_bench sync_bench >/dev/null
build-bench/bench/expression_bench
echo
build-bench/bench/database_bench
echo
build-bench/bench/startup_bench
echo
build-bench/bench/list_bench
echo
# linkchecker is the peer of the link batch; without it that figure is left out.
command -v linkchecker >/dev/null || { if [ "$(id -u)" = 0 ]; then apt-get install -y linkchecker; else sudo -n apt-get install -y linkchecker; fi; } >/dev/null 2>&1 || true
build-bench/bench/validate_bench
echo
# curl is the peer of the download; without it that figure is left out.
command -v curl >/dev/null || { if [ "$(id -u)" = 0 ]; then apt-get install -y curl; else sudo -n apt-get install -y curl; fi; } >/dev/null 2>&1 || true
build-bench/bench/page_bench
echo
# sqlite3 and buku are the peers of the import; without one its figure is left out.
command -v sqlite3 >/dev/null || { if [ "$(id -u)" = 0 ]; then apt-get install -y sqlite3; else sudo -n apt-get install -y sqlite3; fi; } >/dev/null 2>&1 || true
command -v buku >/dev/null || { if [ "$(id -u)" = 0 ]; then apt-get install -y buku; else sudo -n apt-get install -y buku; fi; } >/dev/null 2>&1 || true
build-bench/bench/import_bench
echo
build-bench/bench/kill_bench
echo
build-bench/bench/export_bench
echo
build-bench/bench/report_bench
echo
build-bench/bench/repair_bench
echo
build-bench/bench/sync_bench
