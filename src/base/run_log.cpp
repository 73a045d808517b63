#include "base/run_log.h"

namespace relvano {

RunLog::~RunLog() { Cierra(); }

bool RunLog::Abre(const QString& ruta, QString* error) {
  Cierra();
  auto file = std::make_unique<QFile>(ruta);
  if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    if (error) *error = file->errorString();
    return false;
  }
  file_ = std::move(file);
  ruta_ = ruta;
  return true;
}

void RunLog::Escribe(const QString& texto) {
  if (!file_) return;
  QByteArray bytes = texto.toUtf8();
  bytes.append("\r\n", 2);
  file_->write(bytes);
}

void RunLog::Cierra() {
  if (!file_) return;
  file_->flush();
  file_->close();
  file_.reset();
}

}  // namespace relvano
