#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "imports/contexto.h"
#include "store/db/database.h"

namespace relvano {

// Outcomes of a run as the history writes them.
namespace resultado_historial {
inline const QString kEnCurso = QStringLiteral("en curso");  // started, never ended
inline const QString kCompleta = QStringLiteral("completa");
inline const QString kError = QStringLiteral("error");
inline const QString kCancelada = QStringLiteral("cancelada");
inline const QString kSimulada = QStringLiteral("simulada");
inline const QString kFacturaNoCreada = QStringLiteral("factura no creada");
inline const QString kRechazada = QStringLiteral("rechazada");  // refused by a check
// Its process ended without ending the run (killed, a power cut).
inline const QString kInterrumpida = QStringLiteral("interrumpida");
}  // namespace resultado_historial

// One run as the history keeps it.
struct EjecucionHistorial {
  qint64 id = 0;
  QDateTime inicio;
  QDateTime fin;       // invalid while the run is "en curso"
  QString empresa;     // IdEmpresa
  QString bddTienda;   // the store database as the operator is told it (file, or server's)
  QString clase;       // the kind's command-line name: "articulos"
  QString ruta;        // the chain file's full path
  QString nombre;      // its name
  qint64 tamano = 0;   // bytes
  QString sha256;      // hex, lower case
  QDate fechaFichero;  // IDE field 6; invalid when the file has none
  bool simulacion = false;
  QString resultado = resultado_historial::kEnCurso;
  int lineas = 0;                             // lines read
  std::optional<int> lineaAplicada;           // the store holds the file applied up to this line
  std::optional<imports::Recuento> recuento;  // when the kind counts its log lines
  QString albaran;                            // the delivery note this run stored (invoices)
  QString maquina;                            // the machine the run ran on
  qint64 proceso = 0;                         // its process id there
  QString rutaLog;                            // the run log as the run wrote it, on its machine
  bool tieneLog = false;                      // the history keeps the run's log
};

// Which runs Historial::Lista gives.
struct FiltroHistorial {
  QString empresa;  // empty: every company
  QString clase;    // empty: every kind
  int limite = 0;   // 0: no limit
};

// Where an installation's run history is: beside its general database, shared by every
// operator, machine and log folder that imports into its stores.
struct UbicacionHistorial {
  // RELVANO_HISTORIAL.sqlite in the general database's folder; empty: no history is kept
  // and the checks that read it are not made.
  QString ruta;
  // A file of its own on SQLite and ODBC installations; on a server, the database that
  // stands for `ruta` there.
  store::OpcionesConexion conexion;
  // The log folder in use: a historial.sqlite an earlier version left there is taken in.
  QString carpetaLogs;
  // The general database: a new history file takes its permissions, so that whoever may
  // import into the installation may record in its history.
  QString rutaGeneral;

  // The history of the installation whose general database is `rutaGeneral`, reached
  // with the installation's `conexion`.
  static UbicacionHistorial De(const QString& rutaGeneral, const store::OpcionesConexion& conexion,
                               const QString& carpetaLogs);
  bool Vacia() const { return ruta.isEmpty(); }
  // How the operator is told where it is.
  QString Describe() const;
};

// The run history, on its own connection through the store's database layer. Each run's
// log is kept in it (compressed), so any machine can show it. The store's own rows say
// what has been applied; the history only records the runs (and the checks of a file's
// content and date read it).
//
// Statements that fail throw store::DbError; a history held by another program is
// waited for as long as the store is.
class Historial {
 public:
  ~Historial();
  Historial(const Historial&) = delete;
  Historial& operator=(const Historial&) = delete;

  // Opens the history, creating it when missing, and takes in the earlier history of the
  // log folder. A history file that is not a database or is damaged is renamed
  // (RELVANO_HISTORIAL.sqlite.danado-<YYYYMMDD-HHMMSS>) and a new one begun; `aviso`
  // then says so, as it says that an earlier history could not be taken in (it is left
  // for a later run). nullptr with `error` set when it cannot be opened.
  static std::unique_ptr<Historial> Abre(const UbicacionHistorial& ubicacion, QString* error,
                                         QString* aviso = nullptr);

  // Records a run (every field but `id`; this machine and process) and returns its id.
  qint64 Anota(EjecucionHistorial& e);
  // Rewrites the end of run `e.id`: end time, outcome, lines, counts, and its log, read
  // from `e.rutaLog` (none when the file cannot be read).
  void Termina(const EjecucionHistorial& e);
  // Keeps with run `id` the review of what it changed (Revision::AJson, as compact text).
  void AnotaRevision(qint64 id, const QString& revision);
  // Records that run `id` has stored the delivery note `numero`.
  void AnotaAlbaran(qint64 id, const QString& numero);
  // The runs of this machine still "en curso" whose process is gone become
  // "interrumpida", with the line up to which their log says the file is applied (and the
  // log, when no later run has written over it).
  void MarcaInterrumpidas();

  // The latest completed real run of this content for the company and kind.
  std::optional<EjecucionHistorial> UltimaCompleta(const QString& empresa, const QString& clase,
                                                   const QString& sha256);
  // The newest file date among the completed real runs of the company and kind;
  // invalid when there is none.
  QDate FechaMasReciente(const QString& empresa, const QString& clase);

  // Runs, newest first.
  std::vector<EjecucionHistorial> Lista(const FiltroHistorial& filtro);
  std::optional<EjecucionHistorial> Lee(qint64 id);
  // The log of run `id`; empty when the history has none.
  QString Log(qint64 id);
  // The review of what run `id` changed, as AnotaRevision kept it; empty when none.
  QString TextoRevision(qint64 id);

 private:
  explicit Historial(std::shared_ptr<store::Database> db) : db_(std::move(db)) {}
  void CreaTabla();
  void TomaAnterior(const QString& carpetaLogs);
  std::vector<EjecucionHistorial> Filas(const QString& condicion,
                                        const std::vector<Valor>& parametros, int limite);

  std::shared_ptr<store::Database> db_;
};

// The line up to which a run log says the file is applied: its closing words when it has
// them, else the number of its last "Leyendo" line; 0 when it says none.
int LineaAplicadaSegunLog(const QString& log);

}  // namespace relvano
