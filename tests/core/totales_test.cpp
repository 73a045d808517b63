#include "store/documents/totales.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/vat/iva.h"
#include "support/impresion.h"
#include "support/recording_operator.h"
#include "support/temp_db.h"
#include "support/reloj_fijo.h"

using relvano::testing::RelojFijo;


using relvano::Operador;
using relvano::Reloj;
using relvano::Valor;
using relvano::store::CargaTablaIva;
using relvano::store::Database;
using relvano::store::Empresa;
using relvano::store::RecalculaAlbaranProveedor;
using relvano::store::RecalculaFacturaProveedor;
using relvano::testing::RecordingOperator;
using relvano::testing::TempDb;

namespace {

// Discounts and settings of a document header.
struct Cabecera {
  QString fecha = QStringLiteral("2012-07-15");
  int esPorcentajeDtoCom = 1;
  double valorDtoCom = 0;
  double dtoCom = 0;
  int esPorcentajeDtoPP = 1;
  double valorDtoPP = 0;
  double dtoPP = 0;
  int conRecargo = 0;
};

struct Documentos {
  TempDb t;
  RelojFijo reloj{QDate(2013, 1, 10)};
  Empresa e;
  RecordingOperator op;

  Documentos() {
    relvano::testing::EmpresaSobre(e, t, &reloj);
    CargaTablaIva(e);  // current rates 16/4, 7/1, 4/0.5
    db().Ejecuta("insert into PROVEEDORES (CODIGO, TIPO_IVA) values ('1', 0)");
  }
  Database& db() { return t.db(); }

