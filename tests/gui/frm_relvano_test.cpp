#include "gui/frm_relvano.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <tuple>

#include "app/arranque.h"
#include "gui/acciones_ventana.h"
#include "gui/gui_operador.h"
#include "gui/visor_log.h"
#include "support/tienda.h"

namespace relvano::gui {
namespace {

const QString kIde =
    QStringLiteral("IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|");

// An article addition line: code and description, family and group, the rest empty.
QString Alta(int codigo, const QString& descripcion) {
  QStringList f;
  for (int i = 0; i < 61; ++i) f << QString();
  f[0] = "DET";
  f[1] = "A";
  f[2] = QString("%1").arg(codigo, 7, 10, QLatin1Char('0'));
  f[3] = descripcion;
  f[6] = "A";
  f[8] = "0001";
  f[9] = "00010";
  return f.join(u'|') + u'|';
}

const QString kTodoHabilitado =
    "SSOption1_0 SSOption1_5 SSCheck1 cmbEmpresa txtFichero BotonBuscar cmdBorrar cmdOpcion_0 "
    "cmdSimular cmdCancelar(off) Text1 txtNumPedido cmdOpcion_1 cmdSalir";
// While a run is on only its cancel button takes input.
const QString kEnCurso =
    "SSOption1_0(off) SSOption1_5(off) SSCheck1(off) cmbEmpresa(off) txtFichero(off) "
    "BotonBuscar(off) cmdBorrar(off) cmdOpcion_0(off) cmdSimular(off) cmdCancelar Text1(off) "
    "txtNumPedido(off) cmdOpcion_1(off) cmdSalir(off)";

class MainWindow : public ::testing::Test {
 protected:
  MainWindow() { ins.Empresa("001"); }
  // Starts the program as main does, then builds the window over it.
  void Abre(Operador* operador = nullptr) {
    ventana.reset();
    programa = std::make_unique<Programa>(ins.ajustes, ins.operador, &ins.reloj);
    arranque = programa->CargaEmpresas();
    ServiciosVentana servicios;
    servicios.eligeFichero = [this](const QString& filtro, const QString& carpeta) {
      dialogos << filtro + " @ " + carpeta;
      return eleccion;
    };
    servicios.verLog = [this](const QString& ruta) { logsVistos << ruta; };
    servicios.terminaPrograma = [this](int codigo) { finales << codigo; };
    servicios.confirmaBandeja = [this](const QString& texto, bool& forzar) {
      confirmaciones << texto;
      forzar = forzarBandeja;
      return true;
    };
    servicios.carpetaLogs = ins.logs;
    ventana = std::make_unique<FrmRelvano>(*programa, operador ? *operador : ins.operador,
                                           ins.ajustes, std::move(servicios));
  }
  template <class T>
  T* W(const QString& nombre) {
    T* w = ventana->findChild<T*>(nombre);
    EXPECT_NE(nullptr, w) << nombre.toStdString();
    return w;
  }
  QLineEdit* txtFichero() { return W<QLineEdit>("txtFichero"); }
  QString Nombre() { return W<QLabel>("LbNombreFicheroImportado")->text(); }
  void Opcion(int i) { W<QRadioButton>(QString("SSOption1_%1").arg(i))->click(); }
  void Pulsa(const QString& nombre) { W<QAbstractButton>(nombre)->click(); }
  void Elige(const QString& empresa) {
    auto* cmb = W<QComboBox>("cmbEmpresa");
    cmb->setCurrentIndex(cmb->findData(empresa));
  }
  // Which of the window's controls take input, as "name" or "name(off)".
  QString Habilitados() {
    QStringList out;
    for (const QString& n : QString("SSOption1_0 SSOption1_5 SSCheck1 cmbEmpresa txtFichero "
                                    "BotonBuscar cmdBorrar cmdOpcion_0 cmdSimular cmdCancelar "
                                    "Text1 txtNumPedido cmdOpcion_1 cmdSalir")
                                .split(' '))
      out << n + (W<QWidget>(n)->isEnabled() ? "" : "(off)");
    return out.join(u' ');
  }
  QString Resumen(const QString& log) {
    return "Pregunta: Fichero resumen: " + ins.logs + "/" + log +
           "\r\n\r\n¿Desea ver el resumen de importación?\n";
  }

