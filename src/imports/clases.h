#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "chainfile/bucle_lectura.h"
#include "imports/contexto.h"
#include "store/empresa.h"

namespace relvano::imports {

// The six kinds of chain file, in the order of the main window's option buttons (the
// option number is the position).
enum class OpcionImportacion {
  Referencias = 0,
  Ean,
  PreciosCoste,
  PreciosVenta,
  Ofertas,
  Facturas
};

// How an import of one kind ended when it read its file.
struct ResultadoClase {
  chainfile::ResultadoLectura lectura;
  bool facturaNoCreada = false;  // an invoice file ended without its invoice created
};

// Imports one file of the kind into the store database of `empresa` (the handle of
// `ctx`). Throws chainfile::ErrorEnLinea as the kind's import does.
using ImportaClase = ResultadoClase (*)(const QString& ruta, store::Empresa& empresa,
                                        ContextoImportacion& ctx);

// The shape of a detail line a kind reads: its record type and its exact number of
// fields (each field is followed by "|", so the count of "|" on the line).
struct FormaDetalle {
  const char* tipo;  // "DET", "COM", "VTA", "CAB"
  int campos;
};

// One kind of chain file: everything the program says or does differently by kind.
// The window, the command line, the demo and the scripts all read this table.
struct ClaseFichero {
  OpcionImportacion opcion;
  const char* nombre;   // on the command line: "articulos"
  const char* titulo;   // the option button's caption: "Variaciones de referencias"
  const char* log;      // the run log's name: "ARTICULOS.LOG"
  const char* prefijo;  // the chain's file names begin with it: "vrcrefcto"
  ImportaClase importa;
  // The first detail line of a file of this kind has one of these shapes (taken from
  // the record layouts the import itself reads).
  std::vector<FormaDetalle> formas;
  // The kind changes rows that exist: a file dated before the last one applied would put
  // older data over newer.
  bool cambiaExistentes = false;
};

// The six kinds, by option number.
const std::array<ClaseFichero, 6>& ClasesFichero();
const ClaseFichero& Clase(OpcionImportacion opcion);

// The kind named on the command line: its name (any case, blanks around) or its option
// number; nullopt for anything else.
std::optional<OpcionImportacion> ClasePorNombre(const QString& texto);

}  // namespace relvano::imports
