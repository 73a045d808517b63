#include "base/run_log.h"

#include "base/utf8.h"

namespace relvano {
namespace {
// Lines not held are written in blocks of about this size.
constexpr qsizetype kBloque = 64 * 1024;
}  // namespace

RunLog::~RunLog() { Cierra(); }

bool RunLog::Abre(const QString& ruta, QString* error) {
  Cierra();
  auto file = std::make_unique<QFile>(ruta);
  if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
    if (error) *error = file->errorString();
    return false;
  }
  file_ = std::move(file);
  ruta_ = ruta;
  pendiente_.clear();
  retiene_ = false;
  error_.clear();
  return true;
}

void RunLog::Escribe(const QString& texto) {
  if (!file_ || !error_.isEmpty()) return;
  // Straight into the pending bytes, which keep their room from one write to the next:
  // a log line per line of the file.
  AnadeUtf8(pendiente_, texto);
  pendiente_.append("\r\n", 2);
  if (!retiene_ && pendiente_.size() >= kBloque) Vacia();
}

void RunLog::Retiene() { retiene_ = true; }

void RunLog::Libera() {
  if (!Vacia()) throw ErrorLog(error_);
}

void RunLog::Descarta() { pendiente_.clear(); }

bool RunLog::Vacia() {
  if (!file_ || !error_.isEmpty()) return error_.isEmpty();
  if (pendiente_.isEmpty()) return true;
  const qint64 escritos = file_->write(pendiente_);
  const bool completo = escritos == pendiente_.size();
  pendiente_.resize(0);
  if (!completo || !file_->flush() || file_->error() != QFileDevice::NoError) {
    error_ = QStringLiteral("no se puede escribir en el fichero ") + ruta_ + QStringLiteral(" (") +
             file_->errorString() + QStringLiteral(").");
    return false;
  }
  return true;
}

bool RunLog::Cierra() {
  if (!file_) return error_.isEmpty();
  Vacia();
  file_->close();
  file_.reset();
  retiene_ = false;
  return error_.isEmpty();
}

}  // namespace relvano
