#!/usr/bin/env bash
# Builds the core, the command line and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, into build-asan/; the window is left out) and runs
# the tests there. A sanitizer finding fails its test, and so this script.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
source scripts/sanitizer-env.sh

inicio=$SECONDS
construye_asan --target relvano-tests
echo "Sanitizer build: $((SECONDS - inicio)) s"

inicio=$SECONDS
cd "$build_asan"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${RELVANO_JOBS:-2}" --timeout 900
echo "Sanitizer tests: $((SECONDS - inicio)) s"
