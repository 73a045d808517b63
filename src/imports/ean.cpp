#include "imports/ean.h"

#include "store/db/recordset.h"

namespace relvano::imports {

const std::vector<int>& AnchosEan() {
  static const std::vector<int> anchos{3, 1, 15, 7, 1, 5};
  return anchos;
}

chainfile::ResultadoLectura ImportaEan(const QString& ruta, ContextoImportacion& ctx) {
  const std::vector<chainfile::TipoDetalle> tipos{
      {QStringLiteral("DET"), QStringLiteral("EAN"), AnchosEan(), 4}};
  return ImportaCatalogo(
      ruta, tipos,
      [&](int, const chainfile::Registro& det, const chainfile::Registro&, int) {
        ActualizaEan(det, ctx);
      },
      ctx);
}

void ActualizaEan(const chainfile::Registro& det, ContextoImportacion& ctx) {
  const QString articulo = det.Texto(4);
  const QString ean = det.Texto(3);
  const QString accion = det.Campo(2);
  const QString sufijo = QStringLiteral("Artículo: ") + articulo + QStringLiteral(" Ean: ") + ean;

  // Only whether the article exists matters here: one column, not the whole row.
  if (ctx.bdd.Escalar(QStringLiteral("SELECT 1 FROM ARTICULOS WHERE CODIGO = ?"), {Valor(articulo)})
          .EsNull()) {
    ctx.log.Escribe(QStringLiteral("ARTICULO NO ENCONTRADO - ") + sufijo);
    ++ctx.recuento.rechazadas;
    return;
  }

  if (accion == QLatin1String("B")) {
    ctx.log.Escribe(QStringLiteral("BAJA EAN NO REALIZADA ") + sufijo);
    ++ctx.recuento.rechazadas;
    return;
  }
  if (accion == QLatin1String("S")) {
    ctx.operador.Mensaje(QStringLiteral("Tipo de actualización EAN (S) no definido."),
                         Operador::Icono::Stop);
    ctx.log.Escribe(QStringLiteral("No se ha definido del tipo S para el artículo ") + articulo);
    ++ctx.recuento.rechazadas;
    return;
  }
  if (accion != QLatin1String("A") && accion != QLatin1String("M")) return;

  auto rs = ctx.bdd.AbrirRecordset(
      QStringLiteral("SELECT * FROM ARTICULOS_EAN WHERE IDARTICULO = ? AND EAN = ?"),
      {Valor(articulo), Valor(ean)});
  if (rs.HayRegistros()) {
    ctx.log.Escribe((accion == QLatin1String("A")
                         ? QStringLiteral("ALTA EAN NO REALIZADA")
                         : QStringLiteral("MODIFICACION EAN NO REALIZADA")) +
                    QStringLiteral(" - YA EXISTE EAN - ") + sufijo);
    ++ctx.recuento.rechazadas;
    return;
  }

  if (det.Campo(5) != QLatin1String("R")) {
    ctx.log.Escribe(QStringLiteral("ALTA EAN NO REALIZADA - Tipo Ean: ") + det.Campo(5) +
                    QLatin1Char(' ') + sufijo);
    ++ctx.recuento.rechazadas;
    return;
  }

  rs.NuevoRegistro();
  rs.Asigna(QStringLiteral("IDARTICULO"), Valor(articulo));
  rs.Asigna(QStringLiteral("EAN"), Valor(ean));
  rs.GrabarRegistro();
  ctx.log.Escribe(QStringLiteral("ALTA EAN ") + sufijo);
  ++ctx.recuento.altas;
}

}  // namespace relvano::imports
