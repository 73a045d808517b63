#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/arranque.h"
#include "demo/demo.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "imports/facturas.h"
#include "store/db/database.h"
#include "store/db/recordset.h"
#include "support/cli.h"
#include "support/impresion.h"
#include "support/recording_operator.h"
#include "support/volcado.h"
#include "support/reloj_fijo.h"

using relvano::testing::Cli;
using relvano::testing::RelojFijo;
using relvano::testing::SalidaCli;


namespace relvano {
namespace {

using testing::RecordingOperator;
using Estado = ResultadoImportacion::Estado;

const QString kCrLf = QStringLiteral("\r\n");

QString Linea(const QStringList& campos) { return campos.join(u'|') + u'|'; }

const QString kIde = Linea(
    {"IDE", "NORVIA001", "FRADIS", "001", "FACTURA", "2026-11-30", "08301215", "000001", "000001"});

QString Cab(const QString& total, const QString& fecha = QStringLiteral("2026-11-30"),
            const QString& numero = QStringLiteral("ABC00001234")) {
  return Linea({"CAB", numero, fecha, "00001", "N", "N", "N", "0000000000", "000001", "00000",
                "000000", "00000", "NORVIA", "00000000", total, "0000000000"});
}

QString Lin(const QString& ref, const QString& clase, const QString& cantidad,
            const QString& precio, const QString& base) {
  return Linea({"LIN",      ref,        ref,      clase,       "N",        "0000000",
                "0000000",  "N",        cantidad, "000000000", "0000",     "0000",
                "0000",     "0000",     "00",     "00000000",  "00000000", precio,
                "00000000", "00000000", "N",      base});
}

QString Imp(const QString& clase, const QString& base, const QString& iva) {
  return Linea({"IMP", clase, "1800", "0000", base, iva, "0.00"});
}

QString Chk(int lineas) {
  return Linea({"CHK", QStringLiteral("%1").arg(lineas, 6, 10, QChar(u'0'))});
}

// Two lines of the general class (18 % on a date that is not today) and the
// super-reduced one (4 %): 11.44 + 2.06 + 6.90 + 0.28 = 20.68.
QStringList Factura(const QString& total = QStringLiteral("20.68")) {
  return {kIde,
          Cab(total),
          Lin("3000015", "A", "2.000", "5.72", "11.44"),
          Lin("4000012", "B", "10.000", "0.69", "6.90"),
          Linea({"ACU", "000000", "18.34"}),
          Imp("A", "11.44", "2.06"),
          Imp("B", "6.90", "0.28"),
          Chk(8)};
}

const QString kLeido =
    "DATOS LEIDOS\r\n"
    "------------\r\n"
    "Base 4%:              6,90\r\n"
    "Iva 4%:               0,28\r\n"
    "Recargo 0.5%:         0,00\r\n"
    "Base 7%:              0,00\r\n"
    "Iva 7%:               0,00\r\n"
    "Recargo 1%:           0,00\r\n"
    "Base 16%:            11,44\r\n"
    "Iva 16%:              2,06\r\n"
    "Recargo 4%:           0,00\r\n";

const QString kCalculado =
    "\r\n"
    "DATOS DEL ALBARAN CREADO\r\n"
    "------------------------\r\n"
    "Base 4%:              6,90\r\n"
    "Iva 4%:               0,28\r\n"
    "Recargo 0.5%:         0,00\r\n"
    "Base 7%:              0,00\r\n"
    "Iva 7%:               0,00\r\n"
    "Recargo 1%:           0,00\r\n"
    "Base 16%:            11,44\r\n"
    "Iva 16%:              2,06\r\n"
    "Recargo 4%:           0,00\r\n"
    "Total:               20,68\r\n";

// A demo installation opened as the program opens it, today being 15/01/2027.
class FacturasImport : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(CreaDemo(dir_.path(), &error)) << error.toStdString();
    ajustes_ = std::make_unique<IniSettingsStore>(dir_.filePath("settings"));
    programa_ = std::make_unique<Programa>(*ajustes_, arranque_, &reloj_);
    ASSERT_EQ(Programa::Resultado::Hecho, programa_->CargaEmpresas())
        << arranque_.Transcripcion().toStdString();
  }

