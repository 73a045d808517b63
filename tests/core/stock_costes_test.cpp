#include <gtest/gtest.h>

#include <QStringList>

#include "store/articles/costes.h"
#include "store/articles/stock.h"
#include "store/config/conf_programa.h"
#include "support/impresion.h"
#include "support/recording_operator.h"
#include "support/temp_db.h"
#include "support/reloj_fijo.h"

using relvano::testing::RelojFijo;


using relvano::Reloj;
using relvano::Valor;
using relvano::store::ActualizaCostesArticulo;
using relvano::store::ActualizaStock;
using relvano::store::ActualizaStockLinea;
using relvano::store::CacheColumnasCompras;
using relvano::store::CalculaCosteMedio;
using relvano::store::CargaConfPrograma;
using relvano::store::Database;
using relvano::store::DatosCosteMedio;
using relvano::store::Empresa;
using relvano::store::LineaStock;
using relvano::testing::RecordingOperator;
using relvano::testing::TempDb;

namespace {

// The columns `cols` of the first row of `sql`, described and joined by blanks.
QString Fila(Database& db, const QString& sql, const QStringList& cols) {
  auto rs = db.AbrirRecordset(sql);
  if (!rs.HayRegistros()) return QStringLiteral("(no row)");
  QStringList partes;
  for (const QString& c : cols) partes << rs[c].Describe();
  return partes.join(u' ');
}

struct Tienda {
  TempDb t;
  RelojFijo reloj{QDate(2012, 7, 15)};
  Empresa e;
  RecordingOperator op;
  CacheColumnasCompras columnas;

  explicit Tienda(int pc = 1, int pcm = 1, const QString& opciones = QString()) {
    relvano::testing::EmpresaSobre(e, t, &reloj);
    t.db().Ejecuta(
        "INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC, COMPRAS_ACTUALIZA_PCM, "
        "ART_CONFIGURACION) VALUES ('001', ?, ?, ?)",
        {Valor(pc), Valor(pcm), Valor(opciones)});
    CargaConfPrograma(e);
  }
  Database& db() { return t.db(); }
  void Articulo(const QString& codigo, double stock, double coste = 0, double medio = 0) {
    db().Ejecuta(
        "INSERT INTO ARTICULOS (CODIGO, STOCKACTUAL, COSTE, COSTEMEDIO, ULTIMA_MODIFICACION) "
        "VALUES (?, ?, ?, ?, '2001-01-01')",
        {Valor(codigo), Valor(stock), Valor(coste), Valor(medio)});
  }
  void Compra(const QString& codigo, double cantidad, double precio, double dto,
              const QString& fecha, int entregado = 1, double siva = 0, double dto2 = 0) {
    db().Ejecuta(
        "INSERT INTO LIN_COMPRAS (CODIGO_ART, CANTIDAD_ALB, PRECIO_ALB, DTO_ART, FECHA_REAL, "
        "ENTREGADO, PRECIO_SIVA_NETO, DTO2_ART) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        {Valor(codigo), Valor(cantidad), Valor(precio), Valor(dto), Valor(fecha), Valor(entregado),
         Valor(siva), Valor(dto2)});
  }
  QString Costes(const QString& codigo) {
    auto rs = db().AbrirRecordset(
        "select COSTE, COSTEMEDIO, ULTIMA_MODIFICACION from ARTICULOS where CODIGO = ?",
        {Valor(codigo)});
    return QStringLiteral("COSTE=%1 COSTEMEDIO=%2 MODIF=%3")
        .arg(rs["COSTE"].Describe(), rs["COSTEMEDIO"].Describe(),
             rs["ULTIMA_MODIFICACION"].Describe());
  }
};

// ---- Stock -------------------------------------------------------------------------

class MainWarehouse : public ::testing::TestWithParam<const char*> {};

TEST_P(MainWarehouse, UpdatesArticleStock) {
  Tienda s;
  s.Articulo("A1", 5);
  ActualizaStockLinea(s.e, s.op, {"A1", 2.5, GetParam()});
  ActualizaStockLinea(s.e, s.op, {"A1", -10, GetParam()});
  EXPECT_EQ(Valor(-2.5), s.db().Escalar("select STOCKACTUAL from ARTICULOS where CODIGO='A1'"));
  EXPECT_EQ(Valor(0), s.db().Escalar("select count(*) from ARTICULOS_STOCK"));
  EXPECT_EQ(Valor(QDate(2001, 1, 1)),
            s.db().Escalar("select ULTIMA_MODIFICACION from ARTICULOS where CODIGO='A1'"));
  EXPECT_TRUE(s.op.Eventos().empty());
}

INSTANTIATE_TEST_SUITE_P(Stock, MainWarehouse, ::testing::Values("1", "", " 1 "));

