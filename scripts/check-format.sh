#!/usr/bin/env bash
# Fails when a C++ file of the project differs from .clang-format, naming the files.
# Fix them with: clang-format -i <file>...
set -euo pipefail
cd "$(dirname "$0")/.."
mal=()
while IFS= read -r f; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || mal+=("$f")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#mal[@]} -gt 0 ]; then
  echo "Estos ficheros no siguen .clang-format (clang-format -i para corregirlos):"
  printf '  %s\n' "${mal[@]}"
  exit 1
fi
echo "Formato: correcto"
