#include "imports/precios_venta.h"

#include "base/conversion.h"
#include "base/regional.h"
#include "imports/precios_coste.h"

namespace relvano::imports {

const std::vector<int>& AnchosPrecioVenta() {
  static const std::vector<int> anchos{3, 7, 10, 7, 7};
  return anchos;
}

chainfile::ResultadoLectura ImportaPreciosVenta(const QString& ruta, ContextoImportacion& ctx) {
  const std::vector<chainfile::TipoDetalle> tipos{
      {QStringLiteral("DET"), QStringLiteral("PRECIO"), AnchosPrecioVenta(), 2}};
  const LecturaArticulo articulos(ctx.bdd,
                                  {QStringLiteral("VENTA"), QStringLiteral("ULTIMA_MODIFICACION")});
  return ImportaCatalogo(
      ruta, tipos,
      [&](int, const chainfile::Registro& det, const chainfile::Registro& ide, int) {
        ActualizaPrecioVenta(det, ide, articulos, ctx);
      },
      ctx);
}

void ActualizaPrecioVenta(const chainfile::Registro& det, const chainfile::Registro& ide,
                          const LecturaArticulo& articulos, ContextoImportacion& ctx) {
  const QString articulo = det.Texto(2);
  store::Recordset rs;
  if (!articulos.Abre(rs, articulo)) {
    ctx.log.Escribe(QStringLiteral("ARTICULO NO ENCONTRADO - Artículo: ") + articulo);
    ctx.log.Escribe(QString());
    ++ctx.recuento.rechazadas;
    return;
  }

  const double actual = ValorNumerico(rs[QStringLiteral("VENTA")]);
  const double recomendado = NumeroPuntoDec(det.Campo(5));
  if (actual != 0) {
    ctx.log.Escribe(QStringLiteral("CAMBIO PRECIO VENTA NO REALIZADO - Artículo: ") + articulo);
    ctx.log.Escribe(QStringLiteral("PVP Actual       : ") + regional::TextoNumero(actual));
    ctx.log.Escribe(QStringLiteral("PVP Recomendado  : ") + regional::TextoNumero(recomendado));
    ++ctx.recuento.rechazadas;
  } else {
    const QDate fechaFichero = FechaCabecera(ide);
    rs.EditarRegistro();
    rs.Asigna(QStringLiteral("VENTA"), Valor(recomendado));
    ActualizaUltimaModificacion(rs, fechaFichero);
    rs.GrabarRegistro();
    ctx.log.Escribe(QStringLiteral("CAMBIO REALIZADO - Artículo: ") + articulo);
    ++ctx.recuento.modificaciones;
    ctx.log.Escribe(QStringLiteral("PVP Anterior: ") + regional::TextoNumero(actual));
    ctx.log.Escribe(QStringLiteral("PVP Actual  : ") + regional::TextoNumero(recomendado));
  }
  ctx.log.Escribe(QString());
}

}  // namespace relvano::imports
