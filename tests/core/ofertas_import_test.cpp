#include <gtest/gtest.h>

#include "core/import_fixture.h"

namespace relvano::testing {
namespace {

QString Com(const QString& articulo, const QString& ini, const QString& fin, const QString& coste) {
  return Linea({"COM", "0000000001", "PROMO VERANO", "N", articulo, ini, fin, coste});
}
QString Vta(const QString& articulo, const QString& ini, const QString& fin, const QString& precio) {
  return Linea({"VTA", "0000000001", "PROMO VERANO", "N", articulo, ini, fin, "0", precio});
}

class OfferImport : public ImportFixture {
 protected:
  QString Filas(const QString& tabla) {
    auto rs = db().AbrirRecordset(QStringLiteral("SELECT * FROM ") + tabla + QStringLiteral(" ORDER BY ID"));
    QStringList out;
    for (; !rs.Eof(); rs.MoveNext()) {
      QStringList celdas;
      for (const char* c : {"COD_ART", "UNI_LOTE", "DTO", "PRECIO_NETO", "FECHA_INI", "FECHA_FIN"})
        celdas << rs[c].Describe();
      if (rs.ExisteCampo("IDPROVEEDOR")) celdas.prepend(rs["IDPROVEEDOR"].Describe());
      out << celdas.join(u' ');
    }
    return out.join(u'\n');
  }
};

TEST_F(OfferImport, DuplicatesOnArticleAndBothDaysOnly) {
  const auto r = Importa(
      OpcionImportacion::Ofertas, QStringLiteral("vrcofecto01.txt"),
      {kIde, Com("0000001", "2012-07-16", "2012-07-31", "1.25"),
       Com("0000001", "2012-07-16", "2012-07-31", "0.99"),
       Com("0000001", "2012-07-20", "2012-07-31", "1.1"),
       Vta("0000001", "2012-07-16", "2012-07-31", "1.99"),
       Linea({"DET", "x"}),
       Vta("0000001", "2012-07-16", "2012-07-31", "1.99"),
       Linea({"CHK", "000008"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(QStringLiteral(
                "  Leyendo línea OFERTA COMPRA: 2\r\n\r\n"
                "ALTA OFERTA COMPRA: Artículo 0000001 - 16/07/2012 hasta 31/07/2012 a 1,25\r\n"
                "  Leyendo línea OFERTA COMPRA: 3\r\n\r\n"
                "ALTA OFERTA COMPRA NO REALIZADA: El artículo 0000001 ya está en oferta.\r\n\r\n"
                "  Leyendo línea OFERTA COMPRA: 4\r\n\r\n"
                "ALTA OFERTA COMPRA: Artículo 0000001 - 20/07/2012 hasta 31/07/2012 a 1,1\r\n"
                "  Leyendo línea OFERTA VENTA: 5\r\n\r\n"
                "ALTA OFERTA VENTA: Artículo 0000001 - 16/07/2012 hasta 31/07/2012 a 1,99\r\n"
                "  Leyendo línea OFERTA VENTA: 7\r\n\r\n"
                "ALTA OFERTA VENTA NO REALIZADA: El artículo 0000001 ya está en oferta.\r\n\r\n"
                "Fin Actualización\r\n\r\n"),
            Cuerpo(QStringLiteral("OFERTAS.LOG")));
  EXPECT_EQ(QStringLiteral("\"1\" \"0000001\" 1 0 1.25 2012-07-16 2012-07-31\n"
                           "\"1\" \"0000001\" 1 0 1.1 2012-07-20 2012-07-31"),
            Filas(QStringLiteral("PROM_ART_COMPRA")));
  EXPECT_EQ(QStringLiteral("\"0000001\" 1 0 1.99 2012-07-16 2012-07-31"),
            Filas(QStringLiteral("PROM_ART_VENTA")));
  EXPECT_EQ(QStringList{QStringLiteral("Se han leido: 8 lineas.\r\n\r\nEl fichero contiene 8 lineas.")},
            operador_.Mensajes());
}

TEST_F(OfferImport, StoredDaysWithATimeOfDayAreThoseDays) {
  db().Ejecuta(
      QStringLiteral("INSERT INTO PROM_ART_COMPRA (IDPROVEEDOR, COD_ART, FECHA_INI, FECHA_FIN) "
                     "VALUES ('1', '0000001', '2012-08-01 00:00:00', '2012-08-31 00:00:00')"));
  db().Ejecuta(
      QStringLiteral("INSERT INTO PROM_ART_VENTA (COD_ART, FECHA_INI, FECHA_FIN) "
                     "VALUES ('0000001', '2012-08-01 00:00:00', '2012-08-31T12:30')"));
  const auto r =
      Importa(OpcionImportacion::Ofertas, QStringLiteral("vrcofecto01.txt"),
              {kIde, Com("0000001", "2012-08-01", "2012-08-31", "1"),
               Vta("0000001", "2012-08-01", "2012-08-31", "1"),
               Com("0000001", "2012-07-31", "2012-08-31", "1"), Linea({"CHK", "000005"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  const QString log = Cuerpo(QStringLiteral("OFERTAS.LOG"));
  EXPECT_EQ(1, log.count(QStringLiteral("ALTA OFERTA COMPRA NO REALIZADA"))) << log.toStdString();
  EXPECT_EQ(1, log.count(QStringLiteral("ALTA OFERTA VENTA NO REALIZADA"))) << log.toStdString();
  EXPECT_EQ(Valor(2.0), Escalar(QStringLiteral("SELECT COUNT(*) FROM PROM_ART_COMPRA")));
  EXPECT_EQ(Valor(1.0), Escalar(QStringLiteral("SELECT COUNT(*) FROM PROM_ART_VENTA")));
}

TEST_F(OfferImport, UnconvertibleDayEndsTheRunWithoutStoringTheOffer) {
  const auto r = Importa(OpcionImportacion::Ofertas, QStringLiteral("vrcofecto02.txt"),
                         {kIde, Com("0000001", "2012-07-16", "2012-07-31", "1"),
                          Vta("0000002", "2012-07-16", "2012-13-01", "1"),
                          Com("0000003", "2012-07-16", "2012-07-31", "1")});
  EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
  const QString error = QStringLiteral(
      "ERROR en la línea 3: el último día de la oferta (\"2012-13-01\") no es una fecha válida. "
      "La base de datos tiene aplicado el fichero hasta la línea 2.");
  EXPECT_TRUE(Cuerpo(QStringLiteral("OFERTAS.LOG"))
                  .endsWith(QStringLiteral("  Leyendo línea OFERTA VENTA: 3\r\n\r\n") + error + kCrLf));
  EXPECT_EQ(QStringLiteral("\"1\" \"0000001\" 1 0 1 2012-07-16 2012-07-31"),
            Filas(QStringLiteral("PROM_ART_COMPRA")));
  EXPECT_EQ(QString(), Filas(QStringLiteral("PROM_ART_VENTA")));
  EXPECT_EQ(QStringLiteral("Mensaje[stop]: ") + error + u'\n', operador_.Transcripcion());
}

}  // namespace
}  // namespace relvano::testing
