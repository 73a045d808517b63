// relvano: the main window.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include "app/arranque.h"
#include "app/carpetas.h"
#include "app/ini_settings.h"
#include "gui/frm_relvano.h"
#include "gui/gui_operador.h"
#include "relvano_version.h"

namespace {

const char kAyuda[] =
    "Uso: relvano [opciones]\n"
    "\n"
    "Opciones:\n"
    "  --settings-dir DIR  carpeta de los ficheros de ajustes (VANTEL.ini, RELVANO.ini)\n"
    "  --log-dir DIR       carpeta de los ficheros de resumen (.LOG)\n"
    "  --help              muestra esta ayuda\n"
    "  --version           muestra la versión\n";

constexpr int kSalidaUso = 2;

struct OpcionesVentana {
  QString carpetaAjustes;  // --settings-dir; empty: the usual place
  QString carpetaLogs;     // --log-dir; empty: the usual place
  QString captura;         // --screenshot FILE: saves the window as a picture and ends
};

int Uso(const QString& error) {
  QTextStream(stderr) << "relvano: " << error << "\nPruebe 'relvano --help'.\n";
  return kSalidaUso;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("relvano"));
  QApplication::setApplicationVersion(QStringLiteral(RELVANO_VERSION));
  // The shops work in Spanish: the file dialog and Qt's own texts too, whatever the machine.
  QTranslator traduccionQt;
  if (traduccionQt.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&traduccionQt);

  OpcionesVentana opciones;
  const QStringList args = QCoreApplication::arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto valor = [&](QString* destino) {
      if (i + 1 >= args.size()) return false;
      *destino = args[++i];
      return true;
    };
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      QTextStream(stdout) << kAyuda;
      return 0;
    } else if (a == QLatin1String("--version")) {
      // The same version as relvano-cli's, then the window's title that shows it.
      QTextStream(stdout) << "relvano " << RELVANO_VERSION << "\n"
                          << QString::fromUtf8(relvano::gui::kTituloPrograma) << "\n";
      return 0;
    } else if (a == QLatin1String("--settings-dir")) {
      if (!valor(&opciones.carpetaAjustes))
        return Uso(QStringLiteral("falta la carpeta tras --settings-dir"));
    } else if (a == QLatin1String("--log-dir")) {
      if (!valor(&opciones.carpetaLogs))
        return Uso(QStringLiteral("falta la carpeta tras --log-dir"));
    } else if (a == QLatin1String("--screenshot")) {
      if (!valor(&opciones.captura))
        return Uso(QStringLiteral("falta el fichero tras --screenshot"));
    } else {
      return Uso(QStringLiteral("opción desconocida: %1").arg(a));
    }
  }

  const auto ajustes = relvano::CreaAlmacenAjustes(opciones.carpetaAjustes);
  const QString carpetaLogs =
      relvano::CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  relvano::gui::GuiOperador operador;
  relvano::RelojSistema reloj;
  relvano::Programa programa(*ajustes, operador, &reloj);
  if (programa.CargaEmpresas() == relvano::Programa::Resultado::Fatal) return kSalidaUso;

  relvano::gui::ServiciosVentana servicios;
  servicios.carpetaLogs = carpetaLogs;
  relvano::gui::FrmRelvano ventana(programa, operador, *ajustes, std::move(servicios));
  operador.SetPadre(&ventana);
  ventana.resize(ventana.sizeHint());
  if (const QScreen* pantalla = QGuiApplication::primaryScreen()) {
    QRect marco = ventana.frameGeometry();
    marco.moveCenter(pantalla->availableGeometry().center());
    ventana.move(marco.topLeft());
  }
  ventana.show();

  if (!opciones.captura.isEmpty()) {
    // For the documentation: the window as drawn once the event loop has laid it out.
    QTimer::singleShot(300, &ventana, [&] {
      const bool guardada = ventana.grab().save(opciones.captura);
      QCoreApplication::exit(guardada ? 0 : 1);
    });
  }
  return app.exec();
}