  store::Empresa& empresa() { return programa_->Empresa(); }
  store::Database& db() { return *empresa().BddTienda; }

  ResultadoImportacion Importa(const QStringList& lineas, Operador& operador,
                               bool simular = false) {
    const QString ruta = dir_.filePath("In/envfradis0099.txt");
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write((lineas.join(kCrLf) + kCrLf).toUtf8());
    f.close();
    OpcionesImportacion o;
    o.opcion = OpcionImportacion::Facturas;
    o.fichero = ruta;
    o.nombreFicheroImportado = QStringLiteral("envfradis0099.txt");
    o.carpetaLogs = logs_.path();
    o.preguntar = false;
    o.simular = simular;
    return ImportaFichero(empresa(), o, operador);
  }
  ResultadoImportacion Importa(const QStringList& lineas, bool simular = false) {
    return Importa(lineas, operador_, simular);
  }

  // The log after its first line.
  QString Cuerpo() {
    QFile f(QDir(logs_.path()).filePath("FACTURAS.LOG"));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no log>");
    const QString log = QString::fromUtf8(f.readAll());
    const QString cabecera = QStringLiteral("Abriendo fichero: ") +
                             QDir(logs_.path()).filePath("FACTURAS.LOG") + kCrLf + kCrLf;
    const qsizetype desde = log.indexOf(cabecera);
    return desde < 0 ? log : log.mid(desde + cabecera.size());
  }

  // Every row of every table of the store database, sorted: compares databases whole.
  QString Volcado() { return relvano::testing::VolcadoBaseDatos(db()); }

  // The rows of `sql`, the columns `cols` of each on one line.
  QString Filas(const QString& sql, const QStringList& cols) {
    auto rs = db().AbrirRecordset(sql);
    QStringList lineas;
    for (; !rs.Eof(); rs.MoveNext()) {
      QStringList partes;
      for (const QString& c : cols) partes << c + u'=' + rs[c].Describe();
      lineas << partes.join(u' ');
    }
    return lineas.join(u'\n');
  }

  QTemporaryDir dir_;
  QTemporaryDir logs_;
  RelojFijo reloj_{QDate(2027, 1, 15)};
  RecordingOperator arranque_;
  std::unique_ptr<IniSettingsStore> ajustes_;
  std::unique_ptr<Programa> programa_;
  RecordingOperator operador_;
};

TEST(FacturasNumero, DeliveryNoteNumberFromTheInvoiceNumber) {
  const struct {
    const char* campo;
    const char* numero;
  } casos[] = {
      {"ABC00001234", "1234"},
      {"FRA00012345", "12345"},
      {"ABC12345678", "12345678"},
      // Shorter than the field: the last 8 characters of the field as stored, blanks included.
      {"123456789  ", "456789"},
      {"12345      ", "45"},
      {"FRA1234    ", "1234"},
      {"FACTURA-A  ", "0"},
      {"ABC00000000", "0"},
  };
  for (const auto& c : casos)
    EXPECT_EQ(QString::fromLatin1(c.numero), imports::NumeroAlbaran(QString::fromLatin1(c.campo)))
        << c.campo;
}

