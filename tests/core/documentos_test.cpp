#include <gtest/gtest.h>

#include <QStringList>

#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/vat/iva.h"
#include "support/impresion.h"
#include "support/temp_db.h"
#include "support/reloj_fijo.h"

using relvano::testing::RelojFijo;


using relvano::Reloj;
using relvano::Valor;
using relvano::store::AbreAlbaranProveedor;
using relvano::store::AbreFacturaProveedor;
using relvano::store::CacheColumnasCompras;
using relvano::store::CargaTablaIva;
using relvano::store::ColumnasLinCompras;
using relvano::store::CreaFacturaProveedor;
using relvano::store::Database;
using relvano::store::DbError;
using relvano::store::Empresa;
using relvano::store::FacturaAlbaranProveedor;
using relvano::store::NuevaFacturaProveedor;
using relvano::store::Recordset;
using relvano::testing::TempDb;

namespace {

// The columns `cols` of every row of `sql`, one line per row.
QString Filas(Database& db, const QString& sql, const QStringList& cols) {
  auto rs = db.AbrirRecordset(sql);
  QStringList lineas;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    QStringList partes;
    for (const QString& c : cols) partes << rs[c].Describe();
    lineas << partes.join(u' ');
  }
  return lineas.join(u'\n');
}

// A company whose store and accounting tables share one file.
struct Tienda {
  TempDb t{{"tienda", "contable"}};
  RelojFijo reloj{QDate(2013, 1, 10)};
  Empresa e;

  Tienda() {
    relvano::testing::EmpresaSobre(e, t, &reloj);
    CargaTablaIva(e);
    db().Ejecuta(
        "insert into PROVEEDORES (CODIGO, NOMBRE, \"DIR-TIPO\", DIRECCION, CODPOST, POBLACION, "
        "PROVINCIA, PAIS, NIF, CUENTA_PROVEEDOR, CUENTA_GASTOS, DTO_COM, DTO_PP) values "
        "('1', ' Norvia ', 'C/', 'Mayor 1 ', '28001', 'Madrid', 'Madrid', 'ES', 'B1', "
        "'40000001', NULL, 2, 1.5)");
    db().Ejecuta("insert into FORMA_PAGCOB (CODIGO, SUMA_DIAS) values ('30', 30), ('60', 60)");
  }
  Database& db() { return t.db(); }
  void Terminos(const QString& valores) {
    db().Ejecuta(
        "insert into PROVEEDORES_PAGCOB (ID_PROVEEDOR, TIPO_PAGCOB, FORMA_PAGCOB, "
        "PORCENTAJE) values " +
        valores);
  }
  void Crea(const QString& numero = QStringLiteral("7")) {
    NuevaFacturaProveedor f;
    f.serie = "1";
    f.numero = numero;
    f.codigo = "1";
    f.fecha = QDate(2012, 7, 15);
    f.idDepartamento = "D1";
    f.referenciaDoc = "REF";
    f.idEmpresa = "001";
    CreaFacturaProveedor(e, f);
  }
  QString Plazos() {
    return Filas(db(), "select * from FACPR_DESGPAGCOB order by NUM_PAGCOBFACT",
                 {"EJERCICIO", "SERIE", "NUMERO", "CODIGO", "NUM_PAGCOBFACT", "TIPO_PAGCOB",
                  "FORMA_PAGCOB", "VENCIMIENTO", "PORCENTAJE", "IMPORTE", "COBRADO"});
  }
  QString Pago() {
    return Filas(db(), "select * from FACT_PROV", {"TIPO_PAGO", "FORMA_PAGO", "VENCIMIENTO"});
  }
};

// ---- Net price of a line ---------------------------------------------------------------

// ---- Invoice creation ----------------------------------------------------------------

TEST(Documentos, InvoiceOfSupplierWithoutPaymentTerms) {
  Tienda s;
  s.Crea();
  EXPECT_EQ(
      QStringLiteral("\"2012\" \"1\" \"7\" \"1\" 0 2013-01-10 \"Norvia\" \"C/ Mayor 1\" \"28001\" "
                     "\"Madrid\" \"Madrid\" \"ES\" \"B1\" 2012-07-15 0 \"EURO\" 1 0 \"40000001\" "
                     "\"60000000\" 2 1 1.5 1 \"D1\" \"REF\" 2013-01-10 \"001\""),
      Filas(s.db(), "select * from FACT_PROV",
            {"EJERCICIO",
             "SERIE",
             "NUMERO",
             "CODIGO",
             "ENTRADA",
             "FECHA_ENTRADA",
             "NOMBRE",
             "DIRECCION_FACT",
             "CODPOST_FACT",
             "POBLACION_FACT",
             "PROVINCIA_FACT",
             "PAIS_FACT",
             "NIF",
             "FECHA",
             "PAGADO",
             "DIVISA",
             "CAMBIO_DIVISA",
             "CON_RECARGO",
             "CUENTA_PROVEEDOR",
             "CUENTA_GASTOS",
             "DTO_COM",
             "ESPORCENTAJE_DTOCOM",
             "DTO_PP",
             "ESPORCENTAJE_DTOPP",
             "IDDEPARTAMENTO",
             "REFERENCIA_DOC",
             "FECHA_ALTA",
             "IDEMPRESA"}));
  EXPECT_EQ(QStringLiteral("\"EF\" \"1\" 2012-07-15"), s.Pago());
  EXPECT_EQ(QStringLiteral("\"2012\" \"1\" \"7\" \"1\" 1 \"EF\" \"1\" 2012-07-15 100 0 0"),
            s.Plazos());
}

