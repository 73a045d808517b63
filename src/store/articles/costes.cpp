#include "store/articles/costes.h"

#include "base/conversion.h"
#include "store/articles/busquedas.h"
#include "store/articles/stock.h"
#include "store/config/conf_programa.h"

namespace relvano::store {

const ColumnasLinCompras& CacheColumnasCompras::De(Database& bdd) {
  if (bdd_.lock().get() != &bdd) {
    const QString tabla = QStringLiteral("LIN_COMPRAS");
    columnas_.PrecioSivaNeto = bdd.ExisteCampoTabla(tabla, QStringLiteral("PRECIO_SIVA_NETO"));
    columnas_.Dto2 = bdd.ExisteCampoTabla(tabla, QStringLiteral("DTO2_ART"));
    columnas_.Dto3 = bdd.ExisteCampoTabla(tabla, QStringLiteral("DTO3_ART"));
    columnas_.DtoFijo = bdd.ExisteCampoTabla(tabla, QStringLiteral("DTO_FIJO"));
    bdd_ = bdd.weak_from_this();
  }
  return columnas_;
}

double CalculaCosteMedio(const Empresa& empresa, const QString& modo, const DatosCosteMedio& d) {
  const double cm = d.CosteMedio;
  if (!modo.isEmpty()) return cm;
  const double q = d.Cantidad;
  if (d.PrecioBruto * q < 0 && DimeConfiguracion(empresa, QStringLiteral("COMPRAS_ABONO_NO_PCM")))
    return cm;
  const int m = empresa.Conf.ComprasActualizaPCM;
  if (m != 0 && m != 1) return cm;
  const double precio = m == 0 ? d.PrecioBruto : d.PrecioNeto;
  const double S = d.StockTotal;
  double valor = S - q > 0 ? cm * (S - q) : 0;
  valor += precio * q;
  double r = S > 0 ? valor / S : 0;
  if (r == 0) r = precio;
  return r;
}

namespace {

struct PreciosCompra {
  double cantidad = 0;
  double bruto = 0;
  double neto = 0;
};

// The latest delivered purchase line of the article, through the article index.
std::optional<PreciosCompra> UltimaCompra(Database& bdd, const ColumnasLinCompras& col,
                                          const QString& codigo) {
  QString sql = QStringLiteral("SELECT CANTIDAD_ALB, PRECIO_ALB, DTO_ART");
  if (col.PrecioSivaNeto) {
    sql += QStringLiteral(", PRECIO_SIVA_NETO");
  } else {
    if (col.Dto2) sql += QStringLiteral(", DTO2_ART");
    if (col.Dto3) sql += QStringLiteral(", DTO3_ART");
    if (col.DtoFijo) sql += QStringLiteral(", DTO_FIJO");
  }
  sql += QStringLiteral(" FROM LIN_COMPRAS WHERE CODIGO_ART = ? AND ") +
         bdd.Activo(QStringLiteral("ENTREGADO")) +
         QStringLiteral(" ORDER BY FECHA_REAL DESC, ID DESC");
  sql = bdd.Limita(sql, 1);
  Recordset rs = bdd.AbrirRecordset(sql, {Valor(codigo)});
  if (!rs.HayRegistros()) return std::nullopt;

  PreciosCompra p;
  p.cantidad = ValorNumerico(rs[QStringLiteral("CANTIDAD_ALB")]);
  p.bruto = ValorNumerico(rs[QStringLiteral("PRECIO_ALB")]);
  const double dto = ValorNumerico(rs[QStringLiteral("DTO_ART")]);
  if (col.PrecioSivaNeto) {
    p.neto = ValorNumerico(rs[QStringLiteral("PRECIO_SIVA_NETO")]);
    if (p.neto == 0) p.neto = dto == 0 ? p.bruto : p.bruto - p.bruto * dto / 100;
  } else {
    p.neto = p.bruto - dto * p.bruto / 100;
    if (col.Dto2) p.neto -= ValorNumerico(rs[QStringLiteral("DTO2_ART")]) * p.neto / 100;
    if (col.Dto3) p.neto -= ValorNumerico(rs[QStringLiteral("DTO3_ART")]) * p.neto / 100;
    if (col.DtoFijo) p.neto -= ValorNumerico(rs[QStringLiteral("DTO_FIJO")]);
  }
  return p;
}

}  // namespace

void ActualizaCostesArticulo(Empresa& empresa, CacheColumnasCompras& columnas, const QString& modo,
                             const QString& codigo) {
  if (!empresa.BddComercial)
    throw DbError(QStringLiteral("La base de datos de la tienda no está abierta."),
                  empresa.RutaComercial);
  Database& bdd = *empresa.BddComercial;
  // One read gives the costs and the main warehouse's stock; nothing in between changes them.
  Recordset art = bdd.AbrirRecordset(
      QStringLiteral("select CODIGO, COSTE, COSTEMEDIO, STOCKACTUAL, ULTIMA_MODIFICACION from "
                     "ARTICULOS where CODIGO = ?"),
      {Valor(codigo.trimmed())});
  if (!art.HayRegistros()) return;
  const double costeAntes = ValorNumerico(art[QStringLiteral("COSTE")]);
  const double medioAntes = ValorNumerico(art[QStringLiteral("COSTEMEDIO")]);

  const auto compra = UltimaCompra(bdd, columnas.De(bdd), codigo);
  if (!compra) return;

  double coste = costeAntes;
  if (empresa.Conf.ComprasActualizaPC == 1 && compra->bruto != 0) coste = compra->bruto;
  if (empresa.Conf.ComprasActualizaPC == 2 && compra->neto != 0) coste = compra->neto;

  DatosCosteMedio d;
  d.CodigoArticulo = codigo;
  d.Cantidad = compra->cantidad;
  d.PrecioBruto = compra->bruto;
  d.PrecioNeto = compra->neto;
  d.CosteMedio = medioAntes;
  d.StockTotal =
      ValorNumerico(art[QStringLiteral("STOCKACTUAL")]) +
      ValorNumerico(bdd.Escalar(
          QStringLiteral("SELECT SUM(STOCKACTUAL) FROM ARTICULOS_STOCK WHERE CODIGO_ART = ?"),
          {Valor(codigo)}));
  const double medio = CalculaCosteMedio(empresa, modo, d);

  art.EditarRegistro();
  art.Asigna(QStringLiteral("COSTE"), Valor(coste));
  art.Asigna(QStringLiteral("COSTEMEDIO"), Valor(medio));
  if ((coste != costeAntes || medio != medioAntes) &&
      !DimeConfiguracion(empresa,
                         QStringLiteral("COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO")))
    art.Asigna(QStringLiteral("ULTIMA_MODIFICACION"), Valor(empresa.Hoy()));
  art.GrabarRegistro();
}

}  // namespace relvano::store