TEST_F(FacturasImport, AgreeingTotalsBookTheDeliveryNoteAndCreateTheInvoice) {
  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::Completa, r.estado) << r.error.toStdString();

  EXPECT_EQ("Informe: " + kLeido + "Total:               20,68\r\n" + kCalculado +
                "\r\n CORRECTO\r\n\n"
                "Mensaje[i]: Se han leido: 8 lineas.\r\n\r\nEl fichero contiene 8 lineas.\r\n\r\n"
                "Se ha creado la factura: 1234       \n",
            operador_.Transcripcion());
  EXPECT_EQ(QStringLiteral("  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
                           "  Leyendo Pie Factura: 6\r\n\r\n  Leyendo Pie Factura: 7\r\n\r\n"
                           "Fin Actualización\r\n\r\n"),
            Cuerpo());

  EXPECT_EQ(QStringLiteral("EJERCICIO=\"2026\" SERIE=\"1\" NUMERO=\"1234\" CODIGO=\"1\" "
                           "FECHA=2026-11-30 NOMBRE=\"NORVIA DISTRIBUCIÓN S.A.\" ALMACEN_ENT=\"1\" "
                           "TOTAL=20.68 FACTURADO=1 CERRADO=1 NUM_FACT=\"1234\""),
            Filas("SELECT * FROM ALB_PROV",
                  {"EJERCICIO", "SERIE", "NUMERO", "CODIGO", "FECHA", "NOMBRE", "ALMACEN_ENT",
                   "TOTAL", "FACTURADO", "CERRADO", "NUM_FACT"}));
  EXPECT_EQ(QStringLiteral("EJERCICIO=\"2026\" SERIE=\"1\" NUMERO=\"1234\" CODIGO=\"1\" "
                           "FECHA=2026-11-30 TOTAL=20.68"),
            Filas("SELECT * FROM FACT_PROV",
                  {"EJERCICIO", "SERIE", "NUMERO", "CODIGO", "FECHA", "TOTAL"}));
  EXPECT_EQ(QStringLiteral("NUM_PAGCOBFACT=1 VENCIMIENTO=2026-12-30 PORCENTAJE=50 IMPORTE=10.34\n"
                           "NUM_PAGCOBFACT=2 VENCIMIENTO=2027-01-29 PORCENTAJE=50 IMPORTE=10.34"),
            Filas("SELECT * FROM FACPR_DESGPAGCOB WHERE EJERCICIO = '2026' AND NUMERO = '1234' "
                  "ORDER BY NUM_PAGCOBFACT",
                  {"NUM_PAGCOBFACT", "VENCIMIENTO", "PORCENTAJE", "IMPORTE"}));
  EXPECT_EQ(QStringLiteral(
                "CODIGO_ART=\"3000015\" TIPO_IVA=\"1\" VALOR_IVA=18 CANTIDAD_ALB=2 PRECIO_ALB=5.72 "
                "BASE_ALB=11.44 PRECIO_SIVA_NETO=5.72 ENTREGADO=1 FACTURADO=1 NUM_FACT=\"1234\"\n"
                "CODIGO_ART=\"4000012\" TIPO_IVA=\"3\" VALOR_IVA=4 CANTIDAD_ALB=10 PRECIO_ALB=0.69 "
                "BASE_ALB=6.9 PRECIO_SIVA_NETO=0.69 ENTREGADO=1 FACTURADO=1 NUM_FACT=\"1234\""),
            Filas("SELECT * FROM LIN_COMPRAS ORDER BY ID",
                  {"CODIGO_ART", "TIPO_IVA", "VALOR_IVA", "CANTIDAD_ALB", "PRECIO_ALB", "BASE_ALB",
                   "PRECIO_SIVA_NETO", "ENTREGADO", "FACTURADO", "NUM_FACT"}));
  EXPECT_EQ(QStringLiteral("CODIGO=\"3000015\" STOCKACTUAL=26 ULTIMA_COMPRA=2026-11-30\n"
                           "CODIGO=\"4000012\" STOCKACTUAL=34 ULTIMA_COMPRA=2026-11-30"),
            Filas("SELECT * FROM ARTICULOS WHERE CODIGO IN ('3000015', '4000012') ORDER BY CODIGO",
                  {"CODIGO", "STOCKACTUAL", "ULTIMA_COMPRA"}));
  EXPECT_EQ(QStringLiteral("2027"), empresa().AnyoActual);
}

