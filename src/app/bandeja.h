#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "app/importacion.h"
#include "base/ficheros.h"
#include "base/operador.h"
#include "store/empresa.h"

namespace relvano {

// One file of the inbox folder as the inbox run sees it before applying anything.
struct FicheroBandeja {
  QString ruta;    // full path
  QString nombre;  // name without folder
  // The kind, from the shape of its first detail line and its name; unset: unknown kind
  // (and always for an entry that is not a readable file).
  std::optional<imports::OpcionImportacion> clase;
  QDate fecha;  // IDE field 6; invalid when the file has none
  // Legible, or what keeps the entry from being read: NoEsFichero (a folder, a device, a
  // pipe, a link to nothing, named like a chain file) or NoSeLee.
  AccesoFichero acceso = AccesoFichero::Legible;
};

// The files of `carpeta` in the order the inbox applies them: the chain's kinds in their
// order, within a kind by file date (undated first), then by name; the files of unknown
// kind last, by name. A file's kind is the one its shape fits; when its shape fits several
// kinds or none, the one its name's prefix says; a file with neither is of unknown kind.
// Entries that are not regular readable files come last too, with the unknown kind: a
// regular file that cannot be read, and anything else named like a chain file (other
// folders, such as Procesados, are left out). Pipes and devices are never opened. Empty
// when the folder is missing or holds no such entry.
std::vector<FicheroBandeja> FicherosBandeja(const QString& carpeta);

// The name of the file in the inbox folder that marks a run in progress (hidden).
inline constexpr char kCerrojoBandeja[] = ".relvano-bandeja.lock";

struct OpcionesBandeja {
  QString carpeta;                 // the inbox folder
  bool noActualizarBajas = false;  // as for a single import
  bool simular = false;            // simulate every file and move nothing
  bool forzar = false;             // OpcionesImportacion::forzar for every file
  // Refusals only in the summary (DesenlaceBandeja::detalle), not told one by one.
  bool rechazosEnResumen = false;
  QString carpetaLogs;           // folder of the run logs
  UbicacionHistorial historial;  // the run history; empty: none (no checks)
  AjustesRevision revision;      // as for a single import: a file held stays, as refused
  Progreso* progreso = nullptr;  // each file's run reports here; may be null
};

// What became of one file of the inbox.
struct DesenlaceBandeja {
  enum class Tipo {
    Aplicado,          // read to its end; moved to Procesados (not in a simulation)
    YaAplicado,        // its content was applied before; moved to Procesados
    Rechazado,         // refused by a check; stays
    FacturaNoCreada,   // an invoice file whose invoice was not created; stays
    Fallido,           // an error or a cancellation ended it (or it could not be moved); stays
    NoProcesado,       // after a failed file; untouched
    ClaseDesconocida,  // neither its shape nor its name is a chain kind's; stays
    NoLegible,         // not a regular file, or one that cannot be read (see acceso); stays
  };
  FicheroBandeja fichero;
  Tipo tipo = Tipo::NoProcesado;
  ResultadoImportacion importacion;  // its run (lines, log, history id); default when none
  QDateTime inicio, fin;             // of its run; invalid when none was made
  QString destino;                   // where it was moved; empty when it stays
  QString detalle;  // the error that ended it (Fallido), why it was refused (Rechazado)
};

// Exit statuses of an inbox run: the first that applies.
inline constexpr int kBandejaCorrecta = 0;  // every file applied or archived as applied
inline constexpr int kBandejaFallo = 1;     // a file failed: the run stopped there
inline constexpr int kBandejaRechazo = 2;   // a file refused or of unknown kind, or no file
inline constexpr int kBandejaFactura = 3;   // an invoice was not created

struct ResultadoBandeja {
  bool carpetaExiste = true;
  // Another run holds the folder, or the run could not mark it as held: nothing was done.
  bool ocupada = false;
  bool simulacion = false;
  // For a simulation: how it was made, to be said with the summary.
  QString avisoSimulacion;
  std::vector<DesenlaceBandeja> ficheros;  // in the order they were taken
  int estado = kBandejaRechazo;
  // One line per file: kind, name, outcome and lines, separated by tabs; the kind of a
  // file of unknown kind is "-".
  QStringList Lineas() const;
  // The review of each file that ran (a file held: its simulation's), after its name.
  QStringList LineasRevision() const;
};

// The text of an outcome, for the summary.
QString TextoDesenlace(const DesenlaceBandeja& d, bool simulacion);

// The question before an inbox run: what will be done, in order, and whether to go on.
QString TextoConfirmacionBandeja(const QString& carpeta,
                                 const std::vector<FicheroBandeja>& ficheros);
// The summary after an inbox run, for the report window: one line per file.
QString TextoResumenBandeja(const QString& carpeta, const ResultadoBandeja& resultado);

// ImportaBandeja: every file of the inbox folder through ImportaFichero, in the order of
// FicherosBandeja, with no question asked (the checks refuse what they would ask about,
// unless `forzar`), one run per folder at a time: a run started while another holds the
// folder (kCerrojoBandeja; a run that ended without freeing it, a crash, frees it once its
// process is gone) says so and touches nothing (ocupada). Entries that are not readable
// files are listed and skipped (NoLegible). A file applied to its end, or refused only because its
// content was applied before, is moved to <carpeta>/Procesados/<YYYY-MM>/ (the month of the
// company's today), under a name with "-1", "-2"... added when the name is taken there. A file that
// fails stops the run: the ones after it are not touched. In a simulation the files are
// simulated in order on a throwaway copy of the store database, so that each one sees the
// changes of the ones before it (a store that is not a SQLite file cannot be copied: each
// file is then simulated on its own against it), and nothing is moved.
ResultadoBandeja ImportaBandeja(store::Empresa& empresa, const OpcionesBandeja& opciones,
                                Operador& operador);

}  // namespace relvano
