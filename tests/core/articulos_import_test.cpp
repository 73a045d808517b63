#include <gtest/gtest.h>

#include "core/import_fixture.h"

namespace relvano::testing {
namespace {

// An article DET line: the fields the import reads, the others empty.
QString Det(const QString& op, const QString& codigo, const QString& descripcion,
            const QString& letraIva = QStringLiteral("A"),
            const QString& familia = QStringLiteral("0001"),
            const QString& grupo = QStringLiteral("00010"), const QString& uniCaja = QStringLiteral("12"),
            const QString& unidad = QStringLiteral("U")) {
  QStringList f;
  for (int i = 0; i < 61; ++i) f << QString();
  f[0] = QStringLiteral("DET");
  f[1] = op;
  f[2] = codigo;
  f[3] = descripcion;
  f[6] = letraIva;
  f[8] = familia;
  f[9] = grupo;
  f[24] = uniCaja;
  f[41] = unidad;
  return Linea(f);
}

const QString kFichero = QStringLiteral("vrcrefcto0715.txt");
const QString kLog = QStringLiteral("ARTICULOS.LOG");
const QString kBajas = QStringLiteral("BAJAS_vrcrefcto0715.txt.LOG");

QString Lee(int n) { return QStringLiteral("  Leyendo línea ARTICULO: %1\r\n\r\n").arg(n); }

class ArticleImport : public ImportFixture {
 protected:
  void SetUp() override {
    db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO, DESCRIPCION, IVA, COSTE, "
                                "ULTIMA_MODIFICACION) VALUES (?, ?, ?, ?, ?)"),
                 {Valor("0000010"), Valor("ACEITE"), Valor(2), Valor(3.5), Valor(QDate(2011, 1, 1))});
  }

  QString Articulo(const QString& codigo) {
    return Fila(QStringLiteral("SELECT * FROM ARTICULOS WHERE CODIGO = ?"), {Valor(codigo)},
                {"CODIGO", "DESCRIPCION", "DESCRIPCIONTICKET", "FECHA_ALTA", "ULTIMA_MODIFICACION",
                 "UNIDAD", "UNI_VENTA", "IVA", "IVA_VENTA", "FAMILIA", "GRUPO", "SUBGRUPO",
                 "UNI_CAJA", "BAJA", "FECHA_BAJA"});
  }
  QString Enlace(const QString& codigo) {
    return Fila(QStringLiteral("SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = '1' AND "
                               "IDARTICULO = ?"),
                {Valor(codigo)},
                {"REF_PROV", "DESC_PROV", "ES_DESC_IGUAL", "COSTE", "FECHA_INI", "DEFECTO_PROV"});
  }
  int Cuenta(const QString& tabla) {
    return static_cast<int>(Escalar(QStringLiteral("SELECT COUNT(*) FROM ") + tabla).Numero());
  }
};