TEST(Documentos, InvoiceWithOnePaymentTermOfThirtyDays) {
  Tienda s;
  s.e.RecargoEquivalencia = true;
  s.Terminos("('1', 'RE', '30', 100)");
  s.Crea();
  EXPECT_EQ(QStringLiteral("\"RE\" \"30\" 2012-08-14"), s.Pago());
  EXPECT_EQ(QStringLiteral("\"2012\" \"1\" \"7\" \"1\" 1 \"RE\" \"30\" 2012-08-14 100 0 0"),
            s.Plazos());
  EXPECT_EQ(Valor(1), s.db().Escalar("select CON_RECARGO from FACT_PROV"));
}

TEST(Documentos, UnknownPaymentMethodIsDueOnInvoiceDate) {
  Tienda s;
  s.Terminos("('1', 'RE', '45', 100)");
  s.Crea();
  EXPECT_EQ(QStringLiteral("\"RE\" \"45\" 2012-07-15"), s.Pago());
}

TEST(Documentos, InvoiceWithSeveralPaymentTerms) {
  Tienda s;
  s.Terminos(
      "('2', 'XX', '30', 100), ('1', 'RE', '60', 40), ('1', 'TR', '45', 30), "
      "('1', 'RE', '30', 30)");
  s.Crea();
  EXPECT_EQ(QStringLiteral("\"ML\" \"ML\" Null"), s.Pago());
  EXPECT_EQ(QStringLiteral("\"2012\" \"1\" \"7\" \"1\" 1 \"RE\" \"60\" 2012-09-13 40 0 0\n"
                           "\"2012\" \"1\" \"7\" \"1\" 2 \"TR\" \"45\" 2012-07-15 30 0 0\n"
                           "\"2012\" \"1\" \"7\" \"1\" 3 \"RE\" \"30\" 2012-08-14 30 0 0"),
            s.Plazos());
}

TEST(Documentos, InvoiceOfUnknownSupplierIsRefusedAndNothingStored) {
  Tienda s;
  NuevaFacturaProveedor f;
  f.serie = "1";
  f.numero = "7";
  f.codigo = "99";
  f.fecha = QDate(2012, 7, 15);
  try {
    CreaFacturaProveedor(s.e, f);
    FAIL() << "no error";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.Mensaje().contains(QStringLiteral("proveedor 99"))) << e.Mensaje().toStdString();
  }
  EXPECT_EQ(Valor(0), s.db().Escalar("select count(*) from FACT_PROV"));
  EXPECT_EQ(Valor(0), s.db().Escalar("select count(*) from FACPR_DESGPAGCOB"));
}

TEST(Documentos, InvoicesOfDifferentSeriesAreToldApart) {
  Tienda s;
  s.db().Ejecuta(
      "insert into FACT_PROV (EJERCICIO, SERIE, NUMERO, CODIGO, NOMBRE) values "
      "('2012 ', 'A', '7', '1', 'a'), ('2012', 'B', '7', '1', 'b')");
  Recordset rs;
  ASSERT_TRUE(AbreFacturaProveedor(s.e, rs, "2012", "B", " 7 ", "1"));
  EXPECT_EQ(Valor("b"), rs["NOMBRE"]);
  ASSERT_TRUE(AbreFacturaProveedor(s.e, rs, "2012", "A", "7", "1"));
  EXPECT_EQ(Valor("a"), rs["NOMBRE"]);
  EXPECT_FALSE(AbreFacturaProveedor(s.e, rs, "2012", "C", "7", "1"));
}

// ---- Invoicing a delivery note -----------------------------------------------------------

