#pragma once

#include <QString>

#include "chainfile/bucle_lectura.h"
#include "chainfile/registro.h"
#include "imports/contexto.h"

namespace relvano::imports {

// Widths of the EAN DET record: type, action, EAN, article, EAN type, unused.
const std::vector<int>& AnchosEan();

// ImportaEan: reads an EAN chain file ("DET" lines, log word "EAN") and applies each
// line with ActualizaEan. Only additions are carried out. Throws
// chainfile::ErrorEnLinea when the file cannot be read or a line fails.
chainfile::ResultadoLectura ImportaEan(const QString& ruta, ContextoImportacion& ctx);

// ActualizaEan: one DET line. Refusals (missing article, withdrawal, type "S", an
// existing pair, a type other than "R") are logged; type "S" also shows a stop
// message. Otherwise adds the ARTICULOS_EAN row (IDARTICULO, EAN). Throws DbError.
void ActualizaEan(const chainfile::Registro& det, ContextoImportacion& ctx);

}  // namespace relvano::imports
