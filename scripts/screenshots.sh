#!/usr/bin/env bash
# Remakes the window's pictures in docs/ on a demo installation, under a virtual X server:
# after a completed run, after a cancelled run, the last runs, and the whole 1280×800
# screen at double scale, once with the window and once with the program's own log viewer
# over it, the review of a cost file's changes, and the question of undoing a run over the
# last runs. Needs a build (scripts/build.sh) and xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
build/relvano-cli demo "$demo/tienda" >/dev/null
mkdir -p "$demo/logs" docs
articulos=$(ls "$demo"/tienda/In/vrcrefcto* | head -n 1)
ean=$(ls "$demo"/tienda/In/vrceancto* | head -n 1)

foto() {  # foto PICTURE SCENE FILE [SCALE]
  QT_SCALE_FACTOR="${4:-1}" LANG=es_ES.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24" \
    build/relvano --settings-dir "$demo/tienda/settings" --log-dir "$demo/logs" \
    --screenshot "docs/$1" --scene "$2" --import "$3"
  echo "docs/$1"
}

foto ventana-completada.png completada "$articulos"
foto ventana-cancelada.png cancelada "$articulos"
foto ultimas-importaciones.png historial "$ean"
foto ventana-escala-2.png pantalla "$articulos" 2
foto visor-escala-2.png visor "$ean" 2
# A cost file with one price ten times the article's: the review lists it.
costes="$demo/vrcmllcto0002.txt"
sed 's/|3\.25|3\.25|/|32.50|32.50|/' "$(ls "$demo"/tienda/In/vrcmllcto* | head -n 1)" >"$costes"
foto revision-cambios.png revision "$costes"
# The offers file, which no picture above imports: the question before undoing its run.
foto deshacer.png deshacer "$(ls "$demo"/tienda/In/vrcofecto* | head -n 1)"
