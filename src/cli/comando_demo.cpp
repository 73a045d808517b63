#include <QDir>
#include <QTextStream>

#include "cli/opciones_cli.h"
#include "demo/demo.h"

namespace relvano::cli {

int ComandoDemo(const OpcionesCli& opciones) {
  const QString carpeta = opciones.argumentos.value(0);
  store::OpcionesConexion conexion;
  if (opciones.motor.compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0) {
    if (opciones.servidor.isEmpty()) {
      QTextStream(stderr) << "relvano-cli: --engine postgresql necesita --server CONEXION\n";
      return kSalidaUso;
    }
    conexion.motor = store::Motor::Postgres;
    conexion.servidor = opciones.servidor;
    conexion.prefijo = opciones.prefijo;
    conexion.clave = store::ClaveBaseDatos();
  } else if (!opciones.motor.isEmpty() &&
             opciones.motor.compare(QLatin1String("sqlite"), Qt::CaseInsensitive) != 0) {
    QTextStream(stderr) << "relvano-cli: motor desconocido: " << opciones.motor
                        << " (sqlite o postgresql)\n";
    return kSalidaUso;
  }
  QString error;
  if (!CreaDemo(carpeta, &error, QDate(2026, 11, 30), conexion)) {
    QTextStream(stderr) << "relvano-cli: " << error << "\n";
    return kSalidaUso;
  }
  const QString ajustes =
      QDir::toNativeSeparators(QDir(carpeta).absoluteFilePath(QStringLiteral("settings")));
  QTextStream(stdout) << "Instalación de demostración creada en "
                      << QDir::toNativeSeparators(QDir(carpeta).absolutePath()) << "\n"
                      << "Use --settings-dir " << ajustes << " con las demás órdenes.\n";
  bool conClave = false;
  store::ConexionSinClave(conexion.servidor, &conClave);
  if (conClave)
    QTextStream(stdout) << "La contraseña de --server no se ha guardado en RELVANO.ini: "
                           "désela a las demás órdenes con la variable de entorno "
                           "RELVANO_CLAVE_BDD o en el fichero ~/.pgpass.\n";
  return kSalidaOk;
}

}  // namespace relvano::cli
