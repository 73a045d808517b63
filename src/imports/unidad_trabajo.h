#pragma once

#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "base/operador.h"
#include "base/run_log.h"
#include "store/db/database.h"

namespace relvano::imports {

// How a catalogue import writes to the store database, which the suite's other
// programs use at the same time:
// - every detail line is applied whole or not at all (a savepoint per line);
// - applied lines are committed in groups, for speed, and always before the operator
//   is shown anything (see OperadorConfirmado) and at the end of the run, so that no
//   lock is held while someone reads a message. A group ends after a number of lines or,
//   when a duration is given, once it has been open that long: every commit waits for
//   the disk, so a fixed small group would cost a run most of its time on a slow disk,
//   while a bound in time keeps the other programs' wait for the lock short whatever
//   the speed of the lines. The number of lines bounds the memory of a group, whose
//   changes stay in memory until it commits (see Database::Abrir);
// - a program waiting for the lock only tries now and then (the engine's busy handler
//   sleeps up to 100 ms between attempts), so a lock taken again at once after each
//   commit would keep it out for the whole run. Once the lock has been held for a
//   group's duration, the next group does not begin before a pause has passed since the
//   commit; the pause is taken only when another group begins;
// - the log's lines are held with the changes they tell of (RunLog::Retiene) and
//   written when these are committed; undone, the changes take their lines with them;
// - a simulation works inside one transaction that is rolled back at the end (unless it
//   works on a throwaway copy: Opciones::guardaSimulacion).
class UnidadTrabajo {
 public:
  struct Opciones {
    int lineasPorGrupo = 500;    // applied lines committed together at most (at least 1)
    qint64 duracionGrupoMs = 0;  // above 0: a group also ends after the line that ends this
                                 // long after its transaction began
    qint64 pausaMs = 0;          // above 0: how long the database is left free after the
                                 // lock has been held for duracionGrupoMs
    // A simulation on a throwaway copy of the database: its changes are committed as a
    // real run's are, so that the runs after it on the same copy see them.
    bool guardaSimulacion = false;
  };

  UnidadTrabajo(store::Database& db, bool simular, Opciones opciones);
  UnidadTrabajo(store::Database& db, bool simular, int lineasPorGrupo = 500)
      : UnidadTrabajo(db, simular, Opciones{lineasPorGrupo, 0, 0}) {}
  // Rolls back whatever Termina did not settle (an unexpected exit). Never throws.
  ~UnidadTrabajo();
  UnidadTrabajo(const UnidadTrabajo&) = delete;
  UnidadTrabajo& operator=(const UnidadTrabajo&) = delete;

  bool Simulando() const { return simular_; }

  // Holds the lines of `log` with the changes not yet committed (not in a simulation,
  // whose log says first that nothing is kept). `log` must outlive the unit.
  void RetieneLog(RunLog& log);
  // The same for a log the unit then owns and closes when it ends.
  void Adopta(std::unique_ptr<RunLog> log);

  // Records the rows the run stores (see store::CambioFila) and hands them to `destino`
  // a group at a time, once the group is committed; a simulation's where its groups would
  // be committed, and the last at its end, all before they are rolled back. The changes
  // of a line that is undone are never handed over.
  using DestinoCambios = std::function<void(std::vector<store::CambioFila>)>;
  void AnotaCambios(DestinoCambios destino);

  // Runs `aplica` as one line (or one all-or-nothing unit) that begins at line `numero`
  // of the file and, applied, leaves the file handled up to that line or to the one
  // given to Hecha inside it. When it throws, what it wrote is undone and the exception
  // goes on unchanged; lines applied before stay applied.
  template <typename F>
  void Linea(int numero, F&& aplica) {
    EmpiezaLinea(numero);
    try {
      std::forward<F>(aplica)();
    } catch (...) {
      DeshaceLinea();
      throw;
    }
    TerminaLinea();
  }
  // Runs `aplica` as one line that decides itself whether what it wrote is kept: it
  // returns true to keep it and false to undo it all (a cancelled or cut invoice). An
  // exception undoes it too and goes on unchanged. Returns what `aplica` returned.
  template <typename F>
  bool LineaSiSeGuarda(int numero, F&& aplica) {
    EmpiezaLinea(numero);
    bool guarda = false;
    try {
      guarda = std::forward<F>(aplica)();
    } catch (...) {
      DeshaceLinea();
      throw;
    }
    if (guarda)
      TerminaLinea();
    else
      DeshaceLinea();
    return guarda;
  }
  template <typename F>
  void Linea(F&& aplica) {
    Linea(0, std::forward<F>(aplica));
  }
  // Inside Linea: once applied, the unit leaves the file handled up to `linea`.
  void Hecha(int linea) { hechaEnLinea_ = linea; }

