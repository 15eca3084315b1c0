#!/usr/bin/env bash
# Makes docs/column-graph.png, the README's picture of a list column's
# graph, from sample values. Run by hand after a build in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target graph_snapshot >/dev/null
QT_QPA_PLATFORM=offscreen build/tests/gui/graph_snapshot docs/column-graph.png
echo docs/column-graph.png
