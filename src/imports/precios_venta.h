#pragma once

#include <QString>

#include "chainfile/bucle_lectura.h"
#include "chainfile/registro.h"
#include "imports/contexto.h"

namespace relvano::imports {

// Widths of the sale price DET record; field 2 is the article, field 5 the price.
const std::vector<int>& AnchosPrecioVenta();

// ImportaPreciosVenta: reads a sale price chain file ("DET" lines, log word "PRECIO")
// and applies each line with ActualizaPrecioVenta. Throws chainfile::ErrorEnLinea.
chainfile::ResultadoLectura ImportaPreciosVenta(const QString& ruta, ContextoImportacion& ctx);

// ActualizaPrecioVenta: one DET line. Only an article whose VENTA is 0 (or Null) gets
// the chain's price, with ULTIMA_MODIFICACION by the file's date; a price the shop has
// set is never overwritten. Logs three lines and an empty line (one for a missing
// article). Throws ErrorDatos when the price is to be written and the file's date is
// missing or invalid; DbError on the database.
// `articulos` reads the article's VENTA and ULTIMA_MODIFICACION.
void ActualizaPrecioVenta(const chainfile::Registro& det, const chainfile::Registro& ide,
                          const LecturaArticulo& articulos, ContextoImportacion& ctx);

}  // namespace relvano::imports