  // Commits what has been applied so far (nothing in a simulation) and leaves no
  // transaction open. Inside a line, what the line wrote before is committed with it
  // and the line must be resumed (Reanuda) before it writes again. Throws DbError
  // when the commit fails: the whole group is then undone (see DeshechaDesde). Throws
  // ErrorLog when the log lines of the committed group cannot be written.
  void Confirma();
  // Inside a line interrupted by Confirma: opens its transaction and savepoint again.
  void Reanuda();

  // End of the run: commits everything applied, or rolls it all back in a
  // simulation. Throws as Confirma.
  void Termina();

  // The database holds the file applied up to this line (every line up to it handled,
  // its changes committed); 0 when none.
  int LineaConfirmada() const { return confirmada_; }
  // After a failure: the first line of the file whose changes were undone with the
  // failing line's (a whole group lost, or a unit of several lines); the failing line
  // itself when it alone was undone.
  int DeshechaDesde() const { return deshechaDesde_; }

 private:
  void Abre();
  void EmpiezaLinea(int numero);
  void TerminaLinea();
  void DeshaceLinea() noexcept;
  void PierdeGrupo() noexcept;
  // Hands the changes of the committed (or, in a simulation, ended) group over.
  void EntregaCambios();

  // The changes of the line in hand and of the group's lines applied before it.
  class Diario final : public store::DiarioCambios {
   public:
    void Anota(store::CambioFila cambio) override { linea.push_back(std::move(cambio)); }
    void CierraLinea() {
      // A unit of many lines (an invoice's delivery note) is a group by itself: its
      // changes are handed over whole, not moved one by one into a second vector of the
      // same size.
      if (grupo.empty()) {
        grupo.swap(linea);
      } else {
        std::move(linea.begin(), linea.end(), std::back_inserter(grupo));
      }
      linea.clear();
    }
    std::vector<store::CambioFila> linea, grupo;
  };

  store::Database& db_;
  bool simular_;
  bool deshace_;  // everything is rolled back at the end: a simulation on the real database
  Opciones opciones_;
  Diario diario_;
  DestinoCambios destino_;
  std::vector<RunLog*> logs_;
  std::vector<std::unique_ptr<RunLog>> propios_;  // closed after the final rollback
  QElapsedTimer grupo_;                           // since the group's transaction began
  QElapsedTimer retenido_;  // since the database was last left free for a pause
  QElapsedTimer libre_;     // since the last commit
  int pendientes_ = 0;      // lines applied since the last commit
  bool enLinea_ = false;
  int numeroLinea_ = 0;   // first file line of the line in hand
  int hechaEnLinea_ = 0;  // file line handled once the line in hand is applied
  int hecha_ = 0;         // file handled up to here by the lines applied so far
  int inicioGrupo_ = 0;   // first file line of the open group
  int confirmada_ = 0;
  int deshechaDesde_ = 0;
};

// Commit groups of an import run. A group ends after one second, so that another
// program waiting for the store database gets in after about that long: it finds the
// database free during the pause that follows, which its tries (100 ms apart at most)
// cannot miss; the pause costs the run a tenth of its time at most. The bound in lines
// bounds the memory of a group, whose changes stay in memory until it commits.
inline constexpr UnidadTrabajo::Opciones kGruposImportacion{20000, 1000, 100};

// The operator seen by an import: commits what has been applied before every message,
// question or report, so the database is not held while the operator reads, and takes
// the line up again afterwards.
class OperadorConfirmado final : public Operador {
 public:
  OperadorConfirmado(Operador& operador, UnidadTrabajo& unidad)
      : operador_(operador), unidad_(unidad) {}
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override;
  bool Pregunta(const QString& texto) override;
  bool PreguntaNo(const QString& texto) override;
  void Informe(const QString& texto) override;

 private:
  Operador& operador_;
  UnidadTrabajo& unidad_;
};

// Holds the messages of a unit of work until the unit is stored: showing them at once
// would either keep the store database locked while the operator reads, or store half
// a document.
class OperadorDiferido final : public Operador {
 public:
  explicit OperadorDiferido(Operador& destino) : destino_(destino) {}
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override {
    pendientes_.push_back({texto, icono});
  }
  // Nothing in an invoice unit asks; a question cannot wait for its answer.
  bool Pregunta(const QString& texto) override { return destino_.Pregunta(texto); }
  bool PreguntaNo(const QString& texto) override { return destino_.PreguntaNo(texto); }
  void Informe(const QString& texto) override { destino_.Informe(texto); }

  // Shows the queued messages in the order they were raised.
  void Muestra() {
    while (!pendientes_.empty()) {
      auto [texto, icono] = std::move(pendientes_.front());
      pendientes_.pop_front();
      destino_.Mensaje(texto, icono);
    }
  }
  // The unit they belong to was undone: what they say did not happen.
  void Descarta() { pendientes_.clear(); }

 private:
  Operador& destino_;
  std::deque<std::pair<QString, Icono>> pendientes_;
};

}  // namespace relvano::imports
