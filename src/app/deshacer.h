#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/historial.h"
#include "base/operador.h"
#include "store/empresa.h"

namespace relvano {

struct OpcionesDeshacer {
  qint64 id = 0;         // the run to undo, as the history numbers it
  bool simular = false;  // do it all, write the log, then leave the store as it was
  // Put back also the rows changed since the run (and complete an undo done in part).
  bool forzar = false;
  QString carpetaLogs;           // where DESHACER_<log> (SIMULACION_DESHACER_<log>) is written
  UbicacionHistorial historial;  // the installation's history
};

struct ResultadoDeshacer {
  enum class Estado {
    Completa,   // every change put back
    EnParte,    // done, with rows left as they were (listed in `dejadas` and the log)
    Rechazada,  // nothing to undo, or refused: `motivo` says why; nothing written
    Error,      // an error stopped it: `motivo`; what was committed before stays
  };
  Estado estado = Estado::Rechazada;
  QString motivo;
  QString rutaLog;
  qint64 idHistorial = 0;  // the undo's own run in the history
  int repuestas = 0;       // changes put back
  QStringList dejadas;     // the rows left as they were, as the log names them
};

// The run `id` of the history at `ubicacion`; nullopt with `error` set when the history
// cannot be opened or has no such run. The company it imported into must be opened
// before it is undone.
std::optional<EjecucionHistorial> LeeEjecucion(const UbicacionHistorial& ubicacion, qint64 id,
                                               QString* error);

// Undoes run `opciones.id` on the open company `empresa`, the one the run imported into:
// each recorded change, newest first, in commit groups as an import commits its lines.
// A row the run added is removed, a row it changed gets its former values, a row it
// removed comes back, a quantity it added is taken off again whatever the row holds
// since; a row changed by anyone since the run is left as it is and listed (put back
// with `forzar`). A purchase invoice's documents are undone whole or not at all: changed
// since, the undo is refused. The undo is a run of its own in the history, whose changes
// are kept, so that undoing it puts the run's changes back.
ResultadoDeshacer DeshazEjecucion(store::Empresa& empresa, const OpcionesDeshacer& opciones,
                                  Operador& operador);

}  // namespace relvano
