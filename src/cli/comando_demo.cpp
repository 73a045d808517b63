#include <QTextStream>

#include "cli/opciones_cli.h"

namespace relvano::cli {

int ComandoDemo(const OpcionesCli&) {
  QTextStream(stderr) << "relvano-cli: la orden demo todavía no está disponible en esta versión.\n";
  return kSalidaUso;
}

}  // namespace relvano::cli