TEST_F(FacturasImport, OneCentOffLeavesTheDeliveryNoteOpenWithoutInvoice) {
  const auto r = Importa(Factura(QStringLiteral("20.69")));
  EXPECT_EQ(Estado::FacturaNoCreada, r.estado);
  EXPECT_EQ("Informe: " + kLeido + "Total:               20,69\r\n" + kCalculado +
                "\r\n DESCUADRE\r\n\n"
                "Mensaje: No se ha podido crear la factura: 1234 porque está descuadrada.\n"
                "Mensaje[i]: Se han leido: 8 lineas.\r\n\r\nEl fichero contiene 8 lineas.\r\n\r\n"
                "No se ha creado la factura: 1234\n",
            operador_.Transcripcion());
  EXPECT_EQ(QStringLiteral("NUMERO=\"1234\" TOTAL=20.68 FACTURADO=0 CERRADO=0"),
            Filas("SELECT * FROM ALB_PROV", {"NUMERO", "TOTAL", "FACTURADO", "CERRADO"}));
  EXPECT_EQ(Valor(0.0), db().Escalar("SELECT COUNT(*) FROM FACT_PROV"));
  EXPECT_EQ(Valor(0.0), db().Escalar("SELECT COUNT(*) FROM LIN_COMPRAS WHERE FACTURADO <> 0"));
}

TEST_F(FacturasImport, ExistingDeliveryNoteIsNotTouched) {
  ASSERT_EQ(Estado::Completa, Importa(Factura()).estado);
  const QString antes = Volcado();
  operador_.Limpia();

  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::FacturaNoCreada, r.estado);
  EXPECT_EQ(QStringLiteral("Mensaje: El albarán 1234 ya existe.\n"), operador_.Transcripcion());
  EXPECT_EQ(QString(), Cuerpo());
  EXPECT_EQ(antes, Volcado());
}

TEST_F(FacturasImport, FailureInsideTheLinesLeavesNoTraceAndTheFileCanBeImportedAgain) {
  db().Ejecuta(
      "CREATE TRIGGER FALLO_LINEA BEFORE INSERT ON LIN_COMPRAS WHEN NEW.CODIGO_ART = '4000012' "
      "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");
  const QString antes = Volcado();

  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::Error, r.estado);
  EXPECT_TRUE(r.error.startsWith("ERROR en la línea 4: ")) << r.error.toStdString();
  EXPECT_TRUE(r.error.contains("disco lleno")) << r.error.toStdString();
  EXPECT_TRUE(r.error.endsWith("La base de datos no tiene aplicada ninguna línea del fichero."))
      << r.error.toStdString();
  EXPECT_EQ(
      "  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
      "Se han deshecho los cambios de las líneas 2 a 4 del fichero.\r\n" +
          r.error + kCrLf,
      Cuerpo());
  EXPECT_EQ("Mensaje[stop]: " + r.error + u'\n', operador_.Transcripcion());
  EXPECT_EQ(antes, Volcado());

  db().Ejecuta("DROP TRIGGER FALLO_LINEA");
  operador_.Limpia();
  EXPECT_EQ(Estado::Completa, Importa(Factura()).estado) << operador_.Transcripcion().toStdString();
  EXPECT_EQ(Valor(2.0), db().Escalar("SELECT COUNT(*) FROM LIN_COMPRAS WHERE FACTURADO <> 0"));
}

TEST_F(FacturasImport, FailureWhileInvoicingKeepsTheDeliveryNoteAndNoInvoice) {
  db().Ejecuta(
      "CREATE TRIGGER FALLO_PLAZO BEFORE INSERT ON FACPR_DESGPAGCOB WHEN NEW.NUM_PAGCOBFACT = 2 "
      "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");

  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::Error, r.estado);
  EXPECT_TRUE(r.error.startsWith("ERROR en la línea 8: ")) << r.error.toStdString();
  EXPECT_EQ(Valor(0.0), db().Escalar("SELECT COUNT(*) FROM FACT_PROV"));
  EXPECT_EQ(Valor(0.0), db().Escalar("SELECT COUNT(*) FROM FACPR_DESGPAGCOB"));
  EXPECT_EQ(QStringLiteral("TOTAL=20.68 FACTURADO=0"),
            Filas("SELECT * FROM ALB_PROV", {"TOTAL", "FACTURADO"}));
  EXPECT_EQ(Valor(0.0), db().Escalar("SELECT COUNT(*) FROM LIN_COMPRAS WHERE FACTURADO <> 0"));
  EXPECT_EQ(QStringLiteral("2027"), empresa().AnyoActual);
}