struct Facturacion : Tienda {
  void Albaran(const QString& observaciones, double valorDtoCom, int conRecargo) {
    db().Ejecuta(
        "insert into ALB_PROV (EJERCICIO, SERIE, NUMERO, CODIGO, FECHA, CON_RECARGO, "
        "OBSERVACIONES, VALOR_DTO_COM, ESPORCENTAJE_DTOCOM, DTO_COM, IDDEPARTAMENTO, "
        "REFERENCIA_DOC) values ('2010', '1', '7', '1', '2010-06-20', ?, ?, ?, 0, 0, 'DA', 'RA')",
        {Valor(conRecargo), Valor(observaciones), Valor(valorDtoCom)});
    // Lines at the rates of June 2010; one already invoiced elsewhere; one of another note.
    db().Ejecuta(
        "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, TIPO_IVA, "
        "VALOR_IVA, VALOR_RECARGO, FACTURADO, NUM_FACT) values "
        "('2010','1','7','1','1',16,4,0,NULL), ('2010','1','7','1','3',4,0.5,0,NULL), "
        "('2010','1','7','1','2',7,1,1,'X'), ('2010','1','8','1','1',16,4,0,NULL)");
  }
  void Factura(const QString& observaciones) {
    e.AnyoActual = "2010";
    NuevaFacturaProveedor f;
    f.serie = "1";
    f.numero = "7";
    f.codigo = "1";
    f.fecha = QDate(2010, 7, 5);
    CreaFacturaProveedor(e, f);
    db().Ejecuta("update FACT_PROV set OBSERVACIONES = ?, IDDEPARTAMENTO = NULL",
                 {Valor(observaciones)});
  }
  void Factura() {
    Recordset alb;
    ASSERT_TRUE(AbreAlbaranProveedor(e, alb, " 2010", "1", "7 ", "1"));
    FacturaAlbaranProveedor(e, alb, "2010", "1", "7", "1");
  }
  QString Lineas() {
    return Filas(db(), "select * from LIN_COMPRAS order by ID",
                 {"NUM_ALB", "TIPO_IVA", "VALOR_IVA", "VALOR_RECARGO", "EJER_FACT", "SERIE_FACT",
                  "NUM_FACT", "FACTURADO"});
  }
};

TEST(Documentos, InvoicingMarksLinesAndRewritesRatesOfInvoiceDate) {
  Facturacion s;
  s.Albaran("del albarán", 5, 1);
  s.Factura(QString());
  s.Factura();
  EXPECT_EQ(QStringLiteral("\"7\" \"1\" 18 4 \"2010\" \"1\" \"7\" 1\n"
                           "\"7\" \"3\" 4 0.5 \"2010\" \"1\" \"7\" 1\n"
                           "\"7\" \"2\" 7 1 Null Null \"X\" 1\n"
                           "\"8\" \"1\" 16 4 Null Null Null 0"),
            s.Lineas());
  EXPECT_EQ(QStringLiteral("\"2010\" \"1\" \"7\" 1 1"),
            Filas(s.db(), "select * from ALB_PROV",
                  {"EJER_FACT", "SERIE_FACT", "NUM_FACT", "FACTURADO", "CERRADO"}));
  EXPECT_EQ(QStringLiteral("\"del albarán\" \"DA\" \"RA\" 5 0 0 1"),
            Filas(s.db(), "select * from FACT_PROV",
                  {"OBSERVACIONES", "IDDEPARTAMENTO", "REFERENCIA_DOC", "VALOR_DTO_COM",
                   "ESPORCENTAJE_DTOCOM", "DTO_COM", "CON_RECARGO"}));
}

TEST(Documentos, InvoicingMarksEveryLineOfALongDeliveryNote) {
  Facturacion s;
  s.Albaran("", 0, 0);
  // Far more lines than are read at a time, mixed with lines of another note.
  s.db().Ejecuta(
      "with recursive n(i) as (select 0 union all select i + 1 from n where i + 1 < ?) "
      "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, TIPO_IVA, VALOR_IVA, "
      "FACTURADO) select '2010', '1', case when i % 3 = 0 then '8' else '7' end, '1', '1', 16, 0 "
      "from n order by i",
      {Valor(1200)});
  s.Factura(QString());
  s.Factura();
  EXPECT_EQ(QStringLiteral("802 0"),
            Filas(s.db(),
                  "select count(*) AS N, coalesce(sum(TIPO_IVA = '1' and VALOR_IVA <> 18), 0) AS M from LIN_COMPRAS "
                  "where NUM_ALB = '7' and NUM_FACT = '7' and FACTURADO = 1 and EJER_FACT = '2010'",
                  {"N", "M"}));
  EXPECT_EQ(QStringLiteral("401"),
            Filas(s.db(),
                  "select count(*) AS N from LIN_COMPRAS where NUM_ALB = '8' and FACTURADO = 0 "
                  "and NUM_FACT is null",
                  {"N"}));
}

TEST(Documentos, InvoiceKeepsItsOwnObservationsAndDiscount) {
  Facturacion s;
  s.Albaran("del albarán", 0, 0);
  s.Factura(QStringLiteral("de la factura"));
  s.Factura();
  EXPECT_EQ(
      QStringLiteral("\"de la factura\" 0 1 2 0"),
      Filas(s.db(), "select * from FACT_PROV",
            {"OBSERVACIONES", "VALOR_DTO_COM", "ESPORCENTAJE_DTOCOM", "DTO_COM", "CON_RECARGO"}));
}

TEST(Documentos, InvoicingWithoutTheInvoiceChangesNothing) {
  Facturacion s;
  s.Albaran("", 0, 0);
  Recordset alb;
  ASSERT_TRUE(AbreAlbaranProveedor(s.e, alb, "2010", "1", "7", "1"));
  EXPECT_THROW(FacturaAlbaranProveedor(s.e, alb, "2010", "1", "7", "1"), DbError);
  EXPECT_EQ(Valor(0),
            s.db().Escalar("select count(*) from LIN_COMPRAS where EJER_FACT is not null"));
  EXPECT_EQ(Valor(0), s.db().Escalar("select FACTURADO from ALB_PROV"));
}

}  // namespace
