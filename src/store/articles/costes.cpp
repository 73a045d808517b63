#include "store/articles/costes.h"

#include "base/conversion.h"
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

CompraArticulo PreciosCompra(const ColumnasLinCompras& col,
                             const std::function<Valor(const QString&)>& valor) {
  const auto numero = [&valor](const char* columna) {
    return ValorNumerico(valor(QString::fromLatin1(columna)));
  };
  CompraArticulo p;
  p.cantidad = numero("CANTIDAD_ALB");
  p.bruto = numero("PRECIO_ALB");
  const double dto = numero("DTO_ART");
  if (col.PrecioSivaNeto) {
    p.neto = numero("PRECIO_SIVA_NETO");
    if (p.neto == 0) p.neto = dto == 0 ? p.bruto : p.bruto - p.bruto * dto / 100;
  } else {
    p.neto = p.bruto - dto * p.bruto / 100;
    if (col.Dto2) p.neto -= numero("DTO2_ART") * p.neto / 100;
    if (col.Dto3) p.neto -= numero("DTO3_ART") * p.neto / 100;
    if (col.DtoFijo) p.neto -= numero("DTO_FIJO");
  }
  return p;
}

std::optional<CompraArticulo> UltimaCompraArticulo(Database& bdd, const ColumnasLinCompras& col,
                                                   const QString& codigo, QDate posteriorA) {
  QString sql = QStringLiteral("SELECT CANTIDAD_ALB, PRECIO_ALB, DTO_ART");
  if (col.PrecioSivaNeto) {
    sql += QStringLiteral(", PRECIO_SIVA_NETO");
  } else {
    if (col.Dto2) sql += QStringLiteral(", DTO2_ART");
    if (col.Dto3) sql += QStringLiteral(", DTO3_ART");
    if (col.DtoFijo) sql += QStringLiteral(", DTO_FIJO");
  }
  // Through the article index.
  sql += QStringLiteral(" FROM LIN_COMPRAS WHERE CODIGO_ART = ? AND ") +
         bdd.Activo(QStringLiteral("ENTREGADO"));
  std::vector<Valor> parametros{Valor(codigo)};
  if (posteriorA.isValid()) {
    sql += QStringLiteral(" AND FECHA_REAL > ?");
    parametros.emplace_back(posteriorA);
  }
  sql = bdd.Limita(sql + QStringLiteral(" ORDER BY FECHA_REAL DESC, ID DESC"), 1);
  Recordset rs = bdd.AbrirRecordset(sql, parametros);
  if (!rs.HayRegistros()) return std::nullopt;
  return PreciosCompra(col, [&rs](const QString& columna) { return rs[columna]; });
}

namespace {

// Writes an UPDATE's text and its values in step, so that each value lands on its own "?".
class Sentencia {
 public:
  Sentencia& operator<<(const QString& texto) {
    sql_ += texto;
    return *this;
  }
  Sentencia& operator<<(const char* texto) { return *this << QString::fromLatin1(texto); }
  Sentencia& operator<<(const Valor& valor) {
    sql_ += u'?';
    valores_.push_back(valor);
    return *this;
  }
  const QString& Sql() const { return sql_; }
  const std::vector<Valor>& Valores() const { return valores_; }

 private:
  QString sql_;
  std::vector<Valor> valores_;
};

// The new average cost, written into `s` as a value the UPDATE of the article computes
// from the row it changes: S the stock of every warehouse, q the purchase's quantity, and
// `precio` the price it is valued at. The same rule as ActualizaCostesArticulo states.
void CosteMedioEnSentencia(Sentencia& s, const QString& codigo, double q, double precio) {
  const char* stock = "(COALESCE(ARTICULOS.STOCKACTUAL, 0.0) + T.OTROS)";
  // (cm × (S − q) when S − q > 0, else 0) + price × q
  const auto valor = [&] {
    s << "(CASE WHEN " << stock << " - " << Valor(q) << " > 0 THEN COALESCE(ARTICULOS.COSTEMEDIO, "
      << "0.0) * (" << stock << " - " << Valor(q) << ") ELSE 0.0 END + " << Valor(precio * q)
      << ")";
  };
  // Nested, so that no engine divides by a stock of 0.
  s << "(SELECT CASE WHEN " << stock << " > 0 THEN CASE WHEN ";
  valor();
  s << " / " << stock << " <> 0 THEN ";
  valor();
  s << " / " << stock << " ELSE " << Valor(precio) << " END ELSE " << Valor(precio)
    << " END FROM (SELECT COALESCE(SUM(STOCKACTUAL), 0.0) AS OTROS FROM ARTICULOS_STOCK WHERE "
       "CODIGO_ART = "
    << Valor(codigo) << ") T)";
}

}  // namespace

void ActualizaCostesArticulo(Empresa& empresa, const QString& modo, const QString& codigo,
                             const CompraArticulo& compra) {
  if (!empresa.BddComercial)
    throw DbError(QStringLiteral("La base de datos de la tienda no está abierta."),
                  empresa.RutaComercial);
  std::optional<double> coste;
  if (empresa.Conf.ComprasActualizaPC == 1 && compra.bruto != 0) coste = compra.bruto;
  if (empresa.Conf.ComprasActualizaPC == 2 && compra.neto != 0) coste = compra.neto;
  const int m = empresa.Conf.ComprasActualizaPCM;
  const bool mantieneMedio = !modo.isEmpty() ||
                             (compra.bruto * compra.cantidad < 0 &&
                              DimeConfiguracion(empresa, QStringLiteral("COMPRAS_ABONO_NO_PCM"))) ||
                             (m != 0 && m != 1);
  const double precio = m == 0 ? compra.bruto : compra.neto;

  Sentencia s;
  const auto nuevoCoste = [&] {
    if (coste)
      s << Valor(*coste);
    else
      s << "COALESCE(COSTE, 0.0)";
  };
  const auto nuevoMedio = [&] {
    if (mantieneMedio)
      s << "COALESCE(COSTEMEDIO, 0.0)";
    else
      CosteMedioEnSentencia(s, codigo, compra.cantidad, precio);
  };
  s << "UPDATE ARTICULOS SET COSTE = ";
  nuevoCoste();
  s << ", COSTEMEDIO = ";
  nuevoMedio();
  if ((coste || !mantieneMedio) &&
      !DimeConfiguracion(empresa,
                         QStringLiteral("COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO"))) {
    s << ", ULTIMA_MODIFICACION = CASE WHEN ";
    if (coste) s << "COALESCE(COSTE, 0.0) <> " << Valor(*coste);
    if (coste && !mantieneMedio) s << " OR ";
    if (!mantieneMedio) {
      s << "COALESCE(COSTEMEDIO, 0.0) <> ";
      nuevoMedio();
    }
    s << " THEN " << Valor(empresa.Hoy()) << " ELSE ULTIMA_MODIFICACION END";
  }
  s << " WHERE CODIGO = " << Valor(codigo.trimmed());
  Database& bdd = *empresa.BddComercial;
  CambioEjecutado cambio(bdd, QStringLiteral("ARTICULOS"), {QStringLiteral("CODIGO")},
                         {Valor(codigo.trimmed())},
                         {QStringLiteral("COSTE"), QStringLiteral("COSTEMEDIO"),
                          QStringLiteral("ULTIMA_MODIFICACION")});
  bdd.Ejecuta(s.Sql(), s.Valores());
  cambio.Anota();
}

}  // namespace relvano::store