// Records, with each message, how many delivery note lines another connection sees.
class OperadorQueMira : public RecordingOperator {
 public:
  explicit OperadorQueMira(const QString& ruta) {
    store::OpcionesConexion o;
    o.esperaBloqueoMs = 200;
    QString error;
    otra_ = store::Database::Abrir(ruta, o, &error);
  }
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override {
    QString visto;
    try {
      visto = otra_->Escalar("SELECT COUNT(*) FROM LIN_COMPRAS").Describe();
    } catch (const std::exception& e) {
      visto = QStringLiteral("bloqueada");
    }
    RecordingOperator::Mensaje("(" + visto + " líneas) " + texto, icono);
  }

 private:
  std::shared_ptr<store::Database> otra_;
};

TEST_F(FacturasImport, MessagesOfTheDeliveryNoteAreShownOnceItIsStored) {
  db().Ejecuta(
      "INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV) VALUES "
      "('1', '7777777', '7777777')");
  OperadorQueMira operador(db().Ruta());
  const auto r = Importa({kIde, Cab("20.00"), Lin("3000015", "D", "1.000", "5.72", "5.72"),
                          Lin("7777777", "A", "1.000", "2.00", "2.00"),
                          Lin("0012", "A", "1.000", "1.00", "1.00"), Chk(6)},
                         operador);
  EXPECT_EQ(Estado::FacturaNoCreada, r.estado);
  const QStringList mensajes = operador.Mensajes();
  ASSERT_GE(mensajes.size(), 3) << operador.Transcripcion().toStdString();
  EXPECT_EQ(QStringLiteral("(3 líneas) EL IMPUESTO MULTIIMPUESTO NO ESTA IMPLEMENTADO"),
            mensajes[0]);
  EXPECT_EQ(QStringLiteral("(3 líneas) El artículo 7777777 no existe para actualizar su stock"),
            mensajes[1]);
  EXPECT_EQ(QStringLiteral("(3 líneas) Tipo de iva no encontrado."), mensajes[2]);
  EXPECT_EQ(
      QStringLiteral(
          "CODIGO_ART=\"3000015\" TIPO_IVA=Null DESCRIPCION_ART=\"DETERGENTE LÍQUIDO 40 LAVADOS\"\n"
          "CODIGO_ART=\"7777777\" TIPO_IVA=\"1\" DESCRIPCION_ART=\"ARTICULO DEL PROVEEDOR "
          "7777777 NO CREADO \"\n"
          "CODIGO_ART=\"0\" TIPO_IVA=\"1\" DESCRIPCION_ART=\"ARTICULO DEL PROVEEDOR 12 NO "
          "CREADO \""),
      Filas("SELECT * FROM LIN_COMPRAS ORDER BY ID",
            {"CODIGO_ART", "TIPO_IVA", "DESCRIPCION_ART"}));
}

// Records what another connection sees of the documents when the report is shown and
// when the count message closes the file.
class OperadorDelInforme : public RecordingOperator {
 public:
  explicit OperadorDelInforme(const QString& ruta) {
    store::OpcionesConexion o;
    o.esperaBloqueoMs = 200;
    QString error;
    otra_ = store::Database::Abrir(ruta, o, &error);
  }
  void Informe(const QString& texto) override {
    RecordingOperator::Informe(texto);
    vistos_ << Visto();
  }
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override {
    RecordingOperator::Mensaje(texto, icono);
    vistos_ << Visto();
  }
  QStringList vistos_;

 private:
  QString Visto() {
    try {
      return "albarán " + otra_->Escalar("SELECT TOTAL FROM ALB_PROV").Describe() + ", facturas " +
             otra_->Escalar("SELECT COUNT(*) FROM FACT_PROV").Describe();
    } catch (const std::exception&) {
      return QStringLiteral("bloqueada");
    }
  }
  std::shared_ptr<store::Database> otra_;
};

