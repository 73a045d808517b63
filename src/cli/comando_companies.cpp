#include <QTextStream>

#include "cli/opciones_cli.h"

namespace relvano::cli {

int ComandoCompanies(const OpcionesCli&) {
  QTextStream(stderr) << "relvano-cli: la orden companies todavía no está disponible en esta versión.\n";
  return kSalidaUso;
}

}  // namespace relvano::cli
