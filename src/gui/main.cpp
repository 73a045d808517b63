// relvano: the main window.

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <optional>

#include "app/arranque.h"
#include "app/carpetas.h"
#include "app/ini_settings.h"
#include "app/verificacion.h"
#include "gui/frm_informa.h"
#include "gui/frm_relvano.h"
#include "gui/gui_operador.h"
#include "gui/visor_log.h"
#include "relvano_version.h"

namespace {

const char kAyuda[] =
    "Uso: relvano [opciones]\n"
    "\n"
    "Opciones:\n"
    "  --settings-dir DIR  carpeta de los ficheros de ajustes (VANTEL.ini, RELVANO.ini)\n"
    "  --log-dir DIR       carpeta de los ficheros de resumen (.LOG)\n"
    "  --screenshot FICHERO  guarda la ventana como imagen y termina (para la documentación)\n"
    "  --scene ESCENA --import FICHERO\n"
    "                      con --screenshot: importa FICHERO respondiendo Sí a todo y guarda\n"
    "                      la ventana tras la importación (ESCENA completada), tras cancelarla\n"
    "                      en la línea 4 (cancelada), las últimas importaciones (historial),\n"
    "                      el visor de resúmenes del programa (visor), la revisión de los\n"
    "                      cambios (revision), la pregunta de deshacerla sobre las últimas\n"
    "                      importaciones (deshacer) o la pantalla entera (pantalla)\n"
    "  -h, --help          muestra esta ayuda\n"
    "  --version           muestra la versión\n";

constexpr int kSalidaUso = 2;

struct OpcionesVentana {
  QString carpetaAjustes;  // --settings-dir; empty: the usual place
  QString carpetaLogs;     // --log-dir; empty: the usual place
  QString captura;         // --screenshot FILE: saves the window as a picture and ends
  QString escena;          // --scene NAME: what to do before the picture
  QString importa;         // --import FILE: the chain file the scene imports
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
    } else if (a == QLatin1String("--scene")) {
      destino = &opciones.escena;
    } else if (a == QLatin1String("--import")) {
      destino = &opciones.importa;
    } else {
      return Uso(QStringLiteral("opción desconocida: %1").arg(a));
    }
    if (i + 1 >= args.size())
      return Uso(QStringLiteral("falta %1 tras %2")
                     .arg(a.endsWith(QLatin1String("-dir")) ? QStringLiteral("la carpeta")
                                                            : QStringLiteral("el valor"),
                          a));
    *destino = args[++i];
  }
  return std::nullopt;
}

// The operator of a scene for the documentation: no box, Yes to every question; the last
// report kept, for the scene that shows it. Once `cajaSobre` is set, a question whose answer
// is No by default shows its box over that window, as the operator sees it.
class OperadorEscena final : public relvano::Operador {
 public:
  void Mensaje(const QString&, Icono) override {}
  bool Pregunta(const QString&) override { return true; }
  bool PreguntaNo(const QString& texto) override {
    return !cajaSobre || relvano::gui::PreguntaEnCaja(cajaSobre, texto, false);
  }
  void Informe(const QString& texto) override { informe = texto; }
  QString informe;
  QWidget* cajaSobre = nullptr;
};

