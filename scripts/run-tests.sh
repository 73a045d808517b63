#!/usr/bin/env bash
# Installs what is missing, builds, runs the whole test suite, then checks the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
bash ../scripts/test-package.sh
