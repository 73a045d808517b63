// The store on a database server: the same files give the same rows and logs as in files,
// two shops share a server without touching each other, a database held by another
// session is waited for a bounded time, and a server that stops answering ends the run.
// Run on the server the engine run names.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "app/ini_settings.h"
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

// The password is hidden or left out whatever its quoting, by one reading of the string.
TEST(ConexionServidor, PasswordHiddenOrLeftOutWhateverItsQuoting) {
  struct Caso {
    const char* conexion;
    const char* visible;
    const char* sinClave;
  } casos[] = {
      {"host=h password=secreto user=u", "host=h password=*** user=u", "host=h user=u"},
      {R"(host=h password='Se\'creto largo' user=u)", "host=h password=*** user=u",
       "host=h user=u"},
      {R"(password = 'a b' host='/tmp/x y')", R"(password = *** host='/tmp/x y')",
       R"(host='/tmp/x y')"},
      {R"(host=h password=sin\ blanco port=5)", "host=h password=*** port=5", "host=h port=5"},
      {"host=h password='sin cerrar", "host=h password=***", "host=h"},
      {"host=h port=5", "host=h port=5", "host=h port=5"},
  };
  for (const Caso& c : casos) {
    bool habia = false;
    EXPECT_EQ(QString(c.visible), store::ConexionVisible(c.conexion)) << c.conexion;
    EXPECT_EQ(QString(c.sinClave), store::ConexionSinClave(c.conexion, &habia)) << c.conexion;
    EXPECT_EQ(QString(c.conexion).contains("password"), habia) << c.conexion;
  }
}

// A listener that takes connections and never answers: connecting gives up after
// connect_timeout, saying so, with nothing on standard error from the driver.
TEST(ConexionServidor, AServerThatNeverAnswersIsGivenUpWhenConnecting) {
  if (ConexionPrueba().motor != store::Motor::Sqlite) GTEST_SKIP() << "una vez, sin servidor";
  const int escucha = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in dir{};
  dir.sin_family = AF_INET;
  dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t largo = sizeof dir;
  ASSERT_EQ(0, bind(escucha, reinterpret_cast<sockaddr*>(&dir), sizeof dir));
  ASSERT_EQ(0, listen(escucha, 8));  // the system completes connections nobody accepts
  ASSERT_EQ(0, getsockname(escucha, reinterpret_cast<sockaddr*>(&dir), &largo));

  QTemporaryDir inst;
  QString error;
  ASSERT_TRUE(CreaDemo(inst.path(), &error)) << error.toStdString();
  IniSettingsStore ajustes(inst.filePath("settings"));
  const QString lugar = QStringLiteral("127.0.0.1:%1").arg(ntohs(dir.sin_port));
  ajustes.SaveSetting("RELVANO", "BDD", "MOTOR", "PostgreSQL");
  ajustes.SaveSetting("RELVANO", "BDD", "SERVIDOR",
                      QStringLiteral("host=127.0.0.1 port=%1 user=tienda connect_timeout=2")
                          .arg(ntohs(dir.sin_port)));
  QElapsedTimer reloj;
  reloj.start();
  const SalidaCli r =
      Cli({"import", "articulos", inst.filePath("In/vrcrefcto0001.txt"), "--settings-dir",
           inst.filePath("settings"), "--log-dir", inst.filePath("logs")});
  close(escucha);
  EXPECT_LT(reloj.elapsed(), 20000);
  EXPECT_EQ(2, r.codigo);  // nothing could be done
  EXPECT_EQ("El servidor de base de datos no responde (" + lugar +
                "): no ha contestado en 2 s al conectar. Compruebe que está en marcha y lo que "
                "dice SERVIDOR en [BDD] de RELVANO.ini.\n",
            r.err);
}