  // A header of `tabla` (ALB_PROV or FACT_PROV) with key 2012/1/7/1.
  void Documento(const QString& tabla, const Cabecera& c = {}) {
    db().Ejecuta(
        QStringLiteral("insert into %1 (EJERCICIO, SERIE, NUMERO, CODIGO, FECHA, "
                       "ESPORCENTAJE_DTOCOM, VALOR_DTO_COM, DTO_COM, ESPORCENTAJE_DTOPP, "
                       "VALOR_DTO_PP, DTO_PP, CON_RECARGO) values ('2012', '1', '7', "
                       "'1', ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(tabla),
        {Valor(c.fecha), Valor(c.esPorcentajeDtoCom), Valor(c.valorDtoCom), Valor(c.dtoCom),
         Valor(c.esPorcentajeDtoPP), Valor(c.valorDtoPP), Valor(c.dtoPP), Valor(c.conRecargo)});
  }
  // Lines of the delivery note and, already invoiced, of the invoice of the same key.
  void Lineas(std::initializer_list<std::pair<const char*, double>> lineas) {
    for (const auto& [tipo, base] : lineas)
      db().Ejecuta(
          "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, EJER_FACT, "
          "SERIE_FACT, NUM_FACT, TIPO_IVA, BASE_ALB) values "
          "('2012','1','7','1','2012','1','7', ?, ?)",
          {Valor(QString::fromLatin1(tipo)), Valor(base)});
    // A line of another delivery note that must never count.
    db().Ejecuta(
        "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, TIPO_IVA, "
        "BASE_ALB) values ('2012','1','8','1','1', 1000)");
  }
  void Albaran() { RecalculaAlbaranProveedor(e, op, "2012", "1", "7", "1", "001"); }
  void Factura() { RecalculaFacturaProveedor(e, op, "2012", "1", "7", "1", "001"); }
  QString Fila(const QString& tabla, const QStringList& cols) {
    auto rs = db().AbrirRecordset(QStringLiteral("select * from %1").arg(tabla));
    if (!rs.HayRegistros()) return QStringLiteral("(no row)");
    QStringList partes;
    for (const QString& c : cols) partes << c + u'=' + rs[c].Describe();
    return partes.join(u' ');
  }
};

const QStringList kSlot1 = {"BASE1",          "BASE1_NETA", "TIPO_IVA1", "VALOR_IVA1",
                            "VALOR_RECARGO1", "IVA1",       "RECARGO1"};
const QStringList kTotales = {"VALOR_DTO_COM", "VALOR_DTO_PP", "IMPORTE", "EXENTO_BRUTO", "EXENTO",
                              "BASE",          "IVA",          "RECARGO", "TOTAL"};

TEST(Totales, CommercialPercentDiscountOnDeliveryNote) {
  Documentos d;
  Cabecera c;
  c.dtoCom = 10;
  c.dtoPP = 5;  // delivery notes get no prompt-payment discount
  d.Documento("ALB_PROV", c);
  d.Lineas({{"1", 60}, {"1", 40}});
  d.Albaran();
  EXPECT_EQ(QStringLiteral("BASE1=100 BASE1_NETA=90 TIPO_IVA1=\"1\" VALOR_IVA1=18 "
                           "VALOR_RECARGO1=4 IVA1=16.2 RECARGO1=0"),
            d.Fila("ALB_PROV", kSlot1));
  EXPECT_EQ(QStringLiteral("VALOR_DTO_COM=10 VALOR_DTO_PP=0 IMPORTE=100 EXENTO_BRUTO=0 "
                           "EXENTO=0 BASE=90 IVA=16.2 RECARGO=0 TOTAL=106.2"),
            d.Fila("ALB_PROV", kTotales));
  EXPECT_TRUE(d.op.Eventos().empty());
}

TEST(Totales, OnlyTheSlotsOfTheLinesAreFilled) {
  Documentos d;
  d.Documento("ALB_PROV");
  d.Lineas({{"1", 10.004}, {"3", 30}, {"1", 20}});
  d.Albaran();
  EXPECT_EQ(QStringLiteral("BASE1_NETA=30 BASE2_NETA=0 BASE3_NETA=30 BASE4_NETA=0 "
                           "BASE5_NETA=0 IVA1=5.4 IVA3=1.2 BASE=60 TOTAL=66.6"),
            d.Fila("ALB_PROV", {"BASE1_NETA", "BASE2_NETA", "BASE3_NETA", "BASE4_NETA",
                                "BASE5_NETA", "IVA1", "IVA3", "BASE", "TOTAL"}));
}

TEST(Totales, FixedCommercialDiscount) {
  const QString mensaje = QStringLiteral(
      "Se ha borrar el descuento fijo comercial. \r\rNo se puede aplicar si hay más de un tipo "
      "de iva.");
  struct {
    const char* nombre;
    std::initializer_list<std::pair<const char*, double>> lineas;
    const char* esperado;
    bool avisa;
  } casos[] = {
      {"one slot",
       {{"1", 100}},
       "VALOR_DTO_COM=5 BASE1_NETA=95 BASE2_NETA=0 EXENTO=0 BASE=95",
       false},
      {"two slots",
       {{"1", 100}, {"2", 50}},
       "VALOR_DTO_COM=0 BASE1_NETA=100 BASE2_NETA=50 EXENTO=0 BASE=150",
       true},
      {"a slot and the exempt part",
       {{"1", 100}, {"0", 20}},
       "VALOR_DTO_COM=0 BASE1_NETA=100 BASE2_NETA=0 EXENTO=20 BASE=120",
       true},
      {"exempt part only",
       {{"0", 20}},
       "VALOR_DTO_COM=5 BASE1_NETA=0 BASE2_NETA=0 EXENTO=15 BASE=15",
       false},
  };
  for (const auto& caso : casos) {
    Documentos d;
    Cabecera c;
    c.esPorcentajeDtoCom = 0;
    c.valorDtoCom = 5;
    d.Documento("ALB_PROV", c);
    d.Lineas(caso.lineas);
    d.Albaran();
    EXPECT_EQ(QString::fromUtf8(caso.esperado),
              d.Fila("ALB_PROV", {"VALOR_DTO_COM", "BASE1_NETA", "BASE2_NETA", "EXENTO", "BASE"}))
        << caso.nombre;
    EXPECT_EQ(caso.avisa ? QStringList{mensaje} : QStringList{}, d.op.Mensajes()) << caso.nombre;
    if (caso.avisa) {
      EXPECT_EQ(Operador::Icono::Informacion, d.op.Eventos()[0].icono);
    }
  }
}

TEST(Totales, SupplierRegimeWithoutVat) {
  for (int regimen : {0, 1, 2, 3, 4}) {
    Documentos d;
    d.db().Ejecuta("update PROVEEDORES set TIPO_IVA = ?", {Valor(regimen)});
    Cabecera c;
    c.conRecargo = 1;
    d.Documento("ALB_PROV", c);
    d.Lineas({{"1", 100}});
    d.Albaran();
    const bool sinIva = regimen == 2 || regimen == 4;
    EXPECT_EQ(QStringLiteral("IVA_TERCERO=%1 VALOR_IVA1=18 VALOR_RECARGO1=4 IVA1=%2 RECARGO1=%3 "
                             "TOTAL=%4")
                  .arg(regimen)
                  .arg(sinIva ? "0" : "18", sinIva ? "0" : "4", sinIva ? "100" : "122"),
              d.Fila("ALB_PROV",
                     {"IVA_TERCERO", "VALOR_IVA1", "VALOR_RECARGO1", "IVA1", "RECARGO1", "TOTAL"}))
        << "regime " << regimen;
  }
}

TEST(Totales, SeriesWithoutVatPutsEverythingInSlotOne) {
  Documentos d;
  d.db().Ejecuta("insert into SERIES (TIPO_SERIE, CODIGO, IVA_PERSONAL) values ('ALBPR', '1', 1)");
  Cabecera c;
  c.conRecargo = 1;
  d.Documento("ALB_PROV", c);
  d.Lineas({{"1", 100}, {"3", 50}, {"0", 5}, {"9", 1}});
  d.Albaran();
  EXPECT_EQ(
      QStringLiteral("BASE1=156 BASE3=0 EXENTO_BRUTO=0 IVA1=0 RECARGO1=0 BASE=156 TOTAL=156"),
      d.Fila("ALB_PROV", {"BASE1", "BASE3", "EXENTO_BRUTO", "IVA1", "RECARGO1", "BASE", "TOTAL"}));
  EXPECT_TRUE(d.op.Mensajes().isEmpty());
}

TEST(Totales, SurchargeOnlyWhenTheDocumentCarriesIt) {
  for (int conRecargo : {0, 1}) {
    Documentos d;
    Cabecera c;
    c.conRecargo = conRecargo;
    d.Documento("ALB_PROV", c);
    d.Lineas({{"1", 100}, {"2", 100}});
    d.Albaran();
    EXPECT_EQ(conRecargo ? QStringLiteral("VALOR_RECARGO1=4 RECARGO1=4 RECARGO2=1 RECARGO=5")
                         : QStringLiteral("VALOR_RECARGO1=4 RECARGO1=0 RECARGO2=0 RECARGO=0"),
              d.Fila("ALB_PROV", {"VALOR_RECARGO1", "RECARGO1", "RECARGO2", "RECARGO"}));
  }
}

TEST(Totales, RatesOfTheDocumentDate) {
  struct {
    const char* fecha;
    const char* esperado;
  } casos[] = {{"2010-06-30", "VALOR_IVA1=16 IVA1=16 VALOR_IVA2=7"},
               {"2010-07-01", "VALOR_IVA1=18 IVA1=18 VALOR_IVA2=8"}};
  for (const auto& caso : casos) {
    Documentos d;
    Cabecera c;
    c.fecha = caso.fecha;
    d.Documento("ALB_PROV", c);
    d.Lineas({{"1", 100}});
    d.Albaran();
    EXPECT_EQ(QString::fromLatin1(caso.esperado),
              d.Fila("ALB_PROV", {"VALOR_IVA1", "IVA1", "VALOR_IVA2"}));
  }
}

TEST(Totales, UnknownVatCodeIsReportedAndLeftOut) {
  Documentos d;
  d.Documento("ALB_PROV");
  d.Lineas({{"1", 100}, {"7", 50}});
  d.Albaran();
  EXPECT_EQ(QStringList{QStringLiteral("Tipo de iva no encontrado.")}, d.op.Mensajes());
  EXPECT_EQ(QStringLiteral("IMPORTE=100 BASE=100"), d.Fila("ALB_PROV", {"IMPORTE", "BASE"}));
}

TEST(Totales, MissingDocumentChangesNothing) {
  Documentos d;
  d.Lineas({{"1", 100}});
  EXPECT_NO_THROW(d.Albaran());
  EXPECT_NO_THROW(d.Factura());
  EXPECT_EQ(Valor(0), d.db().Escalar("select count(*) from ALB_PROV"));
}

TEST(Totales, InvoiceInstalmentsTakeTheTotalLastOneTheRest) {
  Documentos d;
  d.Documento("FACT_PROV");
  d.Lineas({{"0", 100}});
  d.db().Ejecuta(
      "insert into FACPR_DESGPAGCOB (EJERCICIO, SERIE, NUMERO, CODIGO, NUM_PAGCOBFACT, "
      "PORCENTAJE) values ('2012','1','7','1',3,33.33), ('2012','1','7','1',1,33.33), "
      "('2012','1','7','1',2,33.33), ('2012','1','8','1',1,100)");
  d.Factura();
  EXPECT_EQ(QStringLiteral("TOTAL=100"), d.Fila("FACT_PROV", {"TOTAL"}));
  auto rs = d.db().AbrirRecordset(
      "select NUMERO, NUM_PAGCOBFACT, IMPORTE, IMPORTE_RESTANTE from FACPR_DESGPAGCOB "
      "order by NUMERO, NUM_PAGCOBFACT");
  QStringList filas;
  for (; !rs.Eof(); rs.MoveNext())
    filas << QStringLiteral("%1/%2 %3 %4")
                 .arg(rs["NUMERO"].Texto(), rs["NUM_PAGCOBFACT"].Describe(),
                      rs["IMPORTE"].Describe(), rs["IMPORTE_RESTANTE"].Describe());
  EXPECT_EQ(QStringLiteral("7/1 33.33 33.33|7/2 33.33 33.33|7/3 33.34 33.34|8/1 0 0"),
            filas.join(u'|'));
}

TEST(Totales, InvoicePromptPaymentDiscountStartsFromDiscountedExemptPart) {
  Documentos d;
  Cabecera c;
  c.dtoCom = 10;
  c.dtoPP = 2;
  d.Documento("FACT_PROV", c);
  d.Lineas({{"1", 100}, {"0", 100}});
  d.Factura();
  // IMPORTE − VALOR_DTO_COM − VALOR_DTO_PP = BASE: 200 − 20 − 3.6 = 176.4.
  EXPECT_EQ(QStringLiteral("VALOR_DTO_COM=20 VALOR_DTO_PP=3.6 IMPORTE=200 EXENTO_BRUTO=100 "
                           "EXENTO=88.2 BASE=176.4 IVA=15.88 RECARGO=0 TOTAL=192.28"),
            d.Fila("FACT_PROV", kTotales));
}

TEST(Totales, FixedPromptPaymentDiscountNeedsASingleSlot) {
  for (bool dosTipos : {false, true}) {
    Documentos d;
    Cabecera c;
    c.esPorcentajeDtoPP = 0;
    c.valorDtoPP = 2;
    d.Documento("FACT_PROV", c);
    if (dosTipos)
      d.Lineas({{"1", 100}, {"3", 10}});
    else
      d.Lineas({{"1", 100}});
    d.Factura();
    EXPECT_EQ(dosTipos ? QStringLiteral("VALOR_DTO_PP=0 BASE1_NETA=100 BASE=110")
                       : QStringLiteral("VALOR_DTO_PP=2 BASE1_NETA=98 BASE=98"),
              d.Fila("FACT_PROV", {"VALOR_DTO_PP", "BASE1_NETA", "BASE"}));
    EXPECT_EQ(dosTipos ? QStringList{QStringLiteral(
                             "Se ha borrar el descuento fijo P.P. \r\rNo se puede aplicar si hay "
                             "más de un tipo de iva.")}
                       : QStringList{},
              d.op.Mensajes());
  }
}

TEST(Totales, HeaderTableWithoutSlotsFourAndFive) {
  Documentos d;
  QStringList columnas = {"EJERCICIO TEXT",
                          "SERIE TEXT",
                          "NUMERO TEXT",
                          "CODIGO TEXT",
                          "FECHA TEXT",
                          "CON_RECARGO INTEGER",
                          "DTO_COM REAL",
                          "ESPORCENTAJE_DTOCOM INTEGER",
                          "VALOR_DTO_COM REAL",
                          "DTO_PP REAL",
                          "ESPORCENTAJE_DTOPP INTEGER",
                          "VALOR_DTO_PP REAL",
                          "IVA_TERCERO INTEGER",
                          "IMPORTE REAL",
                          "BASE REAL",
                          "IVA REAL",
                          "RECARGO REAL",
                          "TOTAL REAL"};
  for (const char* c : {"BASE%1 REAL", "BASE%1_NETA REAL", "TIPO_IVA%1 TEXT", "VALOR_IVA%1 REAL",
                        "VALOR_RECARGO%1 REAL", "IVA%1 REAL", "RECARGO%1 REAL"})
    for (int n = 1; n <= 3; ++n) columnas << QString::fromLatin1(c).arg(n);
  d.db().EjecutaScript(QStringLiteral("DROP TABLE ALB_PROV;\nCREATE TABLE ALB_PROV (%1, "
                                      "PRIMARY KEY (EJERCICIO, SERIE, NUMERO, CODIGO));\n")
                           .arg(columnas.join(u',')));
  d.db().OlvidaEsquema();
  d.Documento("ALB_PROV");
  d.Lineas({{"1", 100}, {"4", 50}, {"0", 10}});
  d.Albaran();
  // Slot 4 is computed (it counts in IMPORTE and BASE) but has nowhere to be written.
  EXPECT_EQ(QStringLiteral("BASE1=100 IVA1=18 IMPORTE=160 BASE=160 IVA=18 TOTAL=178"),
            d.Fila("ALB_PROV", {"BASE1", "IVA1", "IMPORTE", "BASE", "IVA", "TOTAL"}));
}

}  // namespace
