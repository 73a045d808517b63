#pragma once

#include <QDate>
#include <QString>

#include "chainfile/bucle_lectura.h"
#include "chainfile/registro.h"
#include "imports/contexto.h"
#include "store/db/recordset.h"

namespace relvano::imports {

// Widths of the cost price DET record; field 10 is CosteValStk, field 11 CosteMarg.
const std::vector<int>& AnchosPrecioCoste();

// ImportaPreciosCoste: reads a cost price chain file ("DET" lines, log word "PRECIO")
// and applies each line with ActualizaPrecioCoste. Throws chainfile::ErrorEnLinea.
chainfile::ResultadoLectura ImportaPreciosCoste(const QString& ruta, ContextoImportacion& ctx);

// ActualizaPrecioCoste: one DET line. A missing article or a withdrawal is logged.
// For "A" and "M": warns (information icon) when CosteValStk and CosteMarg differ as
// text, then sets ARTICULOS.COSTE and ULTIMA_MODIFICACION (ActualizaUltimaModificacion)
// and the chain's ARTICULOS_PROV row (supplier "1"; DEFECTO_PROV only on a new row).
// Throws ErrorDatos when the file's date is missing or invalid, DbError on the database.
// `articulos` reads the article's COSTE and ULTIMA_MODIFICACION.
void ActualizaPrecioCoste(const chainfile::Registro& det, const chainfile::Registro& ide,
                          const LecturaArticulo& articulos, ContextoImportacion& ctx);

// ULTIMA_MODIFICACION of the row being edited: set to `fecha` when it is empty or
// earlier (a value that is not a date counts as earlier); a later or equal date stays.
void ActualizaUltimaModificacion(store::Recordset& rs, QDate fecha);

}  // namespace relvano::imports
