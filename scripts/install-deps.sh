#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the window and the sanitizer build
# need, when missing: the tests also run against a PostgreSQL server of their own
# (scripts/pg-cluster.sh) and against SQLite through ODBC.
# Safe to run again: it installs nothing when everything is there.
set -euo pipefail

paquetes=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql
  qt6-translations-l10n  # Qt's own texts in Spanish (the file dialog)
  postgresql libpq-dev  # the test server; libpq for the benchmark's reference program
  libsqliteodbc unixodbc  # the ODBC engine's tests, on SQLite files
  libgtest-dev libsqlite3-dev
  xvfb xauth
  groff-base  # formats the manual pages in the package check
  clang libclang-rt-dev clang-format  # the sanitizer and fuzzing build, the format check
)

faltan=()
for p in "${paquetes[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    faltan+=("$p")
  fi
done

if [ ${#faltan[@]} -gt 0 ]; then
  echo "Instalando: ${faltan[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${faltan[@]}"
fi
