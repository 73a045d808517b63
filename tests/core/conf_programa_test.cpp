#include <gtest/gtest.h>

#include "store/config/conf_programa.h"
#include "store/db/db_error.h"
#include "store/empresa.h"
#include "support/temp_db.h"

using relvano::Valor;
using relvano::store::CargaConfPrograma;
using relvano::store::DbError;
using relvano::store::DimeConfiguracion;
using relvano::store::Empresa;
using relvano::testing::TempDb;

namespace {

struct Tienda {
  Tienda() {
    e.BddComercial = t.compartida();
    e.IdEmpresa = "001";
  }
  TempDb t;
  Empresa e;
};

QString Opciones(const Empresa& e) {
  QStringList on;
  for (const char* n : {"ART_MARGEN_SOBRE_PVP", "ART_MARGEN_SOBRE_PCM", "ART_MARGEN_SOBRE_PCM_PVP",
                        "ART_VER_TARIFAS", "VENTAS_1UNI_PORDEFECTO", "VENTAS_CAJAS_PORDEFECTO",
                        "CLIE_VER_RAZON_SOCIAL_BUSQUEDA", "COMPRAS_CAJAS_PORDEFECTO",
                        "ART_CONTROL_LOTES_VENTA", "ART_CONTROL_LOTES_COMPRA", "COMPRAS_CONTROL_PORTES",
                        "COMPRAS_ABONO_NO_PCM", "COMPRAS_MARCAR_PROV_DEFECTO",
                        "COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO"})
    if (DimeConfiguracion(e, n)) on << n;
  return on.join(' ');
}

TEST(ConfPrograma, OptionsByPosition) {
  struct Caso {
    Valor texto;
    const char* on;
  } casos[] = {
      {Valor("2000000001"), "ART_MARGEN_SOBRE_PCM COMPRAS_ABONO_NO_PCM"},
      {Valor("   3100000000"), "ART_MARGEN_SOBRE_PCM_PVP ART_VER_TARIFAS"},  // trimmed first
      {Valor("100000000001 "), "ART_MARGEN_SOBRE_PVP COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO"},
      {Valor("011111111111"),
       "ART_VER_TARIFAS VENTAS_1UNI_PORDEFECTO VENTAS_CAJAS_PORDEFECTO CLIE_VER_RAZON_SOCIAL_BUSQUEDA "
       "COMPRAS_CAJAS_PORDEFECTO ART_CONTROL_LOTES_VENTA ART_CONTROL_LOTES_COMPRA COMPRAS_CONTROL_PORTES "
       "COMPRAS_ABONO_NO_PCM COMPRAS_MARCAR_PROV_DEFECTO COMPRAS_NO_MODIFICAR_ULTIMA_MODIFICACION_ARTICULO"},
      {Valor("222222222222"), "ART_MARGEN_SOBRE_PCM"},
      {Valor(), ""},
      {Valor(""), ""},
  };
  for (const Caso& c : casos) {
    Tienda s;
    s.t.db().Ejecuta("INSERT INTO CONF_PROGRAMA (IDEMPRESA, ART_CONFIGURACION) VALUES ('001', ?)", {c.texto});
    CargaConfPrograma(s.e);
    EXPECT_EQ(c.on, Opciones(s.e)) << c.texto.Describe().toStdString();
  }
}

TEST(ConfPrograma, UnknownOrMiscasedNamesAreOff) {
  Tienda s;
  s.t.db().Ejecuta("INSERT INTO CONF_PROGRAMA (IDEMPRESA, ART_CONFIGURACION) VALUES ('001', '111111111111')");
  CargaConfPrograma(s.e);
  EXPECT_TRUE(DimeConfiguracion(s.e, "COMPRAS_ABONO_NO_PCM"));
  EXPECT_FALSE(DimeConfiguracion(s.e, "compras_abono_no_pcm"));
  EXPECT_FALSE(DimeConfiguracion(s.e, "COMPRAS_INVENTADA"));
  EXPECT_FALSE(DimeConfiguracion(s.e, ""));
}

TEST(ConfPrograma, PurchaseValuesRoundHalvesToEven) {
  struct Caso {
    Valor pc, pcm;
    int esperadoPc, esperadoPcm;
  } casos[] = {
      {Valor(1.5), Valor(2.5), 2, 2}, {Valor(0.5), Valor(-1.5), 0, -2},
      {Valor(2.4), Valor(), 2, 0},    {Valor("3"), Valor("x"), 3, 0},
  };
  for (const Caso& c : casos) {
    Tienda s;
    s.t.db().Ejecuta("INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC, COMPRAS_ACTUALIZA_PCM) VALUES ('001', ?, ?)",
                     {c.pc, c.pcm});
    CargaConfPrograma(s.e);
    EXPECT_EQ(c.esperadoPc, s.e.Conf.ComprasActualizaPC) << c.pc.Describe().toStdString();
    EXPECT_EQ(c.esperadoPcm, s.e.Conf.ComprasActualizaPCM) << c.pcm.Describe().toStdString();
  }
}

TEST(ConfPrograma, MissingRowIsCreatedWithTheTableDefaults) {
  Tienda s;
  s.t.db().Ejecuta("INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC) VALUES ('002', 2)");
  CargaConfPrograma(s.e);
  EXPECT_EQ(Valor(2.0), s.t.db().Escalar("select count(*) from CONF_PROGRAMA"));
  EXPECT_EQ(Valor(1.0), s.t.db().Escalar("select COMPRAS_ACTUALIZA_PC from CONF_PROGRAMA where IDEMPRESA = '001'"));
  EXPECT_EQ(1, s.e.Conf.ComprasActualizaPC);
  EXPECT_EQ(1, s.e.Conf.ComprasActualizaPCM);
  EXPECT_EQ(Valor("001"), s.e.Conf.RsConfPrograma["IDEMPRESA"]);
  EXPECT_EQ("", Opciones(s.e));
}

TEST(ConfPrograma, OlderTablesWithoutOptionalColumns) {
  TempDb t({}, "CMC00100.MDB");
  t.db().EjecutaScript("CREATE TABLE CONF_PROGRAMA (IDEMPRESA TEXT PRIMARY KEY, COMPRAS_ACTUALIZA_PC REAL);\n"
                       "INSERT INTO CONF_PROGRAMA VALUES ('001', 2);\n");
  Empresa e;
  e.BddComercial = t.compartida();
  e.IdEmpresa = "001";
  e.Conf.ComprasActualizaPCM = 7;
  CargaConfPrograma(e);
  EXPECT_EQ(2, e.Conf.ComprasActualizaPC);
  EXPECT_EQ(0, e.Conf.ComprasActualizaPCM);
  EXPECT_FALSE(DimeConfiguracion(e, "ART_MARGEN_SOBRE_PVP"));

  TempDb sinPc({}, "CMC00200.MDB");
  sinPc.db().EjecutaScript("CREATE TABLE CONF_PROGRAMA (IDEMPRESA TEXT PRIMARY KEY);\n");
  e.BddComercial = sinPc.compartida();
  EXPECT_THROW(CargaConfPrograma(e), DbError);
}

TEST(ConfPrograma, BeforeLoadingEveryOptionIsOff) {
  Empresa e;
  EXPECT_FALSE(DimeConfiguracion(e, "COMPRAS_ABONO_NO_PCM"));
}

}  // namespace
