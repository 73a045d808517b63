#include "imports/precios_coste.h"

#include "base/conversion.h"
#include "imports/cadena.h"

namespace relvano::imports {
namespace {
constexpr QLatin1String kCrLf("\r\n");
}  // namespace

const std::vector<int>& AnchosPrecioCoste() {
  static const std::vector<int> anchos{3, 1, 7, chainfile::kLibre, 6, 1, 15, 1, 1, 8, 8};
  return anchos;
}

chainfile::ResultadoLectura ImportaPreciosCoste(const QString& ruta, ContextoImportacion& ctx) {
  const std::vector<chainfile::TipoDetalle> tipos{
      {QStringLiteral("DET"), QStringLiteral("PRECIO"), AnchosPrecioCoste(), 3}};
  const LecturaArticulo articulos(ctx.bdd,
                                  {QStringLiteral("COSTE"), QStringLiteral("ULTIMA_MODIFICACION")});
  return ImportaCatalogo(
      ruta, tipos,
      [&](int, const chainfile::Registro& det, const chainfile::Registro& ide, int) {
        ActualizaPrecioCoste(det, ide, articulos, ctx);
      },
      ctx);
}

void ActualizaUltimaModificacion(store::Recordset& rs, QDate fecha) {
  const QString columna = QStringLiteral("ULTIMA_MODIFICACION");
  const Valor actual = rs[columna];
  if (ValorTexto(actual).isEmpty() || !actual.EsFecha() || actual.Fecha() < fecha)
    rs.Asigna(columna, Valor(fecha));
}

void ActualizaPrecioCoste(const chainfile::Registro& det, const chainfile::Registro& ide,
                          const LecturaArticulo& articulos, ContextoImportacion& ctx) {
  const QString articulo = det.Texto(3);
  const QString accion = det.Campo(2);

  store::Recordset rsArticulo;
  if (!articulos.Abre(rsArticulo, articulo)) {
    ctx.log.Escribe(QStringLiteral("ARTICULO NO ENCONTRADO - Artículo: ") + articulo);
    ++ctx.recuento.rechazadas;
    return;
  }
  if (accion == QLatin1String("B")) {
    ctx.log.Escribe(QStringLiteral("BAJA PRECIO COSTE NO REALIZADA Artículo: ") + articulo);
    ++ctx.recuento.rechazadas;
    return;
  }
  if (accion != QLatin1String("A") && accion != QLatin1String("M")) return;

  // Checked before the warning, so that a line that cannot be applied shows none.
  const QDate fechaFichero = FechaCabecera(ide);

  const QString costeValStk = det.Campo(10);
  const QString costeMarg = det.Campo(11);
  if (costeValStk != costeMarg) {
    ctx.operador.Mensaje(QStringLiteral("Hay diferencia de precios en el fichero: ") + kCrLf +
                             kCrLf + QStringLiteral("Artículo: ") + articulo + kCrLf + kCrLf +
                             QStringLiteral("CosteValStk = ") + costeValStk + kCrLf + kCrLf +
                             QStringLiteral("CosteMarg = ") + costeMarg,
                         Operador::Icono::Informacion);
  }
  const double coste = NumeroPuntoDec(costeValStk);

  rsArticulo.EditarRegistro();
  rsArticulo.Asigna(QStringLiteral("COSTE"), Valor(coste));
  ActualizaUltimaModificacion(rsArticulo, fechaFichero);
  rsArticulo.GrabarRegistro();
  ctx.log.Escribe(QStringLiteral("CAMBIO PRECIO COSTE REALIZADO - Artículo: ") + articulo);
  ++ctx.recuento.modificaciones;

  auto rsProv = ctx.bdd.AbrirRecordset(
      QStringLiteral("SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND IDARTICULO = ?"),
      {Valor(cadena::kProveedor), Valor(articulo)});
  if (rsProv.HayRegistros()) {
    rsProv.EditarRegistro();
  } else {
    rsProv.NuevoRegistro();
    rsProv.Asigna(QStringLiteral("DEFECTO_PROV"), Valor(true));
  }
  rsProv.Asigna(QStringLiteral("IDPROVEEDOR"), Valor(cadena::kProveedor));
  rsProv.Asigna(QStringLiteral("IDARTICULO"), Valor(articulo));
  rsProv.Asigna(QStringLiteral("REF_PROV"), Valor(articulo));
  rsProv.Asigna(QStringLiteral("DESC_PROV"), Valor(QStringLiteral("")));
  rsProv.Asigna(QStringLiteral("ES_DESC_IGUAL"), Valor(true));
  rsProv.Asigna(QStringLiteral("COSTE"), Valor(coste));
  rsProv.Asigna(QStringLiteral("FECHA_INI"), Valor(fechaFichero));
  rsProv.GrabarRegistro();
}

}  // namespace relvano::imports
