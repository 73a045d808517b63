#include <gtest/gtest.h>

#include <QSet>

#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/vat/iva.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

// A company whose store and accounting tables share one file, with supplier 1.
struct Compras : testing::Tienda {
  Compras() : Tienda({"tienda", "contable"}, QDate(2013, 1, 10)) {
    CargaTablaIva(e);
    db().Ejecuta(
        "insert into PROVEEDORES (CODIGO, NOMBRE, \"DIR-TIPO\", DIRECCION, CODPOST, POBLACION, "
        "PROVINCIA, PAIS, NIF, CUENTA_PROVEEDOR, CUENTA_GASTOS, DTO_COM, DTO_PP) values "
        "('1', ' Norvia ', 'C/', 'Mayor 1 ', '28001', 'Madrid', 'Madrid', 'ES', 'B1', "
        "'40000001', NULL, 2, 1.5)");
    db().Ejecuta("insert into FORMA_PAGCOB (CODIGO, SUMA_DIAS) values ('30', 30), ('60', 60)");
  }
  void Crea(const QString& codigo = "1") {
    NuevaFacturaProveedor f;
    f.serie = "1";
    f.numero = "7";
    f.codigo = codigo;
    f.fecha = QDate(2012, 7, 15);
    f.idDepartamento = "D1";
    f.referenciaDoc = "REF";
    f.idEmpresa = "001";
    CreaFacturaProveedor(e, f);
  }
  QString Plazos() {
    return Filas(
        "select * from FACPR_DESGPAGCOB order by NUM_PAGCOBFACT",
        QString("NUM_PAGCOBFACT TIPO_PAGCOB FORMA_PAGCOB VENCIMIENTO PORCENTAJE").split(' '));
  }
  QString Pago() {
    return Filas("select * from FACT_PROV", {"TIPO_PAGO", "FORMA_PAGO", "VENCIMIENTO"});
  }
};

TEST(Documentos, InvoiceOfSupplierWithoutPaymentTerms) {
  Compras s;
  s.Crea();
  EXPECT_EQ(testing::Golden("factura_nueva.txt"),
            s.Filas("select * from FACT_PROV",
                    QString("EJERCICIO SERIE NUMERO CODIGO ENTRADA FECHA_ENTRADA NOMBRE "
                            "DIRECCION_FACT CODPOST_FACT POBLACION_FACT PROVINCIA_FACT PAIS_FACT "
                            "NIF FECHA PAGADO DIVISA CAMBIO_DIVISA CON_RECARGO CUENTA_PROVEEDOR "
                            "CUENTA_GASTOS DTO_COM ESPORCENTAJE_DTOCOM DTO_PP ESPORCENTAJE_DTOPP "
                            "IDDEPARTAMENTO REFERENCIA_DOC FECHA_ALTA IDEMPRESA TIPO_PAGO "
                            "FORMA_PAGO VENCIMIENTO")
                        .split(' ')) +
                "\n" +
                s.Filas("select * from FACPR_DESGPAGCOB",
                        QString("EJERCICIO SERIE NUMERO CODIGO NUM_PAGCOBFACT TIPO_PAGCOB "
                                "FORMA_PAGCOB VENCIMIENTO PORCENTAJE IMPORTE COBRADO")
                            .split(' ')) +
                "\n");
}

TEST(Documentos, PaymentTermsOfTheSupplier) {
  for (const QStringList& c : testing::Casos("plazos_proveedor.txt")) {
    SCOPED_TRACE(c[0].toStdString());
    Compras s;
    s.e.RecargoEquivalencia = true;
    s.db().Ejecuta(
        "insert into PROVEEDORES_PAGCOB (ID_PROVEEDOR, TIPO_PAGCOB, FORMA_PAGCOB, "
        "PORCENTAJE) values " +
        c[0]);
    s.Crea();
    EXPECT_EQ(c[1], s.Pago());
    EXPECT_EQ(c[2], s.Plazos());
    EXPECT_EQ(Valor(1), s.db().Escalar("select CON_RECARGO from FACT_PROV"));
  }
}

TEST(Documentos, InvoiceOfUnknownSupplierIsRefusedAndNothingStored) {
  Compras s;
  EXPECT_THROW(s.Crea("99"), DbError);
  EXPECT_EQ(
      Valor(0),
      s.db().Escalar(
          "select (select count(*) from FACT_PROV) + (select count(*) from FACPR_DESGPAGCOB)"));
}

