#include <gtest/gtest.h>

#include "store/articles/costes.h"
#include "store/config/conf_programa.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

struct Almacen : testing::Tienda {
  explicit Almacen(int pc = 1, int pcm = 1, const QString& opciones = QString()) {
    db().Ejecuta(
        "INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC, COMPRAS_ACTUALIZA_PCM, "
        "ART_CONFIGURACION) VALUES ('001', ?, ?, ?)",
        {Valor(pc), Valor(pcm), Valor(opciones)});
    CargaConfPrograma(e);
  }
  void Articulo(const QString& codigo, double stock, double coste = 0, double medio = 0) {
    db().Ejecuta(
        "INSERT INTO ARTICULOS (CODIGO, STOCKACTUAL, COSTE, COSTEMEDIO, ULTIMA_MODIFICACION) "
        "VALUES (?, ?, ?, ?, '2001-01-01')",
        {Valor(codigo), Valor(stock), Valor(coste), Valor(medio)});
  }
  // The costs after the article's latest delivered purchase, as an invoice line sets them.
  QString Costes() {
    CacheColumnasCompras columnas;
    if (const auto compra = UltimaCompraArticulo(db(), columnas.De(db()), "A1"))
      AplicaCompraArticulo(e, "", "A1", {}, *compra);
    return Filas("select * from ARTICULOS where CODIGO = 'A1'",
                 {"COSTE", "COSTEMEDIO", "ULTIMA_MODIFICACION"});
  }
};

// A purchase adds to the stock the row holds when it is stored, whatever was read before.
TEST(Stock, APurchaseLineAddsToTheStockTheRowHolds) {
  Almacen s;
  s.Articulo("A1", 5);
  s.db().Ejecuta("UPDATE ARTICULOS SET STOCKACTUAL = NULL");  // Null counts 0
  // No price: the costs stay as they are, and so does the date of the last change.
  EXPECT_TRUE(AplicaCompraArticulo(s.e, "", "A1", {2.5, {}}, {2.5, 0, 0}));
  EXPECT_TRUE(AplicaCompraArticulo(s.e, "", "A1", {-10, QDate(2012, 7, 1)}, {-10, 0, 0}));
  EXPECT_EQ(
      QString("STOCKACTUAL=-7.5 ULTIMA_MODIFICACION=2001-01-01 ULTIMA_COMPRA=2012-07-01"),
      s.Filas("select * from ARTICULOS", {"STOCKACTUAL", "ULTIMA_MODIFICACION", "ULTIMA_COMPRA"}));
  EXPECT_FALSE(AplicaCompraArticulo(s.e, "", "ZZ", {1, {}}, {1, 1, 1}));
  EXPECT_EQ(Valor(1), s.db().Escalar("select count(*) from ARTICULOS"));
}

// Stock and costs are written by a statement the recordsets do not see: it tells the
// change journal itself, the stock as the quantity added.
TEST(Stock, ThePurchaseStatementTellsTheJournalWhatItChanged) {
  struct : DiarioCambios {
    QStringList filas;
    void Anota(CambioFila c) override {
      QString f = QString("%1 %2=%3%4")
                      .arg(c.tabla, c.clave.join(','), c.valoresClave.at(0).toString(),
                           c.relativo ? " +" : "");
      for (size_t i = 0; i < c.antes.size(); ++i)
        f += QString(" %1 %2>%3")
                 .arg(c.columnas.at(static_cast<int>(i)), c.antes.at(i).toString(),
                      c.despues.at(i).toString());
      filas << f;
    }
  } diario;
  Almacen s;
  s.Articulo("A1", 5, 2, 2);
  s.db().Ejecuta(
      "INSERT INTO ARTICULOS_STOCK (CODIGO_ART, ALMACEN, STOCKACTUAL) VALUES "
      "('A1', '2', 2)");
  s.db().FijaDiario(&diario);
  // Stock 10 in all once the 3 are added: (2 × 7 + 12 × 3) / 10.
  AplicaCompraArticulo(s.e, "", "A1", {3, QDate(2012, 7, 10)}, {3, 12, 12});
  s.db().FijaDiario(nullptr);
  EXPECT_EQ(QStringList({"ARTICULOS CODIGO=A1 + STOCKACTUAL 0>3",
                         "ARTICULOS CODIGO=A1 COSTE 2>12 COSTEMEDIO 2>5 "
                         "ULTIMA_MODIFICACION 2001-01-01>2012-07-15 ULTIMA_COMPRA >2012-07-10"}),
            diario.filas);
}

