#include "imports/ofertas.h"

#include "base/conversion.h"
#include "base/regional.h"
#include "imports/cadena.h"
#include "store/db/recordset.h"

namespace relvano::imports {
namespace {

constexpr QLatin1String kCrLf("\r\n");

struct Oferta {
  QString articulo;
  QDate inicio;
  QDate fin;
};

Oferta LeeOferta(const chainfile::Registro& r) {
  return {r.Texto(5), FechaCampo(r.Texto(6), QStringLiteral("el primer día de la oferta")),
          FechaCampo(r.Texto(7), QStringLiteral("el último día de la oferta"))};
}

// The new row's values, then the log line read back from it, then the row stored.
void GrabaOferta(store::Recordset& rs, const Oferta& o, double precio, const QString& etiqueta,
                 ContextoImportacion& ctx) {
  rs.Asigna(QStringLiteral("COD_ART"), Valor(o.articulo));
  rs.Asigna(QStringLiteral("UNI_LOTE"), Valor(1));
  rs.Asigna(QStringLiteral("DTO"), Valor(0));
  rs.Asigna(QStringLiteral("PRECIO_NETO"), Valor(precio));
  rs.Asigna(QStringLiteral("FECHA_INI"), Valor(o.inicio));
  rs.Asigna(QStringLiteral("FECHA_FIN"), Valor(o.fin));
  ctx.log.Escribe(etiqueta + QStringLiteral(": Artículo ") + o.articulo + QStringLiteral(" - ") +
                  ValorTexto(rs[QStringLiteral("FECHA_INI")]) + QStringLiteral(" hasta ") +
                  ValorTexto(rs[QStringLiteral("FECHA_FIN")]) + QStringLiteral(" a ") +
                  regional::TextoNumero(ValorNumerico(rs[QStringLiteral("PRECIO_NETO")])));
  rs.GrabarRegistro();
  ++ctx.recuento.altas;
}

// Where one kind of offer lives and whether it is the supplier's (purchase offers,
// supplier "1"). `existe` tells whether an article already has an offer for the same
// days; `columnas` is the same condition, for the new row's columns. A stored date may
// carry a time of day: each day is matched as the range [day, next day), which every
// engine compares as dates and which still uses an index on the column.
struct TablaOfertas {
  TablaOfertas(const QString& tabla, bool proveedor) : deProveedor(proveedor) {
    const QString donde = QStringLiteral(" FROM ") + tabla + QStringLiteral(" WHERE ") +
                          (proveedor ? QStringLiteral("IDPROVEEDOR = ? AND ") : QString()) +
                          QStringLiteral(
                              "COD_ART = ? AND FECHA_INI >= ? AND FECHA_INI < ? "
                              "AND FECHA_FIN >= ? AND FECHA_FIN < ?");
    existe = QStringLiteral("SELECT 1") + donde;
    columnas = QStringLiteral("SELECT *") + donde;
  }
  QString existe;
  QString columnas;
  bool deProveedor;
};

// Adds the offer of `r` (its price in field `campoPrecio`) unless the article already
// has one for the same days; logs either case. Only whether such a row exists is
// asked: a query of every column costs the driver a description of each one per run.
void AltaOferta(const TablaOfertas& tabla, const QString& etiqueta, const chainfile::Registro& r,
                int campoPrecio, ContextoImportacion& ctx) {
  const Oferta o = LeeOferta(r);
  std::vector<Valor> clave{Valor(o.articulo), Valor(o.inicio), Valor(o.inicio.addDays(1)),
                           Valor(o.fin), Valor(o.fin.addDays(1))};
  if (tabla.deProveedor) clave.insert(clave.begin(), Valor(cadena::kProveedor));
  if (!ctx.bdd.Escalar(tabla.existe, clave).EsNull()) {
    ctx.log.Escribe(etiqueta + QStringLiteral(" NO REALIZADA: El artículo ") + o.articulo +
                    QStringLiteral(" ya está en oferta.") + kCrLf);
    ++ctx.recuento.rechazadas;
    return;
  }
  auto rs = ctx.bdd.AbrirRecordsetVacio(tabla.columnas, clave);
  rs.NuevoRegistro();
  if (tabla.deProveedor) rs.Asigna(QStringLiteral("IDPROVEEDOR"), Valor(cadena::kProveedor));
  GrabaOferta(rs, o, NumeroPuntoDec(r.Campo(campoPrecio)), etiqueta, ctx);
}

}  // namespace

const std::vector<int>& AnchosOfertaCompra() {
  static const std::vector<int> anchos{3, 10, 50, 1, 7, chainfile::kLibre, chainfile::kLibre, 8};
  return anchos;
}

const std::vector<int>& AnchosOfertaVenta() {
  static const std::vector<int> anchos{3, 10, 50, 1, 7, chainfile::kLibre, chainfile::kLibre, 7, 7};
  return anchos;
}

chainfile::ResultadoLectura ImportaOfertas(const QString& ruta, ContextoImportacion& ctx) {
  const std::vector<chainfile::TipoDetalle> tipos{
      {QStringLiteral("COM"), QStringLiteral("OFERTA COMPRA"), AnchosOfertaCompra(), 5},
      {QStringLiteral("VTA"), QStringLiteral("OFERTA VENTA"), AnchosOfertaVenta(), 5}};
  return ImportaCatalogo(
      ruta, tipos,
      [&](int indice, const chainfile::Registro& det, const chainfile::Registro& ide, int) {
        if (indice == 0) {
          AltaOfertaCompra(det, ide, ctx);
        } else {
          AltaOfertaVenta(det, ide, ctx);
        }
      },
      ctx);
}

void AltaOfertaCompra(const chainfile::Registro& com, const chainfile::Registro&,
                      ContextoImportacion& ctx) {
  static const TablaOfertas compra(QStringLiteral("PROM_ART_COMPRA"), true);
  AltaOferta(compra, QStringLiteral("ALTA OFERTA COMPRA"), com, 8, ctx);
}

void AltaOfertaVenta(const chainfile::Registro& vta, const chainfile::Registro&,
                     ContextoImportacion& ctx) {
  static const TablaOfertas venta(QStringLiteral("PROM_ART_VENTA"), false);
  AltaOferta(venta, QStringLiteral("ALTA OFERTA VENTA"), vta, 9, ctx);
}

}  // namespace relvano::imports
