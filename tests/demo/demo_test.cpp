#include "demo/demo.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "app/arranque.h"
#include "app/ini_settings.h"
#include "support/cli.h"
#include "support/tienda.h"

// Whether the demo installation squares with the program (its invoice's totals, its
// references) is proven by running every import over it: see query_plan_test.cpp.

namespace relvano {
namespace {

using testing::Cli;

TEST(Demo, CreatesAnInstallationThatStartsUpAndRefusesASecondTime) {
  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(CreaDemo(dir.path(), &error)) << error.toStdString();
  IniSettingsStore ajustes(dir.filePath("settings"));
  EXPECT_EQ(QDir(dir.filePath("In")).absolutePath(),
            ajustes.GetSetting("RELVANO", "IMPORTAR", "CARPETA_ENTRADA"));
  testing::RecordingOperator operador;
  Programa p(ajustes, operador);
  ASSERT_EQ(Programa::Resultado::Hecho, p.CargaEmpresas())
      << operador.Transcripcion().toStdString();
  EXPECT_EQ(QStringList{"001"}, p.Empresas());
  auto& tienda = *p.Empresa().BddTienda;
  EXPECT_EQ(Valor(40.0), tienda.Escalar("select count(*) from ARTICULOS_PROV where "
                                        "IDPROVEEDOR = '1' and REF_PROV = IDARTICULO"));
  // Each of the supplier's terms names a payment method of the accounting database.
  EXPECT_EQ(Valor(100.0), tienda.Escalar("select sum(PORCENTAJE) from PROVEEDORES_PAGCOB"));
  EXPECT_EQ(Valor(2.0), p.Empresa().BddContable->Escalar(
                            "select count(*) from FORMA_PAGCOB where SUMA_DIAS in (30, 60)"));

  // The chain files are Windows-1252 with CR LF, and each declares its own line count.
  QStringList nombres = QDir(dir.filePath("In")).entryList(QDir::Files);
  EXPECT_EQ(6, nombres.size());
  for (const QString& nombre : nombres) {
    QFile f(dir.filePath("In/" + nombre));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n'));
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\r'));
    QStringList lineas = QString(QStringDecoder("windows-1252").decode(bytes)).split("\r\n");
    EXPECT_EQ(QString(), lineas.takeLast()) << nombre.toStdString();
    EXPECT_EQ(QString("CHK|%1|").arg(lineas.size(), 6, 10, QChar('0')), lineas.last())
        << nombre.toStdString();
  }

  QString otra;
  EXPECT_FALSE(CreaDemo(dir.path(), &otra));
  EXPECT_TRUE(otra.contains("ya contiene")) << otra.toStdString();
}

TEST(Demo, CommandLineCompaniesDemoAndImportStatus) {
  QTemporaryDir dir;
  const auto demo = Cli({"demo", dir.filePath("inst")});
  EXPECT_EQ(0, demo.codigo) << demo.err.toStdString();
  const auto lista = Cli({"--settings-dir", dir.filePath("inst/settings"), "companies"});
  EXPECT_EQ(0, lista.codigo) << lista.err.toStdString();
  EXPECT_EQ(QString("001\n"), lista.out + lista.err);
  const auto otra = Cli({"demo", dir.filePath("inst")});
  EXPECT_EQ(2, otra.codigo);
  EXPECT_TRUE(otra.err.contains("ya contiene")) << otra.err.toStdString();

  QDir().mkpath(dir.filePath("vacia"));
  const auto sinAjustes = Cli({"companies", "--settings-dir", dir.filePath("vacia")});
  EXPECT_EQ(2, sinAjustes.codigo);
  EXPECT_EQ(QString("No se ha encontrado la información del programa VANTEL\n"),
            sinAjustes.out + sinAjustes.err);
  EXPECT_FALSE(QFile::exists(dir.filePath("vacia/RELVANO.ini")));  // nothing written

  // The demo invoice is created once, then refused.
  QDir().mkpath(dir.filePath("logs"));
  const QStringList import{"--settings-dir",
                           dir.filePath("inst/settings"),
                           "--log-dir",
                           dir.filePath("logs"),
                           "import",
                           "facturas",
                           dir.filePath("inst/In/envfradis0001.txt")};
  const auto primera = Cli(import);
  EXPECT_EQ(0, primera.codigo) << primera.err.toStdString();
  EXPECT_TRUE(primera.out.contains("DATOS DEL ALBARAN CREADO\n")) << primera.out.toStdString();
  EXPECT_TRUE(primera.err.contains("Se ha creado la factura: 12345")) << primera.err.toStdString();
  // The same file again is refused before the delivery note is looked at (status 2);
  // forced, the note already there stops it (status 3).
  EXPECT_EQ(2, Cli(import).codigo);
  const auto forzada = Cli(import + QStringList{"--force"});
  EXPECT_EQ(3, forzada.codigo) << forzada.err.toStdString();
  EXPECT_TRUE(forzada.err.contains("El albarán 12345 ya existe.")) << forzada.err.toStdString();
}

}  // namespace
}  // namespace relvano
