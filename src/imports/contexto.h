#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "base/operador.h"
#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "chainfile/conversion.h"
#include "chainfile/registro.h"
#include "imports/unidad_trabajo.h"
#include "store/db/database.h"
#include "store/db/recordset.h"

namespace relvano::imports {

// How many of the log's lines of each outcome a run wrote (the run history keeps them).
struct Recuento {
  int altas = 0;           // rows added
  int modificaciones = 0;  // rows changed
  int bajas = 0;           // rows removed
  int rechazadas = 0;      // lines not applied ("NO REALIZADA", "NO ENCONTRADO", refused)
};

// What one catalogue import run works with. Built by the import run for one file.
struct ContextoImportacion {
  store::Database& bdd;  // the company's store database (BddTienda)
  QDate hoy;             // "today" for the dates the imports stamp
  RunLog& log;           // the open run log
  Operador& operador;    // commits what is applied before each message
  UnidadTrabajo& unidad;
  Progreso* progreso = nullptr;
  QString carpetaLogs;             // folder of the removals log
  QString nombreFicheroImportado;  // the chain file's name without folder
  bool noActualizarBajas = false;  // "No actualizar las bajas"
  Recuento recuento;               // counted where the log lines are written
  // The store holds this file's delivery note, with the file's lines and without its
  // invoice (an earlier run ended before the invoice): the invoice import goes straight
  // to the totals check and the invoice instead of booking the note again.
  bool reanudaFactura = false;
  // Called with the delivery note's number once the invoice import has stored it.
  std::function<void(const QString& numero)> albaranGrabado;
};

// The chain's rules for its values, which every import reads its lines with.
using chainfile::ErrorDatos;
using chainfile::FechaCabecera;
using chainfile::FechaCampo;
using chainfile::NumeroPuntoDec;

// The read loop of a catalogue import with every detail line applied as one unit of
// work. A line whose article code (TipoDetalle::campoArticulo) is empty is not applied:
// one log line says so and the run goes on. Throws chainfile::ErrorEnLinea when the file cannot be
// read or a line fails; that line has then left nothing in the database.
chainfile::ResultadoLectura ImportaCatalogo(const QString& ruta,
                                            const std::vector<chainfile::TipoDetalle>& tipos,
                                            const chainfile::AplicaDetalle& aplica,
                                            ContextoImportacion& ctx);

// ExisteArticulo for an import that reads and edits only `columnas` of the article: Abre
// opens the ARTICULOS row of `codigo` (trimmed) into `rs` with those columns and the
// table's key, and answers whether it exists. A SELECT * of the article costs most of a
// price line, converting every column of the row. A table without a key falls back to
// the whole row, which it then edits by row identity. The statement is written once, for
// every line of a run. Throws DbError.
class LecturaArticulo {
 public:
  LecturaArticulo(store::Database& bdd, const QStringList& columnas);
  bool Abre(store::Recordset& rs, const QString& codigo) const;

 private:
  store::Database* bdd_;
  QString sql_;  // "" without a key: the whole row
};

}  // namespace relvano::imports
