#!/usr/bin/env bash
# Installs what the project needs, builds it and starts tessaly with the
# default data folder (or the one given with --data DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tessaly tessaly-cli
exec build/app/tessaly "$@"
