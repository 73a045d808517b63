#!/usr/bin/env bash
# Installs the Debian packages that are missing, by purpose:
#   scripts/install-deps.sh          what building and running the two programs needs
#   scripts/install-deps.sh --tests  that, and what the tests need besides: a PostgreSQL
#                                    server of their own (scripts/pg-cluster.sh), SQLite
#                                    through ODBC, GoogleTest, the sanitizer and fuzzing
#                                    build, the format check, the package check
# Safe to run again: it installs nothing when everything is there.
set -euo pipefail

programas=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools  # Qt Core, Qt Sql and Qt Widgets, and their build tools
  libqt6sql6-sqlite  # the default engine
  libsqlite3-dev  # its statements run on the engine's own connection, past Qt's driver
  libpq-dev  # so do PostgreSQL's, on the client library's connection the driver opened
  libzstd-dev  # the history's logs and changes compressed with Zstandard
  libssl-dev  # the SHA-256 of a chain file with OpenSSL's libcrypto (the processor's own instructions)
  libqt6sql6-odbc libqt6sql6-psql  # the other engines' drivers (a server is not needed to build)
  qt6-translations-l10n  # Qt's own texts in Spanish (the file dialog)
)
pruebas=(
  postgresql  # the test server
  libsqliteodbc unixodbc  # the ODBC engine's tests, on SQLite files
  libgtest-dev  # the test framework
  xvfb xauth  # the window's screenshots under a virtual screen
  groff-base  # formats the manual pages in the package check
  lintian  # the package check: Debian's own checks of the built package
  systemd  # the package check: systemd-analyze verifies the inbox units and rates their sandbox
  clang libclang-rt-dev clang-format  # the sanitizer and fuzzing build, the format check
)

paquetes=("${programas[@]}")
case "${1:-}" in
  "") ;;
  --tests) paquetes+=("${pruebas[@]}") ;;
  *)
    echo "uso: $0 [--tests]" >&2
    exit 2
    ;;
esac

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
