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
}  // namespace

void ActualizaStockLinea(Empresa& empresa, Operador& operador, const LineaStock& linea) {
  const QString alm = linea.Almacen.trimmed();
  if ((alm.isEmpty() || alm == u"1") && linea.CodigoArticulo == linea.CodigoArticulo.trimmed()) {
    // The main warehouse's stock is the article's own: one read finds the article and
    // gives the stock to change.
    Recordset art = Tienda(empresa).AbrirRecordset(
        QStringLiteral("select CODIGO, STOCKACTUAL from ARTICULOS where CODIGO = ?"),
        {Valor(linea.CodigoArticulo)});
    if (art.HayRegistros()) {
      art.EditarRegistro();
      art.Asigna(QStringLiteral("STOCKACTUAL"),
                 Valor(ValorNumerico(art[QStringLiteral("STOCKACTUAL")]) + linea.Cantidad));
      art.GrabarRegistro();
    } else if (linea.CodigoArticulo != u"0") {
      operador.Mensaje(QStringLiteral("El artículo ") + linea.CodigoArticulo +
                       QStringLiteral(" no existe para actualizar su stock"));
    }
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
  Recordset rs;
  if (!alm.isEmpty() && alm != u"1") {
    // The key is matched as given: the warehouse of a secondary row keeps its own spelling.
    rs = bdd.AbrirRecordset(
        QStringLiteral("select * from ARTICULOS_STOCK WHERE CODIGO_ART = ? AND ALMACEN = ?"),
        {Valor(codigo), Valor(almacen)});
    if (rs.HayRegistros()) {
      rs.EditarRegistro();
    } else {
      rs.NuevoRegistro();
      rs.Asigna(QStringLiteral("ALMACEN"), Valor(almacen));
      rs.Asigna(QStringLiteral("CODIGO_ART"), Valor(codigo));
      rs.Asigna(QStringLiteral("STOCKMINIMO"), Valor(0));
      rs.Asigna(QStringLiteral("STOCKMAXIMO"), Valor(0));
      rs.Asigna(QStringLiteral("STOCK_LOC"), Valor(QStringLiteral("")));
    }
  } else {
    rs = bdd.AbrirRecordset(QStringLiteral("select * from ARTICULOS WHERE CODIGO = ?"),
                            {Valor(codigo)});
    if (!rs.HayRegistros()) {
      operador.Mensaje(QStringLiteral("Error en Artículo: El artículo ") + codigo +
                       QStringLiteral(" no existe."));
      return;
    }
    rs.EditarRegistro();
  }
  rs.Asigna(QStringLiteral("STOCKACTUAL"),
            Valor(ValorNumerico(rs[QStringLiteral("STOCKACTUAL")]) + cantidad));
  rs.GrabarRegistro();
}

}  // namespace relvano::store