  testing::Instalacion ins;
  std::unique_ptr<Programa> programa;
  Programa::Resultado arranque = Programa::Resultado::Hecho;
  std::unique_ptr<FrmRelvano> ventana;
  QStringList dialogos, logsVistos, confirmaciones;
  QString eleccion;
  bool forzarBandeja = false;
  QList<int> finales;
};

// Screen readers and outside tests find every control by its name; the options carry the
// captions of the kinds' table.
TEST_F(MainWindow, EveryControlHasItsName) {
  Abre();
  for (const char* nombre :
       {"BotonBuscar", "Image1",      "Label1",      "LbNombreFicheroImportado",
        "SSCheck1",    "SSFrame1_0",  "SSFrame1_3",  "SSFrame2",
        "SSFrame3",    "SSPanel2",    "Text1",       "barraProgreso",
        "cmbEmpresa",  "cmdBandeja",  "cmdBorrar",   "cmdCancelar",
        "cmdOpcion_0", "cmdOpcion_1", "cmdSalir",    "cmdSimular",
        "lbLineas",    "txtFichero",  "txtNumPedido"})
    EXPECT_TRUE(ventana->findChild<QWidget*>(nombre)) << nombre;
  for (const auto& c : imports::ClasesFichero())
    EXPECT_EQ(QString::fromUtf8(c.titulo),
              W<QRadioButton>("SSOption1_" + QString::number(static_cast<int>(c.opcion)))->text());
}

TEST_F(MainWindow, FileButtonOffersTheOptionsFilesFromTheInputFolder) {
  Abre();
  Pulsa("BotonBuscar");  // without an option: tells, opens no dialog
  EXPECT_EQ(QString("Mensaje[i]: No ha seleccionado ninguna operación.\n"),
            ins.operador.Transcripcion());
  Opcion(1);
  Pulsa("BotonBuscar");  // without an input folder: from home
  EXPECT_EQ(QStringList({"Ficheros Cadena (vrceancto*.*) @ " + QDir::homePath()}), dialogos);

  ins.ajustes.valores["RELVANO/IMPORTAR/CARPETA_ENTRADA"] = ins.entrada;
  Abre();
  dialogos.clear();
  for (int i = 0; i < 6; ++i) {
    Opcion(i);
    eleccion = ins.entrada + QString("/fichero%1.txt").arg(i);
    Pulsa("BotonBuscar");
    EXPECT_EQ(eleccion, txtFichero()->text());
    EXPECT_EQ(QString("fichero%1.txt").arg(i), Nombre());
  }
  EXPECT_EQ(testing::Golden("filtros_fichero.txt").arg(ins.entrada), dialogos.join(u'\n') + u'\n');
  // The name follows the path, also a typed one; choosing an option empties both.
  txtFichero()->setText(ins.entrada + "/vrcofecto0716.txt");
  EXPECT_EQ(QString("vrcofecto0716.txt"), Nombre());
  Opcion(2);
  EXPECT_EQ(QString(), txtFichero()->text() + Nombre());
  // A name with Windows separators keeps only what follows the last one.
  eleccion = "C:\\APLC\\NRVX\\In\\envfradis0715.txt";
  Pulsa("BotonBuscar");
  EXPECT_EQ(QString("envfradis0715.txt"), Nombre());
  // Cancelling the dialog empties both.
  eleccion.clear();
  Pulsa("BotonBuscar");
  EXPECT_EQ(QString(), txtFichero()->text() + Nombre());
}

TEST_F(MainWindow, ImportAndSimulateRunTheChosenOptionOnTheChosenCompany) {
  ins.Empresa("002");
  Abre();
  Elige("002");
  EXPECT_TRUE(programa->EmpresaAbierta());
  const QString fichero = ins.Fichero(
      "vrcrefcto0715.txt", {kIde, Alta(1, "LECHE ENTERA"), Alta(2, "PAN"), "CHK|000004|"});
  QStringList durante;
  ins.operador.alMostrar = [&](const QString&) {
    durante << Habilitados() + " / " + W<QLabel>("lbLineas")->text();
  };
  Opcion(0);
  eleccion = fichero;
  Pulsa("BotonBuscar");
  ins.operador.Responde({true, true, true, false});
  Pulsa("cmdSimular");
  EXPECT_EQ(QStringList(), ins.Articulos("002"));
  Pulsa("cmdOpcion_0");

  const QString pasos =
      "Mensaje[i]: Se han leido: 4 lineas.\r\n\r\nEl fichero contiene 4 lineas.\n";
  // Each run, simulated or not, ends with the review of what it changed in the report window.
  const QString revision =
      "Informe: Revisión de los cambios:\r\n  ARTICULOS: 2 añadidas, 0 modificadas, 0 borradas\r\n"
      "  ARTICULOS_PROV: 2 añadidas, 0 modificadas, 0 borradas\r\n  FAMILIAS: 1 añadidas, 0 "
      "modificadas, 0 borradas\r\n  GRUPOS: 1 añadidas, 0 modificadas, 0 borradas\r\n  SUBGRUPOS: "
      "1 añadidas, 0 modificadas, 0 borradas\r\n  Nada fuera de lo normal.\n";
  EXPECT_EQ(
      "Pregunta: ¿Desea simular la importación del fichero seleccionado? No se guardará "
      "nada.\n" +
          pasos + Resumen("SIMULACION_ARTICULOS.LOG") + revision +
          "Pregunta: ¿Desea importar el fichero seleccionado?\n" + pasos +
          Resumen("ARTICULOS.LOG") + revision,
      ins.operador.Transcripcion());
  // Only the summary accepted is shown.
  EXPECT_EQ(QStringList({ins.logs + "/SIMULACION_ARTICULOS.LOG"}), logsVistos);
  EXPECT_EQ(QStringList({"0000001 LECHE ENTERA", "0000002 PAN"}), ins.Articulos("002"));
  EXPECT_EQ(QStringList(), ins.Articulos("001"));
  // Each box is read beside the count it speaks of.
  EXPECT_EQ(QStringList({kEnCurso + " / ", kEnCurso + " / Líneas leídas: 4",
                         kEnCurso + " / Líneas leídas: 4"}),
            durante.mid(0, 3));
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_EQ(QString("Líneas leídas: 4"), W<QLabel>("lbLineas")->text());
  EXPECT_EQ(1000, W<QProgressBar>("barraProgreso")->value());
}

// The question names the file and a quick Enter keeps it; Yes deletes it, and the path
// and the name go with it.
TEST_F(MainWindow, DeleteNamesTheFileAndAsksWithNoByDefault) {
  GuiOperador cajas;
  Abre(&cajas);
  txtFichero()->setText(ins.Fichero("vrcrefcto0715.txt", {kIde}));
  const QString ruta = txtFichero()->text();
  QString pregunta;
  QTimer::singleShot(0, [&] {
    auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    pregunta = caja ? caja->text() : "<no box>";
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    if (caja) QApplication::sendEvent(caja, &enter);
  });
  Pulsa("cmdBorrar");
  EXPECT_EQ("¿Desea borrar el fichero?\n\n" + ruta, pregunta);
  EXPECT_TRUE(QFile::exists(ruta));
  Abre();
  txtFichero()->setText(ruta);
  Pulsa("cmdBorrar");
  EXPECT_EQ(
      "Pregunta: ¿Desea borrar el fichero?\r\n\r\n" + ruta + "\nMensaje[i]: Fichero borrado.\n",
      ins.operador.Transcripcion());
  EXPECT_FALSE(QFile::exists(ruta));
  EXPECT_EQ(QString(), txtFichero()->text() + Nombre());
}

TEST_F(MainWindow, OrderButtonOnlyShowsItsMessage) {
  Abre();
  W<QLineEdit>("Text1")->setText("1234");
  Pulsa("cmdOpcion_1");
  EXPECT_EQ(QString("Mensaje: El envio de pedidos con el nuevo formato no está operativo.\n"),
            ins.operador.Transcripcion());
  EXPECT_EQ(kTodoHabilitado, Habilitados());
}

TEST_F(MainWindow, FillingTheCompanyBoxOpensNothing) {
  // 001 cannot be opened: an opening of it while the box fills would say so.
  ins.Empresa("002");
  QFile::remove(ins.Ruta("CMC00100.MDB"));
  ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = "002";
  Abre();
  EXPECT_EQ(QString(), ins.operador.Transcripcion());
  EXPECT_EQ(QString("002 – Empresa 002"), W<QComboBox>("cmbEmpresa")->currentText());
  EXPECT_TRUE(programa->EmpresaAbierta());
}

TEST_F(MainWindow, ARememberedCompanyNoLongerListedGivesWayToTheFirstAndSaysSo) {
  ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = "007";
  Abre();
  EXPECT_EQ(QString("La empresa recordada \"007\" no está en la lista de empresas: se ha "
                    "abierto la 001."),
            W<QLabel>("lbResultado")->text());
  EXPECT_EQ(kTodoHabilitado, Habilitados());
}

TEST_F(MainWindow, CompanyWithoutADatabase) {
  ins.Empresa("003", true, false);
  ins.Empresa("004", false, false);
  Abre();
  ventana->show();
  Elige("003");  // no store database: nothing can be imported
  EXPECT_EQ("Mensaje: Falta el fichero: " + ins.Ruta("CMC00300.MDB") + "\n",
            ins.operador.Transcripcion());
  EXPECT_EQ(QString(kTodoHabilitado)
                .replace("cmdOpcion_0 cmdSimular", "cmdOpcion_0(off) cmdSimular(off)"),
            Habilitados());
  // Disabled, the buttons say why, and so does the result line.
  EXPECT_TRUE(W<QWidget>("cmdOpcion_0")->toolTip().contains("la empresa 003 no se ha podido"));
  EXPECT_EQ(W<QWidget>("cmdSimular")->toolTip(), W<QLabel>("lbResultado")->text());
  Elige("001");
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_EQ(QList<int>(), finales);
  ins.operador.Limpia();
  Elige("004");  // no accounting database: the program ends
  EXPECT_EQ("Mensaje: Falta el fichero: " + ins.Ruta("CNT00400.MDB") + "\n",
            ins.operador.Transcripcion());
  EXPECT_EQ(QList<int>({2}), finales);
  EXPECT_FALSE(ventana->isVisible());
}

TEST_F(MainWindow, ExitWritesTheSettingsTheCloseBoxDoesNot) {
  ins.Empresa("002");
  Abre();
  ventana->show();
  Elige("002");
  W<QCheckBox>("SSCheck1")->click();
  EXPECT_TRUE(programa->NoActualizarBajas());
  EXPECT_TRUE(ventana->close());
  EXPECT_EQ(QStringList(), ins.ajustes.escritos);
  ventana->show();
  Pulsa("cmdSalir");
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=002", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=No"}),
            ins.ajustes.escritos);
  EXPECT_FALSE(ventana->isVisible());
  EXPECT_EQ(QList<int>({0}), finales);
  // A stopped start-up leaves only the exit, which still writes the settings.
  ins.general->Ejecuta("DELETE FROM EMPRESAS");
  ins.ajustes.escritos.clear();
  for (const char* k : {"IDEMPRESA", "ACTUALIZAR_BAJAS"})
    ins.ajustes.valores.remove(QString("RELVANO/IMPORTAR/") + k);
  Abre();
  EXPECT_EQ(Programa::Resultado::Detenido, arranque);
  EXPECT_EQ(QString(kEnCurso)
                .replace("cmdCancelar ", "cmdCancelar(off) ")
                .replace("cmdSalir(off)", "cmdSalir"),
            Habilitados());
  Pulsa("cmdSalir");
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=Si"}), ins.ajustes.escritos);
}

