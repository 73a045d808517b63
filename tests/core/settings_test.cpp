#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/carpetas.h"
#include "app/ini_settings.h"

using relvano::CarpetaAjustes;
using relvano::CarpetaLogs;
using relvano::IniSettingsStore;

namespace {

QString Lee(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

void Escribe(const QString& ruta, const QByteArray& texto) {
  QFile f(ruta);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(texto);
}

// Restores an environment variable when the test ends.
class EnvVar {
 public:
  EnvVar(const char* nombre, const QString& valor) : nombre_(nombre), antes_(qgetenv(nombre)), habia_(qEnvironmentVariableIsSet(nombre)) {
    if (valor.isNull()) qunsetenv(nombre); else qputenv(nombre, valor.toUtf8());
  }
  ~EnvVar() { if (habia_) qputenv(nombre_, antes_); else qunsetenv(nombre_); }

 private:
  const char* nombre_;
  QByteArray antes_;
  bool habia_;
};

TEST(Settings, ValuesRoundTripExactly) {
  QTemporaryDir dir;
  IniSettingsStore s(dir.path());
  const QString valores[] = {
      "/home/tienda/Datos Vantel/BDD",
      "C:\\Archivos de programa\\Gestión Año 2012",
      "DRIVER={Microsoft Access Driver (*.mdb)};DBQ={ruta};PWD={clave}",
      "a=b=c; d",
      "uno, dos, tres",
      "  blancos a ambos lados  ",
      "ñandú \"comillas\" #no es comentario",
      "",
  };
  for (const QString& v : valores) {
    s.SaveSetting("RELVANO", "BDD", "VALOR", v);
    EXPECT_EQ(v, s.GetSetting("RELVANO", "BDD", "VALOR")) << v.toStdString();
    EXPECT_EQ(v, IniSettingsStore(dir.path()).GetSetting("RELVANO", "BDD", "VALOR"));
  }
}

TEST(Settings, MissingFileSectionOrKeyReadsEmpty) {
  QTemporaryDir dir;
  IniSettingsStore s(dir.path());
  EXPECT_EQ("", s.GetSetting("VANTEL", "BDD", "RUTABDDEMPRESA"));
  Escribe(dir.filePath("VANTEL.ini"), "[BDD]\nRUTABDDEMPRESA=/x\n");
  EXPECT_EQ("", s.GetSetting("VANTEL", "OTRA", "RUTABDDEMPRESA"));
  EXPECT_EQ("", s.GetSetting("VANTEL", "BDD", "RUTABDDCONTABLE"));
  EXPECT_EQ("", s.GetSetting("RELVANO", "BDD", "RUTABDDEMPRESA"));
  EXPECT_EQ("/x", s.GetSetting("VANTEL", "BDD", "RUTABDDEMPRESA"));
}

TEST(Settings, ReadsHandWrittenFiles) {
  QTemporaryDir dir;
  Escribe(dir.filePath("VANTEL.ini"),
          "\xEF\xBB\xBF; ajustes de la tienda\r\n"
          "[General]\r\nRUTABDDEMPRESA=/otra\r\n"
          "[ bdd ]\r\n"
          "rutabddempresa=/datos/Compañía\r\n"
          "RUTABDDCONTABLE = /datos/cnt\r\n");
  IniSettingsStore s(dir.path());
  EXPECT_EQ("/datos/Compañía", s.GetSetting("VANTEL", "BDD", "RUTABDDEMPRESA"));
  EXPECT_EQ(" /datos/cnt", s.GetSetting("VANTEL", "BDD", "RUTABDDCONTABLE"));
}

TEST(Settings, SavingKeepsEveryOtherSectionKeyAndComment) {
  QTemporaryDir dir;
  Escribe(dir.filePath("RELVANO.ini"),
          "; comentario\n"
          "[IMPORTAR]\nIDEMPRESA=001\nACTUALIZAR_BAJAS=No\n\n"
          "[BDD]\nCONEXION_ODBC=DSN=x;UID=y\n");
  IniSettingsStore s(dir.path());
  s.SaveSetting("RELVANO", "IMPORTAR", "ACTUALIZAR_BAJAS", "Si");
  s.SaveSetting("RELVANO", "IMPORTAR", "CARPETA_ENTRADA", "/In");
  s.SaveSetting("RELVANO", "NUEVA", "CLAVE", "valor");
  EXPECT_EQ(
      "; comentario\n"
      "[IMPORTAR]\nIDEMPRESA=001\nACTUALIZAR_BAJAS=Si\nCARPETA_ENTRADA=/In\n\n"
      "[BDD]\nCONEXION_ODBC=DSN=x;UID=y\n\n"
      "[NUEVA]\nCLAVE=valor\n",
      Lee(dir.filePath("RELVANO.ini")));
}

TEST(Settings, SavingCreatesTheFolderAndALineBreakCannotStartANewKey) {
  QTemporaryDir dir;
  IniSettingsStore s(dir.filePath("sub/carpeta"));
  s.SaveSetting("RELVANO", "IMPORTAR", "IDEMPRESA", "001\r\nACTUALIZAR_BAJAS=No");
  EXPECT_EQ("", s.GetSetting("RELVANO", "IMPORTAR", "ACTUALIZAR_BAJAS"));
  EXPECT_EQ("001 ACTUALIZAR_BAJAS=No", s.GetSetting("RELVANO", "IMPORTAR", "IDEMPRESA"));
}

TEST(Settings, SettingsFolderOrder) {
  {
    EnvVar a("RELVANO_SETTINGS_DIR", "/env/ajustes");
    EnvVar b("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ("/opcion", CarpetaAjustes("/opcion"));
    EXPECT_EQ("/env/ajustes", CarpetaAjustes(""));
  }
  {
    EnvVar a("RELVANO_SETTINGS_DIR", QString());
    EnvVar b("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ("/xdg/relvano", CarpetaAjustes(""));
  }
  {
    EnvVar a("RELVANO_SETTINGS_DIR", QString());
    EnvVar b("XDG_CONFIG_HOME", QString());
    EXPECT_EQ(QDir::homePath() + "/.config/relvano", CarpetaAjustes(""));
  }
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
}

}  // namespace
