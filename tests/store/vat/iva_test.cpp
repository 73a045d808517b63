#include "store/vat/iva.h"

#include <gtest/gtest.h>

#include "store/db/db_error.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

const QDate kHoy(2026, 3, 15);

struct Impuestos : testing::Tienda {
  explicit Impuestos(const QStringList& esquemas = {"tienda"}) : Tienda(esquemas, kHoy) {}
  void Inserta(const char* valores) {
    db().Ejecuta(QString("INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ") + valores);
  }
};

QString Rates(const TiposIva& t) {
  QStringList partes;
  for (int i = 0; i < 5; ++i)
    partes << QString("%1:%2/%3").arg(t.codigo[i]).arg(t.iva[i]).arg(t.recargo[i]);
  return partes.join(' ');
}

TEST(Vat, EmptyTableGetsTheSixDefaultRowsAndCurrentRates) {
  Impuestos s;
  CargaTablaIva(s.e);
  EXPECT_EQ(testing::Golden("iva_inicial.txt"),
            s.Filas("select * from IVA order by CODIGO",
                    QString("CODIGO DESCRIPCION IVA RECARGO CUENTA_IVA_V CUENTA_RECARGO_V "
                            "CUENTA_IVA_C CUENTA_RECARGO_C")
                        .split(' ')) +
                "\n");
  EXPECT_EQ(QString("1:16/4 2:7/1 3:4/0.5 4:0/0 5:0/0"), Rates(s.e.IvaVigente));
  EXPECT_EQ(QString(), s.e.NombreImpuesto);
}

TEST(Vat, ExistingRowsAreNeverChangedAndOptionalSlotsKeepWhatTheyHeld) {
  Impuestos s;
  s.Inserta("('1', 'IVA 21%', 21, 5.2), ('2', 'IVA 10%', 10, 1.4), ('3', 'IVA 4%', 4, 0.5)");
  s.e.IvaVigente.codigo[4] = "X";
  s.e.IvaVigente.iva[4] = 99;
  CargaTablaIva(s.e);
  EXPECT_EQ(Valor(3.0), s.db().Escalar("select count(*) from IVA"));
  EXPECT_EQ(QString("1:21/5.2 2:10/1.4 3:4/0.5 :0/0 X:99/0"), Rates(s.e.IvaVigente));
}

TEST(Vat, MissingRequiredRowOrNullRateIsAnError) {
  for (const char* filas : {"('1', '', 16, 4), ('3', '', 4, 0.5)",
                            "('1', '', 16, NULL), ('2', '', 7, 1), ('3', '', 4, 0.5)"}) {
    Impuestos s;
    s.Inserta(filas);
    EXPECT_THROW(CargaTablaIva(s.e), DbError) << filas;
  }
}

TEST(Vat, TaxNameComesFromTheFirstWordOfCodeOneWhenItIsNotVat) {
  for (const QStringList& c : testing::Casos("nombre_impuesto.txt")) {
    Impuestos s;
    s.db().Ejecuta("INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO) VALUES ('1', ?, 7, 0)",
                   {Valor(c[0])});
    s.Inserta("('2', '', 3, 0), ('3', '', 0, 0)");
    s.e.NombreImpuesto = c.value(1);
    CargaTablaIva(s.e);
    EXPECT_EQ(c.value(2), s.e.NombreImpuesto) << c.join(" | ").toStdString();
  }
}

TEST(Vat, BuiltInRuleOfJuly2010WithoutDatedTable) {
  Impuestos s;
  CargaTablaIva(s.e);
  for (const QStringList& c : testing::Casos("iva_julio_2010.txt")) {
    const auto p = DimeIvaFecha(s.e, QDate::fromString(c[0], Qt::ISODate), c[1]);
    EXPECT_EQ(c[2], QString("%1/%2").arg(p.iva).arg(p.recargo)) << c.join(" | ").toStdString();
  }
}

TEST(Vat, DatedTablePeriodsWithGapsAndNulls) {
  Impuestos s({"tienda", "iva_fechas"});
  CargaTablaIva(s.e);
  s.db().Ejecuta(
      "INSERT INTO IVA_FECHAS (TIPO_IVA, FECHA_INI, FECHA_FIN, VALOR_IVA, VALOR_RECARGO) VALUES "
      "('1', '2012-09-01 00:00:00', '2099-12-31', 21, 5.2), ('2', '2010-07-01', '2012-08-31', 8, "
      "1), ('3', '2012-09-01', '2099-12-31', 4, NULL), ('1', '2030-01-01', '2030-12-31', 30, 6)");
  TiposIva t;
  // Slot 2 has no period covering the date: it keeps the current rate; the first day of
  // a period belongs to it even when stored with a time.
  CargaIvaFecha(s.e, t, QDate(2012, 9, 1));
  EXPECT_EQ(QString("1:21/5.2 2:7/1 3:4/0 4:0/0 5:0/0"), Rates(t));
  CargaIvaFecha(s.e, t, QDate(2012, 8, 31));
  EXPECT_EQ(QString("1:16/4 2:8/1 3:4/0.5 4:0/0 5:0/0"), Rates(t));
  // Today uses table IVA even though a period covers it.
  CargaIvaFecha(s.e, t, kHoy);
  EXPECT_EQ(QString("1:16/4 2:7/1 3:4/0.5 4:0/0 5:0/0"), Rates(t));
}

TEST(Vat, OtherTaxUsesCurrentRatesOnEveryDate) {
  Impuestos s;
  s.Inserta("('1', 'IGIC 5%', 5, 0), ('2', '', 3, 0), ('3', '', 0, 0)");
  CargaTablaIva(s.e);
  EXPECT_EQ(5, DimeIvaFecha(s.e, QDate(2010, 7, 1), "1").iva);
}

TEST(Vat, PurchaseLineGetsTheRatesOfItsCodeOrOfCodeOne) {
  Impuestos s;
  CargaTablaIva(s.e);
  auto rs = s.db().AbrirRecordset("select * from LIN_COMPRAS");
  rs.NuevoRegistro();
  for (const char* codigo : {"", "3"}) {
    AsignaIvaLinea(s.e, "LIN_COMPRAS", rs, QDate(2026, 11, 30), codigo);
    EXPECT_EQ(*codigo ? QString("\"3\" 4 0.5") : QString("\"1\" 18 4"),
              rs["TIPO_IVA"].Describe() + ' ' + rs["VALOR_IVA"].Describe() + ' ' +
                  rs["VALOR_RECARGO"].Describe());
  }
}

}  // namespace
}  // namespace relvano::store