// Drives the window as an operator would: the file's kind and path, "Importar fichero",
// and for "cancelada" "Cancelar" at line 4, for "historial" and "deshacer" "Últimas
// importaciones"; for
// "visor", the program's own log viewer opens the run's log and finds "ALTA" in it.
void Escena(relvano::gui::FrmRelvano& ventana, const QString& escena, const QString& fichero) {
  const auto clase = relvano::ClaseProbable(fichero);
  if (auto* opcion = ventana.findChild<QRadioButton*>(
          QStringLiteral("SSOption1_%1").arg(clase ? static_cast<int>(*clase) : 0)))
    opcion->click();
  ventana.findChild<QLineEdit*>(QStringLiteral("txtFichero"))
      ->setText(QDir::toNativeSeparators(fichero));
  auto* cancelar = ventana.findChild<QPushButton*>(QStringLiteral("cmdCancelar"));
  if (escena == QLatin1String("cancelada"))
    QObject::connect(&ventana, &relvano::gui::FrmRelvano::LineaLeida, cancelar,
                     [cancelar](qint64, qint64, int lineas) {
                       if (lineas == 4) cancelar->click();
                     });
  ventana.findChild<QPushButton*>(QStringLiteral("cmdOpcion_0"))->click();
  if (escena == QLatin1String("historial") || escena == QLatin1String("deshacer"))
    ventana.findChild<QPushButton*>(QStringLiteral("cmdHistorial"))->click();
}

