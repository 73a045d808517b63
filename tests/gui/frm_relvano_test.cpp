#include "gui/frm_relvano.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <ostream>

#include "app/arranque.h"
#include "store/db/database.h"
#include "store/db/esquema.h"
#include "support/ajustes_memoria.h"
#include "support/recording_operator.h"
#include "support/reloj_fijo.h"

using relvano::testing::AjustesEnMemoria;
using relvano::testing::RelojFijo;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace relvano::gui {
namespace {

using relvano::testing::RecordingOperator;

// Records as RecordingOperator does and lets a test look at the window while a box is up.
class OperadorQueMira : public RecordingOperator {
 public:
  void Mensaje(const QString& texto, Icono icono) override {
    if (alMostrar) alMostrar();
    RecordingOperator::Mensaje(texto, icono);
  }
  bool Pregunta(const QString& texto) override {
    if (alMostrar) alMostrar();
    return RecordingOperator::Pregunta(texto);
  }
  std::function<void()> alMostrar;
};

const QString kCrLf = QStringLiteral("\r\n");
const QString kIde =
    QStringLiteral("IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|");

// An article addition line: code and description, family and group, the rest empty.
QString Alta(int codigo, const QString& descripcion) {
  QStringList f;
  for (int i = 0; i < 61; ++i) f << QString();
  f[0] = QStringLiteral("DET");
  f[1] = QStringLiteral("A");
  f[2] = QStringLiteral("%1").arg(codigo, 7, 10, QLatin1Char('0'));
  f[3] = descripcion;
  f[6] = QStringLiteral("A");
  f[8] = QStringLiteral("0001");
  f[9] = QStringLiteral("00010");
  f[24] = QStringLiteral("12");
  f[41] = QStringLiteral("U");
  return f.join(u'|') + u'|';
}

// An installation in a temporary folder: BDD/ with the general database and the
// company databases, In/ for chain files, logs/ for run logs, and the settings.
class Instalacion {
 public:
  Instalacion() {
    const QDir raiz(dir.path());
    raiz.mkpath("BDD");
    raiz.mkpath("In");
    raiz.mkpath("logs");
    bdd = raiz.filePath("BDD");
    entrada = raiz.filePath("In");
    logs = raiz.filePath("logs");
    ajustes.valores["VANTEL/BDD/RUTABDDEMPRESA"] = bdd;
    ajustes.valores["VANTEL/BDD/RUTABDDCONTABLE"] = bdd;
    ajustes.valores["VANTEL/BDD/RUTABDDCOMERCIAL"] = bdd;
    general = Crea("GENERAL.MDB", {"general"});
    Empresa("001");
  }
  std::shared_ptr<store::Database> Crea(const QString& nombre, const QStringList& esquemas) {
    QString error;
    const QString ruta = Ruta(nombre);
    EXPECT_TRUE(store::CreaBaseDatos(ruta, esquemas, &error)) << error.toStdString();
    return store::Database::Abrir(ruta, {}, &error);
  }
  // A company of the general database with its accounting and store databases.
  void Empresa(const QString& codigo, bool contable = true, bool tienda = true) {
    general->Ejecuta("INSERT INTO EMPRESAS (ID_EMPRESA, NOMBRE, DIVISA) VALUES (?, ?, ?)",
                     {Valor(codigo), Valor("Empresa " + codigo), Valor("EURO")});
    if (contable) Crea("CNT" + codigo + "00.MDB", {"contable"});
    if (tienda) Crea("CMC" + codigo + "00.MDB", {"tienda"});
  }
  QString Ruta(const QString& nombre) const { return bdd + "/" + nombre; }

  // The codes and descriptions of the articles of a company's store database.
  QStringList Articulos(const QString& empresa) {
    QString error;
    auto db = store::Database::Abrir(Ruta("CMC" + empresa + "00.MDB"), {}, &error);
    EXPECT_TRUE(db) << error.toStdString();
    QStringList out;
    if (!db) return out;
    auto rs = db->AbrirRecordset("SELECT CODIGO, DESCRIPCION FROM ARTICULOS ORDER BY CODIGO");
    for (; !rs.Eof(); rs.MoveNext())
      out << rs[QStringLiteral("CODIGO")].Texto() + " " + rs[QStringLiteral("DESCRIPCION")].Texto();
    return out;
  }
  int CuentaArticulos(const QString& empresa) {
    QString error;
    auto db = store::Database::Abrir(Ruta("CMC" + empresa + "00.MDB"), {}, &error);
    return static_cast<int>(db->Escalar("SELECT COUNT(*) FROM ARTICULOS").Numero());
  }

  // A chain file of In/ from its lines, each ended by CR LF.
  QString Fichero(const QString& nombre, const QStringList& lineas) {
    const QString ruta = entrada + "/" + nombre;
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((lineas.join(kCrLf) + kCrLf).toUtf8());
    return ruta;
  }

  QTemporaryDir dir;
  QString bdd, entrada, logs;
  std::shared_ptr<store::Database> general;
  AjustesEnMemoria ajustes;
  OperadorQueMira operador;
  RelojFijo reloj{QDate(2012, 8, 1)};
};

class MainWindow : public ::testing::Test {
 protected:
  // Starts the program as main does, then builds the window over it.
  void Abre() {
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
    servicios.carpetaLogs = ins.logs;
    ventana =
        std::make_unique<FrmRelvano>(*programa, ins.operador, ins.ajustes, std::move(servicios));
  }

  template <class T>
  T* W(const QString& nombre) {
    T* w = ventana->findChild<T*>(nombre);
    EXPECT_NE(nullptr, w) << nombre.toStdString();
    return w;
  }
  QLineEdit* txtFichero() { return W<QLineEdit>("txtFichero"); }
  QLabel* LbNombre() { return W<QLabel>("LbNombreFicheroImportado"); }
  void Opcion(int i) { W<QRadioButton>(QStringLiteral("SSOption1_%1").arg(i))->click(); }
  void Pulsa(const QString& nombre) { W<QAbstractButton>(nombre)->click(); }

  // Which of the window's controls take input, as "name" or "name(off)".
  QString Habilitados() {
    QStringList out;
    for (const char* n : {"SSOption1_0", "SSOption1_5", "SSCheck1", "cmbEmpresa", "txtFichero",
                          "BotonBuscar", "cmdBorrar", "cmdOpcion_0", "cmdSimular", "cmdCancelar",
                          "Text1", "txtNumPedido", "cmdOpcion_1", "cmdSalir"}) {
      QWidget* w = W<QWidget>(QLatin1String(n));
      out << QLatin1String(n) + (w && w->isEnabled() ? QString() : QStringLiteral("(off)"));
    }
    return out.join(u' ');
  }

  QString LeeLog(const QString& nombre) {
    QFile f(ins.logs + "/" + nombre);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no log>");
    return QString::fromUtf8(f.readAll());
  }

  QString Resumen(const QString& log) {
    return "Pregunta: Fichero resumen: " + ins.logs + "/" + log + kCrLf + kCrLf +
           "¿Desea ver el resumen de importación?\n";
  }

  Instalacion ins;
  std::unique_ptr<Programa> programa;
  Programa::Resultado arranque = Programa::Resultado::Hecho;
  std::unique_ptr<FrmRelvano> ventana;
  QStringList dialogos;
  QString eleccion;
  QStringList logsVistos;
  QList<int> finales;
};

const QString kTodoHabilitado =
    "SSOption1_0 SSOption1_5 SSCheck1 cmbEmpresa txtFichero BotonBuscar cmdBorrar cmdOpcion_0 "
    "cmdSimular cmdCancelar(off) Text1 txtNumPedido cmdOpcion_1 cmdSalir";

TEST_F(MainWindow, ControlsCaptionsAndNames) {
  ins.Empresa("002");
  Abre();
  QStringList vistos;
  vistos << "window: " + ventana->windowTitle();
  for (QWidget* w : ventana->findChildren<QWidget*>()) {
    const QString nombre = w->objectName();
    if (nombre.isEmpty() || nombre.startsWith("qt_")) continue;
    QString texto;
    if (auto* g = qobject_cast<QGroupBox*>(w))
      texto = "frame \"" + g->title() + "\"";
    else if (auto* r = qobject_cast<QRadioButton*>(w))
      texto = "option \"" + r->text() + "\"" + (r->isChecked() ? " on" : "");
    else if (auto* c = qobject_cast<QCheckBox*>(w))
      texto = "check \"" + c->text() + "\"" + (c->isChecked() ? " on" : "");
    else if (auto* b = qobject_cast<QPushButton*>(w))
      texto = "button \"" + b->text() + "\"";
    else if (auto* t = qobject_cast<QToolButton*>(w))
      texto = QString("picture button") + (t->icon().isNull() ? " without picture" : "");
    else if (auto* e = qobject_cast<QLineEdit*>(w))
      texto = "text \"" + e->text() + "\"";
    else if (auto* cb = qobject_cast<QComboBox*>(w)) {
      QStringList items;
      for (int i = 0; i < cb->count(); ++i) items << cb->itemText(i);
      texto = "combo [" + items.join(',') + "] \"" + cb->currentText() + "\"";
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
      texto = l->pixmap().isNull() ? "label \"" + l->text() + "\"" : QString("picture");
    } else if (qobject_cast<QProgressBar*>(w))
      texto = "progress";
    else
      texto = "panel";
    vistos << nombre + ": " + texto;
  }
  vistos.sort();
  EXPECT_EQ(QStringList({
                "BotonBuscar: picture button",
                "Image1: picture",
                "Label1: label \"Empresa a actualizar:\"",
                "LbNombreFicheroImportado: label \"\"",
                "SSCheck1: check \"No actualizar las bajas\"",
                "SSFrame1_0: frame \"\"",
                "SSFrame1_3: frame \"\"",
                "SSFrame2: frame \"Opciones\"",
                "SSFrame3: frame \"Seleccione la operación que desea realizar\"",
                "SSOption1_0: option \"Variaciones de referencias\"",
                "SSOption1_1: option \"Variaciones de EANs\"",
                "SSOption1_2: option \"Variaciones de Precios de Coste\"",
                "SSOption1_3: option \"Variaciones de Precios de Venta\"",
                "SSOption1_4: option \"Variaciones de oferta (compra/venta)\"",
                "SSOption1_5: option \"Facturas de compra\"",
                "SSPanel2: panel",
                "Text1: text \"\"",
                "barraProgreso: progress",
                "cmbEmpresa: combo [001,002] \"001\"",
                "cmdBandeja: button \"Importar todos los ficheros de la carpeta\"",
                "cmdBorrar: button \"Borrar\"",
                "cmdCancelar: button \"Cancelar\"",
                "cmdOpcion_0: button \"Importar fichero\"",
                "cmdOpcion_1: button \"Enviar pedido al proveedor\"",
                "cmdSalir: button \"&Salir\"",
                "cmdSimular: button \"Simular\"",
                "lbLineas: label \"\"",
                "txtFichero: text \"\"",
                "txtNumPedido: text \"\"",
                "window: Actualizaciones NORVIA v1.8 (15/07/12)",
            }),
            vistos);
  QStringList etiquetas;
  for (QLabel* l : ventana->findChildren<QLabel*>())
    if (l->objectName().isEmpty()) etiquetas << l->text();
  etiquetas.sort();
  EXPECT_EQ(QStringList({"Código Cliente", "Nombre fichero importado:", "Pedido",
                         "Producto desarrollado por:", "Relvano"}),
            etiquetas);
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_EQ(QString(), ins.operador.Transcripcion());
}

TEST_F(MainWindow, ChoosingAnOptionEmptiesThePathButNotTheName) {
  Abre();
  Opcion(0);
  eleccion = ins.entrada + "/vrcrefcto0715.txt";
  Pulsa("BotonBuscar");
  txtFichero()->setText("/otro/fichero.txt");
  Opcion(2);
  EXPECT_EQ(QString(), txtFichero()->text());
  EXPECT_EQ(QString("vrcrefcto0715.txt"), LbNombre()->text());
}

TEST_F(MainWindow, FileButtonWithoutOptionTellsAndOpensNoDialog) {
  Abre();
  Pulsa("BotonBuscar");
  EXPECT_EQ(QString("Mensaje[i]: No ha seleccionado ninguna operación.\n"),
            ins.operador.Transcripcion());
  EXPECT_EQ(QStringList(), dialogos);
}

TEST_F(MainWindow, FileButtonOffersTheOptionsFilesFromTheInputFolder) {
  ins.ajustes.valores["RELVANO/IMPORTAR/CARPETA_ENTRADA"] = ins.entrada;
  Abre();
  for (int i = 0; i < 6; ++i) {
    Opcion(i);
    eleccion = ins.entrada + QStringLiteral("/fichero%1.txt").arg(i);
    Pulsa("BotonBuscar");
    EXPECT_EQ(eleccion, txtFichero()->text());
    EXPECT_EQ(QStringLiteral("fichero%1.txt").arg(i), LbNombre()->text());
  }
  const QString en = " @ " + ins.entrada;
  EXPECT_EQ(
      QStringList({"Ficheros Cadena (vrcrefcto*.*)" + en, "Ficheros Cadena (vrceancto*.*)" + en,
                   "Ficheros Cadena (vrcmllcto*.*)" + en, "Ficheros Cadena (vrcprccto*.*)" + en,
                   "Ficheros Cadena (vrcofecto*.*)" + en, "Ficheros Cadena (envfradis*.*)" + en}),
      dialogos);

  // A name with Windows separators keeps only what follows the last one.
  eleccion = "C:\\APLC\\NRVX\\In\\envfradis0715.txt";
  Pulsa("BotonBuscar");
  EXPECT_EQ(QString("envfradis0715.txt"), LbNombre()->text());

  // Cancelling the dialog empties both.
  eleccion.clear();
  Pulsa("BotonBuscar");
  EXPECT_EQ(QString(), txtFichero()->text());
  EXPECT_EQ(QString(), LbNombre()->text());
  EXPECT_EQ(QString(), ins.operador.Transcripcion());
}

TEST_F(MainWindow, FileDialogStartsAtHomeWithoutAnInputFolder) {
  Abre();
  Opcion(1);
  Pulsa("BotonBuscar");
  EXPECT_EQ(QStringList({"Ficheros Cadena (vrceancto*.*) @ " + QDir::homePath()}), dialogos);
}

TEST_F(MainWindow, ImportAppliesTheFileAndShowsTheLogOnYes) {
  Abre();
  const QString fichero = ins.Fichero(
      "vrcrefcto0715.txt", {kIde, Alta(1, "LECHE ENTERA"), Alta(2, "PAN"), "CHK|000004|"});
  QStringList durante, lineasDurante;
  ins.operador.alMostrar = [&] {
    durante << Habilitados();
    lineasDurante << W<QLabel>("lbLineas")->text();
  };
  Opcion(0);
  eleccion = fichero;
  Pulsa("BotonBuscar");
  ins.operador.Responde({true, true});
  Pulsa("cmdOpcion_0");

  const QString log = ins.logs + "/ARTICULOS.LOG";
  EXPECT_EQ(
      "Pregunta: ¿Desea importar el fichero seleccionado?\n"
      "Mensaje[i]: Se han leido: 4 lineas." +
          kCrLf + kCrLf + "El fichero contiene 4 lineas.\n" + Resumen("ARTICULOS.LOG"),
      ins.operador.Transcripcion());
  EXPECT_EQ(QStringList({log}), logsVistos);
  EXPECT_TRUE(LeeLog("ARTICULOS.LOG").startsWith("Abriendo fichero: " + log + kCrLf + kCrLf))
      << LeeLog("ARTICULOS.LOG").toStdString();
  EXPECT_TRUE(LeeLog("ARTICULOS.LOG").endsWith("Fin Actualización" + kCrLf + kCrLf));
  EXPECT_EQ(QStringList({"0000001 LECHE ENTERA", "0000002 PAN"}), ins.Articulos("001"));
  // While each box was up both command buttons were off, and so was every other input.
  const QString enCurso =
      "SSOption1_0(off) SSOption1_5(off) SSCheck1(off) cmbEmpresa(off) txtFichero(off) "
      "BotonBuscar(off) cmdBorrar(off) cmdOpcion_0(off) cmdSimular(off) cmdCancelar Text1(off) "
      "txtNumPedido(off) cmdOpcion_1(off) cmdSalir(off)";
  EXPECT_EQ(QStringList({enCurso, enCurso, enCurso}), durante);
  // Each box is read beside the count of the lines finished before it.
  EXPECT_EQ(QStringList({"", "Líneas leídas: 3", "Líneas leídas: 4"}), lineasDurante);
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_EQ(QString("Líneas leídas: 4"), W<QLabel>("lbLineas")->text());
  EXPECT_EQ(1000, W<QProgressBar>("barraProgreso")->value());
}

TEST_F(MainWindow, SummaryDeclinedShowsNoLog) {
  Abre();
  Opcion(1);
  txtFichero()->setText(ins.Fichero("vrceancto0715.txt", {kIde, "CHK|000002|"}));
  ins.operador.Responde({true, false});
  Pulsa("cmdOpcion_0");
  EXPECT_EQ(
      "Pregunta: ¿Desea importar el fichero seleccionado?\n"
      "Mensaje[i]: Se han leido: 2 lineas." +
          kCrLf + kCrLf + "El fichero contiene 2 lineas.\n" + Resumen("EAN.LOG"),
      ins.operador.Transcripcion());
  EXPECT_EQ(QStringList(), logsVistos);
  EXPECT_NE(QString("<no log>"), LeeLog("EAN.LOG"));
}

TEST_F(MainWindow, RunChecksStopBeforeAnyLog) {
  struct Caso {
    const char* nombre;
    int opcion;  // -1: none chosen
    QString fichero;
    bool respuesta;
    QString transcripcion;
  };
  Abre();
  const QString existe = ins.Fichero("vrcrefcto0715.txt", {kIde, Alta(1, "LECHE"), "CHK|000003|"});
  const QString falta = ins.entrada + "/vrcrefcto0000.txt";
  const QString pregunta = "Pregunta: ¿Desea importar el fichero seleccionado?\n";
  const std::vector<Caso> casos = {
      {"no file", 0, "", true, "Mensaje: No ha seleccionado el fichero a importar.\n"},
      {"missing file", 0, falta, true, "Mensaje: El fichero " + falta + " no existe.\n"},
      {"no option", -1, existe, true,
       pregunta + "Mensaje: Seleccione la opción que desea realizar.\n"},
      {"answered No", 0, existe, false, pregunta},
  };
  for (const Caso& c : casos) {
    Abre();
    if (c.opcion >= 0) Opcion(c.opcion);
    txtFichero()->setText(c.fichero);
    ins.operador.Limpia();
    ins.operador.RespuestaPorDefecto(c.respuesta);
    Pulsa("cmdOpcion_0");
    EXPECT_EQ(c.transcripcion, ins.operador.Transcripcion()) << c.nombre;
    EXPECT_EQ(QStringList(), QDir(ins.logs).entryList(QDir::Files)) << c.nombre;
    EXPECT_EQ(QStringList(), logsVistos) << c.nombre;
    EXPECT_EQ(QStringList(), ins.Articulos("001")) << c.nombre;
    EXPECT_EQ(kTodoHabilitado, Habilitados()) << c.nombre;
  }
}

TEST_F(MainWindow, SimulationWritesTheLogAndLeavesTheStoreAsItWas) {
  Abre();
  Opcion(0);
  txtFichero()->setText(ins.Fichero("vrcrefcto0715.txt", {kIde, Alta(1, "LECHE"), "CHK|000003|"}));
  ins.operador.Responde({true, true});
  Pulsa("cmdSimular");
  EXPECT_EQ(
      "Pregunta: ¿Desea importar el fichero seleccionado?\n"
      "Mensaje[i]: Se han leido: 3 lineas." +
          kCrLf + kCrLf + "El fichero contiene 3 lineas.\n" + Resumen("SIMULACION_ARTICULOS.LOG"),
      ins.operador.Transcripcion());
  EXPECT_TRUE(LeeLog("SIMULACION_ARTICULOS.LOG").startsWith("SIMULACIÓN"))
      << LeeLog("SIMULACION_ARTICULOS.LOG").toStdString();
  EXPECT_FALSE(QFile::exists(ins.logs + "/ARTICULOS.LOG"));
  EXPECT_EQ(QStringList({ins.logs + "/SIMULACION_ARTICULOS.LOG"}), logsVistos);
  EXPECT_EQ(QStringList(), ins.Articulos("001"));
  EXPECT_EQ(kTodoHabilitado, Habilitados());
}

TEST_F(MainWindow, DeleteOnYesDeletesAndKeepsTheName) {
  Abre();
  Opcion(0);
  eleccion = ins.Fichero("vrcrefcto0715.txt", {kIde});
  Pulsa("BotonBuscar");
  ins.operador.Responde({true});
  Pulsa("cmdBorrar");
  EXPECT_EQ(QString("Pregunta: ¿Desea borrar el fichero?\nMensaje[i]: Fichero borrado.\n"),
            ins.operador.Transcripcion());
  EXPECT_FALSE(QFile::exists(eleccion));
  EXPECT_EQ(QString(), txtFichero()->text());
  EXPECT_EQ(QString("vrcrefcto0715.txt"), LbNombre()->text());
}

TEST_F(MainWindow, DeleteOnNoKeepsEverything) {
  Abre();
  Opcion(0);
  eleccion = ins.Fichero("vrcrefcto0715.txt", {kIde});
  Pulsa("BotonBuscar");
  ins.operador.Responde({false});
  Pulsa("cmdBorrar");
  EXPECT_EQ(QString("Pregunta: ¿Desea borrar el fichero?\n"), ins.operador.Transcripcion());
  EXPECT_TRUE(QFile::exists(eleccion));
  EXPECT_EQ(eleccion, txtFichero()->text());
}

TEST_F(MainWindow, DeleteWithoutAnExistingFileDoesNothing) {
  Abre();
  Pulsa("cmdBorrar");
  txtFichero()->setText(ins.entrada + "/vrcrefcto0000.txt");
  Pulsa("cmdBorrar");
  EXPECT_EQ(QString(), ins.operador.Transcripcion());
  EXPECT_EQ(ins.entrada + "/vrcrefcto0000.txt", txtFichero()->text());
}

TEST_F(MainWindow, OrderButtonOnlyShowsItsMessage) {
  Abre();
  W<QLineEdit>("Text1")->setText("1234");
  W<QLineEdit>("txtNumPedido")->setText("77");
  QStringList durante;
  ins.operador.alMostrar = [&] {
    durante << QString("cmdOpcion_0 %1 cmdOpcion_1 %2")
                   .arg(W<QWidget>("cmdOpcion_0")->isEnabled())
                   .arg(W<QWidget>("cmdOpcion_1")->isEnabled());
  };
  Pulsa("cmdOpcion_1");
  EXPECT_EQ(QString("Mensaje: El envio de pedidos con el nuevo formato no está operativo.\n"),
            ins.operador.Transcripcion());
  EXPECT_EQ(QStringList({"cmdOpcion_0 0 cmdOpcion_1 0"}), durante);
  EXPECT_EQ(kTodoHabilitado, Habilitados());
}

TEST_F(MainWindow, ChoosingAnotherCompanyOpensItAndImportsGoThere) {
  ins.Empresa("002");
  Abre();
  auto* cmb = W<QComboBox>("cmbEmpresa");
  cmb->setCurrentIndex(cmb->findText("002"));
  EXPECT_EQ(QString("002"), programa->Empresa().IdEmpresa);
  EXPECT_EQ(ins.Ruta("CMC00200.MDB"), programa->Empresa().RutaComercial);
  EXPECT_TRUE(programa->EmpresaAbierta());

  Opcion(0);
  txtFichero()->setText(ins.Fichero("vrcrefcto0715.txt", {kIde, Alta(5, "AGUA"), "CHK|000003|"}));
  ins.operador.Responde({true, false});
  Pulsa("cmdOpcion_0");
  EXPECT_EQ(QStringList({"0000005 AGUA"}), ins.Articulos("002"));
  EXPECT_EQ(QStringList(), ins.Articulos("001"));
}

TEST_F(MainWindow, FillingTheCompanyBoxOpensNothing) {
  // 001 cannot be opened: an opening of it while the box fills would say so.
  ins.Empresa("002");
  QFile::remove(ins.Ruta("CMC00100.MDB"));
  ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = "002";
  Abre();
  EXPECT_EQ(QString(), ins.operador.Transcripcion());
  EXPECT_EQ(QString("002"), W<QComboBox>("cmbEmpresa")->currentText());
  EXPECT_EQ(QString("002"), programa->Empresa().IdEmpresa);
  EXPECT_TRUE(programa->EmpresaAbierta());
}

TEST_F(MainWindow, CompanyWithoutStoreDatabaseCannotBeImportedInto) {
  ins.Empresa("003", true, false);
  Abre();
  auto* cmb = W<QComboBox>("cmbEmpresa");
  cmb->setCurrentIndex(cmb->findText("003"));
  EXPECT_EQ("Mensaje: Falta el fichero: " + ins.Ruta("CMC00300.MDB") + "\n",
            ins.operador.Transcripcion());
  EXPECT_EQ(QString(kTodoHabilitado)
                .replace("cmdOpcion_0 cmdSimular", "cmdOpcion_0(off) cmdSimular(off)"),
            Habilitados());
  cmb->setCurrentIndex(cmb->findText("001"));
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_EQ(QList<int>(), finales);
}

TEST_F(MainWindow, CompanyWithoutAccountingDatabaseEndsTheProgram) {
  ins.Empresa("004", false, false);
  Abre();
  ventana->show();
  auto* cmb = W<QComboBox>("cmbEmpresa");
  cmb->setCurrentIndex(cmb->findText("004"));
  EXPECT_EQ("Mensaje: Falta el fichero: " + ins.Ruta("CNT00400.MDB") + "\n",
            ins.operador.Transcripcion());
  EXPECT_EQ(QList<int>({2}), finales);
  EXPECT_FALSE(ventana->isVisible());
}

TEST_F(MainWindow, StoppedStartUpLeavesOnlyTheExit) {
  ins.ajustes.valores.remove("VANTEL/BDD/RUTABDDEMPRESA");
  Abre();
  EXPECT_EQ(Programa::Resultado::Detenido, arranque);
  EXPECT_EQ(QString("Mensaje: No se ha encontrado la información del programa VANTEL\n"),
            ins.operador.Transcripcion());
  EXPECT_EQ(
      QString("SSOption1_0(off) SSOption1_5(off) SSCheck1(off) cmbEmpresa(off) txtFichero(off) "
              "BotonBuscar(off) cmdBorrar(off) cmdOpcion_0(off) cmdSimular(off) cmdCancelar(off) "
              "Text1(off) txtNumPedido(off) cmdOpcion_1(off) cmdSalir"),
      Habilitados());
  EXPECT_EQ(0, W<QComboBox>("cmbEmpresa")->count());
}

TEST_F(MainWindow, RemovalsBoxFollowsTheProgramBothWays) {
  ins.ajustes.valores["RELVANO/IMPORTAR/ACTUALIZAR_BAJAS"] = "No";
  Abre();
  auto* caja = W<QCheckBox>("SSCheck1");
  EXPECT_TRUE(caja->isChecked());
  caja->click();
  EXPECT_FALSE(programa->NoActualizarBajas());
  caja->click();
  EXPECT_TRUE(programa->NoActualizarBajas());
}

TEST_F(MainWindow, ExitWritesTheSettingsAndCloses) {
  ins.Empresa("002");
  ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = "001";
  Abre();
  ventana->show();
  auto* cmb = W<QComboBox>("cmbEmpresa");
  cmb->setCurrentIndex(cmb->findText("002"));
  W<QCheckBox>("SSCheck1")->click();
  Pulsa("cmdSalir");
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=002", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=No"}),
            ins.ajustes.escritos);
  EXPECT_FALSE(ventana->isVisible());

  // The next start opens the company left with and restores the box; untouched, both
  // are written as they stand.
  ins.ajustes.escritos.clear();
  Abre();
  EXPECT_EQ(QString("002"), W<QComboBox>("cmbEmpresa")->currentText());
  EXPECT_TRUE(W<QCheckBox>("SSCheck1")->isChecked());
  ventana->show();
  Pulsa("cmdSalir");
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=002", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=No"}),
            ins.ajustes.escritos);
  W<QCheckBox>("SSCheck1")->click();
  ins.ajustes.escritos.clear();
  Pulsa("cmdSalir");
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=002", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=Si"}),
            ins.ajustes.escritos);
  EXPECT_EQ(QList<int>({0, 0, 0}), finales);
}

