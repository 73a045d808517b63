#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/carpetas.h"
#include "app/ini_settings.h"
#include "support/tienda.h"

namespace relvano {
namespace {

QString Lee(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<missing>");
}

void Escribe(const QString& ruta, const QByteArray& texto) {
  QFile f(ruta);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(texto);
}

// Sets (or, for a null value, removes) an environment variable until the test ends.
class EnvVar {
 public:
  EnvVar(const char* nombre, const QString& valor)
      : nombre_(nombre), antes_(qgetenv(nombre)), habia_(qEnvironmentVariableIsSet(nombre)) {
    valor.isNull() ? qunsetenv(nombre) : qputenv(nombre, valor.toUtf8());
  }
  ~EnvVar() { habia_ ? qputenv(nombre_, antes_) : qunsetenv(nombre_); }

 private:
  const char* nombre_;
  QByteArray antes_;
  bool habia_;
};

TEST(Settings, ValuesRoundTripExactly) {
  QTemporaryDir dir;
  IniSettingsStore s(dir.path());
  for (const QString& v : testing::Golden("ajustes_valores.txt").split(u'\n')) {
    s.SaveSetting("RELVANO", "BDD", "VALOR", v);
    EXPECT_EQ(v, IniSettingsStore(dir.path()).GetSetting("RELVANO", "BDD", "VALOR"));
  }
  // A line break cannot start a new key.
  s.SaveSetting("RELVANO", "IMPORTAR", "IDEMPRESA", "001\r\nACTUALIZAR_BAJAS=No");
  EXPECT_EQ(QString(""), s.GetSetting("RELVANO", "IMPORTAR", "ACTUALIZAR_BAJAS"));
  EXPECT_EQ(QString("001 ACTUALIZAR_BAJAS=No"), s.GetSetting("RELVANO", "IMPORTAR", "IDEMPRESA"));
}

TEST(Settings, ReadsHandWrittenFilesAndMissingKeysReadEmpty) {
  QTemporaryDir dir;
  IniSettingsStore s(dir.path());
  EXPECT_EQ(QString(""), s.GetSetting("VANTEL", "BDD", "RUTABDDEMPRESA"));
  Escribe(dir.filePath("VANTEL.ini"), "\xEF\xBB\xBF" + testing::Golden("VANTEL.ini").toUtf8());
  EXPECT_EQ(QString("/datos/Compañía"), s.GetSetting("VANTEL", "BDD", "RUTABDDEMPRESA"));
  EXPECT_EQ(QString(" /datos/cnt"), s.GetSetting("VANTEL", "BDD", "RUTABDDCONTABLE"));
  EXPECT_EQ(QString(""), s.GetSetting("VANTEL", "BDD", "RUTABDDCOMERCIAL"));
  EXPECT_EQ(QString(""), s.GetSetting("VANTEL", "OTRA", "RUTABDDEMPRESA"));
  EXPECT_EQ(QString(""), s.GetSetting("RELVANO", "BDD", "RUTABDDEMPRESA"));
}

TEST(Settings, SavingKeepsEveryOtherSectionKeyAndComment) {
  QTemporaryDir dir;
  Escribe(dir.filePath("RELVANO.ini"), testing::Golden("RELVANO.ini").toUtf8());
  IniSettingsStore s(dir.path());
  s.SaveSetting("RELVANO", "IMPORTAR", "ACTUALIZAR_BAJAS", "Si");
  s.SaveSetting("RELVANO", "IMPORTAR", "CARPETA_ENTRADA", "/In");
  s.SaveSetting("RELVANO", "NUEVA", "CLAVE", "valor");
  EXPECT_EQ(testing::Golden("RELVANO_guardado.ini"), Lee(dir.filePath("RELVANO.ini")));
  IniSettingsStore(dir.filePath("sub/carpeta")).SaveSetting("RELVANO", "A", "B", "c");
  EXPECT_EQ(QString("c"),
            IniSettingsStore(dir.filePath("sub/carpeta")).GetSetting("RELVANO", "A", "B"));
}

TEST(Settings, SettingsFolderOrder) {
  EnvVar xdg("XDG_CONFIG_HOME", "/xdg");
  {
    EnvVar a("RELVANO_SETTINGS_DIR", "/env/ajustes");
    EXPECT_EQ(QString("/opcion"), CarpetaAjustes("/opcion"));
    EXPECT_EQ(QString("/env/ajustes"), CarpetaAjustes(""));
  }
  EnvVar a("RELVANO_SETTINGS_DIR", QString());
  EXPECT_EQ(QString("/xdg/relvano"), CarpetaAjustes(""));
  EnvVar b("XDG_CONFIG_HOME", QString());
  EXPECT_EQ(QDir::homePath() + "/.config/relvano", CarpetaAjustes(""));
}

TEST(Settings, LogFolderOrderCreatesTheFolder) {
  QTemporaryDir dir;
  const QString programa = dir.filePath("programa");
  QDir().mkpath(programa);
  {
    EnvVar a("RELVANO_LOG_DIR", dir.filePath("env"));
    EXPECT_EQ(dir.filePath("opcion/logs"), CarpetaLogs(dir.filePath("opcion/logs"), programa));
    EXPECT_TRUE(QDir(dir.filePath("opcion/logs")).exists());
    EXPECT_EQ(dir.filePath("env"), CarpetaLogs("", programa));
    EXPECT_TRUE(QDir(dir.filePath("env")).exists());
  }
  EnvVar a("RELVANO_LOG_DIR", QString());
  EnvVar b("XDG_DATA_HOME", dir.filePath("xdg"));
  EXPECT_EQ(programa, CarpetaLogs("", programa));
  EXPECT_EQ(dir.filePath("xdg/relvano"), CarpetaLogs("", dir.filePath("no/existe")));
  EXPECT_TRUE(QDir(dir.filePath("xdg/relvano")).exists());
#ifndef Q_OS_WIN
  // An installed program's folder is never used, even when it can be written (as root).
  for (const char* sistema : {"/usr/bin", "/usr/local/bin", "/opt/relvano", "/bin", "/sbin"})
    EXPECT_EQ(dir.filePath("xdg/relvano"), CarpetaLogs("", sistema)) << sistema;
#endif
}

}  // namespace
}  // namespace relvano
