#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "app/historial.h"
#include "app/importacion.h"
#include "base/operador.h"
#include "imports/clases.h"
#include "store/empresa.h"

namespace relvano {

// What the start of a chain file says about it: its first non-empty lines, read as
// bytes (the record type and the "|" are the same in every encoding the chain uses).
struct MuestraFichero {
  bool vacio = true;        // no line with anything but blanks
  bool deLaCadena = false;  // some line is an IDE or CHK line or a detail line of some kind
  QString tipo;             // record type of the first detail line; empty when none was seen
  int campos = 0;           // its number of fields: the count of "|" on it
  QDate fecha;              // IDE field 6 when it is a date
};

// Reads the first non-empty lines of `ruta` (at most 10, within its first 64 KiB). Empty
// for anything but a regular file it can read: a pipe or a device is never opened.
MuestraFichero LeeMuestra(const QString& ruta);

// The kinds whose layout the first detail line of `m` fits exactly (record type and
// number of fields). Empty when there is no detail line or it fits none ("unknown": a
// layout the chain extended with trailing fields is still accepted).
std::vector<imports::OpcionImportacion> ClasesQueEncajan(const MuestraFichero& m);

// The kind whose prefix the file name `nombre` (without folder) begins with, any case.
std::optional<imports::OpcionImportacion> ClaseDelNombre(const QString& nombre);

// The kind a file most likely is, for a front end to preselect: the one its first detail
// line's shape fits when only one does, else the one its name says; nullopt when neither
// tells.
std::optional<imports::OpcionImportacion> ClaseProbable(const QString& ruta);

// The checks a run makes before its log is opened, and the run's record in the history.
//
// On construction: the kind of the file (empty, not a chain file, a first detail line of
// another kind's shape: refused with a message; a name beginning with another kind's
// prefix: asked), then (only then is the file read to its end, for its SHA-256) the
// content applied before: for an invoice file, the store's own
// rows say it (its delivery note with the file's lines and its invoice: asked; without
// the invoice: the run resumes at the invoice), for the other kinds the history (the
// same content applied completely: asked); and, for the kinds that change existing rows,
// a file dated before the newest applied (asked). A question is asked with No as the
// default when the run asks (OpcionesImportacion::preguntar); otherwise its text is told
// and the file refused, unless OpcionesImportacion::forzar. A refusal is recorded as
// "rechazada". Runs of this machine whose process is gone are marked "interrumpida".
// A history that cannot be opened or read is told as a warning and the run goes on
// without it.
class ControlEjecucion {
 public:
  ControlEjecucion(const store::Empresa& empresa, const OpcionesImportacion& opciones,
                   Operador& operador);
  ~ControlEjecucion();
  ControlEjecucion(const ControlEjecucion&) = delete;
  ControlEjecucion& operator=(const ControlEjecucion&) = delete;

  bool Admitida() const { return admitida_; }
  bool Forzable() const { return forzable_; }
  // Refused because this content is applied completely, and for no other reason (every
  // check before that one passed).
  bool YaAplicada() const { return yaAplicada_; }
  // Why the file was refused, as a statement (no question); empty when admitted.
  const QString& Motivo() const { return motivo_; }
  // The store holds this invoice file's delivery note, with its lines and without invoice.
  bool ReanudaFactura() const { return reanudaFactura_; }
  // The run's id in the history once recorded (Inicia, or a refusal); else 0.
  qint64 Id() const { return ejecucion_.id; }

  // Records the run as "en curso", with the log `rutaLog` it writes.
  void Inicia(const QString& rutaLog);
  // Records that the run has stored the invoice's delivery note `numero`.
  void AlbaranGrabado(const QString& numero);
  // Records the end of the run and keeps its log in the history.
  void Termina(const ResultadoImportacion& resultado);
  // The file is held for its changes out of the ordinary (`motivo`, told when `avisar`):
  // recorded as refused, nothing applied.
  void Retiene(const QString& motivo, bool avisar);

 private:
  // Opens the history, when the run has one, and marks this machine's interrupted runs.
  void AbreHistorial();
  // The kind of the file against its first lines and its name; false when refused.
  bool CompruebaClase(const MuestraFichero& muestra);
  // An invoice file: whether the store already holds it; false when refused.
  bool CompruebaAlbaran(const store::Empresa& empresa);
  // The other kinds: the same content applied before, and a file older than the newest
  // applied; false when refused.
  bool CompruebaHistorial(const MuestraFichero& muestra);
  // A check that a front end may pass: `motivo` is what it found, `pregunta` the question
  // that offers to go on (a check of this kind is always passed by OpcionesImportacion::forzar).
  bool Comprueba(const QString& motivo, const QString& pregunta);
  void Rechaza(const QString& texto, bool forzable, Operador::Icono icono);
  void AvisaSinHistorial(const QString& error);
  template <typename F>
  void ConHistorial(F&& f);

  const OpcionesImportacion& opciones_;
  Operador& operador_;
  const imports::ClaseFichero* clase_ = nullptr;
  std::unique_ptr<Historial> historial_;
  EjecucionHistorial ejecucion_;
  bool admitida_ = false;
  bool forzable_ = false;
  bool yaAplicada_ = false;
  QString motivo_;
  bool reanudaFactura_ = false;
  bool sinComprobaciones_ = false;  // the history was begun anew: it tells nothing yet
};

}  // namespace relvano
