#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include "app/arranque.h"
#include "app/bandeja.h"
#include "app/carpetas.h"
#include "app/ini_settings.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"

namespace relvano::cli {
namespace {

// Standard output carries only the summary, one line per file: a run's report (the
// invoice's totals) goes to standard error with the messages.
class OperadorBandeja final : public Operador {
 public:
  void Mensaje(const QString& texto, Icono icono) override { cli_.Mensaje(texto, icono); }
  bool Pregunta(const QString& texto) override { return cli_.Pregunta(texto); }
  void Informe(const QString& texto) override { cli_.Mensaje(texto); }

 private:
  CliOperador cli_;
};

}  // namespace

int ComandoInbox(const OpcionesCli& opciones) {
  QTextStream err(stderr);
  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  QString carpeta = opciones.argumentos.value(0);
  if (carpeta.isEmpty())
    carpeta = ajustes->GetSetting(QStringLiteral("RELVANO"), QStringLiteral("IMPORTAR"),
                                  QStringLiteral("CARPETA_ENTRADA"));
  if (carpeta.isEmpty()) {
    err << "relvano-cli: falta la carpeta: no se ha indicado y RELVANO.ini no tiene "
           "[IMPORTAR] CARPETA_ENTRADA.\n";
    return kSalidaUso;
  }

  OperadorBandeja operador;
  RelojSistema reloj;
  Programa programa(*ajustes, operador, &reloj);
  if (!AbreEmpresa(opciones, programa)) return kSalidaUso;

  OpcionesBandeja bandeja;
  bandeja.carpeta = QDir::fromNativeSeparators(carpeta);
  bandeja.noActualizarBajas = opciones.noActualizarBajas.value_or(programa.NoActualizarBajas());
  bandeja.simular = opciones.simular;
  bandeja.forzar = opciones.forzar;
  bandeja.carpetaLogs = CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  bandeja.historial = UbicacionHistorial::De(programa.RutaGeneral(),
                                             programa.Conexiones().Opciones(), bandeja.carpetaLogs);

  const ResultadoBandeja resultado = ImportaBandeja(programa.Empresa(), bandeja, operador);
  if (resultado.carpetaExiste && resultado.ficheros.empty())
    err << "La carpeta " << carpeta << " no tiene ningún fichero.\n";
  if (!resultado.avisoSimulacion.isEmpty()) err << resultado.avisoSimulacion << '\n';
  err.flush();
  QTextStream out(stdout);
  for (const QString& linea : resultado.Lineas()) out << linea << '\n';
  return resultado.estado;
}

}  // namespace relvano::cli
