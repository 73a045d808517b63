#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

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
  // The texts of UltimaCompraArticulo's read for these columns, without and with a day the
  // line must come after: the same on every line of a run.
  QString ultimaCompra;
  QString ultimaCompraPosterior;
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

// One purchase line as the costs see it.
struct CompraArticulo {
  double cantidad = 0;  // q: CANTIDAD_ALB
  double bruto = 0;     // pb: PRECIO_ALB, the gross unit price
  double neto = 0;      // pn: the unit price after discounts
};

// The prices of a LIN_COMPRAS line whose columns `valor` gives by name (Null counts 0):
// the net price is PRECIO_SIVA_NETO when the table has that column and it is not 0, else
// the gross price less DTO_ART (percent) and, only in tables without PRECIO_SIVA_NETO,
// less DTO2_ART and DTO3_ART (percent, each on the previous result) and DTO_FIJO (per
// unit) where those columns exist.
CompraArticulo PreciosCompra(const ColumnasLinCompras& col,
                             const std::function<Valor(const QString&)>& valor);

// UltimaCompraArticulo: the latest delivered purchase line of `codigo` (LIN_COMPRAS with
// ENTREGADO set, the latest FECHA_REAL, then the highest ID); with `posteriorA` valid,
// only a line dated after that day (a line without a date never is). Nothing when there
// is none. Throws DbError.
std::optional<CompraArticulo> UltimaCompraArticulo(Database& bdd, const ColumnasLinCompras& col,
                                                   const QString& codigo, QDate posteriorA = {});

// A delivered purchase line as its article takes it.
struct CompraEnArticulo {
  double cantidad = 0;  // added to the main warehouse's stock (ARTICULOS.STOCKACTUAL)
  QDate fecha;          // the article's ULTIMA_COMPRA; left alone when not valid
};

// AplicaCompraArticulo: what a delivered purchase line (`linea`) does to its article, in
// one statement that reads the article's row as it finds it, so that a sale a till stores
// meanwhile is weighed, not overwritten:
// - STOCKACTUAL += linea.cantidad (the main warehouse's stock);
// - COSTE and COSTEMEDIO after the purchase `compra`, the article's latest delivered
//   purchase line once `linea` is stored (UltimaCompraArticulo; an invoice dated before
//   lines already stored leaves the later line's prices in force):
//   - COSTE: ComprasActualizaPC 1 the gross price, 2 the net price, each only when not 0;
//     other values leave it;
//   - COSTEMEDIO, with ComprasActualizaPCM 0 the purchase valued at the gross price, with
//     1 at the net price: R = (cm × (S − q) when S − q > 0, else 0, + price × q) / S, or
//     the price itself when that gives 0 (a first purchase, or no stock left); cm is the
//     current COSTEMEDIO and S the stock of every warehouse with this line's quantity.
//     The current average cost is kept when the purchase is a return (pb × q < 0) and
//     COMPRAS_ABONO_NO_PCM is on, when ComprasActualizaPCM is neither 0 nor 1, and when
//     `modo` is not empty (only the purchase rule of the empty mode exists);
// - ULTIMA_MODIFICACION = today when COSTE or COSTEMEDIO changed (unless
//   COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO is on);
// - ULTIMA_COMPRA = linea.fecha.
// Null stocks and costs count 0. False, nothing changed, when the article does not exist.
// The change journal is told the stock as the quantity added and the other columns with
// their former and new values. Reads ARTICULOS_STOCK. Store database: the services'
// handle (BddComercial). Throws DbError.
bool AplicaCompraArticulo(Empresa& empresa, const QString& modo, const QString& codigo,
                          const CompraEnArticulo& linea, const CompraArticulo& compra);

}  // namespace relvano::store
