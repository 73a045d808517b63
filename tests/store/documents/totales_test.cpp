#include "store/documents/totales.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/vat/iva.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

struct Documentos : testing::Tienda {
  Documentos() : Tienda({"tienda"}, QDate(2013, 1, 10)) {
    CargaTablaIva(e);  // current rates 16/4, 7/1, 4/0.5
    db().Ejecuta("insert into PROVEEDORES (CODIGO, TIPO_IVA) values ('1', 0)");
  }
  // A header of `tabla` (ALB_PROV or FACT_PROV) with key 2012/1/7/1, discounts as
  // percentages, then the columns of `ajustes` ("COLUMN=value ...") set.
  void Documento(const QString& tabla, const QString& ajustes = {}) {
    db().Ejecuta(QString("insert into %1 (EJERCICIO, SERIE, NUMERO, CODIGO, FECHA, "
                         "ESPORCENTAJE_DTOCOM, VALOR_DTO_COM, DTO_COM, ESPORCENTAJE_DTOPP, "
                         "VALOR_DTO_PP, DTO_PP, CON_RECARGO) values ('2012', '1', '7', "
                         "'1', '2012-07-15', 1, 0, 0, 1, 0, 0, 0)")
                     .arg(tabla));
    for (const QString& a : ajustes.split(' ', Qt::SkipEmptyParts))
      db().Ejecuta(QString("update %1 set %2 = ?").arg(tabla, a.section('=', 0, 0)),
                   {Valor(a.section('=', 1))});
  }
  // Lines ("VAT type:base ...") of the delivery note and, already invoiced, of the invoice
  // of the same key, and a line of another delivery note that must never count.
  void Lineas(const QString& lineas) {
    for (const QString& l : lineas.split(' ', Qt::SkipEmptyParts))
      db().Ejecuta(
          "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, EJER_FACT, "
          "SERIE_FACT, NUM_FACT, TIPO_IVA, BASE_ALB) values "
          "('2012','1','7','1','2012','1','7', ?, ?)",
          {Valor(l.section(':', 0, 0)), Valor(l.section(':', 1).toDouble())});
    db().Ejecuta(
        "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, TIPO_IVA, "
        "BASE_ALB) values ('2012','1','8','1','1', 1000)");
  }
  QString Albaran(const QString& cols) {
    RecalculaAlbaranProveedor(e, op, "2012", "1", "7", "1", "001");
    return Filas("select * from ALB_PROV", cols.split(' '));
  }
  QString Factura(const QString& cols) {
    RecalculaFacturaProveedor(e, op, "2012", "1", "7", "1", "001");
    return Filas("select * from FACT_PROV", cols.split(' '));
  }
};

TEST(Totales, DocumentTotals) {
  for (const QStringList& c : testing::Casos("totales.txt")) {
    SCOPED_TRACE(c[0].toStdString());
    Documentos d;
    if (!c.value(6).isEmpty()) d.db().Ejecuta(c[6]);
    d.Documento(c[1], c[2]);
    d.Lineas(c[3]);
    const QString cols = QString(c[4]).remove(QRegularExpression("=\\S*"));
    EXPECT_EQ(c[4], c[1] == "FACT_PROV" ? d.Factura(cols) : d.Albaran(cols));
    EXPECT_EQ(c.value(5), d.op.Transcripcion());
  }
  Documentos d;  // a missing document changes nothing
  EXPECT_EQ(QString(), d.Factura("TOTAL"));
}

TEST(Totales, InvoiceInstalmentsTakeTheTotalLastOneTheRest) {
  Documentos d;
  d.Documento("FACT_PROV");
  d.Lineas("0:100");
  d.db().Ejecuta(
      "insert into FACPR_DESGPAGCOB (EJERCICIO, SERIE, NUMERO, CODIGO, NUM_PAGCOBFACT, "
      "PORCENTAJE) values ('2012','1','7','1',3,33.33), ('2012','1','7','1',1,33.33), "
      "('2012','1','7','1',2,33.33), ('2012','1','8','1',1,100)");
  EXPECT_EQ(QString("TOTAL=100"), d.Factura("TOTAL"));
  EXPECT_EQ(testing::Golden("plazos_factura.txt"),
            d.Filas("select * from FACPR_DESGPAGCOB order by NUMERO, NUM_PAGCOBFACT",
                    QString("NUMERO NUM_PAGCOBFACT IMPORTE IMPORTE_RESTANTE").split(' ')) +
                "\n");
}

TEST(Totales, HeaderTableWithoutSlotsFourAndFive) {
  Documentos d;
  d.db().EjecutaScript("DROP TABLE ALB_PROV;\n" + testing::Golden("albaran_sin_huecos_4_5.sql"));
  d.db().OlvidaEsquema();
  d.Documento("ALB_PROV");
  d.Lineas("1:100 4:50 0:10");
  // Slot 4 is computed (it counts in IMPORTE and BASE) but has nowhere to be written.
  EXPECT_EQ(QString("BASE1=100 IVA1=18 IMPORTE=160 BASE=160 IVA=18 TOTAL=178"),
            d.Albaran("BASE1 IVA1 IMPORTE BASE IVA TOTAL"));
}

}  // namespace
}  // namespace relvano::store
