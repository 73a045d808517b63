// The store on a database server: the same files give the same rows and logs as in files,
// two shops share a server without touching each other, and a database held by another
// session is waited for a bounded time. Run on the server the engine run names.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "demo/demo.h"
#include "imports/clases.h"
#include "support/cli.h"
#include "support/tienda.h"

namespace relvano::testing {
namespace {

const char* const kBases[] = {"GENERAL.MDB", "CNT00100.MDB", "CMC00100.MDB"};

// A demo installation on `conexion`, driven through the command line as a shop runs it.
struct Demo {
  explicit Demo(const store::OpcionesConexion& c) : conexion(c) {
    QString error;
    EXPECT_TRUE(CreaDemo(dir.path(), &error, QDate(2026, 11, 30), conexion)) << error.toStdString();
  }
  ~Demo() {
    for (const char* b : kBases) BorraDelServidor(Base(b), conexion);
  }
  QString Base(const char* nombre) const { return dir.filePath(QStringLiteral("BDD/") + nombre); }
  SalidaCli Importa(const imports::ClaseFichero& clase) {
    const QString fichero = QString::fromLatin1(clase.prefijo) + QStringLiteral("0001.txt");
    return Cli({"import", QString::fromLatin1(clase.nombre), dir.filePath("In/" + fichero),
                "--settings-dir", dir.filePath("settings"), "--log-dir", dir.filePath("logs")});
  }
  // Every row of the three databases, and every log with the installation's folder as "X".
  QString Estado() {
    QString texto;
    for (const char* b : kBases) {
      QString error;
      auto db = store::Database::Abrir(Base(b), conexion, &error);
      texto += QLatin1String(b) + u'\n' + (db ? VolcadoBaseDatos(*db) : error);
    }
    for (const QString& log : QDir(dir.filePath("logs")).entryList({"*.LOG"}, QDir::Files)) {
      QFile f(dir.filePath("logs/" + log));
      EXPECT_TRUE(f.open(QIODevice::ReadOnly));
      texto += log + u'\n' + QString::fromUtf8(f.readAll()).replace(dir.path(), "X");
    }
    return texto;
  }

  QTemporaryDir dir;
  store::OpcionesConexion conexion;
};

class Servidor : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ConexionPrueba().motor != store::Motor::Postgres) GTEST_SKIP() << "solo en un servidor";
  }
};

TEST_F(Servidor, TheSixDemoFilesGiveTheRowsAndLogsOfFilesAndLeaveTheOtherShopAlone) {
  Demo ficheros({}), tienda(ConexionPrueba()), vecina(ConexionPrueba());
  const QString vecinaAntes = vecina.Estado();
  for (const imports::ClaseFichero& clase : imports::ClasesFichero()) {
    for (Demo* d : {&ficheros, &tienda}) {
      const SalidaCli r = d->Importa(clase);
      EXPECT_EQ(0, r.codigo) << clase.nombre << ": " << r.err.toStdString();
    }
  }
  const QString enFicheros = ficheros.Estado();
  EXPECT_EQ(enFicheros, tienda.Estado());
  EXPECT_NE(vecinaAntes, enFicheros);
  EXPECT_EQ(vecinaAntes, vecina.Estado());
}

TEST_F(Servidor, ARowHeldByAnotherSessionIsWaitedForThenReported) {
  Demo tienda(ConexionPrueba());
  QString error;
  auto otra = store::Database::Abrir(tienda.Base("CMC00100.MDB"), tienda.conexion, &error);
  ASSERT_TRUE(otra) << error.toStdString();
  otra->Begin();
  otra->Ejecuta("UPDATE ARTICULOS SET DESCRIPCION = DESCRIPCION");
  QElapsedTimer reloj;
  reloj.start();
  const SalidaCli r = tienda.Importa(imports::Clase(imports::OpcionImportacion::Referencias));
  const qint64 ms = reloj.elapsed();
  otra->Rollback();
  EXPECT_EQ(1, r.codigo);
  EXPECT_TRUE(r.err.contains("está ocupada por otro programa")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("tiene aplicado el fichero hasta la línea 5.")) << r.err.toStdString();
  EXPECT_GE(ms, 4500);   // the wait, 5 s
  EXPECT_LT(ms, 60000);  // and not for as long as the other session holds on
}

}  // namespace
}  // namespace relvano::testing