TEST_F(FacturasImport, ReportIsShownWithTheDeliveryNoteStoredAndBeforeTheInvoice) {
  OperadorDelInforme operador(db().Ruta());
  EXPECT_EQ(Estado::Completa, Importa(Factura(), operador).estado);
  EXPECT_EQ(QStringList({"albarán 20.68, facturas 0", "albarán 20.68, facturas 1"}),
            operador.vistos_);
}

// Asks to stop once the file's line `linea` has been read.
class ParaEn : public Progreso {
 public:
  explicit ParaEn(int linea) : linea_(linea) {}
  bool Avance(qint64, qint64, int lineas) override { return lineas < linea_; }

 private:
  int linea_;
};

TEST_F(FacturasImport, CancellingBeforeTheControlLineKeepsNothing) {
  const QString antes = Volcado();
  const QString ruta = dir_.filePath("In/envfradis0098.txt");
  QFile f(ruta);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write((Factura().join(kCrLf) + kCrLf).toUtf8());
  f.close();
  OpcionesImportacion o;
  o.opcion = OpcionImportacion::Facturas;
  o.fichero = ruta;
  o.carpetaLogs = logs_.path();
  o.preguntar = false;
  ParaEn para(4);
  const auto r = ImportaFichero(empresa(), o, operador_, &para);
  EXPECT_EQ(Estado::Cancelada, r.estado);
  EXPECT_EQ(QStringLiteral("  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
                           "Importación cancelada por el usuario tras la línea 4.\r\n"),
            Cuerpo());
  EXPECT_EQ(antes, Volcado());
}

TEST_F(FacturasImport, EmptyLineBeforeTheHeaderIsNotCountedLaterOnesAre) {
  QStringList lineas = Factura();
  lineas.insert(1, QString());
  lineas.insert(4, QString());
  const auto r = Importa(lineas);
  EXPECT_EQ(Estado::Completa, r.estado);
  ASSERT_FALSE(operador_.Mensajes().isEmpty());
  EXPECT_EQ(QStringLiteral("Se han leido: 9 lineas.\r\n\r\nEl fichero contiene 8 lineas.\r\n\r\n"
                           "Se ha creado la factura: 1234       "),
            operador_.Mensajes().last());
}

TEST_F(FacturasImport, FooterLinesOfAnUnknownClassAreRefused) {
  QStringList lineas = Factura();
  lineas.insert(7, Imp("X", "99.00", "9.00"));
  lineas.insert(8, Imp("a", "99.00", "9.00"));
  lineas[9] = Chk(10);
  const auto r = Importa(lineas);
  EXPECT_EQ(Estado::Completa, r.estado);
  EXPECT_EQ(QStringLiteral("  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
                           "  Leyendo Pie Factura: 6\r\n\r\n  Leyendo Pie Factura: 7\r\n\r\n"
                           "  Leyendo Pie Factura: 8\r\n\r\n"
                           "  Pie de factura rechazado (clase X): línea 8\r\n\r\n"
                           "  Leyendo Pie Factura: 9\r\n\r\n"
                           "  Pie de factura rechazado (clase a): línea 9\r\n\r\n"
                           "Fin Actualización\r\n\r\n"),
            Cuerpo());
  ASSERT_EQ(1, operador_.Informes().size());
  EXPECT_TRUE(operador_.Informes()[0].startsWith(kLeido)) << operador_.Informes()[0].toStdString();
}

