#include "chainfile/lector.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "chainfile/conversion.h"
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
  // The bytes of the file and of the lines (UTF-8) are written as Latin-1 characters.
  for (const QStringList& c : testing::Casos("lector_lineas.txt"))
    EXPECT_EQ(c.value(2).toLatin1().toStdString(), Lineas(c[1].toLatin1())) << c[0].toStdString();
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

// A record is filled again for every line, in its fields' own buffers: a field a caller
// still holds from the line before keeps what it held, and a shorter text leaves nothing
// of the longer one behind.
TEST(ChainFileFields, ARecordFilledAgainLeavesWhatWasReadBefore) {
  Registro r(std::vector<int>{3, 5, kLibre});
  QString primera = "DET|abcde|largo texto libre|";
  r.Llena(primera);
  const QString retenido = r.Campo(2);
  const QString libre = r.Campo(3);
  QString segunda = "DET|x|y|";
  r.Llena(segunda);
  EXPECT_EQ(QStringList({"DET", "x    ", "y"}), QStringList({r.Campo(1), r.Campo(2), r.Campo(3)}));
  EXPECT_EQ(QString("abcde"), retenido);
  EXPECT_EQ(QString("largo texto libre"), libre);
  QString tercera = "DET|abcdefgh|otra vez un texto largo|";
  r.Llena(tercera);
  EXPECT_EQ(QString("abcde"), r.Campo(2));
  EXPECT_EQ(QString("otra vez un texto largo"), r.Campo(3));
}

TEST(ChainFileFields, AmountsAndDates) {
  for (const QStringList& c : testing::Casos("conversiones.txt")) {
    SCOPED_TRACE(c.join(" | ").toStdString());
    QString campo = c[1];
    if (c[0] == "NumeroPuntoDec") {
      EXPECT_DOUBLE_EQ(c[2].toDouble(), NumeroPuntoDec(campo));
    }
    if (c[0] == "DimeFechaCorrecta") {
      EXPECT_EQ(c[2], DimeFechaCorrecta(campo)
                          .value_or(QDate())
                          .toString(Qt::ISODate)
                          .replace(QRegularExpression("^$"), "Null"));
    }
  }
}

}  // namespace
}  // namespace relvano::chainfile
