#include <gtest/gtest.h>

#include "imports/import_fixture.h"

namespace relvano::testing {
namespace {

QString DetCoste(const char* accion, const char* articulo, const char* costeValStk,
                 const char* costeMarg) {
  return Linea({"DET", accion, articulo, "x", "000000", "0", "", "0", "0", costeValStk, costeMarg});
}

QString DetVenta(const char* articulo, const char* precio) {
  return Linea({"DET", articulo, "0000000000", "0000000", precio});
}

class PriceImport : public ImportFixture {
 protected:
  void Articulos(const QString& valores) {
    db().Ejecuta("INSERT INTO ARTICULOS (CODIGO, COSTE, VENTA, ULTIMA_MODIFICACION) VALUES " +
                 valores);
  }
  QString Precios() {
    return Filas("SELECT * FROM ARTICULOS ORDER BY CODIGO",
                 {"CODIGO", "COSTE", "VENTA", "ULTIMA_MODIFICACION"});
  }
};

TEST_F(PriceImport, CostSetsPriceDateAndChainSupplierRecord) {
  // Header date 15/07/2012: empty, later and earlier last changes.
  Articulos(
      "('0000001', 1, 0, NULL), ('0000002', 1, 0, '2012-09-01'), ('0000003', 1, 0, "
      "'2012-01-01'), ('0000004', 1, 0, '2012-01-01')");
  db().Ejecuta(
      "INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV, DESC_PROV, ES_DESC_IGUAL, "
      "COSTE, DEFECTO_PROV) VALUES ('1', '0000003', 'OTRA', 'DESC', 0, 9, 0)");
  const auto r =
      Importa(OpcionImportacion::PreciosCoste, QStringLiteral("vrcmllcto01.txt"),
              {kIde, DetCoste("A", "0000001", "12.5", "12.5"),
               DetCoste("M", "0000002", "7.25", "7.25"), DetCoste("M", "0000003", "12.50", "12.5"),
               DetCoste("B", "0000004", "3", "3"), DetCoste("A", "0000099", "3", "3"),
               DetCoste("Z", "0000004", "3", "3"), Linea({"CHK", "000008"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(Golden("precio_coste.log"), Cuerpo("PRECIOCOSTE.LOG"));
  // Equal amounts written differently still differ as text; the fields as read, padded.
  EXPECT_EQ(Golden("precio_coste.txt"), op.Transcripcion());
  // New records for the chain; an existing one is brought in step, DEFECTO_PROV kept.
  EXPECT_EQ(Golden("precio_coste_filas.txt"),
            Precios() + "\n" +
                Filas("SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = '1' ORDER BY IDARTICULO",
                      {"IDARTICULO", "REF_PROV", "DESC_PROV", "ES_DESC_IGUAL", "COSTE", "FECHA_INI",
                       "DEFECTO_PROV"}) +
                "\n");
}

TEST_F(PriceImport, SalePriceOnlyWhereTheShopHasNone) {
  Articulos(
      "('0000001', 1, 0, '2012-01-01'), ('0000002', 1, 3.95, '2012-01-01'), ('0000003', 1, "
      "NULL, NULL)");
  const auto r = Importa(OpcionImportacion::PreciosVenta, QStringLiteral("vrcprccto01.txt"),
                         {kIde, DetVenta("0000001", "1.5"), DetVenta("0000002", "4.10"),
                          DetVenta("0000099", "2"), DetVenta("0000003", "12.50")});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(Golden("precio_venta.log"), Cuerpo("PRECIOVENTA.LOG"));
  EXPECT_EQ(Golden("precio_venta_filas.txt"), Precios() + "\n");
}

TEST_F(PriceImport, InvalidHeaderDateEndsTheRunAtTheFirstLineThatNeedsIt) {
  Articulos("('0000001', 1, 2, '2012-01-01'), ('0000002', 1, 0, '2012-01-01')");
  QString ide = kIde;
  ide.replace("2012-07-15", "2012-02-31");
  const auto r = Importa(
      OpcionImportacion::PreciosVenta, QStringLiteral("vrcprccto02.txt"),
      {ide, DetVenta("0000001", "1.5"), DetVenta("0000002", "1.5"), DetVenta("0000002", "1.5")});
  EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
  // The article with a price needs no date and is logged; the next line fails whole.
  EXPECT_TRUE(Cuerpo("PRECIOVENTA.LOG")
                  .endsWith("PVP Recomendado  : 1,5\r\n\r\n  Leyendo línea PRECIO: 3\r\n\r\n"
                            "ERROR en la línea 3: la fecha de la cabecera del fichero "
                            "(\"2012-02-31\") no es una fecha válida. La base de datos tiene "
                            "aplicado el fichero hasta la línea 2.\r\n"));
  EXPECT_EQ(QString("CODIGO=\"0000002\" VENTA=0"),
            Filas("SELECT * FROM ARTICULOS WHERE VENTA = 0", {"CODIGO", "VENTA"}));
}

}  // namespace
}  // namespace relvano::testing
