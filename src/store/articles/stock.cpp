#include "store/articles/stock.h"

#include "base/conversion.h"
#include "store/articles/busquedas.h"
#include "store/db/recordset.h"

namespace relvano::store {

namespace {
Database& Tienda(Empresa& empresa) {
  if (!empresa.BddComercial)
    throw DbError(QStringLiteral("La base de datos de la tienda no está abierta."),
                  empresa.RutaComercial);
  return *empresa.BddComercial;
}

// STOCKACTUAL += cantidad in the row of `tabla` whose key columns `clave` hold `valores`,
// added to what the row holds when the statement runs (a till's sale stored meanwhile is
// not lost; Null counts 0), and told to the journal as such. False when there is no row.
bool SumaStock(Database& bdd, const QString& tabla, const QStringList& clave,
               const std::vector<Valor>& valores, double cantidad) {
  std::vector<Valor> parametros{Valor(cantidad)};
  parametros.insert(parametros.end(), valores.begin(), valores.end());
  QStringList donde;
  for (const QString& k : clave) donde << k + QStringLiteral(" = ?");
  if (bdd.Ejecuta(QStringLiteral("UPDATE ") + tabla +
                      QStringLiteral(" SET STOCKACTUAL = COALESCE(STOCKACTUAL, 0.0) + ? WHERE ") +
                      donde.join(QStringLiteral(" AND ")),
                  parametros) == 0)
    return false;
  AnotaSuma(bdd, tabla, clave, valores, QStringLiteral("STOCKACTUAL"), cantidad);
  return true;
}
}  // namespace

void ActualizaStockLinea(Empresa& empresa, Operador& operador, const LineaStock& linea) {
  const QString alm = linea.Almacen.trimmed();
  if ((alm.isEmpty() || alm == u"1") && linea.CodigoArticulo == linea.CodigoArticulo.trimmed()) {
    // The main warehouse's stock is the article's own: one statement finds the article
    // and adds to the stock it holds now.
    if (!SumaStock(Tienda(empresa), QStringLiteral("ARTICULOS"), {QStringLiteral("CODIGO")},
                   {Valor(linea.CodigoArticulo)}, linea.Cantidad) &&
        linea.CodigoArticulo != u"0")
      operador.Mensaje(QStringLiteral("El artículo ") + linea.CodigoArticulo +
                       QStringLiteral(" no existe para actualizar su stock"));
    return;
  }
  Recordset rs;
  if (ExisteArticulo(Tienda(empresa), rs, linea.CodigoArticulo)) {
    ActualizaStock(empresa, operador, linea.CodigoArticulo, linea.Cantidad, linea.Almacen);
  } else if (linea.CodigoArticulo != u"0") {
    operador.Mensaje(QStringLiteral("El artículo ") + linea.CodigoArticulo +
                     QStringLiteral(" no existe para actualizar su stock"));
  }
}

void ActualizaStock(Empresa& empresa, Operador& operador, const QString& codigo, double cantidad,
                    const QString& almacen) {
  Database& bdd = Tienda(empresa);
  const QString alm = almacen.trimmed();
  if (alm.isEmpty() || alm == u"1") {
    if (!SumaStock(bdd, QStringLiteral("ARTICULOS"), {QStringLiteral("CODIGO")}, {Valor(codigo)},
                   cantidad))
      operador.Mensaje(QStringLiteral("Error en Artículo: El artículo ") + codigo +
                       QStringLiteral(" no existe."));
    return;
  }
  // The key is matched as given: the warehouse of a secondary row keeps its own spelling.
  const std::vector<Valor> clave{Valor(codigo), Valor(almacen)};
  if (SumaStock(bdd, QStringLiteral("ARTICULOS_STOCK"),
                {QStringLiteral("CODIGO_ART"), QStringLiteral("ALMACEN")}, clave, cantidad))
    return;
  Recordset rs = bdd.AbrirRecordsetVacio(
      QStringLiteral("select * from ARTICULOS_STOCK WHERE CODIGO_ART = ? AND ALMACEN = ?"), clave);
  rs.NuevoRegistro();
  rs.Asigna(QStringLiteral("ALMACEN"), Valor(almacen));
  rs.Asigna(QStringLiteral("CODIGO_ART"), Valor(codigo));
  rs.Asigna(QStringLiteral("STOCKMINIMO"), Valor(0));
  rs.Asigna(QStringLiteral("STOCKMAXIMO"), Valor(0));
  rs.Asigna(QStringLiteral("STOCK_LOC"), Valor(QStringLiteral("")));
  rs.Asigna(QStringLiteral("STOCKACTUAL"),
            Valor(ValorNumerico(rs[QStringLiteral("STOCKACTUAL")]) + cantidad));
  rs.GrabarRegistro();
}

}  // namespace relvano::store
