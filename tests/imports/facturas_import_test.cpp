#include <gtest/gtest.h>

#include "imports/facturas.h"
#include "imports/import_fixture.h"

namespace relvano {
namespace {

using testing::Golden;
using testing::RecordingOperator;
using Estado = ResultadoImportacion::Estado;

QString Linea(const QStringList& campos) { return campos.join(u'|') + u'|'; }

const QString kIde = Linea(
    {"IDE", "NORVIA001", "FRADIS", "001", "FACTURA", "2026-11-30", "08301215", "000001", "000001"});

QString Cab(const QString& total, const QString& fecha = "2026-11-30",
            const QString& numero = "ABC00001234") {
  return Linea({"CAB", numero, fecha, "00001", "N", "N", "N", "0000000000", "000001", "00000",
                "000000", "00000", "NORVIA", "00000000", total, "0000000000"});
}

QString Lin(const QString& ref, const QString& clase, const QString& cantidad,
            const QString& precio, const QString& base) {
  QStringList f = {"LIN", ref, ref, clase, "N", "0000000", "0000000", "N", cantidad};
  for (int i = 0; i < 8; ++i) f << "0000";
  return Linea(f + QStringList{precio, "00000000", "00000000", "N", base});
}

QString Imp(const QString& clase, const QString& base, const QString& iva) {
  return Linea({"IMP", clase, "1800", "0000", base, iva, "0.00"});
}

QString Chk(int lineas) { return Linea({"CHK", QString("%1").arg(lineas, 6, 10, QChar(u'0'))}); }

// Two lines of the general class (18 % on a date that is not today) and the
// super-reduced one (4 %): 11.44 + 2.06 + 6.90 + 0.28 = 20.68.
QStringList Factura(const QString& total = "20.68") {
  return {kIde,
          Cab(total),
          Lin("3000015", "A", "2.000", "5.72", "11.44"),
          Lin("4000012", "B", "10.000", "0.69", "6.90"),
          Linea({"ACU", "000000", "18.34"}),
          Imp("A", "11.44", "2.06"),
          Imp("B", "6.90", "0.28"),
          Chk(8)};
}

const QString kNada = " La base de datos no tiene aplicada ninguna línea del fichero.";
const QString kLeidas =
    "  Leyendo Línea Factura: 3\r\n\r\n  Leyendo Línea Factura: 4\r\n\r\n"
    "  Leyendo Pie Factura: 6\r\n\r\n  Leyendo Pie Factura: 7\r\n\r\n";

// The demo installation, today being 15/01/2027.
class FacturasImport : public testing::DemoFixture {
 protected:
  void SetUp() override {
    historial_ = false;
    DemoFixture::SetUp();
  }
  store::Empresa& empresa() { return programa_->Empresa(); }
  ResultadoImportacion Importa(const QStringList& lineas, bool simular = false,
                               Progreso* progreso = nullptr) {
    OpcionesImportacion o;
    o.opcion = OpcionImportacion::Facturas;
    o.fichero = testing::EscribeLineas(In("envfradis0099.txt"), lineas);
    o.carpetaLogs = Logs();
    o.preguntar = false;
    o.simular = simular;
    return ImportaFichero(empresa(), o, op_, progreso);
  }
  // The log after its first line.
  QString Cuerpo() {
    const QString log = Log("FACTURAS.LOG");
    return log.mid(log.indexOf("\r\n\r\n") + 4);
  }
  QString Filas(const QString& sql, const QStringList& cols) {
    return testing::Filas(db(), sql, cols);
  }
};

TEST(FacturasNumero, DeliveryNoteNumberFromTheInvoiceNumber) {
  for (const QStringList& c : testing::Casos("numero_albaran.txt"))
    EXPECT_EQ(c[1], imports::NumeroAlbaran(c[0])) << c[0].toStdString();
}

TEST_F(FacturasImport, AgreeingTotalsBookTheDeliveryNoteAndCreateTheInvoice) {
  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::Completa, r.estado) << r.error.toStdString();
  EXPECT_EQ(Golden("factura_correcta.txt"), op_.Transcripcion());
  EXPECT_EQ(kLeidas + "Fin Actualización\r\n\r\n", Cuerpo());
  const QString filas[] = {
      Filas("SELECT * FROM ALB_PROV", {"EJERCICIO", "SERIE", "NUMERO", "CODIGO", "FECHA", "NOMBRE",
                                       "ALMACEN_ENT", "TOTAL", "FACTURADO", "CERRADO", "NUM_FACT"}),
      Filas("SELECT * FROM FACT_PROV", {"EJERCICIO", "SERIE", "NUMERO", "FECHA", "TOTAL"}),
      Filas("SELECT * FROM FACPR_DESGPAGCOB WHERE NUMERO = '1234' ORDER BY NUM_PAGCOBFACT",
            {"NUM_PAGCOBFACT", "VENCIMIENTO", "PORCENTAJE", "IMPORTE"}),
      Filas("SELECT * FROM LIN_COMPRAS ORDER BY ID",
            {"CODIGO_ART", "TIPO_IVA", "VALOR_IVA", "CANTIDAD_ALB", "PRECIO_ALB", "BASE_ALB",
             "PRECIO_SIVA_NETO", "ENTREGADO", "FACTURADO", "NUM_FACT"}),
      Filas("SELECT * FROM ARTICULOS WHERE CODIGO IN ('3000015', '4000012') ORDER BY CODIGO",
            {"CODIGO", "STOCKACTUAL", "ULTIMA_COMPRA"})};
  EXPECT_EQ(Golden("factura_filas.txt"),
            QStringList(std::begin(filas), std::end(filas)).join("\n") + "\n");
  EXPECT_EQ(QString("2027"), empresa().AnyoActual);
}

TEST_F(FacturasImport, OneCentOffLeavesTheDeliveryNoteOpenWithoutInvoice) {
  EXPECT_EQ(Estado::FacturaNoCreada, Importa(Factura("20.69")).estado);
  EXPECT_EQ(Golden("factura_descuadrada.txt"), op_.Transcripcion());
  EXPECT_EQ(QString("TOTAL=20.68 FACTURADO=0 CERRADO=0"),
            Filas("SELECT * FROM ALB_PROV", {"TOTAL", "FACTURADO", "CERRADO"}));
  EXPECT_EQ(0, Cuenta("FACT_PROV") + Cuenta("LIN_COMPRAS WHERE FACTURADO <> 0"));
}

TEST_F(FacturasImport, FailureInsideTheLinesLeavesNoTraceAndTheFileCanBeImportedAgain) {
  db().Ejecuta(
      "CREATE TRIGGER FALLO_LINEA BEFORE INSERT ON LIN_COMPRAS WHEN NEW.CODIGO_ART = '4000012' "
      "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");
  const QString antes = Volcado();
  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::Error, r.estado);
  EXPECT_TRUE(r.error.startsWith("ERROR en la línea 4: ") && r.error.endsWith(kNada))
      << r.error.toStdString();
  // The refused statement follows the message in the log, with its values left out.
  EXPECT_EQ(kLeidas.left(60) + "Se han deshecho los cambios de las líneas 2 a 4 del fichero.\r\n" +
                r.error + "\r\nSentencia que ha fallado: INSERT INTO \"LIN_COMPRAS\" ",
            Cuerpo().section(u'(', 0, 0));
  EXPECT_TRUE(Cuerpo().endsWith(") VALUES (" + QString("?,").repeated(20) + "?)\r\n"));
  EXPECT_EQ("Mensaje[stop]: " + r.error + u'\n', op_.Transcripcion());
  EXPECT_EQ(antes, Volcado());