TEST_F(MainWindow, ExitAfterAStoppedStartUpStillWritesTheSettings) {
  Instalacion& i = ins;
  i.general->Ejecuta("DELETE FROM EMPRESAS");
  Abre();
  ventana->show();
  Pulsa("cmdSalir");
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=Si"}), ins.ajustes.escritos);
  EXPECT_FALSE(ventana->isVisible());
}

TEST_F(MainWindow, CloseBoxWritesNothing) {
  Abre();
  ventana->show();
  W<QCheckBox>("SSCheck1")->click();
  EXPECT_TRUE(ventana->close());
  EXPECT_EQ(QStringList(), ins.ajustes.escritos);
  EXPECT_FALSE(ventana->isVisible());
  EXPECT_EQ(QList<int>(), finales);
}

TEST_F(MainWindow, CancelStopsAfterTheLineInHand) {
  constexpr int kLineas = 3000;
  constexpr int kCancelaEn = 1200;
  QStringList lineas = {kIde};
  for (int i = 1; i <= kLineas; ++i) lineas << Alta(i, QStringLiteral("ARTICULO %1").arg(i));
  lineas << QStringLiteral("CHK|%1|").arg(kLineas + 2, 6, 10, QLatin1Char('0'));
  const QString fichero = ins.Fichero("vrcrefcto0801.txt", lineas);
  Abre();
  ventana->show();
  Opcion(0);
  txtFichero()->setText(fichero);

  QString durante;
  bool cerrada = true;
  qint64 ultimoLeidos = 0, ultimoTotal = 0;
  QObject::connect(ventana.get(), &FrmRelvano::LineaLeida, ventana.get(),
                   [&](qint64 leidos, qint64 total, int n) {
                     ultimoLeidos = leidos;
                     ultimoTotal = total;
                     if (n != kCancelaEn) return;
                     durante = Habilitados();
                     cerrada = ventana->close();
                     Pulsa("cmdCancelar");
                   });
  // Posted before the run: handled only if the run lets the window work meanwhile.
  bool atendidoDurante = false;
  QTimer::singleShot(0, ventana.get(), [&] { atendidoDurante = ventana->Ejecutando(); });
  ins.operador.Responde({true, true});
  Pulsa("cmdOpcion_0");

  EXPECT_TRUE(atendidoDurante);
  EXPECT_FALSE(cerrada);
  EXPECT_EQ(
      QString("SSOption1_0(off) SSOption1_5(off) SSCheck1(off) cmbEmpresa(off) txtFichero(off) "
              "BotonBuscar(off) cmdBorrar(off) cmdOpcion_0(off) cmdSimular(off) cmdCancelar "
              "Text1(off) txtNumPedido(off) cmdOpcion_1(off) cmdSalir(off)"),
      durante);
  EXPECT_EQ(
      QString("Pregunta: ¿Desea importar el fichero seleccionado?\n") + Resumen("ARTICULOS.LOG"),
      ins.operador.Transcripcion());
  EXPECT_EQ(QStringList({ins.logs + "/ARTICULOS.LOG"}), logsVistos);

  // Line 1 is the header; lines 2 to 1200 are the articles 1 to 1199.
  EXPECT_EQ(kCancelaEn - 1, ins.CuentaArticulos("001"));
  const QStringList articulos = ins.Articulos("001");
  EXPECT_EQ(QString("0001199 ARTICULO 1199"), articulos.value(articulos.size() - 1));
  const QString log = LeeLog("ARTICULOS.LOG");
  EXPECT_TRUE(log.endsWith("  Leyendo línea ARTICULO: 1200" + kCrLf + kCrLf +
                           "Importación cancelada por el usuario tras la línea 1200." + kCrLf))
      << log.right(300).toStdString();

  EXPECT_EQ(QFileInfo(fichero).size(), ultimoTotal);
  EXPECT_EQ(QString("Líneas leídas: 1200"), W<QLabel>("lbLineas")->text());
  EXPECT_EQ(static_cast<int>(ultimoLeidos * 1000 / ultimoTotal),
            W<QProgressBar>("barraProgreso")->value());
  EXPECT_GT(W<QProgressBar>("barraProgreso")->value(), 0);
  EXPECT_LT(W<QProgressBar>("barraProgreso")->value(), 1000);
  EXPECT_EQ(kTodoHabilitado, Habilitados());
  EXPECT_TRUE(ventana->isVisible());
}

// A shop's server or a script has no display: the answers that need no window come all the same.
TEST(MainProgram, HelpAndVersionNeedNoDisplay) {
  QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    entorno.remove(variable);
  const struct {
    const char* opcion;
    const char* salida;
  } casos[] = {{"--help", "Uso: relvano [opciones]\n"}, {"--version", "relvano "}};
  for (const auto& c : casos) {
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.start(RELVANO_GUI_PATH, {c.opcion});
    ASSERT_TRUE(p.waitForFinished(60000)) << c.opcion;
    EXPECT_EQ(QProcess::NormalExit, p.exitStatus()) << c.opcion;
    EXPECT_EQ(0, p.exitCode()) << c.opcion;
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).startsWith(c.salida)) << c.opcion;
  }
}

}  // namespace
}  // namespace relvano::gui
