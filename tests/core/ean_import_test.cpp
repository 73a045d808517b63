#include <gtest/gtest.h>

#include "core/import_fixture.h"

namespace relvano::testing {
namespace {

class EanImport : public ImportFixture {
 protected:
  void SetUp() override {
    db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO, DESCRIPCION) VALUES (?, ?)"),
                 {Valor("0000001"), Valor("LECHE")});
    db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO, DESCRIPCION) VALUES (?, ?)"),
                 {Valor("0000002"), Valor("PAN")});
  }

  QString Pares() {
    auto rs = db().AbrirRecordset(
        QStringLiteral("SELECT IDARTICULO, EAN FROM ARTICULOS_EAN ORDER BY ID"));
    QStringList pares;
    for (; !rs.Eof(); rs.MoveNext())
      pares << rs[QStringLiteral("IDARTICULO")].Texto() + u'/' + rs[QStringLiteral("EAN")].Texto();
    return pares.join(u' ');
  }
};

TEST_F(EanImport, RulesInOrderWithWholeLog) {
  const auto r = Importa(OpcionImportacion::Ean, QStringLiteral("vrceancto01.txt"),
                         {kIde,
                          Linea({"DET", "A", "8410000000001", "0000001", "R", "00000"}),
                          Linea({"DET", "A", "8410000000001", "0000001", "R", "00000"}),
                          Linea({"DET", "M", "8410000000001", "0000001", "R", "00000"}),
                          Linea({"DET", "M", "8410000000002", "0000001", "R", "00000"}),
                          Linea({"DET", "A", "8410000000003", "0000001", "X", "00000"}),
                          Linea({"DET", "B", "8410000000001", "0000001", "R", "00000"}),
                          Linea({"DET", "S", "8410000000009", "0000001", "R", "00000"}),
                          Linea({"DET", "S", "8410000000009", "9999999", "R", "00000"}),
                          Linea({"DET", "A", "8410000000001", "00000029", "R", "00000"}),
                          Linea({"DET", "Z", "8410000000004", "0000001", "R", "00000"}),
                          Linea({"CHK", "000012"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);

  const auto lee = [](int n) { return QStringLiteral("  Leyendo línea EAN: %1\r\n\r\n").arg(n); };
  const QString esperado =
      lee(2) + "ALTA EAN Artículo: 0000001 Ean: 8410000000001\r\n" +
      lee(3) + "ALTA EAN NO REALIZADA - YA EXISTE EAN - Artículo: 0000001 Ean: 8410000000001\r\n" +
      lee(4) +
      "MODIFICACION EAN NO REALIZADA - YA EXISTE EAN - Artículo: 0000001 Ean: 8410000000001\r\n" +
      lee(5) + "ALTA EAN Artículo: 0000001 Ean: 8410000000002\r\n" +
      lee(6) + "ALTA EAN NO REALIZADA - Tipo Ean: X Artículo: 0000001 Ean: 8410000000003\r\n" +
      lee(7) + "BAJA EAN NO REALIZADA Artículo: 0000001 Ean: 8410000000001\r\n" +
      lee(8) + "No se ha definido del tipo S para el artículo 0000001\r\n" +
      lee(9) + "ARTICULO NO ENCONTRADO - Artículo: 9999999 Ean: 8410000000009\r\n" +
      // The article code is cut to its 7 characters before the lookup.
      lee(10) + "ALTA EAN Artículo: 0000002 Ean: 8410000000001\r\n" +
      lee(11) + "Fin Actualización\r\n\r\n";
  EXPECT_EQ(esperado, Cuerpo(QStringLiteral("EAN.LOG")));

  // The same EAN on two articles: the test is on the pair.
  EXPECT_EQ(QStringLiteral("0000001/8410000000001 0000001/8410000000002 0000002/8410000000001"),
            Pares());
  // The "S" box shows once: a missing article is reported before the action is looked at.
  EXPECT_EQ(QStringLiteral("Mensaje[stop]: Tipo de actualización EAN (S) no definido.\n"
                           "Mensaje[i]: Se han leido: 12 lineas.\r\n\r\nEl fichero contiene 12 "
                           "lineas.\n"),
            operador_.Transcripcion());
}

}  // namespace
}  // namespace relvano::testing
