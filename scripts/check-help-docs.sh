#!/usr/bin/env bash
# Every command and option that `relvano-cli --help` and `relvano --help` name is in the
# programs' manual pages and in the README, and the commands are those the shell
# completion offers, so that what a user reads and types never lags behind what the
# programs take.
#   scripts/check-help-docs.sh RELVANO_CLI [RELVANO [MAN_DIR]]
# MAN_DIR holds relvano-cli.1 and relvano.1, plain or compressed (default: packaging/man).
# Exit 1 and one line per word missing when they disagree.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
cli=$1
ventana=${2:-}
paginas=${3:-$raiz/packaging/man}
fallos=0

# The page as text: plain hyphens, no fonts, no hyphenation at line ends.
texto_pagina() {
  local fuente=$paginas/$1.1
  [ -f "$fuente" ] || fuente=$fuente.gz
  zcat -f "$fuente" | sed -e 's/@[A-Z_]*@//g' -e '1i .nh' |
    groff -t -man -Tascii -P-cbou -rLL=200n 2>/dev/null
}

# The words of a help text: the commands listed under "Órdenes:" and every option.
palabras() {
  sed -n '/^Órdenes:/,/^Opciones:/s/^  \([a-z][a-z]*\) .*/\1/p' <<<"$1"
  grep -oE -- '(^|[ ,[])(-[a-z]|--[a-z][a-z-]*)' <<<"$1" | sed 's/^[ ,[]//' | sort -u
}

comprueba() {  # comprueba PROGRAM HELP PAGE
  local pagina
  pagina=$(texto_pagina "$3")
  for palabra in $(palabras "$2"); do
    grep -qE -- "(^|[^a-z-])$palabra([^a-z-]|$)" <<<"$pagina" ||
      { echo "FALLO: $3(1) no documenta $palabra de $1 --help"; fallos=$((fallos + 1)); }
    grep -qE -- "(^|[^a-z-])$palabra([^a-z-]|$)" "$raiz/README.md" ||
      { echo "FALLO: README.md no documenta $palabra de $1 --help"; fallos=$((fallos + 1)); }
  done
}

ayuda_cli=$("$cli" --help)
comprueba relvano-cli "$ayuda_cli" relvano-cli

# The completion offers the commands that --help lists (the program's own table), no more
# and no fewer.
completado=$raiz/packaging/relvano-cli.bash-completion
de_la_ayuda=$(sed -n '/^Órdenes:/,/^Opciones:/s/^  \([a-z][a-z]*\) .*/\1/p' <<<"$ayuda_cli" | sort -u)
del_completado=$(sed -n 's/^ *local ordenes="\(.*\)"$/\1/p' "$completado" | tr ' ' '\n' | sort -u)
if [ "$de_la_ayuda" != "$del_completado" ]; then
  echo "FALLO: las órdenes de $completado ($(echo $del_completado)) no son las de relvano-cli --help ($(echo $de_la_ayuda))"
  fallos=$((fallos + 1))
fi
if [ -n "$ventana" ]; then
  comprueba relvano "$(QT_QPA_PLATFORM=offscreen "$ventana" --help)" relvano
fi
[ "$fallos" -eq 0 ] || exit 1
echo "Ayuda, páginas de manual y README: de acuerdo"
