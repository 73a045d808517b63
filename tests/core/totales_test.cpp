#include "store/documents/totales.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/vat/iva.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

QStringList Cols(const char* nombres) { return QString(nombres).split(' '); }

// Discounts and settings of a document header.
struct Cabecera {
  QString fecha = QStringLiteral("2012-07-15");
  int esPorcentajeDtoCom = 1;
  double valorDtoCom = 0, dtoCom = 0;
  int esPorcentajeDtoPP = 1;
  double valorDtoPP = 0, dtoPP = 0;
  int conRecargo = 0;
};

struct Documentos : testing::Tienda {
  Documentos() : Tienda({"tienda"}, QDate(2013, 1, 10)) {
    CargaTablaIva(e);  // current rates 16/4, 7/1, 4/0.5
    db().Ejecuta("insert into PROVEEDORES (CODIGO, TIPO_IVA) values ('1', 0)");
  }
  // A header of `tabla` (ALB_PROV or FACT_PROV) with key 2012/1/7/1.
  void Documento(const QString& tabla, const Cabecera& c = {}) {
    db().Ejecuta(
        QString("insert into %1 (EJERCICIO, SERIE, NUMERO, CODIGO, FECHA, "
                "ESPORCENTAJE_DTOCOM, VALOR_DTO_COM, DTO_COM, ESPORCENTAJE_DTOPP, "
                "VALOR_DTO_PP, DTO_PP, CON_RECARGO) values ('2012', '1', '7', "
                "'1', ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(tabla),
        {Valor(c.fecha), Valor(c.esPorcentajeDtoCom), Valor(c.valorDtoCom), Valor(c.dtoCom),
         Valor(c.esPorcentajeDtoPP), Valor(c.valorDtoPP), Valor(c.dtoPP), Valor(c.conRecargo)});
  }
  // Lines of the delivery note and, already invoiced, of the invoice of the same key,
  // and a line of another delivery note that must never count.
  void Lineas(std::initializer_list<std::pair<const char*, double>> lineas) {
    for (const auto& [tipo, base] : lineas)
      db().Ejecuta(
          "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, EJER_FACT, "
          "SERIE_FACT, NUM_FACT, TIPO_IVA, BASE_ALB) values "
          "('2012','1','7','1','2012','1','7', ?, ?)",
          {Valor(tipo), Valor(base)});
    db().Ejecuta(
        "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, TIPO_IVA, "
        "BASE_ALB) values ('2012','1','8','1','1', 1000)");
  }
  QString Albaran(const char* cols) {
    RecalculaAlbaranProveedor(e, op, "2012", "1", "7", "1", "001");
    return Filas("select * from ALB_PROV", Cols(cols));
  }
  QString Factura(const char* cols) {
    RecalculaFacturaProveedor(e, op, "2012", "1", "7", "1", "001");
    return Filas("select * from FACT_PROV", Cols(cols));
  }
};

const QString kFijoCom =
    "Mensaje[i]: Se ha borrar el descuento fijo comercial. \r\rNo se puede aplicar si hay más de "
    "un tipo de iva.\n";

TEST(Totales, DocumentTotals) {
  const struct {
    const char* nombre;
    bool factura;
    Cabecera cabecera;
    std::initializer_list<std::pair<const char*, double>> lineas;
    const char* esperado;  // the columns to look at, with their values
    QString mensajes;
    const char* antes = "select 1";
  } casos[] = {
      {"commercial percent discount; delivery notes get no prompt-payment one",
       false,
       {.dtoCom = 10, .dtoPP = 5},
       {{"1", 60}, {"1", 40}},
       "BASE1=100 BASE1_NETA=90 TIPO_IVA1=\"1\" VALOR_IVA1=18 VALOR_RECARGO1=4 IVA1=16.2 "
       "RECARGO1=0 "
       "VALOR_DTO_COM=10 VALOR_DTO_PP=0 IMPORTE=100 EXENTO_BRUTO=0 EXENTO=0 BASE=90 IVA=16.2 "
       "RECARGO=0 TOTAL=106.2"},
      {"only the slots of the lines",
       false,
       {},
       {{"1", 10.004}, {"3", 30}, {"1", 20}},
       "BASE1_NETA=30 BASE2_NETA=0 BASE3_NETA=30 BASE4_NETA=0 BASE5_NETA=0 IVA1=5.4 IVA3=1.2 "
       "BASE=60 TOTAL=66.6"},
      {"fixed commercial discount, one slot",
       false,
       {.esPorcentajeDtoCom = 0, .valorDtoCom = 5},
       {{"1", 100}},
       "VALOR_DTO_COM=5 BASE1_NETA=95 EXENTO=0 BASE=95"},
      {"fixed commercial discount, two slots",
       false,
       {.esPorcentajeDtoCom = 0, .valorDtoCom = 5},
       {{"1", 100}, {"2", 50}},
       "VALOR_DTO_COM=0 BASE1_NETA=100 BASE2_NETA=50 BASE=150",
       kFijoCom},
      {"fixed commercial discount, a slot and the exempt part",
       false,
       {.esPorcentajeDtoCom = 0, .valorDtoCom = 5},
       {{"1", 100}, {"0", 20}},
       "VALOR_DTO_COM=0 BASE1_NETA=100 EXENTO=20 BASE=120",
       kFijoCom},
      {"fixed commercial discount, exempt part only",
       false,
       {.esPorcentajeDtoCom = 0, .valorDtoCom = 5},
       {{"0", 20}},
       "VALOR_DTO_COM=5 EXENTO=15 BASE=15"},
      {"supplier with VAT",
       false,
       {.conRecargo = 1},
       {{"1", 100}},
       "IVA_TERCERO=1 IVA1=18 RECARGO1=4 TOTAL=122",
       "",
       "update PROVEEDORES set TIPO_IVA = 1"},
      {"supplier regime 2 without VAT",
       false,
       {.conRecargo = 1},
       {{"1", 100}},
       "IVA_TERCERO=2 VALOR_IVA1=18 IVA1=0 RECARGO1=0 TOTAL=100",
       "",
       "update PROVEEDORES set TIPO_IVA = 2"},
      {"supplier regime 4 without VAT",
       false,
       {.conRecargo = 1},
       {{"1", 100}},
       "IVA_TERCERO=4 IVA1=0 RECARGO1=0 TOTAL=100",
       "",
       "update PROVEEDORES set TIPO_IVA = 4"},
      {"series without VAT puts everything in slot one",
       false,
       {.conRecargo = 1},
       {{"1", 100}, {"3", 50}, {"0", 5}, {"9", 1}},
       "BASE1=156 BASE3=0 EXENTO_BRUTO=0 IVA1=0 RECARGO1=0 BASE=156 TOTAL=156",
       "",
       "insert into SERIES (TIPO_SERIE, CODIGO, IVA_PERSONAL) values ('ALBPR', '1', 1)"},
      {"surcharge when the document carries it",
       false,
       {.conRecargo = 1},
       {{"1", 100}, {"2", 100}},
       "VALOR_RECARGO1=4 RECARGO1=4 RECARGO2=1 RECARGO=5"},
      {"no surcharge otherwise",
       false,
       {},
       {{"1", 100}, {"2", 100}},
       "VALOR_RECARGO1=4 RECARGO1=0 RECARGO2=0 RECARGO=0"},
      {"rates before July 2010",
       false,
       {.fecha = "2010-06-30"},
       {{"1", 100}},
       "VALOR_IVA1=16 IVA1=16 VALOR_IVA2=7"},
      {"rates from July 2010",
       false,
       {.fecha = "2010-07-01"},
       {{"1", 100}},
       "VALOR_IVA1=18 IVA1=18 VALOR_IVA2=8"},
      {"unknown VAT code reported and left out",
       false,
       {},
       {{"1", 100}, {"7", 50}},
       "IMPORTE=100 BASE=100",
       "Mensaje: Tipo de iva no encontrado.\n"},
      // IMPORTE − VALOR_DTO_COM − VALOR_DTO_PP = BASE: 200 − 20 − 3.6 = 176.4.
      {"invoice prompt-payment discount from the discounted exempt part",
       true,
       {.dtoCom = 10, .dtoPP = 2},
       {{"1", 100}, {"0", 100}},
       "VALOR_DTO_COM=20 VALOR_DTO_PP=3.6 IMPORTE=200 EXENTO_BRUTO=100 EXENTO=88.2 BASE=176.4 "
       "IVA=15.88 RECARGO=0 TOTAL=192.28"},
      {"fixed prompt-payment discount, one slot",
       true,
       {.esPorcentajeDtoPP = 0, .valorDtoPP = 2},
       {{"1", 100}},
       "VALOR_DTO_PP=2 BASE1_NETA=98 BASE=98"},
      {"fixed prompt-payment discount, two slots",
       true,
       {.esPorcentajeDtoPP = 0, .valorDtoPP = 2},
       {{"1", 100}, {"3", 10}},
       "VALOR_DTO_PP=0 BASE1_NETA=100 BASE=110",
       "Mensaje[i]: Se ha borrar el descuento fijo P.P. \r\rNo se puede aplicar si hay más de un "
       "tipo de iva.\n"},
  };
  for (const auto& c : casos) {
    Documentos d;
    d.db().Ejecuta(c.antes);
    d.Documento(c.factura ? "FACT_PROV" : "ALB_PROV", c.cabecera);
    d.Lineas(c.lineas);
    QString cols = c.esperado;
    cols.remove(QRegularExpression("=\\S*"));
    const QByteArray nombres = cols.toLatin1();
    EXPECT_EQ(QString(c.esperado), c.factura ? d.Factura(nombres) : d.Albaran(nombres)) << c.nombre;
    EXPECT_EQ(c.mensajes, d.op.Transcripcion()) << c.nombre;
  }
  Documentos d;  // a missing document changes nothing
  EXPECT_EQ(QString(), d.Factura("TOTAL"));
}

TEST(Totales, InvoiceInstalmentsTakeTheTotalLastOneTheRest) {
  Documentos d;
  d.Documento("FACT_PROV");
  d.Lineas({{"0", 100}});
  d.db().Ejecuta(
      "insert into FACPR_DESGPAGCOB (EJERCICIO, SERIE, NUMERO, CODIGO, NUM_PAGCOBFACT, "
      "PORCENTAJE) values ('2012','1','7','1',3,33.33), ('2012','1','7','1',1,33.33), "
      "('2012','1','7','1',2,33.33), ('2012','1','8','1',1,100)");
  EXPECT_EQ(QString("TOTAL=100"), d.Factura("TOTAL"));
  EXPECT_EQ(QString("NUMERO=\"7\" NUM_PAGCOBFACT=1 IMPORTE=33.33 IMPORTE_RESTANTE=33.33\n"
                    "NUMERO=\"7\" NUM_PAGCOBFACT=2 IMPORTE=33.33 IMPORTE_RESTANTE=33.33\n"
                    "NUMERO=\"7\" NUM_PAGCOBFACT=3 IMPORTE=33.34 IMPORTE_RESTANTE=33.34\n"
                    "NUMERO=\"8\" NUM_PAGCOBFACT=1 IMPORTE=0 IMPORTE_RESTANTE=0"),
            d.Filas("select * from FACPR_DESGPAGCOB order by NUMERO, NUM_PAGCOBFACT",
                    Cols("NUMERO NUM_PAGCOBFACT IMPORTE IMPORTE_RESTANTE")));
}

TEST(Totales, HeaderTableWithoutSlotsFourAndFive) {
  Documentos d;
  QStringList columnas = QString(
                             "EJERCICIO TEXT,SERIE TEXT,NUMERO TEXT,CODIGO TEXT,FECHA "
                             "TEXT,CON_RECARGO INTEGER,DTO_COM "
                             "REAL,ESPORCENTAJE_DTOCOM INTEGER,VALOR_DTO_COM REAL,DTO_PP "
                             "REAL,ESPORCENTAJE_DTOPP INTEGER,"
                             "VALOR_DTO_PP REAL,IVA_TERCERO INTEGER,IMPORTE REAL,BASE REAL,IVA "
                             "REAL,RECARGO REAL,TOTAL REAL")
                             .split(u',');
  for (const char* c : {"BASE%1 REAL", "BASE%1_NETA REAL", "TIPO_IVA%1 TEXT", "VALOR_IVA%1 REAL",
                        "VALOR_RECARGO%1 REAL", "IVA%1 REAL", "RECARGO%1 REAL"})
    for (int n = 1; n <= 3; ++n) columnas << QString(c).arg(n);
  d.db().EjecutaScript("DROP TABLE ALB_PROV;\nCREATE TABLE ALB_PROV (" + columnas.join(u',') +
                       ", PRIMARY KEY (EJERCICIO, SERIE, NUMERO, CODIGO));\n");
  d.db().OlvidaEsquema();
  d.Documento("ALB_PROV");
  d.Lineas({{"1", 100}, {"4", 50}, {"0", 10}});
  // Slot 4 is computed (it counts in IMPORTE and BASE) but has nowhere to be written.
  EXPECT_EQ(QString("BASE1=100 IVA1=18 IMPORTE=160 BASE=160 IVA=18 TOTAL=178"),
            d.Albaran("BASE1 IVA1 IMPORTE BASE IVA TOTAL"));
}

}  // namespace
}  // namespace relvano::store