  db().Ejecuta("DROP TRIGGER FALLO_LINEA");
  EXPECT_EQ(Estado::Completa, Importa(Factura()).estado);
  EXPECT_EQ(2, Cuenta("LIN_COMPRAS WHERE FACTURADO <> 0"));
}

TEST_F(FacturasImport, FailureWhileInvoicingKeepsTheDeliveryNoteAndNoInvoice) {
  db().Ejecuta(
      "CREATE TRIGGER FALLO_PLAZO BEFORE INSERT ON FACPR_DESGPAGCOB WHEN NEW.NUM_PAGCOBFACT = 2 "
      "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");
  const auto r = Importa(Factura());
  EXPECT_EQ(Estado::Error, r.estado);
  EXPECT_TRUE(r.error.startsWith("ERROR en la línea 8: ")) << r.error.toStdString();
  EXPECT_EQ(0, Cuenta("FACT_PROV") + Cuenta("FACPR_DESGPAGCOB") +
                   Cuenta("LIN_COMPRAS WHERE FACTURADO <> 0"));
  EXPECT_EQ(QString("TOTAL=20.68 FACTURADO=0"),
            Filas("SELECT * FROM ALB_PROV", {"TOTAL", "FACTURADO"}));
  EXPECT_EQ(QString("2027"), empresa().AnyoActual);
}

// Another connection looks at the database each time a box comes up.
class FacturasVistas : public FacturasImport {
 protected:
  void Mira(const QString& sql) {
    store::OpcionesConexion o = programa_->Conexiones().Opciones();
    o.esperaBloqueoMs = 200;
    otra_ = store::Database::Abrir(db().Ruta(), o, nullptr);
    op_.alMostrar = [this, sql](const QString& texto) {
      try {
        vistos_ << otra_->Escalar(sql).Describe() + ": " + texto.left(30);
      } catch (const std::exception&) {
        vistos_ << "bloqueada";
      }
    };
  }
  std::shared_ptr<store::Database> otra_;
  QStringList vistos_;
};

TEST_F(FacturasVistas, ReportIsShownWithTheDeliveryNoteStoredAndBeforeTheInvoice) {
  Mira("SELECT (SELECT TOTAL FROM ALB_PROV) || ' ' || (SELECT COUNT(*) FROM FACT_PROV)");
  ASSERT_EQ(Estado::Completa, Importa(Factura()).estado);
  EXPECT_EQ(QStringList({"\"20.68 0\": DATOS LEIDOS\r\n------------\r\nBa",
                         "\"20.68 1\": Se han leido: 8 lineas.\r\n\r\nEl "}),
            vistos_);
}

