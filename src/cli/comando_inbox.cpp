#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QTextStream>

#include "app/arranque.h"
#include "app/bandeja.h"
#include "app/carpetas.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"
#include "cli/salida_json.h"

namespace relvano::cli {

int ComandoInbox(const OpcionesCli& opciones) {
  QTextStream err(stderr);
  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  QString carpeta = opciones.argumentos.value(0);
  if (carpeta.isEmpty())
    carpeta = ajustes->GetSetting(QStringLiteral("RELVANO"), QStringLiteral("IMPORTAR"),
                                  QStringLiteral("CARPETA_ENTRADA"));
  QJsonObject json = DocumentoJson("inbox");
  json.insert(QStringLiteral("company"), QJsonValue::Null);
  json.insert(QStringLiteral("folder"),
              carpeta.isEmpty()
                  ? QJsonValue(QJsonValue::Null)
                  : QJsonValue(QDir(QDir::fromNativeSeparators(carpeta)).absolutePath()));
  json.insert(QStringLiteral("simulation"), opciones.simular);
  json.insert(QStringLiteral("busy"), false);
  json.insert(QStringLiteral("files"), QJsonArray());
  auto termina = [&](int salida) { return opciones.json ? EmiteJson(json, salida) : salida; };
  if (carpeta.isEmpty()) {
    err << "relvano-cli: falta la carpeta: no se ha indicado y RELVANO.ini no tiene "
           "[IMPORTAR] CARPETA_ENTRADA.\n";
    return termina(kSalidaUso);
  }

  // Standard output carries only the summary, one line per file (or the document): a run's
  // report (the invoice's totals) goes to standard error with the messages.
  CliOperador operador(true);
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  if (!AbreEmpresa(opciones, programa)) return termina(kSalidaUso);
  json.insert(QStringLiteral("company"), EmpresaJson(programa));

  OpcionesBandeja bandeja;
  bandeja.carpeta = QDir::fromNativeSeparators(carpeta);
  bandeja.noActualizarBajas = opciones.noActualizarBajas.value_or(programa.NoActualizarBajas());
  bandeja.simular = opciones.simular;
  bandeja.forzar = opciones.forzar;
  bandeja.revision = programa.Revision();
  bandeja.carpetaLogs = CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  bandeja.historial = UbicacionHistorial::De(programa.RutaGeneral(),
                                             programa.Conexiones().Opciones(), bandeja.carpetaLogs);

  const ResultadoBandeja resultado = ImportaBandeja(programa.Empresa(), bandeja, operador);
  if (resultado.carpetaExiste && !resultado.ocupada && resultado.ficheros.empty())
    err << "La carpeta " << carpeta << " no tiene ningún fichero.\n";
  if (!resultado.avisoSimulacion.isEmpty()) err << resultado.avisoSimulacion << '\n';
  err.flush();
  if (opciones.json) {
    QJsonArray ficheros;
    for (const DesenlaceBandeja& d : resultado.ficheros) {
      FicheroJson f{d.fichero.clase, d.fichero.ruta, DesenlaceBandejaJson(d, resultado.simulacion),
                    d.importacion,   d.inicio,       d.fin,
                    d.destino,       d.detalle};
      ficheros.append(FicheroAJson(f));
    }
    json.insert(QStringLiteral("busy"), resultado.ocupada);
    json.insert(QStringLiteral("files"), ficheros);
    return EmiteJson(json, resultado.estado);
  }
  QTextStream out(stdout);
  for (const QString& linea : resultado.Lineas()) out << linea << '\n';
  for (const QString& linea : resultado.LineasRevision()) out << linea << '\n';
  return resultado.estado;
}

}  // namespace relvano::cli
