#pragma once

#include <QString>
#include <stdexcept>

namespace relvano {

// Every failure the program throws of its own: what() and Mensaje() are the text the
// operator reads, in Spanish. A failure that comes from a statement the database refused
// also carries that statement, which the run log writes on a line of its own; statements
// hold their values as bound parameters, so it never shows a value or a password.
class Error : public std::runtime_error {
 public:
  explicit Error(const QString& mensaje, QString sentencia = {})
      : std::runtime_error(mensaje.toStdString()),
        mensaje_(mensaje),
        sentencia_(std::move(sentencia)) {}

  const QString& Mensaje() const { return mensaje_; }
  // The statement that failed; empty when the failure is not a statement's.
  const QString& Sentencia() const { return sentencia_; }

 private:
  QString mensaje_;
  QString sentencia_;
};

// The statement a failure carries when it is one of the program's own; empty otherwise.
inline QString SentenciaDe(const std::exception& e) {
  const auto* propia = dynamic_cast<const Error*>(&e);
  return propia ? propia->Sentencia() : QString();
}

}  // namespace relvano
