#include <QDir>
#include <QTextStream>

#include "cli/opciones_cli.h"
#include "demo/demo.h"

namespace relvano::cli {

int ComandoDemo(const OpcionesCli& opciones) {
  const QString carpeta = opciones.argumentos.value(0);
  QString error;
  if (!CreaDemo(carpeta, &error)) {
    QTextStream(stderr) << "relvano-cli: " << error << "\n";
    return kSalidaUso;
  }
  const QString ajustes =
      QDir::toNativeSeparators(QDir(carpeta).absoluteFilePath(QStringLiteral("settings")));
  QTextStream(stdout) << "Instalación de demostración creada en "
                      << QDir::toNativeSeparators(QDir(carpeta).absolutePath()) << "\n"
                      << "Use --settings-dir " << ajustes << " con las demás órdenes.\n";
  return kSalidaOk;
}

}  // namespace relvano::cli
