#pragma once

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "imports/contexto.h"

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
  QString logArchivado;                       // the copy of the run log kept with the history
  QString albaran;                            // the delivery note this run stored (invoices)
};

// Which runs History::Lista gives.
struct FiltroHistorial {
  QString empresa;  // empty: every company
  QString clase;    // empty: every kind
  int limite = 0;   // 0: no limit
};

// A failed statement on the history database.
class ErrorHistorial : public std::runtime_error {
 public:
  explicit ErrorHistorial(const QString& mensaje) : std::runtime_error(mensaje.toStdString()) {}
};

// The run history: `historial.sqlite` in the log folder, on its own connection, and the
// folder `historial/` beside it with a copy of each run's log. Nothing but the checks
// before a run reads it, so it can be deleted at any time (it is created again).
class Historial {
 public:
  ~Historial();
  Historial(const Historial&) = delete;
  Historial& operator=(const Historial&) = delete;

  // Opens the history of `carpetaLogs`, creating the file and its table when missing.
  // nullptr with `error` set when the file cannot be opened or is not a history database.
  static std::unique_ptr<Historial> Abre(const QString& carpetaLogs, QString* error);

  // Records a run (every field but `id`) and returns its id.
  qint64 Anota(const EjecucionHistorial& e);
  // Rewrites the end of run `e.id`: end time, outcome, lines, counts, archived log.
  void Termina(const EjecucionHistorial& e);
  // Records that run `id` has stored the delivery note `numero`.
  void AnotaAlbaran(qint64 id, const QString& numero);

  // The latest completed real run of this content for the company and kind.
  std::optional<EjecucionHistorial> UltimaCompleta(const QString& empresa, const QString& clase,
                                                   const QString& sha256);
  // The newest file date among the completed real runs of the company and kind;
  // invalid when there is none.
  QDate FechaMasReciente(const QString& empresa, const QString& clase);
  // True when a real run of this content for the company stored its delivery note.
  bool AlbaranGrabado(const QString& empresa, const QString& sha256);

  // Runs, newest first.
  std::vector<EjecucionHistorial> Lista(const FiltroHistorial& filtro);
  std::optional<EjecucionHistorial> Lee(qint64 id);

  // Copies the run log `rutaLog` to historial/<YYYYMMDD-HHMMSS>-<log name> (the run's
  // start), or to historial/<YYYYMMDD-HHMMSS>-<id>-<log name> when a run of the same
  // second took that name. The copy's path, empty when it could not be made.
  QString ArchivaLog(const QString& rutaLog, const QDateTime& inicio, qint64 id) const;

  // Where the history of `carpetaLogs` lives.
  static QString RutaBaseDatos(const QString& carpetaLogs);

 private:
  Historial(QString carpetaLogs, QString conexion);
  QSqlQuery Corre(const QString& sql, const QVariantList& parametros);
  std::vector<EjecucionHistorial> Filas(const QString& condicion, const QVariantList& parametros,
                                        const QString& cola);

  QString carpetaLogs_;
  QString conexion_;
  QSqlDatabase db_;
};

}  // namespace relvano