// ---- Average cost --------------------------------------------------------------------

// The rule is computed by the statement that stores it, from the stock and the average
// cost the article's row holds then.
TEST(Costes, AverageCostRule) {
  for (const QStringList& c : testing::Casos("coste_medio.txt")) {
    Almacen s(1, c[1].toInt(), c[2]);
    s.Articulo("A1", c[8].toDouble(), 0, c[7].toDouble());
    AplicaCompraArticulo(s.e, c[3], "A1", {}, {c[4].toDouble(), c[5].toDouble(), c[6].toDouble()});
    EXPECT_DOUBLE_EQ(c[9].toDouble(), s.db().Escalar("select COSTEMEDIO from ARTICULOS").Numero())
        << c[0].toStdString();
  }
}

// ---- Cost update from the latest delivered purchase ----------------------------------

TEST(Costes, CostsFromTheLatestDeliveredPurchase) {
  for (const QStringList& c : testing::Casos("costes.txt")) {
    SCOPED_TRACE(c[0].toStdString());
    Almacen s(c[1].toInt(), c[2].toInt(), c[3]);
    s.Articulo("A1", c[4].toDouble(), c[5].toDouble(), c[6].toDouble());
    s.db().Ejecuta(
        "INSERT INTO LIN_COMPRAS (CANTIDAD_ALB, PRECIO_ALB, DTO_ART, FECHA_REAL, ENTREGADO, "
        "PRECIO_SIVA_NETO, DTO2_ART) VALUES " +
        c[7]);
    s.db().Ejecuta("UPDATE LIN_COMPRAS SET CODIGO_ART = 'A1'");
    s.db().Ejecuta(
        "INSERT INTO LIN_COMPRAS (CODIGO_ART, CANTIDAD_ALB, PRECIO_ALB, FECHA_REAL, "
        "ENTREGADO) VALUES ('B1', 10, 60, '2012-07-30', 1)");  // another article
    EXPECT_EQ(c[8], s.Costes());
  }
}

// An older store database: LIN_COMPRAS without PRECIO_SIVA_NETO and DTO3_ART.
TEST(Costes, OlderPurchaseTableAppliesTheDiscountsItHas) {
  Almacen nueva, s(2, 1);
  CacheColumnasCompras cache;
  EXPECT_TRUE(cache.De(nueva.db()).PrecioSivaNeto);
  s.db().EjecutaScript(
      "DROP TABLE LIN_COMPRAS;\n"
      "CREATE TABLE LIN_COMPRAS (ID INTEGER PRIMARY KEY AUTOINCREMENT, CODIGO_ART TEXT, "
      "CANTIDAD_ALB REAL, PRECIO_ALB REAL, DTO_ART REAL, DTO2_ART REAL, DTO_FIJO REAL, "
      "ENTREGADO INTEGER, FECHA_REAL TEXT);\n"
      "INSERT INTO LIN_COMPRAS (CODIGO_ART, CANTIDAD_ALB, PRECIO_ALB, DTO_ART, DTO2_ART, "
      "DTO_FIJO, ENTREGADO, FECHA_REAL) values ('A1', 10, 100, 10, 10, 1, 1, '2012-07-10');\n");
  s.db().OlvidaEsquema();
  const auto& c = cache.De(s.db());
  EXPECT_FALSE(c.PrecioSivaNeto || c.Dto3);
  EXPECT_TRUE(c.Dto2 && c.DtoFijo);
  s.Articulo("A1", 10, 0, 0);
  EXPECT_EQ(QString("COSTE=80 COSTEMEDIO=80 ULTIMA_MODIFICACION=2012-07-15"), s.Costes());
}

}  // namespace
}  // namespace relvano::store
