#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "chainfile/conversion.h"
#include "chainfile/lector.h"
#include "chainfile/registro.h"
#include "support/tienda.h"

namespace relvano::chainfile {
namespace {

// Every line of a file with `bytes`, one per row, with LF and NUL made visible.
std::string Lineas(const QByteArray& bytes) {
  QTemporaryDir dir;
  QFile f(dir.filePath("vrceancto1.txt"));
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  f.close();
  LectorFichero lector;
  EXPECT_TRUE(lector.Abre(f.fileName()));
  std::string out;
  while (!lector.Eof())
    out +=
        lector.LeeLinea().replace('\n', "<LF>").replace(QChar(u'\0'), "<NUL>").toStdString() + "\n";
  EXPECT_EQ(lector.BytesLeidos(), lector.BytesTotales());
  return out;
}

TEST(ChainFileReader, LineEndsAndDecoding) {
  const struct {
    const char* nombre;
    QByteArray bytes;
    const char* lineas;
  } casos[] = {
      {"crlf, last line without end", "A|\r\nB|", "A|\nB|\n"},
      {"lone cr", "A|\rB|\r", "A|\nB|\n"},
      {"lf inside a crlf file stays", "A|\nB|\r\nC|\r\n", "A|<LF>B|\nC|\n"},
      {"crlf lf keeps the second lf", "X\r\n\nY\r\n", "X\n<LF>Y\n"},
      {"cr cr lf is an empty line", "A\r\r\nB", "A\n\nB\n"},
      {"lf only file splits on lf", "A|\nB|\n\nC|", "A|\nB|\n\nC|\n"},
      {"empty file", "", ""},
      {"nul bytes are text", QByteArray("a\0b\r\n", 5), "a<NUL>b\n"},
      {"windows-1252", "caf\xE9 \x80 \x9F \x81\r\n",
       "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC2\x81\n"},
      {"each line decoded on its own", "\xE9\r\n\xC3\xA9\r\n", "\xC3\xA9\n\xC3\xA9\n"},
      {"bom dropped at start only", "\xEF\xBB\xBFIDE|\r\n\xEF\xBB\xBFX", "IDE|\n\xEF\xBB\xBFX\n"},
      {"overlong utf-8 is 1252", "\xC0\xAF\r\n", "\xC3\x80\xC2\xAF\n"},
      {"utf-8 cut by the line end is 1252", "caf\xC3\r\nx", "caf\xC3\x83\nx\n"},
      {"encoded surrogate is 1252", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC\n"},
  };
  for (const auto& c : casos) EXPECT_EQ(c.lineas, Lineas(c.bytes)) << c.nombre;
}

// The reader works block by block; a CR LF whose two bytes fall in different blocks
// must still be one line end, not a lone CR followed by a joined "\nB".
TEST(ChainFileReader, CrLfAcrossBlockBoundary) {
  for (int largo = 65530; largo <= 65540; ++largo)
    EXPECT_EQ(std::string(largo, 'x') + "\nB\n", Lineas(QByteArray(largo, 'x') + "\r\nB\r\n"));
}

TEST(ChainFileFields, RecordCutsAndPadsByCharacters) {
  const struct {
    std::vector<int> anchos;
    QString linea;
    QStringList campos;
    QString resto;
  } casos[] = {
      {{3, 5, kLibre}, "DETXX|ñandú€ab|  libre  texto |", {"DET", "ñandú", "libre  texto"}, ""},
      // U+1D11E is one character although it takes two UTF-16 units.
      {{2, 3}, "\U0001D11Eab|x\U0001D11E|", {"\U0001D11Ea", "x\U0001D11E "}, ""},
      // Fewer fields than the layout: the missing ones are empty.
      {{3, 4, kLibre, 2}, "DET|a|", {"DET", "a   ", "", "  "}, ""},
      // More fields than the layout: the rest stays on the line for the next read.
      {{3, 1}, "DET|a|\nDET|b|", {"DET", "a"}, "\nDET|b|"},
  };
  for (const auto& c : casos) {
    Registro r(c.anchos);
    QString linea = c.linea;
    r.Llena(linea);
    QStringList campos;
    for (int n = 1; n <= r.NumCampos(); ++n) campos << r.Campo(n);
    EXPECT_EQ(c.campos, campos);
    EXPECT_EQ(c.resto, linea);
  }
  Registro r{4};
  r.Asigna(1, " ab");
  EXPECT_EQ(QString(" ab "), r.Campo(1));
  EXPECT_EQ(QString("ab"), r.Texto(1));
}

TEST(ChainFileFields, AmountsAndDates) {
  for (const QStringList& c : testing::Casos("conversiones.txt")) {
    SCOPED_TRACE(c.join(" | ").toStdString());
    QString campo = c[1];
    if (c[0] == "AsignaCurPuntoDec") EXPECT_DOUBLE_EQ(c[2].toDouble(), AsignaCurPuntoDec(campo));
    if (c[0] == "DimeFechaCorrecta")
      EXPECT_EQ(c[2], DimeFechaCorrecta(campo)
                          .value_or(QDate())
                          .toString(Qt::ISODate)
                          .replace(QRegularExpression("^$"), "Null"));
  }
}

}  // namespace
}  // namespace relvano::chainfile
