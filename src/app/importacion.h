#pragma once

#include <QString>
#include <optional>

#include "app/historial.h"
#include "app/revision.h"
#include "base/operador.h"
#include "imports/clases.h"
#include "imports/contexto.h"
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
  // With `simular`: the company's store is a throwaway copy, and the simulated changes are
  // kept in it for the simulations after this one (a whole inbox simulated in order).
  bool guardaSimulacion = false;
  // Folder of the run logs.
  QString carpetaLogs;
  // The window asks "¿Desea importar el fichero seleccionado?" (a simulation: "¿Desea
  // simular la importación del fichero seleccionado? No se guardará nada.") before and
  // offers the summary after; the command line does neither.
  bool preguntar = true;
  // Go on past the checks that ask (a name of another kind, a content already applied, a
  // file older than the last one applied); never past a shape of another kind.
  bool forzar = false;
  // A refusal by a check is told to the operator; false: only kept in
  // ResultadoImportacion::motivo (a run over a folder lists them in its summary).
  bool avisarRechazos = true;
  // The installation's run history (UbicacionHistorial::De); empty: no history is kept
  // and the checks that read it are not made.
  UbicacionHistorial historial;
  // How the run's changes are judged, and whether a file with changes out of the ordinary
  // is held: simulated first and, when the simulation finds any, not applied (the window
  // asks, No by default; `forzar` applies it).
  AjustesRevision revision;
};

struct ResultadoImportacion {
  enum class Estado {
    NoIniciada,       // a check stopped the run before the log was opened (or the operator said No)
    Completa,         // the file was read to its end
    Error,            // an error ended the run (at the end of the log and told to the operator)
    Cancelada,        // the operator cancelled after a line
    FacturaNoCreada,  // an invoice file ended without its invoice created
    Rechazada,        // a check of the file refused it before the log was opened
  };
  Estado estado = Estado::NoIniciada;
  QString rutaLog;          // the run log's full name, once opened
  QString error;            // what ended the run, for Estado::Error
  bool verResumen = false;  // the operator asked to see the log (window only)
  bool forzable = false;    // Rechazada by a check that OpcionesImportacion::forzar passes
  bool yaAplicada = false;  // Rechazada only because the same content was applied completely
  QString motivo;           // Rechazada: why, as a statement without any question
  QString albaran;          // an invoice file's delivery note (and invoice) number, once stored
  int lineas = 0;           // the line count where reading stopped
  // The database holds the file applied up to this line (every line up to it handled and
  // its changes committed; 0 when none, and always 0 in a simulation): a run that ended in
  // error can be taken up after it.
  int lineaAplicada = 0;
  imports::Recuento recuento;  // the log's lines by outcome, for the kinds that count them
  qint64 idHistorial = 0;      // the run's id in the history; 0 when it was not recorded
  // What the run changed (a simulation: would have changed); a file held for its changes
  // out of the ordinary (Rechazada, retenida) has its simulation's. Unset when nothing ran.
  std::optional<Revision> revision;
  bool retenida = false;
};

// ImportaFichero: the import run, from the checks to the closed log. Shows its
// messages through `operador`; `progreso` may be null. A company that is not open
// (store::Empresa::Abierta) is refused before anything is asked or written (NoIniciada).
ResultadoImportacion ImportaFichero(store::Empresa& empresa, const OpcionesImportacion& opciones,
                                    Operador& operador, Progreso* progreso = nullptr);

}  // namespace relvano
