#include "store/config/conf_programa.h"

#include <gtest/gtest.h>

#include "store/db/db_error.h"
#include "store/documents/series.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

// The two options the program asks for, as "ABONO NOMODIF" with "-" for an option off.
QString Opciones(const Empresa& e) {
  return QString("%1 %2")
      .arg(DimeConfiguracion(e, "COMPRAS_ABONO_NO_PCM") ? "ABONO" : "-")
      .arg(DimeConfiguracion(e, "COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO") ? "NOMODIF"
                                                                                     : "-");
}

TEST(ConfPrograma, OptionsByPositionAndPurchaseValuesRoundedHalvesToEven) {
  EXPECT_EQ(QString("- -"), Opciones(Empresa{}));  // before loading every option is off
  for (const QStringList& c : testing::Casos("conf_programa.txt")) {
    SCOPED_TRACE(c.join(" | ").toStdString());
    testing::Tienda s;
    s.db().Ejecuta(
        "INSERT INTO CONF_PROGRAMA (IDEMPRESA, ART_CONFIGURACION, COMPRAS_ACTUALIZA_PC, "
        "COMPRAS_ACTUALIZA_PCM) VALUES ('001', ?, ?, ?)",
        {testing::ValorDe(c[0]), testing::ValorDe(c[1]), testing::ValorDe(c[2])});
    CargaConfPrograma(s.e);
    EXPECT_EQ(c[3], Opciones(s.e));
    EXPECT_FALSE(DimeConfiguracion(s.e, "compras_abono_no_pcm"));
    EXPECT_EQ(c[4],
              QString("%1 %2").arg(s.e.Conf.ComprasActualizaPC).arg(s.e.Conf.ComprasActualizaPCM));
  }
}

TEST(ConfPrograma, MissingRowIsCreatedWithTheTableDefaults) {
  testing::Tienda s;
  s.db().Ejecuta("INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC) VALUES ('002', 2)");
  CargaConfPrograma(s.e);
  EXPECT_EQ(
      QString("IDEMPRESA=\"001\" COMPRAS_ACTUALIZA_PC=1\nIDEMPRESA=\"002\" COMPRAS_ACTUALIZA_PC=2"),
      s.Filas("select * from CONF_PROGRAMA order by IDEMPRESA",
              {"IDEMPRESA", "COMPRAS_ACTUALIZA_PC"}));
  EXPECT_EQ(1, s.e.Conf.ComprasActualizaPC);
  EXPECT_EQ(1, s.e.Conf.ComprasActualizaPCM);
  EXPECT_EQ(Valor("001"), s.e.Conf.RsConfPrograma["IDEMPRESA"]);
}

TEST(ConfPrograma, OlderTablesWithoutOptionalColumns) {
  testing::Tienda s(QStringList{});
  s.db().EjecutaScript(
      "CREATE TABLE CONF_PROGRAMA (IDEMPRESA TEXT PRIMARY KEY, COMPRAS_ACTUALIZA_PC REAL);\n"
      "INSERT INTO CONF_PROGRAMA VALUES ('001', 2);\n");
  s.e.Conf.ComprasActualizaPCM = 7;
  CargaConfPrograma(s.e);
  EXPECT_EQ(2, s.e.Conf.ComprasActualizaPC);
  EXPECT_EQ(0, s.e.Conf.ComprasActualizaPCM);
  EXPECT_EQ(QString("- -"), Opciones(s.e));
  s.db().EjecutaScript("DROP TABLE CONF_PROGRAMA;\nCREATE TABLE CONF_PROGRAMA (IDEMPRESA TEXT);\n");
  s.db().OlvidaEsquema();
  EXPECT_THROW(CargaConfPrograma(s.e), DbError);
}

TEST(Series, VatTreatmentOfSeries) {
  testing::TempDb t;
  t.db().Ejecuta(
      "insert into SERIES (TIPO_SERIE, CODIGO, RECARGO, IVA_PERSONAL) values ('ALBPR','N',0,0), "
      "('ALBPR','R',1,0), ('ALBPR','P',0,1), ('ALBPR','RP',1,1), ('ALBPR','NUL',NULL,NULL), "
      "('FACPR','R2',1,0)");
  for (const QStringList& c : testing::Casos("series_iva.txt"))
    EXPECT_EQ(c[2].toInt(), TipoIvaSerie(t.db(), c[0], c[1])) << c.join(" | ").toStdString();
  // A special series ("$...") needs no series table; an older table gives normal VAT.
  t.db().EjecutaScript(
      "DROP TABLE SERIES;\nCREATE TABLE SERIES (TIPO_SERIE TEXT, CODIGO TEXT);\n"
      "INSERT INTO SERIES VALUES ('ALBPR', 'R');\n");
  t.db().OlvidaEsquema();
  EXPECT_EQ(0, TipoIvaSerie(t.db(), "ALBPR", "R"));
  t.db().EjecutaScript("DROP TABLE SERIES;\n");
  t.db().OlvidaEsquema();
  EXPECT_EQ(1, TipoIvaSerie(t.db(), "ALBPR", "$A"));
}

}  // namespace
}  // namespace relvano::store
