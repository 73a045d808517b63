#include <gtest/gtest.h>

#include <QDate>
#include <stdexcept>

#include "store/db/db_error.h"
#include "store/empresa.h"
#include "store/vat/iva.h"
#include "support/temp_db.h"
#include "support/reloj_fijo.h"

using relvano::testing::RelojFijo;

using relvano::Reloj;
using relvano::Valor;
using relvano::store::AsignaIvaLinea;
using relvano::store::CargaIvaFecha;
using relvano::store::CargaTablaIva;
using relvano::store::DbError;
using relvano::store::DimeIvaFecha;
using relvano::store::Empresa;
using relvano::store::TiposIva;
using relvano::testing::TempDb;

namespace {

const QDate kHoy(2026, 3, 15);

struct Tienda {
  explicit Tienda(QStringList esquemas = {"tienda"}) : t(esquemas) {
    e.BddComercial = t.compartida();
    e.BddTienda = t.compartida();
    e.reloj = &reloj;
  }
  TempDb t;
  RelojFijo reloj{kHoy};
  Empresa e;
};

QString Rates(const TiposIva& t) {
  QStringList partes;
  for (int i = 0; i < 5; ++i)
    partes << QStringLiteral("%1:%2/%3").arg(t.codigo[i]).arg(t.iva[i]).arg(t.recargo[i]);
  return partes.join(' ');
}

QString Tabla(relvano::store::Database& db) {
  auto rs = db.AbrirRecordset("select * from IVA order by CODIGO");
  QStringList filas;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    QStringList f;
    for (const char* c : {"CODIGO", "DESCRIPCION", "IVA", "RECARGO", "CUENTA_IVA_V", "CUENTA_RECARGO_V",
                          "CUENTA_IVA_C", "CUENTA_RECARGO_C"})
      f << rs[c].Describe();
    filas << f.join('|');
  }
  return filas.join('\n');
}

TEST(Vat, EmptyTableGetsTheSixDefaultRowsAndCurrentRates) {
  Tienda s;
  CargaTablaIva(s.e);
  EXPECT_EQ(
      "\"0\"|\"EXENTO\"|0|0|\"\"|\"\"|\"\"|\"\"\n"
      "\"1\"|\"IVA 16%\"|16|4|\"47700011\"|\"47700021\"|\"47200011\"|\"47200021\"\n"
      "\"2\"|\"IVA 7 %\"|7|1|\"47700012\"|\"47700022\"|\"47200012\"|\"47200022\"\n"
      "\"3\"|\"IVA 4 %\"|4|0.5|\"47700013\"|\"47700023\"|\"47200013\"|\"47200023\"\n"
      "\"4\"|\"VACIO\"|0|0|\"\"|\"\"|\"\"|\"\"\n"
      "\"5\"|\"VACIO\"|0|0|\"\"|\"\"|\"\"|\"\"",
      Tabla(s.t.db()));
  EXPECT_EQ("1:16/4 2:7/1 3:4/0.5 4:0/0 5:0/0", Rates(s.e.IvaVigente));
  EXPECT_EQ("", s.e.NombreImpuesto);
}

TEST(Vat, ExistingRowsAreNeverChangedAndOptionalSlotsKeepWhatTheyHeld) {
  Tienda s;
  s.t.db().EjecutaScript(
      "INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ('1', 'IVA 21%', 21, 5.2);\n"
      "INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ('2', 'IVA 10%', 10, 1.4);\n"
      "INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ('3', 'IVA 4%', 4, 0.5);\n");
  s.e.IvaVigente.codigo[4] = "X";
  s.e.IvaVigente.iva[4] = 99;
  CargaTablaIva(s.e);
  EXPECT_EQ(Valor(3.0), s.t.db().Escalar("select count(*) from IVA"));
  EXPECT_EQ("1:21/5.2 2:10/1.4 3:4/0.5 :0/0 X:99/0", Rates(s.e.IvaVigente));
}

TEST(Vat, MissingRequiredRowOrNullRateIsAnError) {
  {
    Tienda s;
    s.t.db().EjecutaScript("INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('1', 16, 4);\n"
                           "INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('3', 4, 0.5);\n");
    EXPECT_THROW(CargaTablaIva(s.e), DbError);
  }
  {
    Tienda s;
    s.t.db().EjecutaScript("INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('1', 16, NULL);\n"
                           "INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('2', 7, 1);\n"
                           "INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('3', 4, 0.5);\n");
    EXPECT_THROW(CargaTablaIva(s.e), DbError);
  }
}

TEST(Vat, TaxNameComesFromTheFirstWordOfCodeOneWhenItIsNotVat) {
  struct Caso {
    const char* descripcion;
    const char* antes;
    const char* esperado;
  } casos[] = {
      {"IGIC 7%", "", "IGIC"},
      {"IPSI", "", "IPSI"},
      {"IVA 21%", "IGIC", ""},
      {"iva general", "", "iva"},  // the test for VAT is case-sensitive
      {"  ", "IGIC", "IGIC"},      // an empty description leaves it as it was
  };
  for (const Caso& c : casos) {
    Tienda s;
    s.t.db().Ejecuta("INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ('1', ?, 7, 0)",
                     {Valor(c.descripcion)});
    s.t.db().EjecutaScript("INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('2', 3, 0);\n"
                           "INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('3', 0, 0);\n");
    s.e.NombreImpuesto = c.antes;
    CargaTablaIva(s.e);
    EXPECT_EQ(c.esperado, s.e.NombreImpuesto) << c.descripcion;
  }
}

