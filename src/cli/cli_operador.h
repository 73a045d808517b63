#pragma once

#include <QTextStream>

#include "base/operador.h"

namespace relvano::cli {

// The operator of the command line: every message box becomes one message on standard
// error in its own words (its CR LF line breaks as line breaks); the report goes to
// standard output (unless told otherwise); questions are not asked (naming the file is the
// confirmation).
class CliOperador final : public Operador {
 public:
  // `informeEnError`: the report goes to standard error too, when standard output holds
  // something else (a summary, a --json document).
  explicit CliOperador(bool informeEnError = false) : informeEnError_(informeEnError) {}
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override;
  bool Pregunta(const QString& texto) override;
  bool PreguntaNo(const QString& texto) override;
  void Informe(const QString& texto) override;

 private:
  bool informeEnError_;
};

// Text for a terminal: CR LF and lone CR become LF.
QString ParaTerminal(QString texto);

}  // namespace relvano::cli
