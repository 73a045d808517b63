#!/usr/bin/env bash
# Renders the PNG icons of the menu entry from packaging/relvano.svg, and the Windows icon
# from them. Run it after changing the SVG (or the mark in src/gui/dibujos.cpp, which the SVG
# follows) and commit the results. Needs rsvg-convert (Debian package librsvg2-bin) and python3.
set -euo pipefail
cd "$(dirname "$0")"
for lado in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$lado" -h "$lado" ../relvano.svg -o "relvano-$lado.png"
done

# The Windows icon (packaging/windows/relvano.ico): the same PNGs, one ICO entry each.
python3 - <<'PY'
import struct
lados = [16, 24, 32, 48, 64, 128, 256]
datos = [open(f"relvano-{l}.png", "rb").read() for l in lados]
salida = struct.pack("<HHH", 0, 1, len(lados))
posicion = 6 + 16 * len(lados)
for lado, d in zip(lados, datos):
    salida += struct.pack("<BBBBHHII", lado % 256, lado % 256, 0, 0, 1, 32, len(d), posicion)
    posicion += len(d)
open("../windows/relvano.ico", "wb").write(salida + b"".join(datos))
PY
