#!/usr/bin/env bash
# Configures and builds everything into build/ (build/relvano-cli, build/relvano, the tests).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${RELVANO_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build -j"${RELVANO_JOBS:-2}"
