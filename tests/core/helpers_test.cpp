#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <limits>

#include "base/conversion.h"
#include "base/ficheros.h"
#include "base/moneda.h"
#include "base/regional.h"
#include "support/tienda.h"

namespace relvano {
namespace {

const QDate kHoy(2012, 3, 10);

TEST(ValorNumerico, ReadsTextsUnderTheShopsRegionalSettings) {
  const struct {
    Valor valor;
    double esperado;
  } casos[] = {
      {Valor("12,5"), 12.5},
      {Valor("12.5"), 125},  // the dot is a thousands mark
      {Valor(" -3,5 "), -3.5},
      {Valor("1.234,56"), 1234.56},
      {Valor("1,5E3"), 1500},
      {Valor(",5"), 0.5},
      {Valor(), 0},
      {Valor("12abc"), 0},
      {Valor("1,2,3"), 0},
      {Valor("1E400"), 0},  // too large
      {Valor(12.25), 12.25},
      {Valor(true), -1},
      {Valor(QDate(1899, 12, 29)), -1},
      {Valor(QDate(2012, 7, 15)), 41105},
  };
  for (const auto& c : casos)
    EXPECT_DOUBLE_EQ(c.esperado, ValorNumerico(c.valor)) << c.valor.Describe().toStdString();
}

TEST(ValorTexto, TextFormOfNumbersAndValues) {
  const struct {
    Valor valor;
    const char* esperado;
  } casos[] = {
      {Valor(12.5), "12,5"},
      {Valor(-0.0), "0"},
      {Valor(0.1 + 0.2), "0,3"},  // 15 significant digits hide the binary noise
      {Valor(2.0 / 3.0), "0,666666666666667"},
      {Valor(1e15), "1E+15"},
      {Valor(), ""},
      {Valor("  ab c  "), "ab c"},
      {Valor("\tx\t"), "\tx\t"},  // only spaces are padding
      {Valor(true), "Verdadero"},
      {Valor(QDate(2012, 7, 5)), "05/07/2012"},
  };
  for (const auto& c : casos) EXPECT_EQ(QString(c.esperado), ValorTexto(c.valor)) << c.esperado;
}

TEST(SumaDias, DateTextDaysLater) {
  const struct {
    const char* fecha;
    Valor dias;
    const char* esperado;
  } casos[] = {
      {"28/12/2011", Valor(5), "02/01/2012"},
      {"28/02/2012", Valor(1), "29/02/2012"},
      {"15/07/2012", Valor("30"), "14/08/2012"},
      {"15/07/2012", Valor(2.9), "17/07/2012"},
      {"15/07/2012", Valor(-0.5), "14/07/2012"},
      {"1/1/12", Valor(0), "01/01/2012"},
      {"31/02/2012", Valor(1), ""},
      {"15/07/2151", Valor(1), ""},
  };
  for (const auto& c : casos)
    EXPECT_EQ(QString(c.esperado), SumaDias(c.fecha, c.dias, kHoy)) << c.fecha;
  EXPECT_EQ(QDate(2012, 1, 1), regional::LeeFecha(" 1/1/12 ", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("15/07-2012", kHoy));
}

TEST(RedondeaMoneda, ByCompanyCurrencyAndCode) {
  const std::optional<QString> sin;
  const struct {
    Valor valor;
    const char* divisa;
    std::optional<QString> codigo;
    qint64 diezmilesimas;
  } casos[] = {
      // Pesetas, no code: more than 0.49 over the whole part rounds up.
      {Valor(10.49), "PTA", sin, 100000},
      {Valor(10.491), "PTA", sin, 110000},
      {Valor(-10.2), "PTA", sin, -110000},
      // Any other company currency, no code: two decimals, halves away from zero.
      {Valor(10.005), "EURO", sin, 100100},
      {Valor(2.675), "EURO", sin, 26800},
      {Valor("1.234,567"), "EURO", sin, 12345700},
      // With a code, the code decides.
      {Valor(10.005), "PTA", " EURO ", 100100},
      {Valor(1.235), "PTA", "Bs", 12400},
      {Valor(10.5), "EURO", "pta", 110000},
      {Valor(-10.2), "EURO", "PTA", -100000},
      {Valor(1.23456), "EURO", "USD", 12346},
      {Valor(1e20), "EURO", sin, std::numeric_limits<qint64>::max()},
  };
  for (const auto& c : casos)
    EXPECT_EQ(c.diezmilesimas, RedondeaMoneda(c.valor, c.divisa, c.codigo).Diezmilesimas())
        << c.valor.Describe().toStdString() << " " << c.divisa << " "
        << c.codigo.value_or("-").toStdString();
}

TEST(FormateaMoneda, FormatsTheRoundedAmountAndReplacesTheValue) {
  const struct {
    Valor valor;
    const char *divisa, *texto;
    Valor redondeado;
  } casos[] = {
      {Valor(-1234.5), "EURO", "-1.234,50", Valor(-1234.5)},
      {Valor(-0.001), "EURO", "0,00", Valor(0)},
      {Valor(1234567.891), "EURO", "1.234.567,89", Valor(1234567.89)},
      {Valor(-1234.2), "PTA", "-1.235", Valor(-1235)},
      {Valor(1234.567), "USD", "1234,57", Valor(1234.57)},
  };
  for (const auto& c : casos) {
    Valor v = c.valor;
    EXPECT_EQ(QString(c.texto), FormateaMoneda(v, c.divisa));
    EXPECT_EQ(c.redondeado, v) << c.texto;
  }
}

TEST(Ficheros, ExisteYBorraFichero) {
  QTemporaryDir dir;
  const auto ruta = [&](const QString& n) { return dir.filePath(n); };
  for (const char* n : {"a.txt", "b.txt", "c.log"}) testing::EscribeLineas(ruta(n), {"x"});
  QDir(dir.path()).mkdir("sub.txt.d");
  testing::RecordingOperator op;
  const struct {
    QString ruta;
    bool esperado;
  } casos[] = {
      {ruta("a.txt"), true},      {ruta("*.txt"), true},
      {ruta("?.log"), true},      {ruta("*.csv"), false},
      {ruta("no.txt"), false},    {ruta("a.txt/x"), false},
      {ruta("sub.txt.d"), false}, {ruta("*.d"), false},
      {QString(), false},  // folders never match
  };
  for (const auto& c : casos)
    EXPECT_EQ(c.esperado, ExisteFichero(c.ruta, &op)) << c.ruta.toStdString();
  EXPECT_TRUE(BorraFichero(ruta("*.txt"), op));
  EXPECT_TRUE(BorraFichero(ruta("no.txt"), op));
  EXPECT_EQ(QStringList({"c.log", "sub.txt.d"}),
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name));
  EXPECT_EQ(QString(), op.Transcripcion());

  // A link to itself: looking inside it fails without the path being missing.
  ASSERT_TRUE(QFile::link(ruta("bucle"), ruta("bucle")));
  EXPECT_FALSE(ExisteFichero(ruta("bucle/x.txt"), &op));
  EXPECT_FALSE(BorraFichero(ruta("bucle/*.txt"), op));
  EXPECT_EQ("Mensaje[stop]: Error de acceso al fichero\r\n\r\n" + ruta("bucle/x.txt") +
                "\r\n\r\nCompruebe que el fichero exista y que la ruta sea correcta.\n"
                "Mensaje[stop]: Error de acceso al fichero\r\n\r\n" +
                ruta("bucle/*.txt") +
                "\r\n\r\nCompruebe que el fichero exista y que la ruta sea correcta.\n",
            op.Transcripcion());
}

TEST(Ficheros, AFileThatCannotBeDeletedIsReported) {
  // The kernel's files exist as regular files and refuse to be deleted, even by root.
  if (!QFileInfo("/proc/version").isFile()) GTEST_SKIP() << "no /proc on this system";
  testing::RecordingOperator op;
  EXPECT_FALSE(BorraFichero("/proc/version", op));
  EXPECT_EQ(QString("Mensaje: El fichero /proc/version no se puede borrar.\r\n\r\n"
                    "Puede que no existe o este bloqueado por algún usuario.\n"),
            op.Transcripcion());
}

}  // namespace
}  // namespace relvano