TEST_F(FacturasVistas, MessagesOfTheDeliveryNoteAreShownOnceItIsStored) {
  db().Ejecuta(
      "INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV) VALUES ('1', '7777777', "
      "'7777777')");
  Mira("SELECT COUNT(*) FROM LIN_COMPRAS");
  EXPECT_EQ(Estado::FacturaNoCreada,
            Importa({kIde, Cab("20.00"), Lin("3000015", "D", "1.000", "5.72", "5.72"),
                     Lin("7777777", "A", "1.000", "2.00", "2.00"),
                     Lin("0012", "A", "1.000", "1.00", "1.00"), Chk(6)})
                .estado);
  EXPECT_EQ(QStringList({"3: EL IMPUESTO MULTIIMPUESTO NO E", "3: El artículo 7777777 no existe ",
                         "3: Tipo de iva no encontrado."}),
            vistos_.mid(0, 3));
  EXPECT_EQ(Golden("factura_lineas_avisos.txt"),
            Filas("SELECT * FROM LIN_COMPRAS ORDER BY ID",
                  {"CODIGO_ART", "TIPO_IVA", "DESCRIPCION_ART"}) +
                "\n");
}

TEST_F(FacturasImport, CancellingBeforeTheControlLineKeepsNothing) {
  const QString antes = Volcado();
  testing::ParaEnLinea para(4);
  EXPECT_EQ(Estado::Cancelada, Importa(Factura(), false, &para).estado);
  EXPECT_EQ(kLeidas.left(60) + "Importación cancelada por el usuario tras la línea 4.\r\n",
            Cuerpo());
  EXPECT_EQ(antes, Volcado());
}

TEST_F(FacturasImport, SimulationShowsTheReportAndKeepsNothing) {
  const QString antes = Volcado();
  EXPECT_EQ(Estado::Completa, Importa(Factura(), /*simular=*/true).estado);
  EXPECT_EQ(Golden("factura_informe.txt"), op_.Informes().value(0));
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(QString("2027"), empresa().AnyoActual);
}

TEST_F(FacturasImport, FooterLinesOfAnUnknownClassAreRefused) {
  QStringList lineas = Factura();
  lineas.insert(7, Imp("X", "99.00", "9.00"));
  lineas.insert(8, Imp("a", "99.00", "9.00"));
  lineas[9] = Chk(10);
  EXPECT_EQ(Estado::Completa, Importa(lineas).estado);
  EXPECT_EQ(Golden("factura_pies.log"), Cuerpo());
  EXPECT_EQ(Golden("factura_informe.txt"), op_.Informes().value(0));
}

TEST_F(FacturasImport, LinesAfterTheControlLineAreRefused) {
  QStringList lineas = Factura();
  lineas << Lin("3000015", "A", "5.000", "5.72", "28.60") << Imp("A", "1.00", "0.18") << Chk(10);
  EXPECT_EQ(Estado::Completa, Importa(lineas).estado);
  EXPECT_EQ(kLeidas + Golden("factura_tras_control.log"), Cuerpo());
  EXPECT_EQ(1, op_.Informes().size());
  EXPECT_EQ(2, Cuenta("LIN_COMPRAS"));
  EXPECT_EQ(QString("STOCKACTUAL=26"),
            Filas("SELECT * FROM ARTICULOS WHERE CODIGO = '3000015'", {"STOCKACTUAL"}));
}

TEST_F(FacturasImport, FilesThatCannotBeBookedLeaveNothing) {
  const QString lin = Lin("3000015", "A", "1.000", "5.72", "5.72");
  // In the order of their messages in tests/golden/facturas_rechazadas.txt; the last one
  // leaves the supplier deleted.
  const QStringList casos[] = {
      {kIde, lin, Chk(3)},
      {kIde, Cab("5.72", "2026-02-31"), lin, Chk(4)},
      {kIde, Cab("5.72", "2026-11-30", "FACTURA-A"), lin, Chk(4)},
      {kIde, Cab("5.72"), lin, Lin(QString("30") + QChar(0) + "15", "A", "1.000", "5.72", "5.72"),
       Chk(5)},
      Factura().mid(0, 7),
      Factura(),
  };
  const QStringList errores = Golden("facturas_rechazadas.txt").split('\n', Qt::SkipEmptyParts);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(errores[i].toStdString());
    if (i == 5) db().Ejecuta("DELETE FROM PROVEEDORES WHERE CODIGO = '1'");
    const QString antes = Volcado();
    op_.Limpia();
    EXPECT_EQ(i == 4 ? Estado::FacturaNoCreada : Estado::Error, Importa(casos[i]).estado);
    EXPECT_EQ("Mensaje[stop]: " + errores[i] + u'\n', op_.Transcripcion());
    EXPECT_TRUE(Cuerpo().endsWith(errores[i] + "\r\n")) << Cuerpo().toStdString();
    EXPECT_EQ(antes, Volcado());
  }
}

}  // namespace
}  // namespace relvano
