#!/usr/bin/env bash
# Builds the Debian package, unpacks it with dpkg -x into a temporary folder (no build tree,
# no installation) and checks it there: the files it installs, its Depends, the unpacked
# relvano-cli on a new demo installation with each kind's demo file, the versions of both
# programs, the manual pages (every command and option of --help documented) and the bash
# completion of `relvano-cli import <TAB>`.
set -euo pipefail
cd "$(dirname "$0")/.."
raiz_fuentes=$PWD
version=$(sed -n 's/^project(Relvano VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

deb=$(bash scripts/build-package.sh | tail -n 1)
esperado="relvano_${version}_$(dpkg --print-architecture).deb"
fallos=0
falla() { echo "FALLO: $*"; fallos=$((fallos + 1)); }
[ "$(basename "$deb")" = "$esperado" ] || falla "el paquete se llama $(basename "$deb"), no $esperado"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg -x "$deb" "$tmp/raiz"
cd "$tmp"

echo "== Ficheros del paquete"
for f in usr/bin/relvano usr/bin/relvano-cli usr/share/applications/relvano.desktop \
  usr/share/icons/hicolor/scalable/apps/relvano.svg usr/share/icons/hicolor/48x48/apps/relvano.png \
  usr/share/man/man1/relvano.1.gz usr/share/man/man1/relvano-cli.1.gz \
  usr/share/bash-completion/completions/relvano-cli; do
  [ -f "raiz/$f" ] || falla "falta /$f"
done
grep -qx 'Categories=Office;' raiz/usr/share/applications/relvano.desktop || falla "relvano.desktop sin Categories=Office;"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate raiz/usr/share/applications/relvano.desktop || falla "relvano.desktop no es válido"
fi

depende=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depende"
for p in libqt6core6 libqt6sql6 libqt6widgets6 libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql \
  qt6-translations-l10n; do
  # (t64: the library packages' names from Debian 13 on)
  grep -qE "(^|, )$p(t64)?( |,|$)" <<<"$depende" || falla "Depends no nombra $p"
done

echo "== Versión"
cli=$tmp/raiz/usr/bin/relvano-cli
[ "$("$cli" --version)" = "relvano-cli $version" ] || falla "relvano-cli --version: $("$cli" --version)"
ventana=$(QT_QPA_PLATFORM=offscreen "$tmp/raiz/usr/bin/relvano" --version)
echo "$ventana"
[ "$(head -n 1 <<<"$ventana")" = "relvano $version" ] || falla "relvano --version: $ventana"
grep -q "v${version%.*} (" <<<"$ventana" || falla "el título de la ventana no lleva la versión ${version%.*}"

echo "== Demostración con el relvano-cli del paquete"
"$cli" demo "$tmp/demo"
opciones=(--settings-dir "$tmp/demo/settings" --log-dir "$tmp/logs")
[ "$("$cli" "${opciones[@]}" companies)" = "001" ] || falla "companies no da la empresa 001"
clases=0
shopt -s nocaseglob
while IFS=$'\t' read -r _ clase prefijo log _; do
  clases=$((clases + 1))
  ficheros=("$tmp/demo/In/$prefijo"*)
  fichero=$(basename "${ficheros[0]}")
  estado=0
  "$cli" "${opciones[@]}" import "$clase" "$tmp/demo/In/$fichero" </dev/null >"$tmp/salida" 2>&1 || estado=$?
  echo "import $clase $fichero: estado $estado"
  if [ "$estado" -ne 0 ] || [ ! -s "$tmp/logs/$log" ]; then
    cat "$tmp/salida"
    falla "import $clase $fichero (estado $estado, resumen $log)"
  fi
done < <("$cli" kinds)
[ "$clases" -eq 6 ] || falla "relvano-cli kinds da $clases clases, no 6"

echo "== Páginas de manual"
for pagina in raiz/usr/share/man/man1/*.1.gz; do
  if command -v man >/dev/null; then
    MANWIDTH=100 man --warnings -l "$pagina" >"$tmp/pagina" 2>"$tmp/avisos" || falla "man -l $pagina"
  else
    zcat "$pagina" | groff -t -man -Tutf8 -ww >"$tmp/pagina" 2>"$tmp/avisos" || falla "groff $pagina"
  fi
  if [ -s "$tmp/avisos" ]; then
    cat "$tmp/avisos"
    falla "avisos al formatear $pagina"
  fi
  grep -q "Relvano $version" "$tmp/pagina" || falla "$pagina no lleva la versión $version"
  echo "$(basename "$pagina"): $(wc -l <"$tmp/pagina") líneas"
  [ "$(basename "$pagina")" = relvano-cli.1.gz ] && cp "$tmp/pagina" "$tmp/pagina-cli"
done
# Every command and option that --help names is in the page.
ayuda=$("$cli" --help)
ordenes=$(sed -n '/^Órdenes:/,/^Opciones:/s/^  \([a-z][a-z]*\) .*/\1/p' <<<"$ayuda")
for palabra in $ordenes $(grep -oE -- '--[a-z][a-z-]*' <<<"$ayuda" | sort -u); do
  grep -qE -- "(^|[^a-z-])$palabra([^a-z-]|$)" "$tmp/pagina-cli" || falla "relvano-cli(1) no documenta $palabra"
done

echo "== Completado de bash"
completa() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _relvano_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
# shellcheck source=/dev/null
source raiz/usr/share/bash-completion/completions/relvano-cli
todas=$("$cli" kinds | cut -f2 | sort | tr '\n' ' ')
[ "$(completa "$cli" import "")" = "$todas" ] || falla "import <TAB> da: $(completa "$cli" import "")"
[ "$(completa "$cli" --log-dir /tmp import pre)" = "preciocoste precioventa " ] ||
  falla "import pre<TAB> da: $(completa "$cli" --log-dir /tmp import pre)"
[ "$(completa "$cli" import ean "$tmp/demo/In/vrcean")" = "$(printf '%s ' "$tmp"/demo/In/vrcean*)" ] ||
  falla "import ean FICHERO<TAB> no completa el fichero"
[ "$(completa "$cli" dem)" = "demo " ] || falla "dem<TAB> da: $(completa "$cli" dem)"
echo "import <TAB>: $todas"

cd "$raiz_fuentes"
if [ "$fallos" -ne 0 ]; then
  echo "Paquete: $fallos fallos"
  exit 1
fi
echo "Paquete $(basename "$deb"): correcto"
