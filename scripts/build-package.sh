#!/usr/bin/env bash
# Builds the Debian package: build/relvano_<version>_<architecture>.deb, with the programs,
# the menu entry and its icons, the manual pages and the bash completion. Installs what is
# missing and builds first (as scripts/build.sh). Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests >&2
bash scripts/build.sh >&2
cd build
rm -f relvano_*.deb
cpack -G DEB >&2
ls "$PWD"/relvano_*.deb
