#include "cli/cli_operador.h"

#include <cstdio>

namespace relvano::cli {

QString ParaTerminal(QString texto) {
  texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return texto;
}

void CliOperador::Mensaje(const QString& texto, Icono) {
  QTextStream err(stderr);
  err << ParaTerminal(texto) << '\n';
  err.flush();
}

bool CliOperador::Pregunta(const QString&) { return true; }

bool CliOperador::PreguntaNo(const QString&) { return true; }

void CliOperador::Informe(const QString& texto) {
  if (informeEnError_) {
    Mensaje(texto);
    return;
  }
  QTextStream out(stdout);
  out << ParaTerminal(texto);
  if (!texto.endsWith(QLatin1Char('\n'))) out << '\n';
  out.flush();
}

}  // namespace relvano::cli