TEST(Documentos, InvoicesOfDifferentSeriesAreToldApart) {
  Compras s;
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

struct Facturacion : Compras {
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
  // Creates the invoice with `observaciones`, then invoices the delivery note into it.
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
    Recordset alb;
    ASSERT_TRUE(AbreAlbaranProveedor(e, alb, " 2010", "1", "7 ", "1"));
    FacturaAlbaranProveedor(e, alb, "2010", "1", "7", "1");
  }
};

TEST(Documentos, InvoicingMarksLinesAndRewritesRatesOfInvoiceDate) {
  Facturacion s;
  s.Albaran("del albarán", 5, 1);
  s.Factura(QString());
  EXPECT_EQ(
      testing::Golden("facturacion_lineas.txt"),
      s.Filas("select * from LIN_COMPRAS order by ID",
              QString("NUM_ALB TIPO_IVA VALOR_IVA VALOR_RECARGO NUM_FACT FACTURADO").split(' ')) +
          "\n" +
          s.Filas("select count(*) as N from LIN_COMPRAS where EJER_FACT = '2010' and "
                  "SERIE_FACT = '1'",
                  {"N"}) +
          "\n" +
          s.Filas("select * from ALB_PROV",
                  QString("EJER_FACT SERIE_FACT NUM_FACT FACTURADO CERRADO").split(' ')) +
          "\n" +
          s.Filas("select * from FACT_PROV",
                  QString("OBSERVACIONES IDDEPARTAMENTO REFERENCIA_DOC VALOR_DTO_COM "
                          "ESPORCENTAJE_DTOCOM DTO_COM CON_RECARGO")
                      .split(' ')) +
          "\n");
  // An invoice with observations of its own keeps them and the supplier's discount.
  Facturacion t;
  t.Albaran("del albarán", 0, 0);
  t.Factura("de la factura");
  EXPECT_EQ(
      QString("OBSERVACIONES=\"de la factura\" VALOR_DTO_COM=0 ESPORCENTAJE_DTOCOM=1 DTO_COM=2 "
              "CON_RECARGO=0"),
      t.Filas("select * from FACT_PROV",
              {"OBSERVACIONES", "VALOR_DTO_COM", "ESPORCENTAJE_DTOCOM", "DTO_COM", "CON_RECARGO"}));
}

TEST(Documentos, InvoicingMarksEveryLineOfALongDeliveryNote) {
  Facturacion s;
  s.Albaran("", 0, 0);
  // Far more lines than are read at a time, mixed with lines of another note; one in five
  // still at the June rate, the others at the invoice date's.
  s.db().Ejecuta(
      "with recursive n(i) as (select 0 union all select i + 1 from n where i + 1 < 1200) "
      "insert into LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, TIPO_IVA, VALOR_IVA, "
      "FACTURADO) select '2010', '1', case when i % 3 = 0 then '8' else '7' end, '1', '1', "
      "case when i % 5 = 0 then 16 else 18 end, 0 from n order by i");
  // Each line marked is told to the journal once, whether stored alone or with its block.
  struct : DiarioCambios {
    void Anota(CambioFila c) override {
      if (c.tabla != "LIN_COMPRAS") return;
      filas << c.valoresClave.at(0).toString();
      ++veces;
    }
    QSet<QString> filas;
    int veces = 0;
  } diario;
  s.db().FijaDiario(&diario);
  s.Factura(QString());
  s.db().FijaDiario(nullptr);
  EXPECT_EQ(802, diario.filas.size());  // and the fixture's line of another VAT type
  EXPECT_EQ(802, diario.veces);
  EXPECT_EQ(
      QString("NUM_ALB=\"7\" NUM_FACT=\"7\" N=801 M=0\nNUM_ALB=\"8\" NUM_FACT=Null N=401 M=81"),
      s.Filas("select NUM_ALB, NUM_FACT, count(*) as N, sum(case when VALOR_IVA = 16 then 1 else 0 "
              "end) AS M from "
              "LIN_COMPRAS where TIPO_IVA = '1' group by NUM_ALB, NUM_FACT order by NUM_ALB",
              {"NUM_ALB", "NUM_FACT", "N", "M"}));
}

}  // namespace
}  // namespace relvano::store
