#include <gtest/gtest.h>

#include "imports/import_fixture.h"

namespace relvano::testing {
namespace {

QString Oferta(const char* tipo, const char* articulo, const char* ini, const char* fin,
               const char* importe) {
  return tipo == QLatin1String("COM")
             ? Linea({"COM", "0000000001", "PROMO", "N", articulo, ini, fin, importe})
             : Linea({"VTA", "0000000001", "PROMO", "N", articulo, ini, fin, "0", importe});
}

using OfferImport = ImportFixture;
const QStringList kCols = {"COD_ART", "UNI_LOTE", "DTO", "PRECIO_NETO", "FECHA_INI", "FECHA_FIN"};

TEST_F(OfferImport, DuplicatesOnArticleAndBothDaysOnly) {
  const auto r = Importa(
      OpcionImportacion::Ofertas, QStringLiteral("vrcofecto01.txt"),
      {kIde, Oferta("COM", "0000001", "2012-07-16", "2012-07-31", "1.25"),
       Oferta("COM", "0000001", "2012-07-16", "2012-07-31", "0.99"),
       Oferta("COM", "0000001", "2012-07-20", "2012-07-31", "1.1"),
       Oferta("VTA", "0000001", "2012-07-16", "2012-07-31", "1.99"), Linea({"DET", "x"}),
       Oferta("VTA", "0000001", "2012-07-16", "2012-07-31", "1.99"), Linea({"CHK", "000008"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(Golden("ofertas.log"), Cuerpo("OFERTAS.LOG"));
  EXPECT_EQ(Golden("ofertas_filas.txt"),
            Filas("SELECT * FROM PROM_ART_COMPRA ORDER BY ID", QStringList{"IDPROVEEDOR"} + kCols) +
                "\n" + Filas("SELECT * FROM PROM_ART_VENTA", kCols) + "\n");
}

TEST_F(OfferImport, StoredDaysWithATimeOfDayAreThoseDays) {
  db().Ejecuta(
      "INSERT INTO PROM_ART_COMPRA (IDPROVEEDOR, COD_ART, FECHA_INI, FECHA_FIN) "
      "VALUES ('1', '0000001', '2012-08-01 00:00:00', '2012-08-31 00:00:00')");
  db().Ejecuta(
      "INSERT INTO PROM_ART_VENTA (COD_ART, FECHA_INI, FECHA_FIN) "
      "VALUES ('0000001', '2012-08-01 00:00:00', '2012-08-31T12:30')");
  const auto r = Importa(
      OpcionImportacion::Ofertas, QStringLiteral("vrcofecto01.txt"),
      {kIde, Oferta("COM", "0000001", "2012-08-01", "2012-08-31", "1"),
       Oferta("VTA", "0000001", "2012-08-01", "2012-08-31", "1"),
       Oferta("COM", "0000001", "2012-07-31", "2012-08-31", "1"), Linea({"CHK", "000005"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  const QString log = Cuerpo("OFERTAS.LOG");
  EXPECT_EQ(1, log.count("ALTA OFERTA COMPRA NO REALIZADA")) << log.toStdString();
  EXPECT_EQ(1, log.count("ALTA OFERTA VENTA NO REALIZADA")) << log.toStdString();
  EXPECT_EQ(2, Cuenta("PROM_ART_COMPRA"));
  EXPECT_EQ(1, Cuenta("PROM_ART_VENTA"));
}

}  // namespace
}  // namespace relvano::testing