// The settings of the installation are not where the window looked (a new user's first
// start from the menu): says what is missing and how to point the program at them, and
// offers to choose their folder. The store to use, or null to end.
std::unique_ptr<relvano::SettingsStore> AjustesDeLaInstalacion(
    std::unique_ptr<relvano::SettingsStore> ajustes, const QString& carpeta) {
  while (ajustes
             ->GetSetting(QStringLiteral("VANTEL"), QStringLiteral("BDD"),
                          QStringLiteral("RUTABDDEMPRESA"))
             .isEmpty()) {
    QMessageBox caja;
    caja.setWindowTitle(QString::fromUtf8(relvano::gui::kTituloPrograma));
    caja.setIcon(QMessageBox::Warning);
    caja.setText(QStringLiteral("No se ha encontrado la información del programa VANTEL en "
                                "la carpeta de ajustes %1.")
                     .arg(QDir::toNativeSeparators(carpeta)));
    caja.setInformativeText(QStringLiteral(
        "Falta el fichero VANTEL.ini con la carpeta de las bases de datos ([BDD] "
        "RUTABDDEMPRESA). Elija la carpeta de ajustes de la instalación de la tienda (la que "
        "tiene VANTEL.ini y RELVANO.ini), o pida a quien instaló el programa que la indique "
        "con la variable RELVANO_SETTINGS_DIR o con --settings-dir en el acceso del menú."));
    QPushButton* elegir =
        caja.addButton(QStringLiteral("&Elegir carpeta…"), QMessageBox::AcceptRole);
    caja.addButton(QStringLiteral("&Salir"), QMessageBox::RejectRole);
    caja.setDefaultButton(elegir);
    caja.exec();
    if (caja.clickedButton() != elegir) return nullptr;
    const QString elegida = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Carpeta de ajustes de la instalación"), QDir::homePath());
    if (elegida.isEmpty()) continue;
    return AjustesDeLaInstalacion(relvano::CreaAlmacenAjustes(elegida), elegida);
  }
  return ajustes;
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

  auto ajustes = relvano::CreaAlmacenAjustes(opciones.carpetaAjustes);
#ifndef Q_OS_WIN
  if (opciones.captura.isEmpty()) {
    ajustes = AjustesDeLaInstalacion(std::move(ajustes),
                                     relvano::CarpetaAjustes(opciones.carpetaAjustes));
    if (!ajustes) return kSalidaUso;
  }
#endif
  const QString carpetaLogs =
      relvano::CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  relvano::gui::GuiOperador operadorVentana;
  OperadorEscena operadorEscena;
  relvano::Operador& operador =
      opciones.escena.isEmpty() ? static_cast<relvano::Operador&>(operadorVentana) : operadorEscena;
  relvano::RelojSistema reloj;
  relvano::Programa programa(*ajustes, operador, &reloj);
  if (programa.CargaEmpresas() == relvano::Programa::Resultado::Fatal) return kSalidaUso;

  relvano::gui::ServiciosVentana servicios;
  servicios.carpetaLogs = carpetaLogs;
  QWidget* padreVisor = nullptr;
  if (opciones.escena == QLatin1String("visor")) {
    // The program's own viewer over the window, a match found, as the operator sees it.
    servicios.verLog = [&padreVisor](const QString& ruta) {
      auto* visor = new relvano::gui::VisorLog(padreVisor);
      visor->setAttribute(Qt::WA_DeleteOnClose);
      if (!visor->Abre(ruta)) return;
      visor->show();
      // The find bar open with a word found, as after Ctrl+F and Enter.
      auto* buscar = visor->findChild<QLineEdit*>(QStringLiteral("txtBuscar"));
      buscar->parentWidget()->show();
      buscar->setText(QStringLiteral("ALTA"));
      visor->Busca(buscar->text());
    };
  } else if (!opciones.escena.isEmpty()) {
    servicios.verLog = [](const QString&) {};
  }
  relvano::gui::FrmRelvano ventana(programa, operador, *ajustes, std::move(servicios));
  operadorVentana.SetPadre(&ventana);
  padreVisor = &ventana;
  if (const QScreen* pantalla = QGuiApplication::primaryScreen())
    ventana.AjustaAPantalla(pantalla->availableGeometry());
  ventana.show();

  if (!opciones.captura.isEmpty()) {
    // For the documentation: the window as drawn once the event loop has laid it out.
    QTimer::singleShot(300, &ventana, [&] {
      if (!opciones.escena.isEmpty()) Escena(ventana, opciones.escena, opciones.importa);
      QTimer::singleShot(300, &ventana, [&] {
        QPixmap imagen = ventana.grab();
        if (opciones.escena == QLatin1String("pantalla"))
          imagen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (auto* historial = ventana.findChild<QWidget*>(QStringLiteral("frm_Historial")))
          imagen = historial->grab();
        if (opciones.escena == QLatin1String("visor"))
          imagen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (opciones.escena == QLatin1String("deshacer")) {
          // "Deshacer" on the run just imported (the list's first, selected): its question
          // over the list, taken while the box waits for an answer.
          auto* historial = ventana.findChild<QWidget*>(QStringLiteral("frm_Historial"));
          auto* deshace = ventana.findChild<QPushButton*>(QStringLiteral("cmdDeshacer"));
          if (!historial || !deshace) {
            QCoreApplication::exit(1);
            return;
          }
          operadorEscena.cajaSobre = historial;
          QTimer::singleShot(300, historial, [&, historial] {
            QWidget* caja = QApplication::activeModalWidget();
            if (!caja) {
              QTextStream(stderr) << "relvano: la importación no se puede deshacer\n";
              QCoreApplication::exit(1);
              return;
            }
            // The box below the selected run, so that the picture shows which one it undoes.
            const QTableWidget* tabla =
                historial->findChild<QTableWidget*>(QStringLiteral("tblEjecuciones"));
            const QRect fila = tabla->visualRect(tabla->model()->index(0, 0));
            caja->move(caja->x(), tabla->viewport()->mapToGlobal(fila.bottomLeft()).y() + 8);
            QTimer::singleShot(300, caja, [&, historial, caja] {
              const QRect zona = historial->frameGeometry().united(caja->frameGeometry());
              QCoreApplication::exit(
                  QGuiApplication::primaryScreen()
                          ->grabWindow(0, zona.x(), zona.y(), zona.width(), zona.height())
                          .save(opciones.captura)
                      ? 0
                      : 1);
            });
          });
          deshace->click();
          return;
        }
        if (opciones.escena == QLatin1String("revision")) {
          // The report window with the run's review, over the window.
          auto* informe = new relvano::gui::FrmInforma(&ventana);
          informe->SetTexto(operadorEscena.informe);
          informe->show();
          QTimer::singleShot(300, informe, [&, informe] {
            QCoreApplication::exit(informe->grab().save(opciones.captura) ? 0 : 1);
          });
          return;
        }
        QCoreApplication::exit(imagen.save(opciones.captura) ? 0 : 1);
      });
    });
  }
  return app.exec();
}
