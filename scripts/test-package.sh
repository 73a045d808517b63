#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian (no error, no warning), unpacks it with
# dpkg -x into a temporary folder (no build tree, no installation) and checks it there: the
# files it installs, its Depends, the unpacked relvano-cli on a new demo installation with
# each kind's demo file, the log folder of a program run from a system folder (seen at /opt
# in a mount namespace of its own: nothing is written there), the versions of both programs,
# the manual pages (formatted without warnings; every command and option of both programs'
# --help in them and in the README), the inbox's systemd units (systemd-analyze verify, and
# an exposure of 5 at most), the cron example run as cron would, and the bash completion.
set -euo pipefail
cd "$(dirname "$0")/.."
raiz_fuentes=$PWD
version=$(sed -n 's/^project(Relvano VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

deb=$(bash scripts/build-package.sh | tail -n 1)
esperado="relvano_${version}_$(dpkg --print-architecture).deb"
fallos=0
falla() { echo "FALLO: $*"; fallos=$((fallos + 1)); }
[ "$(basename "$deb")" = "$esperado" ] || falla "el paquete se llama $(basename "$deb"), no $esperado"

echo "== lintian"
# Pedantic and informational tags are shown; errors and warnings fail.
lintian --allow-root --info --display-level '>=pedantic' "$deb" || true
lintian --allow-root --fail-on error,warning "$deb" >/dev/null || falla "lintian da errores o avisos"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg -x "$deb" "$tmp/raiz"
cd "$tmp"

echo "== Ficheros del paquete"
unidades=$(pkg-config --variable=systemdsystemunitdir systemd 2>/dev/null || echo /lib/systemd/system)
unidades=${unidades#/}
for f in usr/bin/relvano usr/bin/relvano-cli usr/share/applications/relvano.desktop \
  usr/share/icons/hicolor/scalable/apps/relvano.svg usr/share/icons/hicolor/48x48/apps/relvano.png \
  usr/share/man/man1/relvano.1.gz usr/share/man/man1/relvano-cli.1.gz \
  usr/share/bash-completion/completions/relvano-cli usr/share/doc/relvano/copyright \
  usr/share/doc/relvano/changelog.gz usr/share/doc/relvano/examples/relvano-inbox.cron \
  "$unidades/relvano-inbox@.service" "$unidades/relvano-inbox@.timer"; do
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

echo "== Carpeta de los resúmenes de un programa instalado"
# The unpacked programs' folder seen at /opt, in a mount namespace of this check alone: a
# run without --log-dir, as root, writes nothing there and its log goes to the user's data.
if unshare -m true 2>/dev/null; then
  antes=$(ls -A raiz/usr/bin)
  mkdir -p "$tmp/casa"
  env -u RELVANO_LOG_DIR -u XDG_DATA_HOME HOME="$tmp/casa" unshare -m sh -c \
    'mount --bind "$1" /opt && /opt/relvano-cli --settings-dir "$2" import --simulate articulos "$3"' \
    sh "$tmp/raiz/usr/bin" "$tmp/demo/settings" "$(ls "$tmp"/demo/In/vrcrefcto* | head -n 1)" \
    >"$tmp/salida" 2>&1 || { cat "$tmp/salida"; falla "import desde /opt"; }
  [ "$(ls -A raiz/usr/bin)" = "$antes" ] || falla "un programa en /opt ha escrito en su carpeta: $(ls -A raiz/usr/bin)"
  [ -s "$tmp/casa/.local/share/relvano/SIMULACION_ARTICULOS.LOG" ] ||
    falla "el resumen de un programa en /opt no está en ~/.local/share/relvano"
  echo "/opt/relvano-cli sin --log-dir: $(ls "$tmp/casa/.local/share/relvano" | tr '\n' ' ')"
else
  echo "(no se pueden crear espacios de montaje aquí: sin comprobar)"
fi

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
# Every command and option that either program's --help names is in its page and the README.
bash "$raiz_fuentes/scripts/check-help-docs.sh" "$cli" "$tmp/raiz/usr/bin/relvano" raiz/usr/share/man/man1 ||
  falla "la ayuda, las páginas de manual y el README no coinciden"

echo "== Unidades de systemd"
# Verified as installed, with the program's path pointing into the unpacked package.
mkdir "$tmp/unidades"
for f in "raiz/$unidades"/relvano-inbox@.*; do
  sed "s#/usr/bin/relvano-cli#$cli#" "$f" >"$tmp/unidades/$(basename "$f" | sed 's/@\./@001./')"
done
(cd "$tmp/unidades" && systemd-analyze verify --man=no ./relvano-inbox@001.service ./relvano-inbox@001.timer) ||
  falla "systemd-analyze verify rechaza las unidades"
(cd "$tmp/unidades" && systemd-analyze security --offline=yes ./relvano-inbox@001.service) >"$tmp/exposicion" 2>&1 || true
exposicion=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$tmp/exposicion")
echo "relvano-inbox@.service: exposición ${exposicion:-?}"
awk -v e="${exposicion:-99}" 'BEGIN { exit !(e <= 5) }' || { cat "$tmp/exposicion"; falla "exposición ${exposicion:-?} > 5"; }
grep -qx 'Wants=network-online.target' "raiz/$unidades/relvano-inbox@.service" ||
  falla "relvano-inbox@.service sin Wants=network-online.target"

echo "== Ejemplo de cron"
# The line as cron runs it: the user field dropped, "\%" as "%", the shop's folders here.
"$cli" demo "$tmp/cron-demo" >/dev/null
linea=$(grep -E '^[0-9*]' raiz/usr/share/doc/relvano/examples/relvano-inbox.cron)
[ "$(awk '{print $6}' <<<"$linea")" = tienda ] || falla "la línea de cron no tiene el campo del usuario"
orden=$(cut -d' ' -f7- <<<"$(tr -s ' ' <<<"$linea")" | sed -e 's/\\%/%/g' -e "s#/srv/tienda/settings#$tmp/cron-demo/settings#g" \
  -e "s#/srv/tienda#$tmp/cron#g" -e "s#/usr/bin/relvano-cli#$cli#g")
env -i PATH=/usr/bin:/bin HOME="$tmp/casa" sh -c "$orden" || falla "la orden de cron falla"
if [ -s "$tmp/cron/logs/inbox.out" ]; then
  grep -vqE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} ' "$tmp/cron/logs/inbox.out" &&
    falla "líneas sin fecha en inbox.out: $(cat "$tmp/cron/logs/inbox.out")"
  tail -n 1 "$tmp/cron/logs/inbox.out"
else
  falla "la orden de cron no crea la carpeta de los resúmenes ni escribe inbox.out"
fi

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
[ "$(completa "$cli" demo /tmp/d --)" = "--engine --help --prefix --server --version " ] ||
  falla "demo /tmp/d --<TAB> da: $(completa "$cli" demo /tmp/d --)"
mkdir -p "$tmp/casa/tienda"
cp -r "$tmp/demo/settings" "$tmp/casa/tienda/"
[ "$(HOME="$tmp/casa" completa "$cli" --settings-dir '~/tienda/settings' --company "")" = "001 " ] ||
  falla "--settings-dir ~/... --company <TAB> da: $(HOME="$tmp/casa" completa "$cli" --settings-dir '~/tienda/settings' --company "")"
echo "import <TAB>: $todas"

cd "$raiz_fuentes"
if [ "$fallos" -ne 0 ]; then
  echo "Paquete: $fallos fallos"
  exit 1
fi
echo "Paquete $(basename "$deb"): correcto"