TEST(Stock, SecondaryWarehouseCreatesItsRowThenAddsToIt) {
  Tienda s;
  s.Articulo("A1", 5);
  ActualizaStockLinea(s.e, s.op, {"A1", 3, "2"});
  EXPECT_EQ(
      QStringLiteral("\"A1\" \"2\" 3 0 0 \"\""),
      Fila(s.db(), "select * from ARTICULOS_STOCK",
           {"CODIGO_ART", "ALMACEN", "STOCKACTUAL", "STOCKMINIMO", "STOCKMAXIMO", "STOCK_LOC"}));
  ActualizaStockLinea(s.e, s.op, {"A1", -4, "2"});
  EXPECT_EQ(Valor(-1), s.db().Escalar("select STOCKACTUAL from ARTICULOS_STOCK"));
  EXPECT_EQ(Valor(5), s.db().Escalar("select STOCKACTUAL from ARTICULOS"));
}

TEST(Stock, MissingArticleIsReportedButCodeZeroIsSilent) {
  Tienda s;
  ActualizaStockLinea(s.e, s.op, {"ZZ", 1, "1"});
  ActualizaStockLinea(s.e, s.op, {"0", 1, "1"});
  EXPECT_EQ(QStringList{QStringLiteral("El artículo ZZ no existe para actualizar su stock")},
            s.op.Mensajes());
  EXPECT_EQ(Valor(0), s.db().Escalar("select count(*) from ARTICULOS_STOCK"));
}

TEST(Stock, DirectUpdateOfMissingArticleInMainWarehouseIsReported) {
  Tienda s;
  ActualizaStock(s.e, s.op, "ZZ", 1, "");
  EXPECT_EQ(QStringList{QStringLiteral("Error en Artículo: El artículo ZZ no existe.")},
            s.op.Mensajes());
}

// ---- Average cost --------------------------------------------------------------------

struct CasoMedio {
  const char* nombre;
  int pcm;
  QString opciones;
  QString modo;
  double q, pb, pn, cm, S;
  double esperado;
};

class AverageCost : public ::testing::TestWithParam<CasoMedio> {};

TEST_P(AverageCost, Rule) {
  const CasoMedio& c = GetParam();
  Tienda s(1, c.pcm, c.opciones);
  DatosCosteMedio d;
  d.CodigoArticulo = "A1";
  d.Cantidad = c.q;
  d.PrecioBruto = c.pb;
  d.PrecioNeto = c.pn;
  d.CosteMedio = c.cm;
  d.StockTotal = c.S;
  EXPECT_DOUBLE_EQ(c.esperado, CalculaCosteMedio(s.e, c.modo, d)) << c.nombre;
}

const QString kAbonoNoPcm = QStringLiteral("0000000001");

INSTANTIATE_TEST_SUITE_P(
    Costes, AverageCost,
    ::testing::Values(
        CasoMedio{"net price weighs stock before", 1, "", "", 10, 99, 13, 10, 30, 11},
        CasoMedio{"negative stock before counts 0", 1, "", "", 10, 99, 13, 10, 5, 26},
        CasoMedio{"gross price under m 0", 0, "", "", 10, 13, 99, 10, 30, 11},
        CasoMedio{"first purchase m 0 takes gross", 0, "", "", 4, 7, 5, 0, 4, 7},
        CasoMedio{"nothing left in stock takes gross", 0, "", "", 10, 7, 5, 3, 0, 7},
        CasoMedio{"nothing left in stock takes net", 1, "", "", 10, 7, 5, 3, -2, 5},
        CasoMedio{"return with option on keeps cm", 1, kAbonoNoPcm, "", -2, 10, 10, 8, 8, 8},
        CasoMedio{"return with option off is weighed", 1, "", "", -2, 10, 10, 8, 8, 7.5},
        CasoMedio{"unknown m keeps cm", 2, "", "", 10, 13, 13, 10, 30, 10},
        CasoMedio{"non-empty mode refused", 1, "", "X", 10, 13, 13, 10, 30, 10}));

// ---- Cost update from the latest delivered purchase ----------------------------------

TEST(Costes, CostPriceFollowsComprasActualizaPC) {
  // Gross 10, DTO_ART 10 -> net 9. DTO2_ART is not applied when the table keeps
  // PRECIO_SIVA_NETO (here 0).
  struct {
    int pc;
    const char* esperado;
  } casos[] = {{1, "COSTE=10 COSTEMEDIO=9 MODIF=2012-07-15"},
               {2, "COSTE=9 COSTEMEDIO=9 MODIF=2012-07-15"},
               {3, "COSTE=5 COSTEMEDIO=9 MODIF=2012-07-15"}};
  for (const auto& c : casos) {
    Tienda s(c.pc, 1);
    s.Articulo("A1", 4, 5, 0);
    s.Compra("A1", 4, 10, 10, "2012-07-01", 1, 0, 50);
    ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
    EXPECT_EQ(QString(c.esperado), s.Costes("A1")) << "PC " << c.pc;
  }
}

