#include "base/ficheros.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/tienda.h"

namespace relvano {
namespace {

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
