#include <gtest/gtest.h>

#include "store/documents/pagos.h"
#include "store/documents/series.h"
#include "support/temp_db.h"


using relvano::Valor;
using relvano::store::AbreDesglosePagos;
using relvano::store::AbreFormaPago;
using relvano::store::Empresa;
using relvano::store::EsSerieEspecial;
using relvano::store::NumeroFormasPagoProveedor;
using relvano::store::Recordset;
using relvano::store::TipoIvaSerie;
using relvano::testing::TempDb;

namespace {

TEST(Series, SpecialSeriesStartWithDollar) {
  struct {
    const char* serie;
    bool especial;
  } casos[] = {{"$1", true}, {"$", true}, {"1", false}, {"", false}, {" $1", false}, {"A$", false}};
  for (const auto& c : casos) EXPECT_EQ(c.especial, EsSerieEspecial(c.serie)) << c.serie;
}

TEST(Series, VatTreatmentOfDefinedSeries) {
  TempDb t;
  t.db().Ejecuta(
      "insert into SERIES (TIPO_SERIE, CODIGO, RECARGO, IVA_PERSONAL) values "
      "('ALBPR','N',0,0), ('ALBPR','R',1,0), ('ALBPR','P',0,1), ('ALBPR','RP',1,1), "
      "('ALBPR','NUL',NULL,NULL), ('FACPR','R2',1,0)");
  struct {
    const char* tipo;
    const char* serie;
    int esperado;
  } casos[] = {{"ALBPR", "N", 0},   {"ALBPR", "R", 2},   {"ALBPR", "P", 1},  {"ALBPR", "RP", 2},
               {"ALBPR", "NUL", 0}, {"ALBPR", " P ", 1}, {"ALBPR", "R2", 0}, {"ALBPR", "NOPE", 0},
               {"ALBPR", "$N", 1},  {"FACPR", "R2", 2}};
  for (const auto& c : casos)
    EXPECT_EQ(c.esperado, TipoIvaSerie(t.db(), c.tipo, c.serie)) << c.tipo << " " << c.serie;
}

TEST(Series, SpecialSeriesNeedsNoSeriesTable) {
  TempDb t;
  t.db().EjecutaScript("DROP TABLE SERIES;\n");
  t.db().OlvidaEsquema();
  EXPECT_EQ(1, TipoIvaSerie(t.db(), "ALBPR", "$A"));
}

TEST(Series, OlderSeriesTableWithoutOptionalColumnsGivesNormalVat) {
  TempDb t;
  t.db().EjecutaScript(
      "DROP TABLE SERIES;\n"
      "CREATE TABLE SERIES (TIPO_SERIE TEXT, CODIGO TEXT, DESCRIPCION TEXT);\n"
      "INSERT INTO SERIES VALUES ('ALBPR', '1', 'uno');\n");
  t.db().OlvidaEsquema();
  EXPECT_EQ(0, TipoIvaSerie(t.db(), "ALBPR", "1"));
}

TEST(Pagos, PaymentTermsOfSupplierCountedAndOnTheFirst) {
  TempDb t;
  t.db().Ejecuta(
      "insert into PROVEEDORES_PAGCOB (ID_PROVEEDOR, TIPO_PAGCOB, FORMA_PAGCOB, PORCENTAJE) "
      "values ('1','RE','30',40), ('2','EF','1',100), ('1','RE','60',30), ('1','RE','90',30)");
  Recordset rs;
  EXPECT_EQ(3, NumeroFormasPagoProveedor(t.db(), rs, "1"));
  EXPECT_EQ(Valor("30"), rs["FORMA_PAGCOB"]);
  EXPECT_EQ(1, NumeroFormasPagoProveedor(t.db(), rs, "2"));
  EXPECT_EQ(0, NumeroFormasPagoProveedor(t.db(), rs, "3"));
}

TEST(Pagos, PaymentMethodLookup) {
  TempDb t({"contable"}, "CNT00112.MDB");
  t.db().Ejecuta("insert into FORMA_PAGCOB (CODIGO, SUMA_DIAS) values ('30', 30)");
  Recordset rs;
  ASSERT_TRUE(AbreFormaPago(t.db(), rs, "30"));
  EXPECT_EQ(Valor(30), rs["SUMA_DIAS"]);
  EXPECT_FALSE(AbreFormaPago(t.db(), rs, "45"));
}

TEST(Pagos, InstalmentsByDocumentType) {
  TempDb t;
  Empresa e;
  e.BddComercial = t.compartida();
  t.db().Ejecuta(
      "insert into FACPR_DESGPAGCOB (EJERCICIO, SERIE, NUMERO, CODIGO, NUM_PAGCOBFACT) values "
      "('2012','1','7','1',2), ('2012','1','7','1',1), ('2012','1','7','2',1), "
      "('2012','2','7','1',1)");
  Recordset rs;
  AbreDesglosePagos(e, "FACPR", rs, "2012", "1", "7", "1", "001");
  ASSERT_EQ(2, rs.RecordCount());
  EXPECT_EQ(Valor(1), rs["NUM_PAGCOBFACT"]);  // in instalment order
  AbreDesglosePagos(e, "PR", rs, "2012", "1", "7", "2", "001");
  EXPECT_EQ(1, rs.RecordCount());
  AbreDesglosePagos(e, "FACPR", rs, "", "", "", "", "001");
  EXPECT_TRUE(rs.Abierto());
  EXPECT_FALSE(rs.HayRegistros());
  AbreDesglosePagos(e, "ALBPR", rs, "2012", "1", "7", "1", "001");
  EXPECT_FALSE(rs.Abierto());
}

}  // namespace
