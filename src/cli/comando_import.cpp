#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QTextStream>
#include <optional>

#include "app/arranque.h"
#include "app/carpetas.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"
#include "cli/salida_json.h"

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
  QTextStream err(stderr);
  const auto carga = programa.CargaEmpresas(Programa::SiFaltaRecordada::NoAbre);
  const QString& ausente = programa.RecordadaAusente();
  if (carga != Programa::Resultado::Hecho && ausente.isEmpty()) return false;
  if (opciones.empresa.isEmpty() && !ausente.isEmpty()) {
    // Unattended, the first company of the list is a guess: a file applied to the
    // wrong company is worse than a run that did nothing.
    err << "relvano-cli: la empresa recordada \"" << ausente
        << "\" ([IMPORTAR] IDEMPRESA de RELVANO.ini) no está en la lista de empresas ("
        << programa.Empresas().join(QStringLiteral(", "))
        << "): no se ha importado nada. Indique la empresa con --company CODIGO.\n";
    return false;
  }
  if (!opciones.empresa.isEmpty() && opciones.empresa != programa.Empresa().IdEmpresa) {
    if (!programa.Empresas().contains(opciones.empresa)) {
      err << "relvano-cli: la empresa " << opciones.empresa
          << " no está en la lista de empresas.\n";
      return false;
    }
    if (programa.EligeEmpresa(opciones.empresa) != Programa::Resultado::Hecho) return false;
  }
  if (!programa.EmpresaAbierta()) return false;
  const QString& codigo = programa.Empresa().IdEmpresa;
  const QString nombre = programa.NombreEmpresa(codigo);
  err << "Empresa " << codigo << (nombre.isEmpty() ? QString() : QStringLiteral(" – ") + nombre)
      << '\n';
  return true;
}

int ComandoImport(const OpcionesCli& opciones) {
  QTextStream err(stderr);
  QJsonObject json = DocumentoJson("import");
  json.insert(QStringLiteral("company"), QJsonValue::Null);
  json.insert(QStringLiteral("simulation"), opciones.simular);
  json.insert(QStringLiteral("files"), QJsonArray());
  auto termina = [&](int salida) { return opciones.json ? EmiteJson(json, salida) : salida; };

  const auto clase = imports::ClasePorNombre(opciones.argumentos.value(0));
  if (!clase) {
    err << "relvano-cli: clase de importación desconocida: " << opciones.argumentos.value(0) << " ("
        << NombresClases() << " o 0-5)\n";
    return termina(kSalidaUso);
  }

  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  // With --json standard output holds the document alone: the report goes with the messages.
  CliOperador operador(opciones.json);
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  if (!AbreEmpresa(opciones, programa)) return termina(kSalidaUso);
  json.insert(QStringLiteral("company"), EmpresaJson(programa));

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
  importacion.revision = programa.Revision();
  importacion.historial = UbicacionHistorial::De(
      programa.RutaGeneral(), programa.Conexiones().Opciones(), importacion.carpetaLogs);

  FicheroJson fichero;
  fichero.clase = clase;
  fichero.ruta = QFileInfo(importacion.fichero).absoluteFilePath();
  fichero.inicio = QDateTime::currentDateTime();
  fichero.r = ImportaFichero(programa.Empresa(), importacion, operador);
  fichero.fin = QDateTime::currentDateTime();
  const ResultadoImportacion& resultado = fichero.r;
  if (resultado.forzable) err << "Use --force para importarlo de todos modos.\n";
  err.flush();
  const int salida = Salida(resultado.estado);
  if (opciones.json) {
    fichero.desenlace = DesenlaceImportacion(resultado, opciones.simular, importacion.fichero);
    // A refusal's reason, as the inbox's document gives it.
    fichero.error = resultado.estado == ResultadoImportacion::Estado::Rechazada ? resultado.motivo
                                                                                : resultado.error;
    json.insert(QStringLiteral("files"), QJsonArray{FicheroAJson(fichero)});
    return EmiteJson(json, salida);
  }
  QTextStream out(stdout);
  if (!resultado.rutaLog.isEmpty())
    out << "Fichero resumen: " << QFileInfo(resultado.rutaLog).absoluteFilePath() << '\n';
  if (resultado.revision) out << LineasRevision(*resultado.revision);
  return salida;
}

}  // namespace relvano::cli