TEST(Costes, LatestDeliveredLineByDateThenId) {
  Tienda s(1, 0);
  s.Articulo("A1", 10, 0, 0);
  s.Compra("A1", 10, 20, 0, "2012-07-10");
  s.Compra("A1", 10, 30, 0, "2012-07-10");     // same date, higher ID: wins
  s.Compra("A1", 10, 40, 0, "2012-07-01");     // earlier date
  s.Compra("A1", 10, 50, 0, "2012-07-20", 0);  // later but not delivered
  s.Compra("B1", 10, 60, 0, "2012-07-30");     // another article
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  EXPECT_EQ(QStringLiteral("COSTE=30 COSTEMEDIO=30 MODIF=2012-07-15"), s.Costes("A1"));
}

TEST(Costes, StoredNetPriceIsUsed) {
  Tienda s(2, 1);
  s.Articulo("A1", 10, 0, 0);
  s.Compra("A1", 10, 20, 10, "2012-07-10", 1, 15.5);
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  EXPECT_EQ(QStringLiteral("COSTE=15.5 COSTEMEDIO=15.5 MODIF=2012-07-15"), s.Costes("A1"));
}

TEST(Costes, ReturnWithOptionOnSetsCostButKeepsAverage) {
  Tienda s(1, 1, kAbonoNoPcm);
  s.Articulo("A1", 8, 7, 8);
  s.Compra("A1", -2, 10, 0, "2012-07-10");
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  EXPECT_EQ(QStringLiteral("COSTE=10 COSTEMEDIO=8 MODIF=2012-07-15"), s.Costes("A1"));
}

TEST(Costes, UnchangedCostsLeaveLastModification) {
  Tienda s(1, 1);
  s.Articulo("A1", 10, 10, 10);  // stock already includes the 5 bought
  s.Compra("A1", 5, 10, 0, "2012-07-10");
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  EXPECT_EQ(QStringLiteral("COSTE=10 COSTEMEDIO=10 MODIF=2001-01-01"), s.Costes("A1"));
}

TEST(Costes, OptionKeepsLastModificationOnChange) {
  Tienda s(1, 1, QStringLiteral("000000000001"));
  s.Articulo("A1", 10, 10, 10);
  s.Compra("A1", 5, 16, 0, "2012-07-10");
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  EXPECT_EQ(QStringLiteral("COSTE=16 COSTEMEDIO=13 MODIF=2001-01-01"), s.Costes("A1"));
}

TEST(Costes, NoDeliveredLineOrNoArticleChangesNothing) {
  Tienda s(1, 1);
  s.Articulo("A1", 10, 3, 4);
  s.Compra("A1", 5, 16, 0, "2012-07-10", 0);
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  ActualizaCostesArticulo(s.e, s.columnas, "", "NOPE");
  EXPECT_EQ(QStringLiteral("COSTE=3 COSTEMEDIO=4 MODIF=2001-01-01"), s.Costes("A1"));
}

// An older store database: LIN_COMPRAS without PRECIO_SIVA_NETO and DTO3_ART.
void TablaComprasAntigua(Database& db) {
  db.EjecutaScript(
      "DROP TABLE LIN_COMPRAS;\n"
      "CREATE TABLE LIN_COMPRAS (ID INTEGER PRIMARY KEY AUTOINCREMENT, CODIGO_ART TEXT, "
      "CANTIDAD_ALB REAL, PRECIO_ALB REAL, DTO_ART REAL, DTO2_ART REAL, DTO_FIJO REAL, "
      "ENTREGADO INTEGER, FECHA_REAL TEXT);\n");
  db.OlvidaEsquema();
}

TEST(Costes, OlderPurchaseTableAppliesTheDiscountsItHas) {
  Tienda s(2, 1);
  TablaComprasAntigua(s.db());
  s.Articulo("A1", 10, 0, 0);
  s.db().Ejecuta(
      "insert into LIN_COMPRAS (CODIGO_ART, CANTIDAD_ALB, PRECIO_ALB, DTO_ART, DTO2_ART, "
      "DTO_FIJO, ENTREGADO, FECHA_REAL) values ('A1', 10, 100, 10, 10, 1, 1, '2012-07-10')");
  ActualizaCostesArticulo(s.e, s.columnas, "", "A1");
  EXPECT_EQ(QStringLiteral("COSTE=80 COSTEMEDIO=80 MODIF=2012-07-15"), s.Costes("A1"));
}

TEST(Costes, ColumnCacheIsPerConnection) {
  Tienda nueva;
  Tienda antigua;
  TablaComprasAntigua(antigua.db());
  CacheColumnasCompras cache;
  EXPECT_TRUE(cache.De(nueva.db()).PrecioSivaNeto);
  EXPECT_TRUE(cache.De(nueva.db()).Dto3);
  const auto& c = cache.De(antigua.db());
  EXPECT_FALSE(c.PrecioSivaNeto);
  EXPECT_TRUE(c.Dto2);
  EXPECT_FALSE(c.Dto3);
  EXPECT_TRUE(c.DtoFijo);
}

}  // namespace