TEST_F(ArticleImport, OperationsWithBothLogsComparedWhole) {
  const auto r = Importa(OpcionImportacion::Referencias, kFichero,
                         {kIde, Det("A", "0000001", "LECHE ENTERA"),
                          Det("A", "0000010", "ACEITE OLIVA"), Det("M", "0000002", "PAN"),
                          Det("B", "0000010", "ACEITE OLIVA"), Det("B", "0000099", "NADA"),
                          Det("X", "0000003", "OTRO"), Linea({"CHK", "000008"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(
      Lee(2) + Lee(3) + "ALTA NO REALIZADA: El artículo 0000010 - ACEITE OLIVA ya existe.\r\n\r\n" +
          Lee(4) + "MOFIFICACION NO REALIZADA: El artículo 0000002 - PAN no existe.\r\n\r\n" +
          "REALIZANDO EL ALTA SOBRE LA MODIFICACION: El artículo 0000002 - PAN no existe.\r\n\r\n" +
          Lee(5) + "BAJA : Se ha dado de baja el artículo 0000010 - ACEITE OLIVA\r\n\r\n" + Lee(6) +
          "BAJA NO REALIZADA: El artículo 0000099 - NADA no se ha encontrado.\r\n\r\n" + Lee(7) +
          "Fin Actualización\r\n\r\n",
      Cuerpo(kLog));
  EXPECT_EQ(QStringLiteral("BAJAS REALIZADAS CON EL FICHERO vrcrefcto0715.txt\r\n\r\n"
                           "BAJA : 0000010 - ACEITE OLIVA\r\n"
                           "BAJA NO REALIZADA: El artículo 0000099 - NADA no se ha encontrado.\r\n"
                           "\r\nFINAL FICHERO BAJAS\r\n"),
            LeeLog(kBajas));

  EXPECT_EQ(QStringLiteral("CODIGO=\"0000001\" DESCRIPCION=\"LECHE ENTERA\" DESCRIPCIONTICKET=\"LECHE "
                           "ENTERA\" FECHA_ALTA=2012-08-01 ULTIMA_MODIFICACION=2012-08-01 "
                           "UNIDAD=\"U\" UNI_VENTA=\"U\" IVA=1 IVA_VENTA=1 FAMILIA=\"0001\" "
                           "GRUPO=\"00010\" SUBGRUPO=\"00\" UNI_CAJA=12 BAJA=0 FECHA_BAJA=Null"),
            Articulo("0000001"));
  // "M" of a missing code is an addition.
  EXPECT_EQ(Articulo("0000001").replace("0000001", "0000002").replace("LECHE ENTERA", "PAN"),
            Articulo("0000002"));
  // The existing article was not changed by "A", only removed by "B".
  EXPECT_EQ(QStringLiteral("CODIGO=\"0000010\" DESCRIPCION=\"ACEITE\" DESCRIPCIONTICKET=Null "
                           "FECHA_ALTA=Null ULTIMA_MODIFICACION=2011-01-01 UNIDAD=Null "
                           "UNI_VENTA=Null IVA=2 IVA_VENTA=1 FAMILIA=Null GRUPO=Null "
                           "SUBGRUPO=Null UNI_CAJA=0 BAJA=1 FECHA_BAJA=2012-08-01"),
            Articulo("0000010"));
  EXPECT_EQ(QStringLiteral("<none>"), Articulo("0000003"));
  EXPECT_EQ(QStringLiteral("<none>"), Articulo("0000099"));

  // Every line, whatever its operation, links the code to the chain once.
  for (const char* codigo : {"0000001", "0000002", "0000010", "0000099", "0000003"}) {
    EXPECT_EQ(QStringLiteral("REF_PROV=\"%1\" DESC_PROV=\"\" ES_DESC_IGUAL=1 COSTE=0 "
                             "FECHA_INI=2012-07-15 DEFECTO_PROV=1")
                  .arg(codigo),
              Enlace(codigo))
        << codigo;
  }
  // One family, group and subgroup for six lines of the same classification.
  EXPECT_EQ(QStringLiteral("CODIGO=\"0001\" DESCRIPCION=\"FAMILIA 0001\""),
            Fila("SELECT * FROM FAMILIAS", {}, {"CODIGO", "DESCRIPCION"}));
  EXPECT_EQ(QStringLiteral("CODIGO=\"00010\" DESCRIPCION=\"GRUPO 00010 DE LA FAMILIA 0001\" "
                           "FAMILIA=\"0001\""),
            Fila("SELECT * FROM GRUPOS", {}, {"CODIGO", "DESCRIPCION", "FAMILIA"}));
  EXPECT_EQ(QStringLiteral("CODIGO=\"00\" DESCRIPCION=\"SUBGRUPO 00 - FAMILIA 0001 - GRUPO 00010\" "
                           "FAMILIA=\"0001\" GRUPO=\"00010\""),
            Fila("SELECT * FROM SUBGRUPOS", {}, {"CODIGO", "DESCRIPCION", "FAMILIA", "GRUPO"}));
  EXPECT_EQ(1, Cuenta("FAMILIAS"));
  EXPECT_EQ(1, Cuenta("GRUPOS"));
  EXPECT_EQ(1, Cuenta("SUBGRUPOS"));
}

TEST_F(ArticleImport, RemovalRefusedByOption) {
  const QString antes = Articulo("0000010");
  Importa(OpcionImportacion::Referencias, kFichero, {kIde, Det("B", "0000010", "ACEITE")},
          false, /*noBajas=*/true);
  EXPECT_EQ(antes, Articulo("0000010"));
  EXPECT_EQ(Lee(2) + "BAJA NO REALIZADA (OPCION NO ACTUALIZAR BAJAS) : Artículo 0000010 - "
                     "ACEITE\r\n\r\n",
            Cuerpo(kLog));
  EXPECT_EQ(QStringLiteral("BAJAS REALIZADAS CON EL FICHERO vrcrefcto0715.txt\r\n\r\n"
                           "BAJA NO REALIZADA (OPCION NO ACTUALIZAR BAJAS): 0000010 - ACEITE\r\n"
                           "\r\nFINAL FICHERO BAJAS\r\n"),
            LeeLog(kBajas));
}

TEST_F(ArticleImport, VatLetterRule) {
  struct Caso {
    const char* letra;
    const char* codigo;
    const char* op;
    int iva;  // expected IVA (and IVA_VENTA)
  };
  // A new row takes the column's default (1) for an unknown letter; an edited row keeps
  // its IVA (2) for one.
  const Caso casos[] = {{"A", "0000001", "A", 1}, {"M", "0000002", "A", 2},
                        {"B", "0000003", "A", 3}, {"X", "0000004", "A", 1},
                        {"X", "0000010", "M", 2}, {"B", "0000010", "M", 3}};
  for (const auto& c : casos) {
    Importa(OpcionImportacion::Referencias, kFichero,
            {kIde, Det(c.op, c.codigo, "ARTICULO", c.letra)});
    const auto fila = Fila("SELECT * FROM ARTICULOS WHERE CODIGO = ?", {Valor(c.codigo)},
                           {"IVA", "IVA_VENTA", "IVA_COMPRA"});
    EXPECT_EQ(QStringLiteral("IVA=%1 IVA_VENTA=%1 IVA_COMPRA=%1").arg(c.iva), fila)
        << c.letra << " " << c.codigo;
  }
}

TEST_F(ArticleImport, TicketDescriptionCutAndApostrophesStoredLiterally) {
  const QString larga = QStringLiteral("CAFE D'OR MOLIDO NATURAL PAQUETE 250 G");
  Importa(OpcionImportacion::Referencias, kFichero,
          {kIde, Det("A", "00'0001", larga, "A", "0'01", "0'010")});
  EXPECT_EQ(QStringLiteral("DESCRIPCION=\"%1\" DESCRIPCIONTICKET=\"CAFE D'OR MOLIDO NATURAL "
                           "PAQUE\" FAMILIA=\"0'01\"")
                .arg(larga),
            Fila("SELECT * FROM ARTICULOS WHERE CODIGO = ?", {Valor("00'0001")},
                 {"DESCRIPCION", "DESCRIPCIONTICKET", "FAMILIA"}));
  EXPECT_EQ(QStringLiteral("CODIGO=\"0'010\" FAMILIA=\"0'01\""),
            Fila("SELECT * FROM GRUPOS", {}, {"CODIGO", "FAMILIA"}));
  EXPECT_EQ(QStringLiteral("REF_PROV=\"00'0001\""),
            Fila("SELECT * FROM ARTICULOS_PROV", {}, {"REF_PROV"}));
}

TEST_F(ArticleImport, OptionalColumnsAbsentInOlderDatabases) {
  for (const char* columna : {"UNI_VENTA", "UNI_COMPRA", "UNI_ESTOC", "IVA_VENTA", "IVA_COMPRA"})
    db().Ejecuta(QStringLiteral("ALTER TABLE ARTICULOS DROP COLUMN ") + columna);
  db().OlvidaEsquema();
  const auto r = Importa(OpcionImportacion::Referencias, kFichero,
                         {kIde, Det("A", "0000001", "LECHE", "M"), Det("M", "0000010", "ACEITE", "B")});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(QStringLiteral("UNIDAD=\"U\" IVA=2"),
            Fila("SELECT * FROM ARTICULOS WHERE CODIGO = ?", {Valor("0000001")}, {"UNIDAD", "IVA"}));
  EXPECT_EQ(QStringLiteral("UNIDAD=\"U\" IVA=3"),
            Fila("SELECT * FROM ARTICULOS WHERE CODIGO = ?", {Valor("0000010")}, {"UNIDAD", "IVA"}));
}

TEST_F(ArticleImport, EmptyFamilyOrGroupAppliesArticleWithoutClassification) {
  const auto r = Importa(OpcionImportacion::Referencias, kFichero,
                         {kIde, Det("A", "0000001", "LECHE", "A", "", "00010"),
                          Det("A", "0000002", "PAN", "A", "0001", "")});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(Lee(2) +
                "FAMILIA/GRUPO VACÍO: no se crean la familia, el grupo ni el subgrupo del "
                "artículo 0000001\r\n\r\n" +
                Lee(3) +
                "FAMILIA/GRUPO VACÍO: no se crean la familia, el grupo ni el subgrupo del "
                "artículo 0000002\r\n\r\n",
            Cuerpo(kLog));
  EXPECT_EQ(0, Cuenta("FAMILIAS"));
  EXPECT_EQ(0, Cuenta("GRUPOS"));
  EXPECT_EQ(0, Cuenta("SUBGRUPOS"));
  EXPECT_EQ(QStringLiteral("FAMILIA=\"\" GRUPO=\"00010\""),
            Fila("SELECT * FROM ARTICULOS WHERE CODIGO = ?", {Valor("0000001")}, {"FAMILIA", "GRUPO"}));
  EXPECT_EQ(2, Cuenta("ARTICULOS_PROV"));
}

TEST_F(ArticleImport, MissingHeaderDateEndsTheRunInsteadOfInventingOne) {
  // Without an IDE line the first line is counted and lost; the second needs the date
  // for the supplier link, which cannot be made: that line leaves nothing.
  const auto r = Importa(OpcionImportacion::Referencias, kFichero,
                         {Det("A", "0000001", "LECHE"), Det("A", "0000002", "PAN"),
                          Det("A", "0000003", "SAL")});
  EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
  const QString error = QStringLiteral(
      "ERROR en la línea 2: el fichero no tiene línea de cabecera (IDE) y la línea necesita su "
      "fecha. La base de datos no tiene aplicada ninguna línea del fichero.");
  EXPECT_EQ(Lee(2) + error + "\r\n", Cuerpo(kLog));
  EXPECT_EQ(error, r.error);
  EXPECT_EQ(QStringLiteral("Mensaje[stop]: ") + error + "\n", operador_.Transcripcion());
  EXPECT_EQ(1, Cuenta("ARTICULOS"));
  EXPECT_EQ(0, Cuenta("FAMILIAS"));
  EXPECT_EQ(0, Cuenta("ARTICULOS_PROV"));
}

}  // namespace
}  // namespace relvano::testing
