#pragma once

#include <QString>
#include <memory>

#include "store/db/database.h"
#include "store/db/recordset.h"
#include "store/empresa.h"

namespace relvano::store {

// The optional price columns of LIN_COMPRAS; older store databases lack some of them.
struct ColumnasLinCompras {
  bool PrecioSivaNeto = false;  // PRECIO_SIVA_NETO: the line's stored net unit price
  bool Dto2 = false;            // DTO2_ART: second discount, percent
  bool Dto3 = false;            // DTO3_ART: third discount, percent
  bool DtoFijo = false;         // DTO_FIJO: fixed discount per unit
};

// What LIN_COMPRAS of a store connection has, learnt once per connection: a run asks
// for it on every purchase line. Owned by the caller for the length of a run.
class CacheColumnasCompras {
 public:
  // The columns of `bdd`; read from the database the first time and whenever a
  // different connection is given.
  const ColumnasLinCompras& De(Database& bdd);

 private:
  std::weak_ptr<const Database> bdd_;
  ColumnasLinCompras columnas_;
};

// What the average cost is computed from; every member is the value as read.
struct DatosCosteMedio {
  QString CodigoArticulo;
  double Cantidad = 0;     // q: quantity of the latest delivered purchase line
  double PrecioBruto = 0;  // pb: its PRECIO_ALB
  double PrecioNeto = 0;   // pn: its unit price after discounts
  double CosteMedio = 0;   // cm: the article's current COSTEMEDIO
  double StockTotal = 0;   // S: the article's stock in every warehouse, q included
};

// CalculaCosteMedio: the article's new average cost after the purchase in `d`,
// unrounded. With ComprasActualizaPCM 0 the purchase is valued at the gross price,
// with 1 at the net price: R = (cm × (S − q) when S − q > 0, else 0, + price × q) / S,
// or the price itself when that gives 0 (a first purchase, or no stock left).
// The current average cost `d.CosteMedio` is kept when:
// - the purchase is a return (pb × q < 0) and the option COMPRAS_ABONO_NO_PCM is on;
// - ComprasActualizaPCM is neither 0 nor 1 (no rule is defined for other values);
// - `modo` is not empty (only the purchase rule of the empty mode exists).
double CalculaCosteMedio(const Empresa& empresa, const QString& modo, const DatosCosteMedio& d);

// ActualizaCostesArticulo: sets the article's COSTE and COSTEMEDIO from its latest
// delivered purchase line (LIN_COMPRAS with ENTREGADO set, the latest FECHA_REAL, then
// the highest ID: an invoice dated before lines already stored leaves the later
// line's prices in force), and ULTIMA_MODIFICACION to today when either changed
// (unless COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO is on).
// - COSTE: ComprasActualizaPC 1 the gross price, 2 the net price, each only when not 0;
//   other values leave it.
// - Net price: PRECIO_SIVA_NETO when the table has that column and it is not 0, else the
//   gross price less DTO_ART (percent) and, only in tables without PRECIO_SIVA_NETO,
//   less DTO2_ART and DTO3_ART (percent, each on the previous result) and DTO_FIJO (per
//   unit) where those columns exist.
// - COSTEMEDIO: CalculaCosteMedio with the article's stock total (which already
//   includes this purchase: update the stock first).
// Nothing changes when the article does not exist or has no delivered purchase line.
// Reads LIN_COMPRAS.CODIGO_ART, ENTREGADO, FECHA_REAL, ID, CANTIDAD_ALB, PRECIO_ALB,
// DTO_ART and the optional columns; writes ARTICULOS.COSTE, COSTEMEDIO,
// ULTIMA_MODIFICACION. Store database: the services' handle (BddComercial).
void ActualizaCostesArticulo(Empresa& empresa, CacheColumnasCompras& columnas, const QString& modo,
                             const QString& codigo);

}  // namespace relvano::store
