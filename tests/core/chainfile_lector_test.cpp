#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "chainfile/conversion.h"
#include "chainfile/lector.h"
#include "chainfile/registro.h"

namespace relvano::chainfile {
namespace {

std::string S(const QString& s) { return s.toStdString(); }

// Lines as the reader returns them, one per row, with LF and NUL made visible.
std::string Visible(const QStringList& lineas) {
  std::string out;
  for (QString l : lineas) {
    l.replace(QLatin1Char('\n'), QLatin1String("<LF>"));
    l.replace(QChar(u'\0'), QLatin1String("<NUL>"));
    out += S(l) + "\n";
  }
  return out;
}

class ChainFileReader : public ::testing::Test {
 protected:
  QString Escribe(const QByteArray& bytes) {
    const QString ruta = dir_.filePath(QStringLiteral("vrceancto%1.txt").arg(++n_));
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return ruta;
  }
  QStringList TodasLasLineas(const QByteArray& bytes) {
    LectorFichero lector;
    EXPECT_TRUE(lector.Abre(Escribe(bytes)));
    QStringList lineas;
    while (!lector.Eof()) lineas << lector.LeeLinea();
    EXPECT_EQ(lector.BytesLeidos(), lector.BytesTotales());
    return lineas;
  }

  QTemporaryDir dir_;
  int n_ = 0;
};

struct CasoLineas {
  const char* nombre;
  QByteArray bytes;
  const char* lineas;  // Visible() of the lines read to the end of the file
};

TEST_F(ChainFileReader, LineEndsAndDecoding) {
  const CasoLineas casos[] = {
      {"crlf", "A|\r\nB|\r\n", "A|\nB|\n"},
      {"last line without end", "A|\r\nB|", "A|\nB|\n"},
      {"lone cr", "A|\rB|\r", "A|\nB|\n"},
      {"lf inside a crlf file stays", "A|\nB|\r\nC|\r\n", "A|<LF>B|\nC|\n"},
      {"crlf lf keeps the second lf", "X\r\n\nY\r\n", "X\n<LF>Y\n"},
      {"cr cr lf is an empty line", "A\r\r\nB", "A\n\nB\n"},
      {"lf only file splits on lf", "A|\nB|\n\nC|", "A|\nB|\n\nC|\n"},
      {"empty file", "", ""},
      {"nul bytes are text", QByteArray("a\0b\r\n", 5), "a<NUL>b\n"},
      {"windows-1252", "caf\xE9 \x80 \x9F \x81\r\n",
       "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC2\x81\n"},
      {"utf-8", "caf\xC3\xA9 \xE2\x82\xAC\r\n", "caf\xC3\xA9 \xE2\x82\xAC\n"},
      {"each line decoded on its own", "\xE9\r\n\xC3\xA9\r\n", "\xC3\xA9\n\xC3\xA9\n"},
      {"bom dropped at start only", "\xEF\xBB\xBFIDE|\r\n\xEF\xBB\xBFX", "IDE|\n\xEF\xBB\xBFX\n"},
      {"overlong utf-8 is 1252", "\xC0\xAF\r\n", "\xC3\x80\xC2\xAF\n"},
      {"utf-8 cut by the line end is 1252", "caf\xC3\r\nx", "caf\xC3\x83\nx\n"},
      {"encoded surrogate is 1252", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC\n"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    EXPECT_EQ(c.lineas, Visible(TodasLasLineas(c.bytes)));
  }
}

// The reader works block by block; a CR LF whose two bytes fall in different blocks
// must still be one line end, not a lone CR followed by a joined "\nB".
TEST_F(ChainFileReader, CrLfAcrossBlockBoundary) {
  for (int largo = 65530; largo <= 65540; ++largo) {
    SCOPED_TRACE(largo);
    const QStringList lineas = TodasLasLineas(QByteArray(largo, 'x') + "\r\nB\r\n");
    ASSERT_EQ(2, lineas.size());
    EXPECT_EQ(largo, lineas[0].size());
    EXPECT_EQ(QStringLiteral("B"), lineas[1]);
  }
}

TEST_F(ChainFileReader, MultiMegabyteLineIsReadWhole) {
  const int largo = 6 * 1024 * 1024 + 17;
  for (const QByteArray& fin : {QByteArray("\r\n"), QByteArray("\n")}) {
    const QStringList lineas = TodasLasLineas("IDE|" + QByteArray(largo, 'z') + "|" + fin + "CHK|");
    ASSERT_EQ(2, lineas.size());
    EXPECT_EQ(largo + 5, lineas[0].size());
    EXPECT_EQ(QStringLiteral("CHK|"), lineas[1]);
  }
}

TEST_F(ChainFileReader, FicheroLeeLineaFollowsJoinedRecordsAndSkipsEmptyLines) {
  LectorFichero lector;
  ASSERT_TRUE(lector.Abre(Escribe("\r\n\r\nA|\r\n\r\nB|\r\n\r\n")));

  // A text beginning with LF is the next record: nothing is read for it.
  EXPECT_EQ(QStringLiteral("DET|b|"), lector.Fichero_LeeLinea(QStringLiteral("\nDET|b|")));
  EXPECT_EQ(0, lector.BytesLeidos());
  EXPECT_EQ(QStringLiteral(""), lector.Fichero_LeeLinea(QStringLiteral("\n")));
  EXPECT_EQ(0, lector.BytesLeidos());

  EXPECT_EQ(QStringLiteral("A|"), lector.Fichero_LeeLinea(QStringLiteral("A rest")));
  EXPECT_EQ(QStringLiteral("B|"), lector.Fichero_LeeLinea(QString()));
  EXPECT_FALSE(lector.Eof());
  EXPECT_EQ(QStringLiteral(""), lector.Fichero_LeeLinea(QString()));
  EXPECT_TRUE(lector.Eof());
}

TEST_F(ChainFileReader, OpenFailuresAndClosedReader) {
  LectorFichero lector;
  QString error;
  EXPECT_FALSE(lector.Abre(dir_.filePath(QStringLiteral("no-existe.txt")), &error));
  EXPECT_FALSE(error.isEmpty());
  error.clear();
  EXPECT_FALSE(lector.Abre(dir_.path(), &error));
  EXPECT_FALSE(error.isEmpty());

  EXPECT_TRUE(lector.Eof());
  EXPECT_EQ(QString(), lector.LeeLinea());

  ASSERT_TRUE(lector.Abre(Escribe("A\r\nB\r\n")));
  EXPECT_EQ(QStringLiteral("A"), lector.LeeLinea());
  // Opening again starts the new file from its beginning.
  ASSERT_TRUE(lector.Abre(Escribe("C\nD\n")));
  EXPECT_EQ(QStringLiteral("C"), lector.LeeLinea());
  EXPECT_EQ(2, lector.BytesLeidos());
  lector.Cierra();
  EXPECT_TRUE(lector.Eof());
}

// ---- Fields ---------------------------------------------------------------------

TEST(ChainFileFields, RecordCutsAndPadsByCharacters) {
  struct Caso {
    std::vector<int> anchos;
    QString linea;
    QStringList campos;
    QString resto;
  };
  const Caso casos[] = {
      {{3, 5, kLibre}, "DETXX|ñandú€ab|  libre  texto |", {"DET", "ñandú", "libre  texto"}, ""},
      {{3, 4}, "é|€|", {"é  ", "€   "}, ""},
      // U+1D11E is one character although it takes two UTF-16 units.
      {{2, 3}, "\U0001D11Eab|x\U0001D11E|", {"\U0001D11Ea", "x\U0001D11E "}, ""},
      // Fewer fields than the layout: the missing ones are empty.
      {{3, 4, kLibre, 2}, "DET|a|", {"DET", "a   ", "", "  "}, ""},
      {{3, 4}, "DET", {"DET", "    "}, ""},
      // More fields than the layout: the rest stays on the line for the next read.
      {{3, 1}, "DET|a|\nDET|b|", {"DET", "a"}, "\nDET|b|"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(S(c.linea));
    Registro r(c.anchos);
    QString linea = c.linea;
    r.Llena(linea);
    QStringList campos;
    for (int n = 1; n <= r.NumCampos(); ++n) campos << r.Campo(n);
    EXPECT_EQ(c.campos, campos);
    EXPECT_EQ(c.resto, linea);
  }
}

TEST(ChainFileFields, RecordAccessAndEnvelopeLayouts) {
  Registro r{4, kLibre};
  r.Asigna(1, QStringLiteral(" ab"));
  r.Asigna(2, QStringLiteral(" libre "));
  r.Asigna(3, QStringLiteral("fuera"));  // out of range: ignored
  EXPECT_EQ(QStringLiteral(" ab "), r.Campo(1));
  EXPECT_EQ(QStringLiteral("ab"), r.Texto(1));
  EXPECT_EQ(QStringLiteral(" libre "), r.Campo(2));
  EXPECT_EQ(QString(), r.Campo(0));
  EXPECT_EQ(QString(), r.Campo(3));
  r.Limpia();
  EXPECT_EQ(QStringLiteral("    "), r.Campo(1));
  EXPECT_EQ(QString(), r.Campo(2));

  const auto anchos = [](const Registro& reg) {
    std::vector<qsizetype> a;
    for (int n = 1; n <= reg.NumCampos(); ++n) a.push_back(reg.Campo(n).size());
    return a;
  };
  EXPECT_EQ((std::vector<qsizetype>{3, 9, 6, 3, 50, 10, 8, 6, 6}), anchos(RegistroIDE()));
  EXPECT_EQ((std::vector<qsizetype>{3, 6}), anchos(RegistroCHK()));
}

TEST(ChainFileFields, AsignaCurPuntoDec) {
  struct Caso {
    QString texto;
    double valor;
    QString despues;
  };
  const Caso casos[] = {
      {" 12.50 ", 12.5, " 12,50 "},
      {"-3.25", -3.25, "-3,25"},
      {"7", 7, "7"},
      {"", 0, ""},
      {"abc", 0, "abc"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(S(c.texto));
    QString s = c.texto;
    EXPECT_DOUBLE_EQ(c.valor, AsignaCurPuntoDec(s));
    EXPECT_EQ(c.despues, s);
  }
}

TEST(ChainFileFields, DimeFechaCorrecta) {
  struct Caso {
    QString texto;
    QDate fecha;  // invalid: nullopt expected
  };
  const Caso casos[] = {
      {"2012-07-15", QDate(2012, 7, 15)},
      {"2012/07/15", QDate(2012, 7, 15)},
      {"2012-07-15          ", QDate(2012, 7, 15)},  // as stored in a wider field
      {"2012-02-29", QDate(2012, 2, 29)},
      {"2011-02-29", QDate()},
      {"2012-02-31", QDate()},
      {"2012-13-01", QDate()},
      {"2012-00-10", QDate()},
      {"0000-01-01", QDate()},
      {"2012-7-15", QDate()},
      {"2012-07-1x", QDate()},
      {"15/07/2012", QDate()},
      {"20120715", QDate()},
      {"", QDate()},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(S(c.texto));
    const std::optional<QDate> fecha = DimeFechaCorrecta(c.texto);
    if (c.fecha.isValid()) {
      ASSERT_TRUE(fecha.has_value());
      EXPECT_EQ(c.fecha, *fecha);
    } else {
      EXPECT_FALSE(fecha.has_value());
    }
  }
}

}  // namespace
}  // namespace relvano::chainfile