TEST_F(MainWindow, CancelStopsAfterTheLineInHandAndTheWindowKeepsWorking) {
  QStringList lineas = {kIde};
  for (int i = 1; i <= 3000; ++i) lineas << Alta(i, QString("ARTICULO %1").arg(i));
  const QString fichero = ins.Fichero("vrcrefcto0801.txt", lineas << "CHK|003002|");
  Abre();
  ventana->show();
  Opcion(0);
  txtFichero()->setText(fichero);
  QString durante, espera;
  bool cerrada = true;
  QObject::connect(ventana.get(), &FrmRelvano::LineaLeida, ventana.get(),
                   [&](qint64, qint64, int n) {
                     if (n != 1200) return;
                     durante = Habilitados();
                     // The close box asks; No leaves the run going.
                     cerrada = ventana->close();
                     // What the wait for a database held by another program tells the run.
                     ProgresoEnCurso::AvisaEspera(2500);
                     espera = W<QLabel>("lbResultado")->text();
                     // Escape reaches the window from the control that has the focus.
                     QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                     QApplication::sendEvent(W<QWidget>("cmdCancelar"), &escape);
                   });
  // Posted before the run: handled only if the run lets the window work meanwhile.
  bool atendidoDurante = false;
  QTimer::singleShot(0, ventana.get(), [&] { atendidoDurante = ventana->Ejecutando(); });
  ins.operador.Responde({true, false, true, true});
  Pulsa("cmdOpcion_0");

  EXPECT_TRUE(atendidoDurante);
  EXPECT_FALSE(cerrada);
  EXPECT_EQ(kEnCurso, durante);
  EXPECT_EQ("Esperando a que otro programa deje libre la base de datos (2 s)…", espera);
  const QString cancelar = "Pregunta: " + kPreguntaCancelar + "\n";
  EXPECT_EQ("Pregunta: ¿Desea importar el fichero seleccionado?\n" + cancelar + cancelar +
                Resumen("ARTICULOS.LOG"),
            ins.operador.Transcripcion().section("Informe: ", 0, 0));
  EXPECT_EQ(1199, ins.Articulos("001").size());  // lines 2 to 1200
  EXPECT_EQ(QString("Líneas leídas: 1200"), W<QLabel>("lbLineas")->text());
  EXPECT_EQ(QString("Cancelada tras la línea 1 200: las líneas anteriores quedan aplicadas. "
                    "Filas: 2401 añadidas, 0 modificadas, 0 borradas; nada fuera de lo normal."),
            W<QLabel>("lbResultado")->text());
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_TRUE(ventana->isVisible());

  // Yes to the close box: the run stops after its line and the window then closes.
  QObject::disconnect(ventana.get(), &FrmRelvano::LineaLeida, nullptr, nullptr);
  QObject::connect(ventana.get(), &FrmRelvano::LineaLeida, ventana.get(),
                   [&](qint64, qint64, int n) {
                     if (n == 100) ventana->close();
                   });
  ins.operador.Responde({true, true, false});
  Pulsa("cmdOpcion_0");
  EXPECT_TRUE(W<QLabel>("lbResultado")->text().startsWith("Cancelada tras la línea 100"));
  QCoreApplication::processEvents();
  EXPECT_FALSE(ventana->isVisible());
}

