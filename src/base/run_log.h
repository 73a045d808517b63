#pragma once

#include <QFile>
#include <QString>
#include <memory>

namespace relvano {

// A run log or the removals log: a text file rewritten by each run, in UTF-8
// without a byte-order mark. Every write is one line: the text and CR LF, so a
// text that already ends in CR LF is followed by an empty line.
class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Opens `ruta` for writing, replacing an old file. False with `error` set when
  // the file cannot be created.
  bool Abre(const QString& ruta, QString* error = nullptr);
  bool EstaAbierto() const { return file_ != nullptr; }
  const QString& Ruta() const { return ruta_; }

  // Writes `texto` + CR LF. Does nothing when the log is not open.
  void Escribe(const QString& texto);

  // Flushes and closes; safe to call twice.
  void Cierra();

 private:
  std::unique_ptr<QFile> file_;
  QString ruta_;
};

}  // namespace relvano
