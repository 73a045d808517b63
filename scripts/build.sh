#!/usr/bin/env bash
# Configures and builds into build/:
#   scripts/build.sh           everything: build/relvano-cli, build/relvano, the tests and the
#                              benchmark
#   scripts/build.sh programs  the two programs alone (no GoogleTest, no benchmark)
# Both state every option, so switching from one to the other in the same folder builds
# what the new one asks for and reuses what was built.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") con_pruebas=ON ;;
  programs) con_pruebas=OFF ;;
  *)
    echo "uso: $0 [programs]" >&2
    exit 2
    ;;
esac
cmake -S . -B build -DCMAKE_BUILD_TYPE="${RELVANO_BUILD_TYPE:-RelWithDebInfo}" \
  -DRELVANO_BUILD_TESTS="$con_pruebas" -DRELVANO_BUILD_BENCH="$con_pruebas" >/dev/null
cmake --build build -j"${RELVANO_JOBS:-2}"