TEST(Vat, BuiltInRuleOfJuly2010WithoutDatedTable) {
  Tienda s;
  CargaTablaIva(s.e);
  struct Caso {
    QDate fecha;
    const char* codigo;
    double iva, recargo;
  } casos[] = {
      {QDate(2010, 6, 30), "1", 16, 4}, {QDate(2010, 7, 1), "1", 18, 4},
      {QDate(2010, 7, 1), "2", 8, 1},   {QDate(2010, 6, 30), "2", 7, 1},
      {QDate(2010, 7, 1), "3", 4, 0.5}, {QDate(2026, 11, 30), "1", 18, 4},
      {QDate(2010, 7, 1), "0", 0, 0},   {QDate(2010, 7, 1), "6", 0, 0},
      {QDate(2010, 7, 1), "", 0, 0},    {kHoy, "1", 16, 4},  // today: table IVA
      {QDate(), "2", 7, 1},             // no date: today
  };
  for (const Caso& c : casos) {
    double iva = -1, recargo = -1;
    EXPECT_TRUE(DimeIvaFecha(s.e, c.fecha, c.codigo, iva, recargo));
    EXPECT_EQ(c.iva, iva) << c.fecha.toString(Qt::ISODate).toStdString() << " " << c.codigo;
    EXPECT_EQ(c.recargo, recargo) << c.fecha.toString(Qt::ISODate).toStdString() << " " << c.codigo;
  }
}

TEST(Vat, DatedTablePeriodsWithGapsAndNulls) {
  Tienda s({"tienda", "iva_fechas"});
  CargaTablaIva(s.e);
  s.t.db().EjecutaScript(
      "INSERT INTO IVA_FECHAS (TIPO_IVA, FECHA_INI, FECHA_FIN, VALOR_IVA, VALOR_RECARGO) "
      "VALUES ('1', '2012-09-01 00:00:00', '2099-12-31', 21, 5.2);\n"
      "INSERT INTO IVA_FECHAS (TIPO_IVA, FECHA_INI, FECHA_FIN, VALOR_IVA, VALOR_RECARGO) "
      "VALUES ('2', '2010-07-01', '2012-08-31', 8, 1);\n"
      "INSERT INTO IVA_FECHAS (TIPO_IVA, FECHA_INI, FECHA_FIN, VALOR_IVA, VALOR_RECARGO) "
      "VALUES ('3', '2012-09-01', '2099-12-31', 4, NULL);\n"
      "INSERT INTO IVA_FECHAS (TIPO_IVA, FECHA_INI, FECHA_FIN, VALOR_IVA, VALOR_RECARGO) "
      "VALUES ('1', '2030-01-01', '2030-12-31', 30, 6);\n");
  TiposIva t;
  // Slot 2 has no period covering the date: it keeps the current rate; the first day of
  // a period belongs to it even when stored with a time.
  CargaIvaFecha(s.e, t, QDate(2012, 9, 1));
  EXPECT_EQ("1:21/5.2 2:7/1 3:4/0 4:0/0 5:0/0", Rates(t));
  CargaIvaFecha(s.e, t, QDate(2012, 8, 31));
  EXPECT_EQ("1:16/4 2:8/1 3:4/0.5 4:0/0 5:0/0", Rates(t));
  // Today uses table IVA even though a period covers it.
  CargaIvaFecha(s.e, t, kHoy);
  EXPECT_EQ("1:16/4 2:7/1 3:4/0.5 4:0/0 5:0/0", Rates(t));
}

TEST(Vat, OtherTaxUsesCurrentRatesOnEveryDate) {
  Tienda s;
  s.t.db().EjecutaScript("INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ('1', 'IGIC 5%', 5, 0);\n"
                         "INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('2', 3, 0);\n"
                         "INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('3', 0, 0);\n");
  CargaTablaIva(s.e);
  double iva = 0, recargo = 0;
  DimeIvaFecha(s.e, QDate(2010, 7, 1), "1", iva, recargo);
  EXPECT_EQ(5, iva);
}

TEST(Vat, AsignaIvaLineaWritesTheLineColumnsOfPurchaseAndSaleLinesOnly) {
  Tienda s;
  CargaTablaIva(s.e);
  s.t.db().EjecutaScript("CREATE TABLE OTRA (ID INTEGER PRIMARY KEY, TIPO_IVA TEXT, VALOR_IVA REAL, VALOR_RECARGO REAL);\n");
  auto rs = s.t.db().AbrirRecordset("select * from LIN_COMPRAS");
  rs.NuevoRegistro();
  AsignaIvaLinea(s.e, "LIN_COMPRAS", rs, QDate(2026, 11, 30), "");
  EXPECT_EQ(Valor("1"), rs["TIPO_IVA"]);
  EXPECT_EQ(Valor(18.0), rs["VALOR_IVA"]);
  EXPECT_EQ(Valor(4.0), rs["VALOR_RECARGO"]);
  AsignaIvaLinea(s.e, "LIN_COMPRAS", rs, QDate(2026, 11, 30), "3");
  EXPECT_EQ(Valor("3"), rs["TIPO_IVA"]);
  EXPECT_EQ(Valor(4.0), rs["VALOR_IVA"]);
  EXPECT_EQ(Valor(0.5), rs["VALOR_RECARGO"]);

  auto otra = s.t.db().AbrirRecordset("select * from OTRA");
  otra.NuevoRegistro();
  AsignaIvaLinea(s.e, "OTRA", otra, QDate(2026, 11, 30), "1");
  EXPECT_EQ(Valor(), otra["TIPO_IVA"]);
  EXPECT_EQ(Valor(), otra["VALOR_IVA"]);
}

}  // namespace
