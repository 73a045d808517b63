#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the formatting check, the test
# suite, the Debian package unpacked and run on a demo, the same tests built with the
# sanitizers, and a bounded fuzzing run of the chain file reader (a minute per target).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-format.sh
bash scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
bash scripts/test-package.sh
bash scripts/run-sanitizers.sh
bash scripts/run-fuzz.sh 60
