#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include "app/arranque.h"
#include "app/carpetas.h"
#include "app/deshacer.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"

namespace relvano::cli {

int ComandoUndo(const OpcionesCli& opciones) {
  QTextStream err(stderr);
  bool ok = false;
  const qint64 id = opciones.argumentos.value(0).toLongLong(&ok);
  if (!ok || id <= 0) {
    err << "relvano-cli: undo necesita el número de la importación (el de history)\n";
    return kSalidaUso;
  }
  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  CliOperador operador(false);
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  if (programa.ListaEmpresas() != Programa::Resultado::Hecho) return kSalidaUso;
  OpcionesDeshacer deshacer;
  deshacer.id = id;
  deshacer.simular = opciones.simular;
  deshacer.forzar = opciones.forzar;
  deshacer.carpetaLogs = CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  deshacer.historial = UbicacionHistorial::De(
      programa.RutaGeneral(), programa.Conexiones().Opciones(), deshacer.carpetaLogs);
  QString error;
  const auto ejecucion = LeeEjecucion(deshacer.historial, id, &error);
  if (!ejecucion) {
    err << "relvano-cli: " << error << '\n';
    return kSalidaUso;
  }
  // The run is undone in the company it imported into, whatever --company says.
  if (!opciones.empresa.isEmpty() && opciones.empresa != ejecucion->empresa) {
    err << "relvano-cli: la importación " << id << " se hizo en la empresa " << ejecucion->empresa
        << ", no en la " << opciones.empresa << ": no se ha deshecho nada.\n";
    return kSalidaUso;
  }
  OpcionesCli conEmpresa = opciones;
  conEmpresa.empresa = ejecucion->empresa;
  if (!AbreEmpresa(conEmpresa, programa)) return kSalidaUso;

  const ResultadoDeshacer r = DeshazEjecucion(programa.Empresa(), deshacer, operador);
  QTextStream out(stdout);
  for (const QString& fila : r.dejadas) err << "Se deja como está " << fila << '\n';
  err.flush();
  if (!r.rutaLog.isEmpty())
    out << "Fichero resumen: " << QFileInfo(r.rutaLog).absoluteFilePath() << '\n';
  switch (r.estado) {
    case ResultadoDeshacer::Estado::Completa:
      return kSalidaOk;
    case ResultadoDeshacer::Estado::EnParte:
      return kSalidaEnParte;
    case ResultadoDeshacer::Estado::Rechazada:
      return kSalidaUso;
    case ResultadoDeshacer::Estado::Error:
      break;
  }
  return kSalidaError;
}

}  // namespace relvano::cli
