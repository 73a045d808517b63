#pragma once

#include <QString>

#include "chainfile/bucle_lectura.h"
#include "chainfile/registro.h"
#include "imports/contexto.h"

namespace relvano::imports {

// Widths of the purchase offer (COM) and sale offer (VTA) records. Field 5 is the
// article, 6 and 7 the first and last day; 8 the net cost (COM), 9 the price (VTA).
const std::vector<int>& AnchosOfertaCompra();
const std::vector<int>& AnchosOfertaVenta();

// ImportaOfertas: reads an offer chain file ("COM" lines, log word "OFERTA COMPRA";
// "VTA" lines, "OFERTA VENTA") and adds each offer not yet present. Throws
// chainfile::ErrorEnLinea.
chainfile::ResultadoLectura ImportaOfertas(const QString& ruta, ContextoImportacion& ctx);

// AltaOfertaCompra: adds a PROM_ART_COMPRA row (supplier "1") unless one with the
// same article, first and last day is present, and logs either case. Throws
// ErrorDatos when a day is not a real date (nothing is stored), DbError on the database.
void AltaOfertaCompra(const chainfile::Registro& com, const chainfile::Registro& ide,
                      ContextoImportacion& ctx);

// AltaOfertaVenta: the same for PROM_ART_VENTA, without supplier.
void AltaOfertaVenta(const chainfile::Registro& vta, const chainfile::Registro& ide,
                     ContextoImportacion& ctx);

}  // namespace relvano::imports