// The time on the result line is the run's own: not the time the operator took to answer.
TEST_F(MainWindow, ResultTimeLeavesOutTheBoxes) {
  QStringList lineas = {kIde, Alta(1, "PAN"), "CHK|000003|"};
  Abre();
  Opcion(0);
  txtFichero()->setText(ins.Fichero("vrcrefcto0715.txt", lineas));
  ins.operador.alMostrar = [](const QString&) { QThread::msleep(2000); };
  ins.operador.Responde({true, false});
  Pulsa("cmdOpcion_0");
  ins.operador.alMostrar = nullptr;
  const QString resultado = W<QLabel>("lbResultado")->text();
  const auto segundos = QRegularExpression(" en ([0-9]+),([0-9]) s").match(resultado);
  ASSERT_TRUE(segundos.hasMatch()) << resultado.toStdString();
  EXPECT_LT(segundos.captured(1).toInt(), 2) << resultado.toStdString();
  // The counter and the bar end where the run ended.
  EXPECT_EQ(QString("Líneas leídas: 3"), W<QLabel>("lbLineas")->text());
  EXPECT_EQ(1000, W<QProgressBar>("barraProgreso")->value());
}

// A run over the inbox folder asks once, with the box that passes the checks; refusals are
// not boxes but reasons in the summary.
TEST_F(MainWindow, FolderRunAsksOnceAndListsRefusalsWithTheirReasons) {
  ins.ajustes.SaveSetting("RELVANO", "IMPORTAR", "CARPETA_ENTRADA", ins.entrada);
  const QString nuevo = ins.Fichero("vrcrefcto0715.txt", {kIde, Alta(1, "PAN"), "CHK|000003|"});
  Abre();
  Opcion(0);
  txtFichero()->setText(nuevo);
  ins.operador.Responde({true, false});
  Pulsa("cmdOpcion_0");
  QString ide = kIde;
  ins.Fichero("vrcrefcto0714.txt",
              {ide.replace("2012-07-15", "2012-07-14"), Alta(2, "SAL"), "CHK|000003|"});
  ins.operador.Limpia();
  Pulsa("cmdBandeja");
  ASSERT_EQ(1, confirmaciones.size());
  ASSERT_EQ(1u, ins.operador.Eventos().size()) << ins.operador.Transcripcion().toStdString();
  const QString resumen = ins.operador.Informes().value(0);
  EXPECT_TRUE(resumen.contains(QRegularExpression(
      "vrcrefcto0714.txt: rechazado, 0 líneas\\. El fichero vrcrefcto0714.txt es del "
      "14/07/2012, anterior al último")))
      << resumen.toStdString();
  EXPECT_TRUE(resumen.contains("vrcrefcto0715.txt: ya importado antes, archivado"));

  forzarBandeja = true;
  ins.operador.Limpia();
  Pulsa("cmdBandeja");
  EXPECT_TRUE(ins.operador.Informes().value(0).contains("vrcrefcto0714.txt: importado"))
      << ins.operador.Transcripcion().toStdString();
  EXPECT_EQ(2, ins.Articulos("001").size());
}

