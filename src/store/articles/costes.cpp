#include "store/articles/costes.h"

#include <array>

#include "base/conversion.h"
#include "store/config/conf_programa.h"

namespace relvano::store {
namespace {

// The read of an article's latest delivered purchase line (UltimaCompraArticulo).
QString TextoUltimaCompra(Database& bdd, const ColumnasLinCompras& col, bool posterior) {
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
  if (posterior) sql += QStringLiteral(" AND FECHA_REAL > ?");
  return bdd.Limita(sql + QStringLiteral(" ORDER BY FECHA_REAL DESC, ID DESC"), 1);
}

}  // namespace

const ColumnasLinCompras& CacheColumnasCompras::De(Database& bdd) {
  if (bdd_.lock().get() != &bdd) {
    const QString tabla = QStringLiteral("LIN_COMPRAS");
    columnas_.PrecioSivaNeto = bdd.ExisteCampoTabla(tabla, QStringLiteral("PRECIO_SIVA_NETO"));
    columnas_.Dto2 = bdd.ExisteCampoTabla(tabla, QStringLiteral("DTO2_ART"));
    columnas_.Dto3 = bdd.ExisteCampoTabla(tabla, QStringLiteral("DTO3_ART"));
    columnas_.DtoFijo = bdd.ExisteCampoTabla(tabla, QStringLiteral("DTO_FIJO"));
    columnas_.ultimaCompra = TextoUltimaCompra(bdd, columnas_, false);
    columnas_.ultimaCompraPosterior = TextoUltimaCompra(bdd, columnas_, true);
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
  std::vector<Valor> parametros{Valor(codigo)};
  if (posteriorA.isValid()) parametros.emplace_back(posteriorA);
  Recordset rs = bdd.AbrirRecordset(
      posteriorA.isValid() ? col.ultimaCompraPosterior : col.ultimaCompra, parametros);
  if (!rs.HayRegistros()) return std::nullopt;
  return PreciosCompra(col, [&rs](const QString& columna) { return rs[columna]; });
}

namespace {

// Writes an UPDATE's text and its values in step, so that each value lands on its own "?".
// Without its text only the values are gathered: each form of a statement that runs line
// after line is written once (TextoCompra), and the same text lets the connection find its
// prepared statement without reading it again.
class TextoSql {
 public:
  explicit TextoSql(bool conTexto) : conTexto_(conTexto) {}
  bool ConTexto() const { return conTexto_; }
  TextoSql& operator<<(const QString& texto) {
    if (conTexto_) sql_ += texto;
    return *this;
  }
  TextoSql& operator<<(const char* texto) {
    if (conTexto_) sql_ += QLatin1String(texto);
    return *this;
  }
  TextoSql& operator<<(const Valor& valor) {
    if (conTexto_) sql_ += u'?';
    valores_.push_back(valor);
    return *this;
  }
  const QString& Sql() const { return sql_; }
  const std::vector<Valor>& Valores() const { return valores_; }

 private:
  bool conTexto_;
  QString sql_;
  std::vector<Valor> valores_;
};

// The article's new costs as the row (COSTE, COSTEMEDIO[, ULTIMA_MODIFICACION]) that the
// UPDATE of the article assigns, computed from the row it changes: S the stock of every
// warehouse once `cantidad` is added to the main one, q the quantity of the purchase the
// costs follow, valued at `precio`. The rule AplicaCompraArticulo states. Each value is
// bound once, as a column of the one-row table T (the cast gives it its type on every
// engine); N holds the new costs, so that the date compares them without computing them
// again.
void CostesEnSentencia(TextoSql& s, const QString& codigo, double cantidad, double q, double precio,
                       std::optional<double> coste, bool mantieneMedio, std::optional<QDate> hoy) {
  s << (hoy ? "(COSTE, COSTEMEDIO, ULTIMA_MODIFICACION) = (SELECT N.COSTE, N.MEDIO, CASE WHEN "
              "N.COSTE <> COALESCE(ARTICULOS.COSTE, 0.0) OR N.MEDIO <> "
              "COALESCE(ARTICULOS.COSTEMEDIO, 0.0) THEN "
            : "(COSTE, COSTEMEDIO) = (SELECT N.COSTE, N.MEDIO");
  if (hoy) s << Valor(*hoy) << " ELSE ARTICULOS.ULTIMA_MODIFICACION END";
  if (s.ConTexto()) {
    const char* stock = "(COALESCE(ARTICULOS.STOCKACTUAL, 0.0) + T.CANTIDAD + T.OTROS)";
    // (cm × (S − q) when S − q > 0, else 0) + price × q
    const QString valor =
        QStringLiteral(
            "(CASE WHEN %1 - T.Q > 0 THEN COALESCE(ARTICULOS.COSTEMEDIO, 0.0) * (%1 - T.Q) ELSE "
            "0.0 END + T.PQ)")
            .arg(QLatin1String(stock));
    // Nested, so that no engine divides by a stock of 0.
    const QString medio = mantieneMedio
                              ? QStringLiteral("COALESCE(ARTICULOS.COSTEMEDIO, 0.0)")
                              : QStringLiteral(
                                    "CASE WHEN %1 > 0 THEN CASE WHEN %2 / %1 <> 0 THEN %2 / %1 "
                                    "ELSE T.PRECIO END ELSE T.PRECIO END")
                                    .arg(QLatin1String(stock), valor);
    s << QStringLiteral(
             " FROM (SELECT %1 AS COSTE, %2 AS MEDIO FROM (SELECT COALESCE(SUM("
             "STOCKACTUAL), 0.0) AS OTROS")
             .arg(coste ? QStringLiteral("T.COSTE")
                        : QStringLiteral("COALESCE(ARTICULOS.COSTE, 0.0)"),
                  medio);
  }
  const auto columna = [&s](double v, const char* nombre) {
    s << ", CAST(" << Valor(v) << " AS DOUBLE PRECISION) AS " << nombre;
  };
  if (coste) columna(*coste, "COSTE");
  if (!mantieneMedio) {
    columna(cantidad, "CANTIDAD");
    columna(q, "Q");
    columna(precio * q, "PQ");
    columna(precio, "PRECIO");
  }
  s << " FROM ARTICULOS_STOCK WHERE CODIGO_ART = " << Valor(codigo) << ") T) N)";
}

// The whole UPDATE of the article for a purchase line (see AplicaCompraArticulo).
void SentenciaCompra(TextoSql& s, const QString& codigo, const CompraEnArticulo& linea,
                     double cantidad, double precio, std::optional<double> coste,
                     bool mantieneMedio, std::optional<QDate> hoy) {
  s << "UPDATE ARTICULOS SET STOCKACTUAL = COALESCE(STOCKACTUAL, 0.0) + " << Valor(linea.cantidad)
    << ", ";
  CostesEnSentencia(s, codigo, linea.cantidad, cantidad, precio, coste, mantieneMedio, hoy);
  if (linea.fecha.isValid()) s << ", ULTIMA_COMPRA = " << Valor(linea.fecha);
  s << " WHERE CODIGO = " << Valor(codigo.trimmed());
}

// What tells the forms of the statement apart: the text of each is the same on every line.
int FormaCompra(const CompraEnArticulo& linea, std::optional<double> coste, bool mantieneMedio,
                std::optional<QDate> hoy) {
  return (hoy ? 1 : 0) | (coste ? 2 : 0) | (mantieneMedio ? 4 : 0) |
         (linea.fecha.isValid() ? 8 : 0);
}

// The text of each form, written once (constants: no value of a line is in them).
const QString& TextoCompra(int forma) {
  static const std::array<QString, 16> textos = [] {
    std::array<QString, 16> t;
    const QDate dia(2000, 1, 1);
    for (int f = 0; f < 16; ++f) {
      TextoSql s(true);
      const CompraEnArticulo linea{0, (f & 8) ? dia : QDate()};
      SentenciaCompra(s, QString(), linea, 0, 0, (f & 2) ? std::optional<double>(0) : std::nullopt,
                      (f & 4) != 0, (f & 1) ? std::optional<QDate>(dia) : std::nullopt);
      t[static_cast<size_t>(f)] = s.Sql();
    }
    return t;
  }();
  return textos[static_cast<size_t>(forma)];
}

// The article's costs and dates as the change record names them, with and without the
// purchase's date.
const LecturaCambio& CostesArticulo(bool conFecha) {
  static const QStringList costes{QStringLiteral("COSTE"), QStringLiteral("COSTEMEDIO"),
                                  QStringLiteral("ULTIMA_MODIFICACION")};
  static const LecturaCambio sin(QStringLiteral("ARTICULOS"), {QStringLiteral("CODIGO")}, costes);
  static const LecturaCambio con(QStringLiteral("ARTICULOS"), {QStringLiteral("CODIGO")},
                                 costes + QStringList{QStringLiteral("ULTIMA_COMPRA")});
  return conFecha ? con : sin;
}

}  // namespace

bool AplicaCompraArticulo(Empresa& empresa, const QString& modo, const QString& codigo,
                          const CompraEnArticulo& linea, const CompraArticulo& compra) {
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
  std::optional<QDate> hoy;
  if (!DimeConfiguracion(empresa,
                         QStringLiteral("COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO")))
    hoy = empresa.Hoy();

  TextoSql s(false);
  SentenciaCompra(s, codigo, linea, compra.cantidad, m == 0 ? compra.bruto : compra.neto, coste,
                  mantieneMedio, hoy);
  const QString& sql = TextoCompra(FormaCompra(linea, coste, mantieneMedio, hoy));
  Q_ASSERT(sql.count(u'?') == static_cast<qsizetype>(s.Valores().size()));
  Database& bdd = *empresa.BddComercial;
  CambioEjecutado cambio(bdd, CostesArticulo(linea.fecha.isValid()), {Valor(codigo.trimmed())});
  if (cambio.Ejecuta(sql, s.Valores()) == 0) return false;
  cambio.AnotaSuma(QStringLiteral("STOCKACTUAL"), linea.cantidad);
  cambio.Anota();
  return true;
}

}  // namespace relvano::store
