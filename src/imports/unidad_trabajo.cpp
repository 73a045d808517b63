#include "imports/unidad_trabajo.h"

#include <algorithm>

namespace relvano::imports {
namespace {
const QString kSavepoint = QStringLiteral("RELVANO_LINEA");
}  // namespace

UnidadTrabajo::UnidadTrabajo(store::Database& db, bool simular, int lineasPorGrupo,
                             qint64 duracionGrupoMs)
    : db_(db),
      simular_(simular),
      lineasPorGrupo_(std::max(1, lineasPorGrupo)),
      duracionGrupoMs_(duracionGrupoMs) {}

UnidadTrabajo::~UnidadTrabajo() {
  try {
    db_.Rollback();
  } catch (...) {
    // Nothing more can be done here; the engine drops the transaction with the connection.
  }
}

void UnidadTrabajo::Abre() {
  if (!db_.EnTransaccion()) {
    db_.Begin();
    grupo_.start();
  }
}

void UnidadTrabajo::EmpiezaLinea() {
  Abre();
  db_.Savepoint(kSavepoint);
  enLinea_ = true;
}

void UnidadTrabajo::TerminaLinea() {
  db_.ReleaseSavepoint(kSavepoint);
  enLinea_ = false;
  ++pendientes_;
  if (pendientes_ >= lineasPorGrupo_ ||
      (duracionGrupoMs_ > 0 && grupo_.isValid() && grupo_.elapsed() >= duracionGrupoMs_))
    Confirma();
}

void UnidadTrabajo::DeshaceLinea() noexcept {
  enLinea_ = false;
  try {
    db_.RollbackToSavepoint(kSavepoint);
    db_.ReleaseSavepoint(kSavepoint);
  } catch (...) {
    // The engine may already have dropped the whole transaction (some errors end it):
    // then there is nothing of the line left to undo, and the earlier lines of the
    // group are gone with it, so start clean.
    try {
      db_.Rollback();
    } catch (...) {
    }
    pendientes_ = 0;
  }
}

void UnidadTrabajo::Confirma() {
  if (simular_) return;
  if (enLinea_ && db_.EnTransaccion()) db_.ReleaseSavepoint(kSavepoint);
  db_.Commit();
  pendientes_ = 0;
}

void UnidadTrabajo::Reanuda() {
  if (simular_ || !enLinea_ || db_.EnTransaccion()) return;
  db_.Begin();
  db_.Savepoint(kSavepoint);
}

void UnidadTrabajo::Termina() {
  if (simular_) {
    db_.Rollback();
  } else {
    db_.Commit();
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

void OperadorConfirmado::Informe(const QString& texto) {
  unidad_.Confirma();
  operador_.Informe(texto);
  unidad_.Reanuda();
}

}  // namespace relvano::imports
