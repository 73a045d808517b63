// relvano: the main window.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <optional>

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

// Reads the command line. --help, --version and usage errors are answered here, with
// the exit status returned: they need no window, nor a display to draw one on.
std::optional<int> LeeOpciones(const QStringList& args, OpcionesVentana& opciones) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    QString* destino = nullptr;
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      QTextStream(stdout) << kAyuda;
      return 0;
    } else if (a == QLatin1String("--version")) {
      // The same version as relvano-cli's, then the window's title that shows it.
      QTextStream(stdout) << "relvano " << RELVANO_VERSION << "\n"
                          << QString::fromUtf8(relvano::gui::kTituloPrograma) << "\n";
      return 0;
    } else if (a == QLatin1String("--settings-dir")) {
      destino = &opciones.carpetaAjustes;
    } else if (a == QLatin1String("--log-dir")) {
      destino = &opciones.carpetaLogs;
    } else if (a == QLatin1String("--screenshot")) {
      destino = &opciones.captura;
    } else {
      return Uso(QStringLiteral("opción desconocida: %1").arg(a));
    }
    if (i + 1 >= args.size())
      return Uso(QStringLiteral("falta %1 tras %2")
                     .arg(a == QLatin1String("--screenshot") ? QStringLiteral("el fichero")
                                                             : QStringLiteral("la carpeta"),
                          a));
    *destino = args[++i];
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  OpcionesVentana opciones;
  {
    // The arguments as the platform gives them (wide on Windows), before any window exists.
    QCoreApplication lectura(argc, argv);
    if (const auto salida = LeeOpciones(QCoreApplication::arguments().mid(1), opciones))
      return *salida;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("relvano"));
  QApplication::setApplicationVersion(QStringLiteral(RELVANO_VERSION));
  // The shops work in Spanish: the file dialog and Qt's own texts too, whatever the machine.
  QTranslator traduccionQt;
  if (traduccionQt.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&traduccionQt);

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