// Keyboard: the focus starts in the path box, Enter there imports, and after "Salir" the Tab
// goes back to the kinds, with no stop that shows nothing.
TEST_F(MainWindow, KeyboardStartsInThePathBoxAndEnterImports) {
  Abre();
  ventana->show();
  EXPECT_EQ(txtFichero(), ventana->focusWidget());
  QWidget* siguiente = W<QWidget>("cmdSalir");
  do siguiente = siguiente->nextInFocusChain();
  while (!(siguiente->focusPolicy() & Qt::TabFocus) || !siguiente->isVisible());
  EXPECT_TRUE(siguiente->objectName().startsWith("SSOption1_"))
      << siguiente->objectName().toStdString();

  Opcion(0);
  txtFichero()->setText(ins.Fichero("vrcrefcto0715.txt", {kIde, Alta(1, "PAN"), "CHK|000003|"}));
  ins.operador.Responde({false});
  QKeyEvent intro(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(txtFichero(), &intro);
  EXPECT_EQ(QString("Pregunta: ¿Desea importar el fichero seleccionado?\n"),
            ins.operador.Transcripcion());
}

// After each kind of run the result line says what happened and the counter shows the line
// the run stopped at, until the next choice of a kind or a file.
// A cost ten times the article's, with the shop holding such files: the window shows the
// list and asks; No applies nothing.
TEST_F(MainWindow, AFileWithPricesOutOfTheOrdinaryIsShownAndAsked) {
  ins.ajustes.valores["RELVANO/IMPORTAR/RETENER_FUERA_DE_LO_NORMAL"] = "1";
  Abre();
  store::Database& tienda = *programa->Empresa().BddTienda;
  tienda.Ejecuta("INSERT INTO ARTICULOS (CODIGO, COSTE, VENTA) VALUES ('0000001', 2, 3)");
  Opcion(2);
  txtFichero()->setText(ins.Fichero(
      "vrcmllcto0715.txt", {kIde, "DET|M|0000001||000001|N|0|N|N|20.00|20.00|", "CHK|000003|"}));
  ins.operador.Responde({true, false});
  Pulsa("cmdOpcion_0");
  EXPECT_TRUE(ins.operador.Transcripcion().contains(
      "Pregunta: El fichero vrcmllcto0715.txt tiene precios fuera de lo normal (1):\r\n  "
      "Artículo 0000001: 2 → 20 (+900 %), precio de coste: cambia más del 50 %\r\n\r\n"
      "¿Desea importarlo de todos modos?"))
      << ins.operador.Transcripcion().toStdString();
  EXPECT_EQ(Valor(2.0), tienda.Escalar("SELECT COSTE FROM ARTICULOS WHERE CODIGO = '0000001'"));
  EXPECT_EQ(QString("No se ha importado el fichero: tiene precios fuera de lo normal (1); vea la "
                    "revisión."),
            W<QLabel>("lbResultado")->text());
}

TEST_F(MainWindow, ResultLineSaysWhatHappened) {
  Abre();
  for (const QStringList& c : testing::Casos("resultados_ventana.txt")) {
    QStringList lineas = {kIde};
    for (int i = 1; i <= c[2].toInt(); ++i) lineas << Alta(i, QString("ARTICULO %1").arg(i));
    Opcion(c[1].toInt());
    txtFichero()->setText(ins.Fichero("vrcrefcto0715.txt", lineas << c[3]));
    for (const QChar r : c[4]) ins.operador.Responde({r == u'S'});
    Pulsa(c[0]);
    EXPECT_EQ(c[5], W<QLabel>("lbLineas")->text());
    EXPECT_EQ(
        c[6],
        W<QLabel>("lbResultado")->text().replace(QRegularExpression(" en [0-9,]+ s"), " en T s"));
  }
  Opcion(0);
  EXPECT_EQ(QString("0"), W<QLabel>("lbResultado")->text() + W<QLabel>("lbLineas")->text() +
                              QString::number(W<QProgressBar>("barraProgreso")->value()));
  ResultadoImportacion sinFactura;
  sinFactura.estado = ResultadoImportacion::Estado::FacturaNoCreada;
  sinFactura.lineas = 6;
  EXPECT_EQ(QString("Factura no creada: 6 líneas leídas; vea el resumen."),
            TextoResultado(sinFactura, false, 0, {}));
  // After the invoice's report is closed, the line keeps its number and the verdict.
  ResultadoImportacion factura;
  factura.estado = ResultadoImportacion::Estado::Completa;
  factura.lineas = 14;
  factura.albaran = "12345";
  EXPECT_EQ(QString("Importación completa: 14 líneas leídas en 1,5 s. Factura 12345: DESCUADRE."),
            TextoResultado(factura, false, 1500, {}, "TOTAL ...\r\n\r\n DESCUADRE\r\n"));
}

// A file dropped from the file manager gives the path, and the kind its shape or else its
// name tells.
TEST_F(MainWindow, DroppedFileSetsThePathAndTheKind) {
  Abre();
  for (const auto& [nombre, detalle, opcion] :
       {std::tuple{"pedido.txt", Alta(1, "PAN"), 0}, {"vrcprccto0715.txt", QString(), 3}}) {
    QMimeData datos;
    datos.setUrls({QUrl::fromLocalFile(ins.Fichero(nombre, {kIde, detalle}))});
    QDropEvent soltar(QPointF(5, 5), Qt::CopyAction, &datos, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(ventana.get())->event(&soltar);
    EXPECT_TRUE(W<QRadioButton>(QString("SSOption1_%1").arg(opcion))->isChecked()) << nombre;
    EXPECT_EQ(QDir::toNativeSeparators(ins.entrada + "/" + nombre), txtFichero()->text());
  }
}

// 1280×800 at double scale leaves 640×400 device-independent pixels, less a panel: the
// window fits there with its frame, at no less than its minimum size.
TEST_F(MainWindow, FitsASmallScreenAtDoubleScale) {
  Abre();
  const QRect pantalla(0, 24, 640, 376);
  ventana->AjustaAPantalla(pantalla);
  EXPECT_TRUE(pantalla.contains(QRect(ventana->pos(), ventana->size() + QSize(16, 40))));
  EXPECT_EQ(ventana->size(), ventana->size().expandedTo(ventana->minimumSizeHint()));
}

// Enter in the viewer's find box finds the next match and leaves the viewer open; the viewer
// opens within its screen.
TEST(LogViewer, EnterFindsTheNextMatchAndTheViewerFitsTheScreen) {
  QTemporaryDir dir;
  const QString log = testing::EscribeLineas(dir.filePath("ARTICULOS.LOG"),
                                             {"uno", "ALTA dos", "tres", "alta cuatro"});
  QWidget ventana;
  VisorLog visor(&ventana);
  ASSERT_TRUE(visor.Abre(log));
  visor.show();
  auto* buscar = visor.findChild<QLineEdit*>("txtBuscar");
  buscar->parentWidget()->show();
  buscar->setFocus();
  buscar->setText("Alta");
  for (const int fila : {1, 3, 1}) {
    QKeyEvent intro(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(buscar, &intro);
    EXPECT_EQ(fila, visor.LineaActual());
    EXPECT_TRUE(visor.isVisible());
  }
  const QSize sitio = ventana.screen()->availableGeometry().size();
  EXPECT_TRUE(visor.width() <= sitio.width() && visor.height() <= sitio.height())
      << visor.width() << "x" << visor.height();
}

// A shop's server or a script has no display: the answers that need no window come all the same.
TEST(MainProgram, HelpAndVersionNeedNoDisplay) {
  QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    entorno.remove(variable);
  for (const auto& [opcion, salida] :
       {std::pair{"--help", "Uso: relvano [opciones]\n"}, std::pair{"--version", "relvano "}}) {
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.start(RELVANO_GUI_PATH, {opcion});
    ASSERT_TRUE(p.waitForFinished(60000)) << opcion;
    EXPECT_EQ(0, p.exitCode()) << opcion;
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).startsWith(salida)) << opcion;
  }
}

}  // namespace
}  // namespace relvano::gui
