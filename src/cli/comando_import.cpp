#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <optional>

#include "app/arranque.h"
#include "app/carpetas.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"

namespace relvano::cli {
namespace {

int Salida(ResultadoImportacion::Estado estado) {
  switch (estado) {
    case ResultadoImportacion::Estado::Completa:
      return kSalidaOk;
    case ResultadoImportacion::Estado::Error:
    case ResultadoImportacion::Estado::Cancelada:
      return kSalidaError;
    case ResultadoImportacion::Estado::FacturaNoCreada:
      return kSalidaFacturaNoCreada;
    case ResultadoImportacion::Estado::NoIniciada:
    case ResultadoImportacion::Estado::Rechazada:
      return kSalidaUso;
  }
  return kSalidaError;
}

}  // namespace

bool AbreEmpresa(const OpcionesCli& opciones, Programa& programa) {
  if (programa.CargaEmpresas() != Programa::Resultado::Hecho) return false;
  if (!opciones.empresa.isEmpty() && opciones.empresa != programa.Empresa().IdEmpresa) {
    if (!programa.Empresas().contains(opciones.empresa)) {
      QTextStream(stderr) << "relvano-cli: la empresa " << opciones.empresa
                          << " no está en la lista de empresas.\n";
      return false;
    }
    if (programa.EligeEmpresa(opciones.empresa) != Programa::Resultado::Hecho) return false;
  }
  return programa.EmpresaAbierta();
}

int ComandoImport(const OpcionesCli& opciones) {
  QTextStream err(stderr);
  const auto clase = imports::ClasePorNombre(opciones.argumentos.value(0));
  if (!clase) {
    err << "relvano-cli: clase de importación desconocida: " << opciones.argumentos.value(0) << " ("
        << NombresClases() << " o 0-5)\n";
    return kSalidaUso;
  }

  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  CliOperador operador;
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  if (!AbreEmpresa(opciones, programa)) return kSalidaUso;

  OpcionesImportacion importacion;
  importacion.opcion = clase;
  importacion.fichero = opciones.argumentos.value(1);
  importacion.nombreFicheroImportado = QFileInfo(importacion.fichero).fileName();
  importacion.noActualizarBajas = opciones.noActualizarBajas.value_or(programa.NoActualizarBajas());
  importacion.simular = opciones.simular;
  importacion.carpetaLogs =
      CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  importacion.preguntar = false;
  importacion.forzar = opciones.forzar;
  importacion.historial = UbicacionHistorial::De(
      programa.RutaGeneral(), programa.Conexiones().Opciones(), importacion.carpetaLogs);

  const auto resultado = ImportaFichero(programa.Empresa(), importacion, operador);
  if (resultado.forzable) err << "Use --force para importarlo de todos modos.\n";
  err.flush();
  if (!resultado.rutaLog.isEmpty())
    QTextStream(stdout) << "Fichero resumen: " << QFileInfo(resultado.rutaLog).absoluteFilePath()
                        << '\n';
  return Salida(resultado.estado);
}

}  // namespace relvano::cli
