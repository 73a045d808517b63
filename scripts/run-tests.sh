#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the formatting check, the test
# suite, the Debian package unpacked and run on a demo, the same tests built with the
# sanitizers, and a bounded fuzzing run of the chain file reader (a minute per target).
#
# The suite's PostgreSQL runs use the server named by RELVANO_TEST_SERVIDOR (a libpq
# connection string without dbname); when it is unset, a private server is started for
# the suite in a temporary folder (scripts/pg-cluster.sh) and removed at the end, also
# when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
bash scripts/check-format.sh
bash scripts/build.sh

servidor=${RELVANO_TEST_SERVIDOR:-}
if [ -z "$servidor" ]; then
  cluster=$(mktemp -d /tmp/relvano-pg-XXXXXX)
  trap 'bash scripts/pg-cluster.sh stop "$cluster"' EXIT
  servidor=$(bash scripts/pg-cluster.sh start "$cluster")
  echo "Servidor PostgreSQL de pruebas: $servidor"
fi
(cd build && RELVANO_TEST_SERVIDOR="$servidor" QT_QPA_PLATFORM=offscreen \
  ctest --output-on-failure -j2 --timeout 300)
bash scripts/test-package.sh
bash scripts/run-sanitizers.sh
bash scripts/run-fuzz.sh 60