TEST_F(FacturasImport, LinesAfterTheControlLineAreRefused) {
  QStringList lineas = Factura();
  lineas << Lin("3000015", "A", "5.000", "5.72", "28.60") << Imp("A", "1.00", "0.18") << Chk(10);
  const auto r = Importa(lineas);
  EXPECT_EQ(Estado::Completa, r.estado);
  EXPECT_TRUE(Cuerpo().endsWith(QStringLiteral(
      "Fin Actualización\r\n\r\n"
      "  Línea LIN rechazada tras la línea de control de la factura: línea 9\r\n\r\n"
      "  Línea IMP rechazada tras la línea de control de la factura: línea 10\r\n\r\n"
      "  Línea CHK rechazada tras la línea de control de la factura: línea 11\r\n\r\n")))
      << Cuerpo().toStdString();
  EXPECT_EQ(1, operador_.Informes().size());
  EXPECT_EQ(Valor(2.0), db().Escalar("SELECT COUNT(*) FROM LIN_COMPRAS"));
  EXPECT_EQ(QStringLiteral("STOCKACTUAL=26"),
            Filas("SELECT * FROM ARTICULOS WHERE CODIGO = '3000015'", {"STOCKACTUAL"}));
}

TEST_F(FacturasImport, SimulationShowsTheReportAndKeepsNothing) {
  const QString antes = Volcado();
  const auto r = Importa(Factura(), /*simular=*/true);
  EXPECT_EQ(Estado::Completa, r.estado);
  ASSERT_EQ(1, operador_.Informes().size());
  EXPECT_TRUE(operador_.Informes()[0].endsWith(kCalculado + "\r\n CORRECTO\r\n"));
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(QStringLiteral("2027"), empresa().AnyoActual);
}

