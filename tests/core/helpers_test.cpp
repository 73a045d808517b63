#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <limits>
#include <vector>

#include "base/conversion.h"
#include "base/ficheros.h"
#include "base/moneda.h"
#include "base/regional.h"
#include "support/recording_operator.h"

namespace relvano {
namespace {

using testing::RecordingOperator;

const QDate kHoy(2012, 3, 10);

std::string Texto(const QString& s) { return s.toStdString(); }

// ---- Conversion ------------------------------------------------------------------

TEST(ValorNumerico, ReadsTextsUnderTheShopsRegionalSettings) {
  struct Caso {
    Valor valor;
    double esperado;
  };
  const std::vector<Caso> casos = {
      {Valor("12,5"), 12.5},
      {Valor("12.5"), 125},  // the dot is a thousands mark
      {Valor(" 7 "), 7},
      {Valor("-3,5"), -3.5},
      {Valor("+4"), 4},
      {Valor("1.234,56"), 1234.56},
      {Valor("1.2.3"), 123},  // thousands marks are ignored wherever they stand
      {Valor("1,5E3"), 1500},
      {Valor("2,5e-1"), 0.25},
      {Valor(",5"), 0.5},
      {Valor("12,"), 12},
      {Valor("-,5"), -0.5},
      {Valor(), 0},
      {Valor(""), 0},
      {Valor("   "), 0},
      {Valor("-"), 0},
      {Valor("+"), 0},
      {Valor("."), 0},
      {Valor(","), 0},
      {Valor("abc"), 0},
      {Valor("12abc"), 0},
      {Valor("1,2,3"), 0},
      {Valor("1,5.3"), 0},  // no thousands mark after the decimal comma
      {Valor("1E"), 0},
      {Valor("E5"), 0},
      {Valor("- 5"), 0},
      {Valor("1 234"), 0},
      {Valor("1E400"), 0},  // too large for a double
      {Valor("15/07/2012"), 0},
      {Valor(12.25), 12.25},
      {Valor(-7), -7},
      {Valor(true), -1},
      {Valor(false), 0},
      {Valor(QDate(1899, 12, 30)), 0},
      {Valor(QDate(1899, 12, 29)), -1},
      {Valor(QDate(1900, 1, 1)), 2},
      {Valor(QDate(2012, 7, 15)), 41105},
      {Valor(QDate()), 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(Texto(c.valor.Describe()));
    EXPECT_DOUBLE_EQ(c.esperado, ValorNumerico(c.valor));
  }
}

TEST(TextoNumero, GeneralFormWithDecimalComma) {
  struct Caso {
    double x;
    const char* esperado;
  };
  const std::vector<Caso> casos = {
      {12.5, "12,5"},
      {0.0, "0"},
      {-0.0, "0"},
      {-3, "-3"},
      {-0.5, "-0,5"},
      {1234567.25, "1234567,25"},
      {0.1 + 0.2, "0,3"},  // 15 significant digits hide the binary noise
      {2.0 / 3.0, "0,666666666666667"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"},
      {0.0001, "0,0001"},
      {0.00001, "1E-05"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(c.esperado, Texto(regional::TextoNumero(c.x)));
  }
}

TEST(ValorTexto, TextFormOfEveryKindOfValue) {
  struct Caso {
    Valor valor;
    const char* esperado;
  };
  const std::vector<Caso> casos = {
      {Valor(), ""},
      {Valor(""), ""},
      {Valor("  ab c  "), "ab c"},
      {Valor("\tx\t"), "\tx\t"},  // only spaces are padding
      {Valor(12.5), "12,5"},
      {Valor(-1234.75), "-1234,75"},
      {Valor(true), "Verdadero"},
      {Valor(false), "Falso"},
      {Valor(QDate(2012, 7, 5)), "05/07/2012"},
      {Valor(QDate()), ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(Texto(c.valor.Describe()));
    EXPECT_EQ(c.esperado, Texto(ValorTexto(c.valor)));
  }
}

TEST(ValorEntero, WholePartTowardMinusInfinityIn16Bits) {
  struct Caso {
    Valor valor;
    qint16 esperado;
  };
  const std::vector<Caso> casos = {
      {Valor(), 0},
      {Valor(""), 0},
      {Valor("   "), 0},
      {Valor("abc"), 0},
      {Valor("7,9"), 7},
      {Valor("-7,1"), -8},
      {Valor("12.5"), 125},
      {Valor(7.9), 7},
      {Valor(-0.5), -1},
      {Valor(-3.0), -3},
      {Valor(true), -1},
      {Valor(32767.9), 32767},
      {Valor(40000), std::numeric_limits<qint16>::max()},
      {Valor(-40000), std::numeric_limits<qint16>::min()},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(Texto(c.valor.Describe()));
    EXPECT_EQ(c.esperado, ValorEntero(c.valor));
  }
}

TEST(RellenaTexto, PadsAtTheEndOnlyForD) {
  EXPECT_EQ("   12", Texto(RellenaTexto("12", 3, " ", "I")));
  EXPECT_EQ("1200", Texto(RellenaTexto("12", 2, "0", "D")));
  EXPECT_EQ("12abab", Texto(RellenaTexto("12", 2, "ab", "D")));
  EXPECT_EQ("0012", Texto(RellenaTexto("12", 2, "0", "d")));  // only "D" means the end
  EXPECT_EQ("12", Texto(RellenaTexto("12", 0, "x", "D")));
  EXPECT_EQ("12", Texto(RellenaTexto("12", -3, "x", "I")));
}

// ---- Dates -----------------------------------------------------------------------

// SumaDias takes only day/month/year texts between the years 1850 and 2150.
TEST(SumaDias, AcceptsDayMonthYearBetween1850And2150) {
  struct Caso {
    const char* texto;
    bool esperado;
  };
  const std::vector<Caso> casos = {
      {"15/07/2012", true},
      {"1/1/12", true},  // 2012: the century of today
      {"29/02/2012", true},
      {"01/01/1850", true},
      {"31/12/2150", true},
      {"31/02/2012", false},
      {"29/02/2011", false},
      {"32/01/2012", false},
      {"0/1/2012", false},
      {"15/13/2012", false},
      {"15/07/1849", false},
      {"01/01/2151", false},
      {"1/1/5", false},  // a one-digit year is not given a century: year 5
      {"2012-07-15", false},
      {"15-07-2012", false},
      {"15/07", false},
      {"", false},
      {"aa/bb/cccc", false},
      {"15/07/2012/1", false},
      {"15/07/2012 10:30", false},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    EXPECT_EQ(c.esperado, !SumaDias(c.texto, Valor(0), kHoy).isEmpty());
  }
  // Two-digit years follow today's century, whatever the year.
  EXPECT_EQ("01/01/1912", Texto(SumaDias("1/1/12", Valor(0), QDate(1999, 6, 1))));
}

TEST(LeeFecha, DayFirstTexts) {
  EXPECT_EQ(QDate(2012, 7, 15), regional::LeeFecha("15/07/2012", kHoy));
  EXPECT_EQ(QDate(2012, 7, 15), regional::LeeFecha("15-07-2012", kHoy));
  EXPECT_EQ(QDate(2012, 1, 1), regional::LeeFecha(" 1/1/12 ", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("31/02/2012", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("15/07-2012", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("15/jul/2012", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("", kHoy));
  EXPECT_EQ("05/07/2012", Texto(regional::TextoFecha(QDate(2012, 7, 5))));
}

TEST(SumaDias, DateTextDaysLater) {
  struct Caso {
    const char* fecha;
    Valor dias;
    const char* esperado;
  };
  const std::vector<Caso> casos = {
      {"28/12/2011", Valor(5), "02/01/2012"},
      {"30/12/1899", Valor(0), "30/12/1899"},
      {"01/01/1900", Valor(-2), "30/12/1899"},
      {"28/02/2012", Valor(1), "29/02/2012"},
      {"28/02/2011", Valor(1), "01/03/2011"},
      {"01/01/2012", Valor(366), "01/01/2013"},
      {"05/01/2012", Valor(-10), "26/12/2011"},
      {"15/07/2012", Valor("30"), "14/08/2012"},
      {"15/07/2012", Valor(2.9), "17/07/2012"},
      {"15/07/2012", Valor(-0.5), "14/07/2012"},
      {"15/07/2012", Valor(), "15/07/2012"},
      {"1/1/12", Valor(0), "01/01/2012"},
      {"31/02/2012", Valor(1), ""},
      {"2012-07-15", Valor(1), ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(std::string(c.fecha) + " + " + Texto(c.dias.Describe()));
    EXPECT_EQ(c.esperado, Texto(SumaDias(c.fecha, c.dias, kHoy)));
  }
}

// ---- Money -----------------------------------------------------------------------

TEST(RedondeaMoneda, ByCompanyCurrencyAndCode) {
  struct Caso {
    Valor valor;
    const char* divisa;
    std::optional<QString> codigo;
    qint64 diezmilesimas;
  };
  const std::optional<QString> sin;
  const std::vector<Caso> casos = {
      // Pesetas, no code: more than 0.49 over the whole part rounds up.
      {Valor(10.49), "PTA", sin, 100000},
      {Valor(10.5), "PTA", sin, 110000},
      {Valor(10.495), "PTA", sin, 110000},
      {Valor(10.491), "PTA", sin, 110000},
      {Valor(0.3), "PTA", sin, 0},
      {Valor("10,49"), "PTA", sin, 100000},
      {Valor(-10.2), "PTA", sin, -110000},
      {Valor(-10.0), "PTA", sin, -100000},
      {Valor(0.0), "PTA", sin, 0},
      {Valor(), "PTA", sin, 0},
      // Any other company currency, no code: two decimals, halves away from zero.
      {Valor(10.005), "EURO", sin, 100100},
      {Valor(-10.005), "EURO", sin, -100100},
      {Valor(2.675), "EURO", sin, 26800},
      {Valor(1.004), "EURO", sin, 10000},
      {Valor(0.00005), "EURO", sin, 0},
      {Valor("1.234,567"), "EURO", sin, 12345700},
      {Valor(1.235), "USD", sin, 12400},
      // With a code, the code decides.
      {Valor(10.005), "PTA", QStringLiteral("EURO"), 100100},
      {Valor(10.005), "PTA", QStringLiteral(" EURO "), 100100},
      {Valor(1.235), "PTA", QStringLiteral("Bs"), 12400},
      {Valor(10.5), "EURO", QStringLiteral("PTA"), 110000},
      {Valor(10.49), "EURO", QStringLiteral("PTA"), 100000},
      {Valor(-10.5), "EURO", QStringLiteral("PTA"), -110000},
      {Valor(-10.2), "EURO", QStringLiteral("PTA"), -100000},
      {Valor(10.5), "EURO", QStringLiteral("pta"), 110000},
      {Valor(1.23456), "EURO", QStringLiteral("USD"), 12346},
      {Valor(0.00005), "EURO", QStringLiteral("USD"), 0},
      {Valor(1e20), "EURO", sin, std::numeric_limits<qint64>::max()},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(Texto(c.valor.Describe() + QStringLiteral(" ") + QString::fromUtf8(c.divisa) +
                       QStringLiteral(" ") + c.codigo.value_or(QStringLiteral("(sin código)"))));
    EXPECT_EQ(c.diezmilesimas, RedondeaMoneda(c.valor, c.divisa, c.codigo).Diezmilesimas());
  }
}

TEST(FormateaMoneda, FormatsTheRoundedAmountAndReplacesTheValue) {
  struct Caso {
    Valor valor;
    const char* divisa;
    std::optional<QString> codigo;
    const char* texto;
    Valor redondeado;
  };
  const std::optional<QString> sin;
  const std::vector<Caso> casos = {
      {Valor(1234.5), "EURO", sin, "1.234,50", Valor(1234.5)},
      {Valor(-1234.5), "EURO", sin, "-1.234,50", Valor(-1234.5)},
      {Valor(0), "EURO", sin, "0,00", Valor(0)},
      {Valor(), "EURO", sin, "0,00", Valor(0)},
      {Valor("12,5"), "EURO", sin, "12,50", Valor(12.5)},
      {Valor(-0.001), "EURO", sin, "0,00", Valor(0)},
      {Valor(999.995), "EURO", sin, "1.000,00", Valor(1000)},
      {Valor(1234567.891), "EURO", sin, "1.234.567,89", Valor(1234567.89)},
      {Valor(123.4), "EURO", sin, "123,40", Valor(123.4)},
      {Valor(1234.5), "PTA", sin, "1.235", Valor(1235)},
      {Valor(-1234.2), "PTA", sin, "-1.235", Valor(-1235)},
      {Valor(1234.5), "EURO", QStringLiteral("PTA"), "1.235", Valor(1235)},
      {Valor(1234.5), "PTA", QStringLiteral("EURO"), "1.234,50", Valor(1234.5)},
      {Valor(1234.5678), "EURO", QStringLiteral("USD"), "1234,5678", Valor(1234.5678)},
      {Valor(1234.567), "USD", sin, "1234,57", Valor(1234.57)},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(Texto(c.valor.Describe() + QStringLiteral(" ") + QString::fromUtf8(c.divisa) +
                       QStringLiteral(" ") + c.codigo.value_or(QStringLiteral("(sin código)"))));
    Valor v = c.valor;
    EXPECT_EQ(c.texto, Texto(FormateaMoneda(v, c.divisa, c.codigo)));
    EXPECT_EQ(Texto(c.redondeado.Describe()), Texto(v.Describe()));
  }
}

// ---- Files -----------------------------------------------------------------------

QString AccessErrorText(const QString& ruta) {
  return QStringLiteral("Error de acceso al fichero\r\n\r\n") + ruta +
         QStringLiteral("\r\n\r\nCompruebe que el fichero exista y que la ruta sea correcta.");
}

bool CreaFichero(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

class Ficheros : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(CreaFichero(Ruta("a.txt")));
    ASSERT_TRUE(CreaFichero(Ruta("b.txt")));
    ASSERT_TRUE(CreaFichero(Ruta("c.log")));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub.txt.d"));
    // A link to itself: looking inside it fails without the path being missing.
    ASSERT_TRUE(QFile::link(Ruta("bucle"), Ruta("bucle")));
  }
  QString Ruta(const QString& nombre) const { return dir_.filePath(nombre); }
  // Paths whose test itself fails, as opposed to paths that are simply absent.
  std::vector<QString> RutasInaccesibles() const {
    return {Ruta(QString(300, u'n') + QStringLiteral("/x.txt")), Ruta("bucle/x.txt"),
            Ruta("bucle/*.txt")};
  }

  QTemporaryDir dir_;
  RecordingOperator op_;
};

TEST_F(Ficheros, ExisteFicheroFindsRegularFilesAndPatterns) {
  struct Caso {
    QString ruta;
    bool esperado;
  };
  const std::vector<Caso> casos = {
      {Ruta("a.txt"), true},      {Ruta("*.txt"), true},   {Ruta("?.log"), true},
      {Ruta("*.csv"), false},     {Ruta("no.txt"), false}, {Ruta("nada/no.txt"), false},
      {Ruta("a.txt/x"), false},                          // a file used as a folder is simply absent
      {Ruta("sub.txt.d"), false}, {Ruta("*.d"), false},  // folders never match
      {QString(), false},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(Texto(c.ruta));
    EXPECT_EQ(c.esperado, ExisteFichero(c.ruta, &op_));
  }
  EXPECT_EQ("", Texto(op_.Transcripcion()));
}

TEST_F(Ficheros, ExisteFicheroReportsAnAccessFailure) {
  for (const QString& ruta : RutasInaccesibles()) {
    SCOPED_TRACE(Texto(ruta));
    op_.Limpia();
    EXPECT_FALSE(ExisteFichero(ruta, &op_));
    ASSERT_EQ(1u, op_.Eventos().size());
    EXPECT_EQ(Texto(AccessErrorText(ruta)), Texto(op_.Eventos()[0].texto));
    EXPECT_EQ(Operador::Icono::Stop, op_.Eventos()[0].icono);
    EXPECT_FALSE(ExisteFichero(ruta));  // without an operator nothing is shown
  }
}

TEST_F(Ficheros, BorraFicheroDeletesOneFile) {
  EXPECT_TRUE(BorraFichero(Ruta("a.txt"), op_));
  EXPECT_FALSE(QFileInfo::exists(Ruta("a.txt")));
  EXPECT_TRUE(QFileInfo::exists(Ruta("b.txt")));
  EXPECT_EQ("", Texto(op_.Transcripcion()));
}

TEST_F(Ficheros, BorraFicheroWithAPatternDeletesEveryMatch) {
  EXPECT_TRUE(BorraFichero(Ruta("*.txt"), op_));
  EXPECT_EQ(QStringList({"bucle", "c.log", "sub.txt.d"}),
            QDir(dir_.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name));
  EXPECT_EQ("", Texto(op_.Transcripcion()));
}

TEST_F(Ficheros, BorraFicheroOfAMissingPathDoesNothing) {
  EXPECT_TRUE(BorraFichero(Ruta("no.txt"), op_));
  EXPECT_TRUE(BorraFichero(Ruta("*.csv"), op_));
  EXPECT_TRUE(BorraFichero(QString(), op_));
  EXPECT_EQ("", Texto(op_.Transcripcion()));
}

TEST_F(Ficheros, BorraFicheroFailsAfterAnAccessFailure) {
  const QString ruta = RutasInaccesibles().front();
  EXPECT_FALSE(BorraFichero(ruta, op_));
  EXPECT_EQ(Texto(QStringLiteral("Mensaje[stop]: ") + AccessErrorText(ruta) + u'\n'),
            Texto(op_.Transcripcion()));
}

TEST(BorraFichero, AFileThatCannotBeDeletedIsReported) {
  // The kernel's files exist as regular files and refuse to be deleted, even by root.
  const QString ruta = QStringLiteral("/proc/version");
  if (!QFileInfo(ruta).isFile()) GTEST_SKIP() << "no /proc on this system";
  RecordingOperator op;
  EXPECT_FALSE(BorraFichero(ruta, op));
  EXPECT_EQ(
      "Mensaje: El fichero /proc/version no se puede borrar.\r\n\r\n"
      "Puede que no existe o este bloqueado por algún usuario.\n",
      Texto(op.Transcripcion()));
}

// ---- Windows ---------------------------------------------------------------------

}  // namespace
}  // namespace relvano
