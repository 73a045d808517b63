#include <gtest/gtest.h>

#include "imports/import_fixture.h"

namespace relvano::testing {
namespace {

QString Det(const char* accion, const char* ean, const char* articulo, const char* tipo = "R") {
  return Linea({"DET", accion, ean, articulo, tipo, "00000"});
}

using EanImport = ImportFixture;

TEST_F(EanImport, RulesInOrderWithWholeLog) {
  db().Ejecuta("INSERT INTO ARTICULOS (CODIGO) VALUES ('0000001'), ('0000002')");
  const auto r =
      Importa(OpcionImportacion::Ean, QStringLiteral("vrceancto01.txt"),
              {kIde, Det("A", "8410000000001", "0000001"), Det("A", "8410000000001", "0000001"),
               Det("M", "8410000000001", "0000001"), Det("M", "8410000000002", "0000001"),
               Det("A", "8410000000003", "0000001", "X"), Det("B", "8410000000001", "0000001"),
               Det("S", "8410000000009", "0000001"), Det("S", "8410000000009", "9999999"),
               // The article code is cut to its 7 characters before the lookup.
               Det("A", "8410000000001", "00000029"), Det("Z", "8410000000004", "0000001"),
               Linea({"CHK", "000012"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(Golden("ean_reglas.log"), Cuerpo("EAN.LOG"));
  // The same EAN on two articles: the test is on the pair.
  EXPECT_EQ(
      "IDARTICULO=\"0000001\" EAN=\"8410000000001\"\nIDARTICULO=\"0000001\" EAN=\"8410000000002\"\n"
      "IDARTICULO=\"0000002\" EAN=\"8410000000001\"",
      Filas("SELECT * FROM ARTICULOS_EAN ORDER BY ID", {"IDARTICULO", "EAN"}));
  // The "S" box shows once: a missing article is reported before the action is looked at.
  EXPECT_EQ(Golden("ean_reglas.txt"), op.Transcripcion());
}

}  // namespace
}  // namespace relvano::testing
