#include <QTextStream>

#include "cli/opciones_cli.h"

namespace relvano::cli {

int ComandoImport(const OpcionesCli&) {
  QTextStream(stderr) << "relvano-cli: la orden import todavía no está disponible en esta versión.\n";
  return kSalidaUso;
}

}  // namespace relvano::cli
