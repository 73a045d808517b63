#include "imports/unidad_trabajo.h"

#include <QThread>
#include <algorithm>

namespace relvano::imports {
namespace {
const QString kSavepoint = QStringLiteral("RELVANO_LINEA");
}  // namespace

UnidadTrabajo::UnidadTrabajo(store::Database& db, bool simular, Opciones opciones)
    : db_(db),
      simular_(simular),
      deshace_(simular && !opciones.guardaSimulacion),
      opciones_(opciones) {
  opciones_.lineasPorGrupo = std::max(1, opciones_.lineasPorGrupo);
}

UnidadTrabajo::~UnidadTrabajo() {
  if (db_.Diario() == &diario_) db_.FijaDiario(nullptr);
  if (db_.EnTransaccion())
    for (RunLog* log : logs_) log->Descarta();
  try {
    db_.Rollback();
  } catch (...) {
    // Nothing more can be done here; the engine drops the transaction with the connection.
  }
}

void UnidadTrabajo::AnotaCambios(DestinoCambios destino) {
  destino_ = std::move(destino);
  db_.FijaDiario(destino_ ? &diario_ : nullptr);
}

void UnidadTrabajo::EntregaCambios() {
  diario_.CierraLinea();
  if (destino_ && !diario_.grupo.empty()) destino_(std::exchange(diario_.grupo, {}));
  diario_.grupo.clear();
}

void UnidadTrabajo::RetieneLog(RunLog& log) {
  if (deshace_) return;
  log.Retiene();
  logs_.push_back(&log);
}

void UnidadTrabajo::Adopta(std::unique_ptr<RunLog> log) {
  RetieneLog(*log);
  propios_.push_back(std::move(log));
}

void UnidadTrabajo::Abre() {
  if (db_.EnTransaccion()) return;
  if (libre_.isValid() && opciones_.pausaMs > 0) {
    const qint64 libre = libre_.elapsed();
    if (libre < opciones_.pausaMs &&
        retenido_.elapsed() - libre >= std::max<qint64>(opciones_.duracionGrupoMs, 1))
      QThread::msleep(static_cast<unsigned long>(opciones_.pausaMs - libre));
    if (libre_.elapsed() >= opciones_.pausaMs) retenido_.invalidate();
  }
  if (!retenido_.isValid()) retenido_.start();
  db_.Begin();
  grupo_.start();
  inicioGrupo_ = numeroLinea_;
}

void UnidadTrabajo::EmpiezaLinea(int numero) {
  numeroLinea_ = numero;
  hechaEnLinea_ = numero;
  deshechaDesde_ = 0;
  Abre();
  db_.Savepoint(kSavepoint);
  enLinea_ = true;
}

void UnidadTrabajo::TerminaLinea() {
  db_.ReleaseSavepoint(kSavepoint);
  enLinea_ = false;
  diario_.CierraLinea();
  ++pendientes_;
  hecha_ = std::max(hecha_, hechaEnLinea_);
  if (pendientes_ >= opciones_.lineasPorGrupo ||
      (opciones_.duracionGrupoMs > 0 && grupo_.isValid() &&
       grupo_.elapsed() >= opciones_.duracionGrupoMs))
    Confirma();
}

void UnidadTrabajo::DeshaceLinea() noexcept {
  enLinea_ = false;
  try {
    db_.RollbackToSavepoint(kSavepoint);
    db_.ReleaseSavepoint(kSavepoint);
    diario_.linea.clear();
    deshechaDesde_ = numeroLinea_;
  } catch (...) {
    // The engine may already have dropped the whole transaction (some errors end it):
    // then there is nothing of the line left to undo, and the earlier lines of the
    // group are gone with it.
    PierdeGrupo();
  }
}

void UnidadTrabajo::PierdeGrupo() noexcept {
  deshechaDesde_ = inicioGrupo_;
  try {
    db_.Rollback();
  } catch (...) {
  }
  pendientes_ = 0;
  hecha_ = confirmada_;
  diario_.linea.clear();
  diario_.grupo.clear();
  for (RunLog* log : logs_) log->Descarta();
}

void UnidadTrabajo::Confirma() {
  if (deshace_) {
    // Nothing is committed in a simulation, but its changes are handed over a group at a
    // time all the same, so that what it holds in memory does not grow with the file (the
    // line in hand, which may yet be undone, stays).
    if (!enLinea_) {
      EntregaCambios();
      pendientes_ = 0;
      grupo_.start();
    }
    return;
  }
  if (db_.EnTransaccion()) {
    try {
      if (enLinea_) db_.ReleaseSavepoint(kSavepoint);
      db_.Commit();
    } catch (...) {
      // A commit that failed is not tried again (it would wait for the other programs
      // once more): the group is undone and the failure goes on.
      enLinea_ = false;
      PierdeGrupo();
      throw;
    }
    libre_.start();
  }
  pendientes_ = 0;
  confirmada_ = std::max(confirmada_, hecha_);
  EntregaCambios();
  for (RunLog* log : logs_) log->Libera();
}

void UnidadTrabajo::Reanuda() {
  if (deshace_ || !enLinea_ || db_.EnTransaccion()) return;
  Abre();
  db_.Savepoint(kSavepoint);
}

void UnidadTrabajo::Termina() {
  if (deshace_) {
    // Handed over before the rollback, so that the destination can still read what the
    // simulation left in the database.
    EntregaCambios();
    db_.Rollback();
  } else {
    Confirma();
  }
  pendientes_ = 0;
}

void OperadorConfirmado::Mensaje(const QString& texto, Icono icono) {
  unidad_.Confirma();
  operador_.Mensaje(texto, icono);
  unidad_.Reanuda();
}

bool OperadorConfirmado::Pregunta(const QString& texto) {
  unidad_.Confirma();
  const bool si = operador_.Pregunta(texto);
  unidad_.Reanuda();
  return si;
}

bool OperadorConfirmado::PreguntaNo(const QString& texto) {
  unidad_.Confirma();
  const bool si = operador_.PreguntaNo(texto);
  unidad_.Reanuda();
  return si;
}

void OperadorConfirmado::Informe(const QString& texto) {
  unidad_.Confirma();
  operador_.Informe(texto);
  unidad_.Reanuda();
}

}  // namespace relvano::imports
