#include <gtest/gtest.h>

#include "imports/import_fixture.h"

namespace relvano::testing {
namespace {

// An article DET line: the fields the import reads, the others empty.
QString Det(const QString& op, const QString& codigo, const QString& descripcion,
            const QString& letraIva = "A", const QString& familia = "0001",
            const QString& grupo = "00010") {
  QStringList f;
  for (int i = 0; i < 61; ++i) f << QString();
  f[0] = "DET";
  f[1] = op;
  f[2] = codigo;
  f[3] = descripcion;
  f[6] = letraIva;
  f[8] = familia;
  f[9] = grupo;
  f[24] = "12";
  f[41] = "U";
  return Linea(f);
}

const QString kFichero = QStringLiteral("vrcrefcto0715.txt");
const QString kLog = QStringLiteral("ARTICULOS.LOG");
const QString kBajas = QStringLiteral("BAJAS_vrcrefcto0715.txt.LOG");

class ArticleImport : public ImportFixture {
 protected:
  void SetUp() override {
    db().Ejecuta(
        "INSERT INTO ARTICULOS (CODIGO, DESCRIPCION, IVA, COSTE, ULTIMA_MODIFICACION) VALUES "
        "('0000010', 'ACEITE', 2, 3.5, '2011-01-01')");
  }
  QString Articulo(const QString& codigo, const QStringList& cols) {
    return Filas("SELECT * FROM ARTICULOS WHERE CODIGO = ?", cols, {Valor(codigo)});
  }
};

TEST_F(ArticleImport, OperationsWithBothLogsComparedWhole) {
  const auto r =
      Importa(OpcionImportacion::Referencias, kFichero,
              {kIde, Det("A", "0000001", "LECHE ENTERA"), Det("A", "0000010", "ACEITE OLIVA"),
               Det("M", "0000002", "PAN"), Det("B", "0000010", "ACEITE OLIVA"),
               Det("B", "0000099", "NADA"), Det("X", "0000003", "OTRO"), Linea({"CHK", "000008"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(Golden("articulos.log"), Cuerpo(kLog));
  EXPECT_EQ(Golden("articulos_bajas.log"), LeeLog(kBajas));
  // "M" of a missing code is an addition; the existing article was only removed by "B".
  // Every line, whatever its operation, links the code to the chain once. One family,
  // group and subgroup for six lines of the same classification.
  EXPECT_EQ(Golden("articulos_filas.txt"),
            Filas("SELECT * FROM ARTICULOS ORDER BY CODIGO",
                  {"CODIGO", "DESCRIPCION", "DESCRIPCIONTICKET", "FECHA_ALTA",
                   "ULTIMA_MODIFICACION", "UNIDAD", "UNI_VENTA", "IVA", "IVA_VENTA", "FAMILIA",
                   "GRUPO", "SUBGRUPO", "UNI_CAJA", "BAJA", "FECHA_BAJA"}) +
                "\n" +
                Filas("SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = '1' ORDER BY IDARTICULO",
                      {"IDARTICULO", "REF_PROV", "DESC_PROV", "ES_DESC_IGUAL", "COSTE", "FECHA_INI",
                       "DEFECTO_PROV"}) +
                "\n" +
                Filas("SELECT DESCRIPCION FROM FAMILIAS UNION ALL SELECT DESCRIPCION FROM GRUPOS "
                      "UNION ALL SELECT DESCRIPCION FROM SUBGRUPOS",
                      {"DESCRIPCION"}) +
                "\n");
}

TEST_F(ArticleImport, RemovalRefusedByOption) {
  Importa(OpcionImportacion::Referencias, kFichero, {kIde, Det("B", "0000010", "ACEITE")}, false,
          /*noBajas=*/true);
  EXPECT_EQ(QString("BAJA=0"), Articulo("0000010", {"BAJA"}));
  EXPECT_EQ(
      "  Leyendo línea ARTICULO: 2\r\n\r\n"
      "BAJA NO REALIZADA (OPCION NO ACTUALIZAR BAJAS) : Artículo 0000010 - ACEITE\r\n\r\n",
      Cuerpo(kLog));
  EXPECT_TRUE(LeeLog(kBajas).contains(
      "BAJA NO REALIZADA (OPCION NO ACTUALIZAR BAJAS): 0000010 - ACEITE\r\n"));
}

TEST_F(ArticleImport, VatLetterRule) {
  // A new row takes the column's default (1) for an unknown letter; an edited row keeps
  // its IVA (2) for one.
  for (const QStringList& c : Casos("letra_iva.txt")) {
    Importa(OpcionImportacion::Referencias, kFichero, {kIde, Det(c[2], c[1], "ART", c[0])});
    EXPECT_EQ(QString("IVA=%1 IVA_VENTA=%1 IVA_COMPRA=%1").arg(c[3]),
              Articulo(c[1], {"IVA", "IVA_VENTA", "IVA_COMPRA"}))
        << c.join(" | ").toStdString();
  }
}

TEST_F(ArticleImport, TicketDescriptionCutAndApostrophesStoredLiterally) {
  Importa(
      OpcionImportacion::Referencias, kFichero,
      {kIde, Det("A", "00'0001", "CAFE D'OR MOLIDO NATURAL PAQUETE 250 G", "A", "0'01", "0'010")});
  EXPECT_EQ("DESCRIPCIONTICKET=\"CAFE D'OR MOLIDO NATURAL PAQUE\" FAMILIA=\"0'01\" GRUPO=\"0'010\"",
            Articulo("00'0001", {"DESCRIPCIONTICKET", "FAMILIA", "GRUPO"}));
  EXPECT_EQ(1, Cuenta("GRUPOS WHERE CODIGO = '0''010' AND FAMILIA = '0''01'"));
}

TEST_F(ArticleImport, OptionalColumnsAbsentInOlderDatabases) {
  for (const char* columna : {"UNI_VENTA", "UNI_COMPRA", "UNI_ESTOC", "IVA_VENTA", "IVA_COMPRA"})
    db().Ejecuta(QStringLiteral("ALTER TABLE ARTICULOS DROP COLUMN ") + columna);
  db().OlvidaEsquema();
  const auto r =
      Importa(OpcionImportacion::Referencias, kFichero,
              {kIde, Det("A", "0000001", "LECHE", "M"), Det("M", "0000010", "ACEITE", "B")});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ("CODIGO=\"0000001\" UNIDAD=\"U\" IVA=2\nCODIGO=\"0000010\" UNIDAD=\"U\" IVA=3",
            Filas("SELECT * FROM ARTICULOS ORDER BY CODIGO", {"CODIGO", "UNIDAD", "IVA"}));
}

TEST_F(ArticleImport, EmptyFamilyOrGroupAppliesArticleWithoutClassification) {
  Importa(OpcionImportacion::Referencias, kFichero,
          {kIde, Det("A", "0000001", "LECHE", "A", "", "00010"),
           Det("A", "0000002", "PAN", "A", "0001", "")});
  EXPECT_EQ(2, Cuerpo(kLog).count("FAMILIA/GRUPO VACÍO: no se crean la familia, el grupo ni el "
                                  "subgrupo del artículo 000000"));
  EXPECT_EQ(0, Cuenta("FAMILIAS") + Cuenta("GRUPOS") + Cuenta("SUBGRUPOS"));
  EXPECT_EQ(3, Cuenta("ARTICULOS"));
  EXPECT_EQ(2, Cuenta("ARTICULOS_PROV"));
}

TEST_F(ArticleImport, MissingHeaderDateEndsTheRunInsteadOfInventingOne) {
  // Without an IDE line the first line is counted and lost; the second needs the date
  // for the supplier link, which cannot be made: that line leaves nothing.
  const auto r = Importa(OpcionImportacion::Referencias, kFichero,
                         {Det("A", "0000001", "LECHE"), Det("A", "0000002", "PAN")});
  EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
  EXPECT_EQ(
      QString("ERROR en la línea 2: el fichero no tiene línea de cabecera (IDE) y la línea "
              "necesita su fecha. La base de datos no tiene aplicada ninguna línea del fichero."),
      r.error);
  EXPECT_EQ("  Leyendo línea ARTICULO: 2\r\n\r\n" + r.error + "\r\n", Cuerpo(kLog));
  EXPECT_EQ(1, Cuenta("ARTICULOS"));
  EXPECT_EQ(0, Cuenta("ARTICULOS_PROV"));
}

}  // namespace
}  // namespace relvano::testing
