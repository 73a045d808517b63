#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "base/conversion.h"
#include "base/ficheros.h"
#include "base/moneda.h"
#include "base/regional.h"
#include "support/tienda.h"

namespace relvano {
namespace {

const QDate kHoy(2012, 3, 10);

TEST(Conversiones, NumbersTextsDaysAndMoneyOfTheTable) {
  for (const QStringList& c : testing::Casos("conversiones.txt")) {
    SCOPED_TRACE(c.join(" | ").toStdString());
    Valor v = testing::ValorDe(c[1]);
    if (c[0] == "ValorNumerico") {
      EXPECT_DOUBLE_EQ(c[2].toDouble(), ValorNumerico(v));
    }
    if (c[0] == "ValorTexto") {
      EXPECT_EQ(c.value(2), ValorTexto(v));
    }
    if (c[0] == "SumaDias") {
      EXPECT_EQ(c.value(3), SumaDias(c[1], testing::ValorDe(c[2]), kHoy));
    }
    if (c[0] == "RedondeaMoneda") {
      EXPECT_EQ(c[4].toLongLong(),
                RedondeaMoneda(v, c[2], c[3] == "-" ? std::nullopt : std::optional(c[3]))
                    .Diezmilesimas());
    }
    if (c[0] == "FormateaMoneda") {
      EXPECT_EQ(c[3], FormateaMoneda(v, c[2]));
      EXPECT_EQ(testing::ValorDe(c[4]), v);
    }
  }
  EXPECT_EQ(QDate(2012, 1, 1), regional::LeeFecha(" 1/1/12 ", kHoy));
  EXPECT_EQ(std::nullopt, regional::LeeFecha("15/07-2012", kHoy));
}

TEST(Ficheros, ExisteYBorraFichero) {
  QTemporaryDir dir;
  const auto ruta = [&](const QString& n) { return dir.filePath(n); };
  for (const char* n : {"a.txt", "b.txt", "c.log"}) testing::EscribeLineas(ruta(n), {"x"});
  QDir(dir.path()).mkdir("sub.txt.d");
  testing::RecordingOperator op;
  for (const QStringList& c : testing::Casos("existe_fichero.txt")) {
    const QString r = c[0].isEmpty() ? QString() : ruta(c[0]);
    EXPECT_EQ(c[1] == "1", ExisteFichero(r, &op)) << r.toStdString();
  }
  EXPECT_TRUE(BorraFichero(ruta("*.txt"), op));
  EXPECT_TRUE(BorraFichero(ruta("no.txt"), op));
  EXPECT_EQ(QStringList({"c.log", "sub.txt.d"}),
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name));
  EXPECT_EQ(QString(), op.Transcripcion());

  // A link to itself: looking inside it fails without the path being missing.
  ASSERT_TRUE(QFile::link(ruta("bucle"), ruta("bucle")));
  EXPECT_FALSE(ExisteFichero(ruta("bucle/x.txt"), &op));
  EXPECT_FALSE(BorraFichero(ruta("bucle/*.txt"), op));
  EXPECT_EQ(testing::Golden("acceso_fichero.txt").arg(ruta("bucle")), op.Transcripcion());
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
