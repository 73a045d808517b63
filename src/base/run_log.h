#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

#include "base/error.h"

namespace relvano {

// A write to a run log failed (the disk is full, the folder is gone): the run stops,
// since its log would no longer say what it did.
class ErrorLog : public Error {
 public:
  using Error::Error;
};

// A run log or the removals log: a text file rewritten by each run, in UTF-8
// without a byte-order mark. Every write is one line: the text and CR LF, so a
// text that already ends in CR LF is followed by an empty line.
//
// Lines are gathered in memory and written in blocks. While the log is held (Retiene),
// nothing reaches the file until Libera: a run holds the lines of the changes it has not
// committed yet, so that the log never tells of a change the database does not keep.
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

  // Writes `texto` + CR LF. Does nothing when the log is not open or a write has
  // failed; a block that cannot be written is remembered (see Error).
  void Escribe(const QString& texto);

  // From now on the lines stay in memory until Libera or Descarta.
  void Retiene();
  // Writes the lines held so far and keeps holding the next ones. Throws ErrorLog
  // when they cannot be written, now or before.
  void Libera();
  // Forgets the lines held since the last Libera (what they tell was undone).
  void Descarta();

  // Writes what is left, flushes and closes; safe to call twice. False when a write
  // failed, now or before (see Error).
  bool Cierra();
  // Why a write failed, as the end of a sentence; empty while every write succeeded.
  const QString& Error() const { return error_; }

 private:
  bool Vacia();  // writes the lines in memory; false when a write failed

  std::unique_ptr<QFile> file_;
  QString ruta_;
  QByteArray pendiente_;
  bool retiene_ = false;
  QString error_;
};

}  // namespace relvano