TEST_F(FacturasImport, FilesThatCannotBeBookedLeaveNothing) {
  const struct {
    const char* nombre;
    QStringList lineas;
    bool sinProveedor;
    Estado estado;
    QString mensaje;
    QString log;
  } casos[] = {
      {"no CAB after IDE",
       {kIde, Lin("3000015", "A", "1.000", "5.72", "5.72"), Chk(3)},
       false,
       Estado::Error,
       "Mensaje[stop]: ERROR en la línea 2: la línea siguiente a la cabecera del fichero no es la "
       "cabecera de la factura (CAB); no se ha importado nada. Compruebe que el fichero es una "
       "factura de la cadena. La base de datos no tiene aplicada ninguna línea del fichero.\n",
       "ERROR en la línea 2: la línea siguiente a la cabecera del fichero no es la cabecera de la "
       "factura (CAB); no se ha importado nada. Compruebe que el fichero es una factura de la "
       "cadena. La base de datos no tiene aplicada ninguna línea del fichero.\r\n"},
      {"date that does not exist",
       {kIde, Cab("5.72", "2026-02-31"), Lin("3000015", "A", "1.000", "5.72", "5.72"), Chk(4)},
       false,
       Estado::Error,
       "Mensaje[stop]: ERROR en la línea 2: la fecha de la factura (\"2026-02-31\") no es una "
       "fecha válida; no se ha importado nada. La base de datos no tiene aplicada ninguna línea "
       "del fichero.\n",
       "ERROR en la línea 2: la fecha de la factura (\"2026-02-31\") no es una fecha válida; no "
       "se ha importado nada. La base de datos no tiene aplicada ninguna línea del fichero.\r\n"},
      {"number without a delivery note number",
       {kIde, Cab("5.72", "2026-11-30", "FACTURA-A"), Lin("3000015", "A", "1.000", "5.72", "5.72"),
        Chk(4)},
       false,
       Estado::Error,
       "Mensaje[stop]: ERROR en la línea 2: el número de factura (\"FACTURA-A\") no termina en un "
       "número de albarán (sus 8 últimos caracteres, con los blancos de la derecha); no se ha "
       "importado nada. La base de datos no tiene aplicada ninguna línea del fichero.\n",
       "ERROR en la línea 2: el número de factura (\"FACTURA-A\") no termina en un número de "
       "albarán (sus 8 últimos caracteres, con los blancos de la derecha); no se ha importado "
       "nada. La base de datos no tiene aplicada ninguna línea del fichero.\r\n"},
      {"control character in a detail line",
       {kIde, Cab("5.72"), Lin("3000015", "A", "1.000", "5.72", "5.72"),
        Lin(QStringLiteral("30") + QChar(0) + "15", "A", "1.000", "5.72", "5.72"), Chk(5)},
       false,
       Estado::Error,
       "Mensaje[stop]: ERROR en la línea 4: el campo 2 contiene un carácter de control (código "
       "0), que no se puede guardar; la línea no se ha aplicado. Corrija el fichero y vuelva a "
       "importarlo. La base de datos no tiene aplicada ninguna línea del fichero.\n",
       "  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
       "Se han deshecho los cambios de las líneas 2 a 4 del fichero.\r\n"
       "ERROR en la línea 4: el campo 2 contiene un carácter de control (código 0), que no se "
       "puede guardar; la línea no se ha aplicado. Corrija el fichero y vuelva a importarlo. La "
       "base de datos no tiene aplicada ninguna línea del fichero.\r\n"},
      {"no CHK line", Factura().mid(0, 7), false, Estado::FacturaNoCreada,
       "Mensaje[stop]: El fichero termina sin su línea de control (CHK): no se ha guardado el "
       "albarán 1234 ni se ha creado la factura.\n",
       "  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
       "  Leyendo Pie Factura: 6\r\n\r\n  Leyendo Pie Factura: 7\r\n\r\n"
       "El fichero termina sin su línea de control (CHK): no se ha guardado el albarán 1234 ni se "
       "ha creado la factura.\r\n"},
      {"supplier missing (last: the supplier stays deleted)", Factura(), true, Estado::Error,
       "Mensaje[stop]: ERROR en la línea 2: el proveedor 1 (la cadena) no existe en la tabla de "
       "proveedores; no se ha creado el albarán 1234. Dé de alta el proveedor 1 y vuelva a "
       "importar el fichero. La base de datos no tiene aplicada ninguna línea del fichero.\n",
       "ERROR en la línea 2: el proveedor 1 (la cadena) no existe en la tabla de proveedores; no "
       "se ha creado el albarán 1234. Dé de alta el proveedor 1 y vuelva a importar el "
       "fichero. La base de datos no tiene aplicada ninguna línea del fichero.\r\n"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    if (c.sinProveedor) db().Ejecuta("DELETE FROM PROVEEDORES WHERE CODIGO = ?", {Valor("1")});
    const QString antes = Volcado();
    operador_.Limpia();
    const auto r = Importa(c.lineas);
    EXPECT_EQ(c.estado, r.estado);
    EXPECT_EQ(c.mensaje, operador_.Transcripcion());
    EXPECT_EQ(c.log, Cuerpo());
    EXPECT_EQ(antes, Volcado());
  }
}

TEST(FacturasCli, DemoInvoiceIsCreatedOnceThenRefusedWithStatus3) {
  QTemporaryDir dir;
  ASSERT_EQ(0, Cli({"demo", dir.path()}).codigo);
  const QStringList import{"--settings-dir",
                           dir.filePath("settings"),
                           "--log-dir",
                           dir.filePath("logs"),
                           "import",
                           "facturas",
                           dir.filePath("In/envfradis0001.txt")};
  QDir().mkpath(dir.filePath("logs"));

  const SalidaCli primera = Cli(import);
  EXPECT_EQ(0, primera.codigo) << primera.err.toStdString();
  EXPECT_TRUE(primera.out.contains("DATOS DEL ALBARAN CREADO")) << primera.out.toStdString();
  EXPECT_TRUE(primera.out.contains("\n CORRECTO\n")) << primera.out.toStdString();
  EXPECT_TRUE(primera.err.contains("Se ha creado la factura: 12345")) << primera.err.toStdString();

  // The same file again is refused before the delivery note is looked at; forced, the
  // note already there stops it.
  const SalidaCli segunda = Cli(import);
  EXPECT_EQ(2, segunda.codigo) << segunda.err.toStdString();
  EXPECT_TRUE(segunda.err.contains("Este fichero ya se importó el ")) << segunda.err.toStdString();
  const SalidaCli forzada = Cli(import + QStringList{"--force"});
  EXPECT_EQ(3, forzada.codigo) << forzada.err.toStdString();
  EXPECT_TRUE(forzada.err.contains("El albarán 12345 ya existe.")) << forzada.err.toStdString();
}

}  // namespace
}  // namespace relvano