// A demo asked for with a prefix in capitals and a password: the databases are made and
// reached in lower case, a second demo with that prefix is told to choose another, and
// the settings never hold the password.
TEST_F(Servidor, DemoPrefixInLowerCaseAndThePasswordNeverWritten) {
  const QString prefijo = QStringLiteral("T%1Demo_").arg(QCoreApplication::applicationPid());
  store::OpcionesConexion conexion = ConexionPrueba();
  conexion.prefijo = prefijo.toLower();
  QTemporaryDir dir;
  const QString servidor = conexion.servidor + QStringLiteral(R"( password='Se\'creto largo')");
  const auto demo = [&](const char* carpeta) {
    return Cli({"demo", dir.filePath(carpeta), "--engine", "postgresql", "--server", servidor,
                "--prefix", prefijo});
  };
  const SalidaCli primera = demo("a");
  const SalidaCli segunda = demo("b");
  const SalidaCli empresas = Cli({"companies", "--settings-dir", dir.filePath("a/settings")});
  for (const char* b : kBases)
    BorraDelServidor(dir.filePath(QStringLiteral("a/BDD/") + b), conexion);

  EXPECT_EQ(0, primera.codigo) << primera.err.toStdString();
  EXPECT_TRUE(primera.out.contains("RELVANO_CLAVE_BDD o en el fichero ~/.pgpass"))
      << primera.out.toStdString();
  QFile ini(dir.filePath("a/settings/RELVANO.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QString ajustes = QString::fromUtf8(ini.readAll());
  EXPECT_FALSE(ajustes.contains("creto") || ajustes.contains("password")) << ajustes.toStdString();
  EXPECT_TRUE(ajustes.contains("PREFIJO=" + prefijo.toLower())) << ajustes.toStdString();
  EXPECT_EQ(0, empresas.codigo) << empresas.err.toStdString();

  EXPECT_EQ(2, segunda.codigo);
  EXPECT_EQ("relvano-cli: El servidor ya tiene la base de datos " + prefijo.toLower() +
                "general; elija otro prefijo o bórrela antes.\n",
            segunda.err);
}

// The import's session on the server is found waiting for a row another session holds,
// then something happens to it: the run ends at once or within its bound, with one clean
// line saying why and how far the file is applied, and nothing from the driver.
TEST_F(Servidor, ABackendThatStopsOrDiesEndsTheRunWithOneCleanMessage) {
  struct Caso {
    const char* que;
    std::function<void(store::Database&, qint64)> haz;
    const char* dice;
  } casos[] = {
      {"parado", [](store::Database&, qint64 pid) { kill(static_cast<pid_t>(pid), SIGSTOP); },
       "El servidor de base de datos no responde ("},
      {"terminado",
       [](store::Database& mira, qint64 pid) {
         mira.Escalar("SELECT pg_terminate_backend(?)", {Valor(double(pid))});
       },
       "(57P01)"},
  };
  for (const Caso& c : casos) {
    Demo tienda(ConexionPrueba());
    IniSettingsStore(tienda.dir.filePath("settings"))
        .SaveSetting("RELVANO", "BDD", "ESPERA_SERVIDOR", "1");
    QString error;
    // One session holds the rows; another, outside any transaction, watches the server.
    auto otra = store::Database::Abrir(tienda.Base("CMC00100.MDB"), tienda.conexion, &error);
    auto mira = store::Database::Abrir(tienda.Base("GENERAL.MDB"), tienda.conexion, &error);
    ASSERT_TRUE(otra && mira) << error.toStdString();
    otra->Begin();
    otra->Ejecuta("UPDATE ARTICULOS SET DESCRIPCION = DESCRIPCION");

    QProcess importa;
    importa.start(
        RELVANO_CLI_PATH,
        {"import", "articulos", tienda.dir.filePath("In/vrcrefcto0001.txt"), "--settings-dir",
         tienda.dir.filePath("settings"), "--log-dir", tienda.dir.filePath("logs")});
    qint64 pid = 0;
    for (int i = 0; i < 100 && pid == 0; ++i) {
      QThread::msleep(50);
      pid = static_cast<qint64>(
          mira->Escalar(
                  "SELECT pid FROM pg_stat_activity WHERE datname = ? AND "
                  "wait_event_type = 'Lock'",
                  {Valor(store::NombreEnServidor(tienda.Base("CMC00100.MDB"), tienda.conexion))})
              .Numero());
    }
    ASSERT_NE(0, pid) << c.que;
    c.haz(*mira, pid);
    otra->Rollback();
    QElapsedTimer reloj;
    reloj.start();
    const bool acabado = importa.waitForFinished(30000);
    const qint64 ms = reloj.elapsed();
    kill(static_cast<pid_t>(pid), SIGCONT);
    ASSERT_TRUE(acabado) << c.que;
    otra.reset();

    const QString err = QString::fromUtf8(importa.readAllStandardError());
    EXPECT_EQ(1, importa.exitCode()) << c.que << err.toStdString();
    EXPECT_LT(ms, 15000) << c.que;  // the lock's wait (5 s) and the server's (1 s), not more
    const QString ultima = err.trimmed().section('\n', -1);
    EXPECT_TRUE(ultima.contains(c.dice)) << c.que << err.toStdString();
    EXPECT_TRUE(ultima.contains(
        store::NombreEnServidor(tienda.Base("CMC00100.MDB"), tienda.conexion) + " en "))
        << c.que << err.toStdString();
    EXPECT_TRUE(ultima.endsWith("La base de datos no tiene aplicada ninguna línea del fichero."))
        << c.que << err.toStdString();
    // Nothing else on standard error but the company the run imports into.
    EXPECT_EQ("Empresa 001 – Supermercado Norvia Centro\n" + ultima, err.trimmed()) << c.que;
  }
}

}  // namespace
}  // namespace relvano::testing
