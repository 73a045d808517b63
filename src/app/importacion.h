#pragma once

#include <QString>
#include <optional>

#include "base/operador.h"
#include "imports/clases.h"
#include "store/empresa.h"

namespace relvano {

// The six kinds of update (imports/clases.h holds what differs by kind).
using imports::OpcionImportacion;

struct OpcionesImportacion {
  // The chosen kind; unset means no option button is selected.
  std::optional<OpcionImportacion> opcion;
  // Full path of the chain file (txtFichero).
  QString fichero;
  // The chosen file's name without folder (LbNombreFicheroImportado); names the removals log.
  QString nombreFicheroImportado;
  // "No actualizar las bajas" ticked: removal lines of the article file are not applied.
  bool noActualizarBajas = false;
  // Run everything, write the log and show the messages, then leave every database as it was.
  bool simular = false;
  // Folder of the run logs.
  QString carpetaLogs;
  // The window asks "¿Desea importar el fichero seleccionado?" before and offers the
  // summary after; the command line does neither.
  bool preguntar = true;
};

struct ResultadoImportacion {
  enum class Estado {
    NoIniciada,       // a check stopped the run before the log was opened (or the operator said No)
    Completa,         // the file was read to its end
    Error,            // an error ended the run (in the log's last line and told to the operator)
    Cancelada,        // the operator cancelled after a line
    FacturaNoCreada,  // an invoice file ended without its invoice created
  };
  Estado estado = Estado::NoIniciada;
  QString rutaLog;  // the run log's full name, once opened
  QString error;    // what ended the run, for Estado::Error
  // The database holds the file applied up to this line (every line up to it handled and
  // its changes committed; 0 when none, and always 0 in a simulation): a run that ended in
  // error can be taken up after it.
  int lineaAplicada = 0;
  bool verResumen = false;  // the operator asked to see the log (window only)
};

// ImportaFichero: the import run, from the checks to the closed log. Shows its
// messages through `operador`; `progreso` may be null. A company that is not open
// (store::Empresa::Abierta) is refused before anything is asked or written (NoIniciada).
ResultadoImportacion ImportaFichero(store::Empresa& empresa, const OpcionesImportacion& opciones,
                                    Operador& operador, Progreso* progreso = nullptr);

}  // namespace relvano
