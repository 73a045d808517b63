#include "imports/clases.h"

#include "imports/articulos.h"
#include "imports/ean.h"
#include "imports/facturas.h"
#include "imports/ofertas.h"
#include "imports/precios_coste.h"
#include "imports/precios_venta.h"

namespace relvano::imports {
namespace {

template <chainfile::ResultadoLectura (*Importa)(const QString&, ContextoImportacion&)>
ResultadoClase Catalogo(const QString& ruta, store::Empresa&, ContextoImportacion& ctx) {
  return {Importa(ruta, ctx), false};
}

ResultadoClase Facturas(const QString& ruta, store::Empresa& empresa, ContextoImportacion& ctx) {
  const ResultadoFactura r = ImportaFacturas(ruta, empresa, ctx);
  return {r.lectura, !r.facturaCreada};
}

int Campos(const std::vector<int>& anchos) { return static_cast<int>(anchos.size()); }

const std::array<ClaseFichero, 6> kClases = {{
    {OpcionImportacion::Referencias,
     "articulos",
     "Variaciones de referencias",
     "ARTICULOS.LOG",
     "vrcrefcto",
     &Catalogo<&ImportaReferencias>,
     {{"DET", Campos(AnchosArticulo())}},
     true},
    {OpcionImportacion::Ean,
     "ean",
     "Variaciones de EANs",
     "EAN.LOG",
     "vrceancto",
     &Catalogo<&ImportaEan>,
     {{"DET", Campos(AnchosEan())}},
     false},
    {OpcionImportacion::PreciosCoste,
     "preciocoste",
     "Variaciones de Precios de Coste",
     "PRECIOCOSTE.LOG",
     "vrcmllcto",
     &Catalogo<&ImportaPreciosCoste>,
     {{"DET", Campos(AnchosPrecioCoste())}},
     true},
    {OpcionImportacion::PreciosVenta,
     "precioventa",
     "Variaciones de Precios de Venta",
     "PRECIOVENTA.LOG",
     "vrcprccto",
     &Catalogo<&ImportaPreciosVenta>,
     {{"DET", Campos(AnchosPrecioVenta())}},
     true},
    {OpcionImportacion::Ofertas,
     "ofertas",
     "Variaciones de oferta (compra/venta)",
     "OFERTAS.LOG",
     "vrcofecto",
     &Catalogo<&ImportaOfertas>,
     {{"COM", Campos(AnchosOfertaCompra())}, {"VTA", Campos(AnchosOfertaVenta())}},
     false},
    {OpcionImportacion::Facturas,
     "facturas",
     "Facturas de compra",
     "FACTURAS.LOG",
     "envfradis",
     &Facturas,
     {{"CAB", CabeceraFactura().NumCampos()}},
     false},
}};

}  // namespace

const std::array<ClaseFichero, 6>& ClasesFichero() { return kClases; }

const ClaseFichero& Clase(OpcionImportacion opcion) { return kClases[static_cast<size_t>(opcion)]; }

std::optional<OpcionImportacion> ClasePorNombre(const QString& texto) {
  const QString nombre = texto.trimmed().toLower();
  for (const ClaseFichero& c : kClases) {
    if (nombre == QLatin1String(c.nombre) || nombre == QString::number(static_cast<int>(c.opcion)))
      return c.opcion;
  }
  return std::nullopt;
}

}  // namespace relvano::imports
