#pragma once

#include <QString>

#include "base/operador.h"
#include "store/db/database.h"
#include "store/empresa.h"

namespace relvano::store {

// One document line as the stock update sees it.
struct LineaStock {
  QString CodigoArticulo;
  double Cantidad = 0;  // negative for returns
  QString Almacen;      // "1" or empty: the main warehouse
};

// ActualizaStockLinea: adds the line's quantity to the article's stock in the line's
// warehouse (ActualizaStock). An article that does not exist is reported to the
// operator ("El artículo <code> no existe para actualizar su stock") and nothing
// changes; the code "0" (lines that are not articles) is skipped silently.
// Store database: the services' handle (BddComercial).
void ActualizaStockLinea(Empresa& empresa, Operador& operador, const LineaStock& linea);

// ActualizaStock: STOCKACTUAL += cantidad in the warehouse `almacen` (trimmed):
// - main warehouse ("" or "1"): ARTICULOS.STOCKACTUAL of CODIGO = `codigo`; a missing
//   article is reported ("Error en Artículo: ...") and nothing changes;
// - any other: the ARTICULOS_STOCK row (CODIGO_ART, ALMACEN), created when missing with
//   STOCKMINIMO 0, STOCKMAXIMO 0, STOCK_LOC "" and the table's default stock.
// Null stock counts as 0. Control columns (ULTIMA_MODIFICACION) are not touched.
void ActualizaStock(Empresa& empresa, Operador& operador, const QString& codigo, double cantidad,
                    const QString& almacen);

}  // namespace relvano::store
