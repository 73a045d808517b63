#!/usr/bin/env bash
# Installs what is missing, builds, creates a demo installation in demo/ (replacing an
# earlier one) and runs the program's main job on it: every kind of chain file is
# imported into the demo shop, and each run's log is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh programs

demo="$PWD/demo"
rm -rf "$demo"
cli=(build/relvano-cli --settings-dir "$demo/settings" --log-dir "$demo/logs")
build/relvano-cli demo "$demo"
mkdir -p "$demo/logs"

echo "== Empresas"
"${cli[@]}" companies

# The kinds, their file prefixes and log names come from the program itself.
build/relvano-cli kinds | while IFS=$'\t' read -r _ clase prefijo log _; do
  fichero=$(ls "$demo/In" | grep -i -E "^$prefijo" | head -n 1)
  echo
  echo "== Importación $clase: $fichero"
  estado=0
  "${cli[@]}" import "$clase" "$demo/In/$fichero" < /dev/null || estado=$?
  echo "(estado de salida: $estado)"
  log="$demo/logs/$log"
  if [ -f "$log" ]; then
    echo "-- $log"
    tr -d '\r' < "$log"
  fi
done
