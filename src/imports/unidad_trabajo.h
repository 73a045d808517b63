#pragma once

#include <QElapsedTimer>
#include <QString>
#include <utility>

#include "base/operador.h"
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
//   the speed of the lines;
// - a simulation works inside one transaction that is rolled back at the end.
class UnidadTrabajo {
 public:
  // `lineasPorGrupo`: applied lines committed together at most (at least 1).
  // `duracionGrupoMs`: when above 0, a group is also committed after the line that
  // ends this long after the group's transaction began.
  UnidadTrabajo(store::Database& db, bool simular, int lineasPorGrupo = 500,
                qint64 duracionGrupoMs = 0);
  // Rolls back whatever Termina did not settle (an unexpected exit). Never throws.
  ~UnidadTrabajo();
  UnidadTrabajo(const UnidadTrabajo&) = delete;
  UnidadTrabajo& operator=(const UnidadTrabajo&) = delete;

  bool Simulando() const { return simular_; }

  // Runs `aplica` as one line. When it throws, what it wrote is undone and the
  // exception goes on unchanged; lines applied before stay applied.
  template <typename F>
  void Linea(F&& aplica) {
    EmpiezaLinea();
    try {
      std::forward<F>(aplica)();
    } catch (...) {
      DeshaceLinea();
      throw;
    }
    TerminaLinea();
  }

  // Commits what has been applied so far (nothing in a simulation) and leaves no
  // transaction open. Inside a line, what the line wrote before is committed with it
  // and the line must be resumed (Reanuda) before it writes again. Throws DbError.
  void Confirma();
  // Inside a line interrupted by Confirma: opens its transaction and savepoint again.
  void Reanuda();

  // End of the run: commits everything applied, or rolls it all back in a
  // simulation. Throws DbError when the commit fails (then nothing pending is kept).
  void Termina();

 private:
  void Abre();
  void EmpiezaLinea();
  void TerminaLinea();
  void DeshaceLinea() noexcept;

  store::Database& db_;
  bool simular_;
  int lineasPorGrupo_;
  qint64 duracionGrupoMs_;
  QElapsedTimer grupo_;  // since the group's transaction began
  int pendientes_ = 0;   // lines applied since the last commit
  bool enLinea_ = false;
};

// The operator seen by an import: commits what has been applied before every message,
// question or report, so the database is not held while the operator reads, and takes
// the line up again afterwards.
class OperadorConfirmado final : public Operador {
 public:
  OperadorConfirmado(Operador& operador, UnidadTrabajo& unidad)
      : operador_(operador), unidad_(unidad) {}
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override;
  bool Pregunta(const QString& texto) override;
  void Informe(const QString& texto) override;

 private:
  Operador& operador_;
  UnidadTrabajo& unidad_;
};

}  // namespace relvano::imports
