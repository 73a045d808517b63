#include "demo/demo.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cmath>

#include "app/arranque.h"
#include "app/ini_settings.h"
#include "store/vat/iva.h"
#include "support/cli.h"
#include "support/recording_operator.h"

using relvano::CreaDemo;
using relvano::IniSettingsStore;
using relvano::Programa;
using relvano::Valor;
using relvano::testing::Cli;
using relvano::testing::RecordingOperator;
using relvano::testing::SalidaCli;

namespace {

QByteArray Bytes(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Campos(const QString& linea) {
  QStringList c = linea.split('|');
  c.removeLast();  // every field is followed by "|"
  for (QString& s : c) s = s.trimmed();
  return c;
}

TEST(Demo, CreatesAnInstallationThatStartsUpAndRefusesASecondTime) {
  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(CreaDemo(dir.path(), &error)) << error.toStdString();
  for (const char* f : {"BDD/GENERAL.MDB", "BDD/CNT00100.MDB", "BDD/CMC00100.MDB",
                        "settings/VANTEL.ini", "settings/RELVANO.ini", "In/vrcrefcto0001.txt",
                        "In/vrceancto0001.txt", "In/vrcmllcto0001.txt", "In/vrcprccto0001.txt",
                        "In/vrcofecto0001.txt", "In/envfradis0001.txt"})
    EXPECT_TRUE(QFile::exists(dir.filePath(f))) << f;

  IniSettingsStore ajustes(dir.filePath("settings"));
  EXPECT_EQ(QDir(dir.filePath("BDD")).absolutePath(),
            ajustes.GetSetting("VANTEL", "BDD", "RUTABDDCOMERCIAL"));
  EXPECT_EQ("Si", ajustes.GetSetting("RELVANO", "IMPORTAR", "ACTUALIZAR_BAJAS"));
  EXPECT_EQ(QDir(dir.filePath("In")).absolutePath(),
            ajustes.GetSetting("RELVANO", "IMPORTAR", "CARPETA_ENTRADA"));

  RecordingOperator operador;
  Programa p(ajustes, operador);
  ASSERT_EQ(Programa::Resultado::Hecho, p.CargaEmpresas())
      << operador.Transcripcion().toStdString();
  EXPECT_EQ(QStringList{"001"}, p.Empresas());
  EXPECT_TRUE(p.EmpresaAbierta());
  EXPECT_EQ("EURO", p.Empresa().Divisa);
  auto& tienda = *p.Empresa().BddTienda;
  EXPECT_EQ(Valor(6.0), tienda.Escalar("select count(*) from IVA"));  // filled at the first opening
  EXPECT_EQ(Valor(40.0), tienda.Escalar("select count(*) from ARTICULOS"));
  EXPECT_EQ(Valor(40.0),
            tienda.Escalar("select count(*) from ARTICULOS_PROV where IDPROVEEDOR = '1' "
                           "and REF_PROV = IDARTICULO"));
  EXPECT_EQ(
      Valor(100.0),
      tienda.Escalar("select sum(PORCENTAJE) from PROVEEDORES_PAGCOB where ID_PROVEEDOR = '1'"));
  EXPECT_EQ(
      Valor(2.0),
      tienda.Escalar(
          "select count(*) from SERIES where CODIGO = '1' and TIPO_SERIE in ('ALBPR', 'FACPR')"));
  EXPECT_EQ(Valor(2.0), p.Empresa().BddContable->Escalar(
                            "select count(*) from FORMA_PAGCOB where SUMA_DIAS in (30, 60)"));
  // Each of the supplier's terms names one of those methods.
  EXPECT_EQ(Valor(2.0),
            tienda.Escalar("select count(distinct FORMA_PAGCOB) from PROVEEDORES_PAGCOB "
                           "where FORMA_PAGCOB in ('30', '60')"));

  QString otra;
  EXPECT_FALSE(CreaDemo(dir.path(), &otra));
  EXPECT_TRUE(otra.contains("ya contiene")) << otra.toStdString();
}

TEST(Demo, ChainFilesAreWindows1252WithCrLfAndTheirOwnLineCounts) {
  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(CreaDemo(dir.path(), &error)) << error.toStdString();
  for (const QString& nombre : QDir(dir.filePath("In")).entryList(QDir::Files)) {
    const QByteArray bytes = Bytes(dir.filePath("In/" + nombre));
    ASSERT_TRUE(bytes.endsWith("\r\n")) << nombre.toStdString();
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n')) << nombre.toStdString();
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\r')) << nombre.toStdString();
    const QString texto = QStringDecoder("windows-1252").decode(bytes);
    QStringList lineas = texto.split("\r\n");
    lineas.removeLast();
    EXPECT_EQ("IDE", lineas.first().left(3));
    EXPECT_EQ("2026-11-30", Campos(lineas.first()).value(5));
    EXPECT_EQ("CHK", lineas.last().left(3));
    EXPECT_EQ(lineas.size(), Campos(lineas.last()).value(1).toInt()) << nombre.toStdString();
  }
  const QByteArray ide = Bytes(dir.filePath("In/envfradis0001.txt"));
  EXPECT_TRUE(ide.contains("DISTRIBUCI\xD3N")) << ide.left(80).toStdString();
}

// The invoice file's declared totals must be those the program will compute for it: its
// bases by VAT class at the rates of the invoice date, rounded to cents.
TEST(Demo, InvoiceDeclaresTheTotalsTheProgramComputes) {
  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(CreaDemo(dir.path(), &error)) << error.toStdString();
  IniSettingsStore ajustes(dir.filePath("settings"));
  RecordingOperator operador;
  Programa p(ajustes, operador);
  ASSERT_EQ(Programa::Resultado::Hecho, p.CargaEmpresas());

  const QString texto =
      QStringDecoder("windows-1252").decode(Bytes(dir.filePath("In/envfradis0001.txt")));
  double bases[4] = {0, 0, 0, 0};
  QString totalDeclarado;
  QDate fecha;
  QMap<QString, QStringList> imp;
  for (const QString& linea : texto.split("\r\n")) {
    const QStringList c = Campos(linea);
    if (c.value(0) == "CAB") {
      totalDeclarado = c.value(14);
      fecha = QDate::fromString(c.value(2), Qt::ISODate);
    } else if (c.value(0) == "LIN") {
      const int slot = QString("?AMB").indexOf(c.value(3));
      ASSERT_GT(slot, 0) << linea.toStdString();
      EXPECT_DOUBLE_EQ(c.value(8).toDouble() * c.value(17).toDouble(), c.value(21).toDouble());
      // The line must reach an article of the shop through the chain's references.
      EXPECT_EQ(Valor(1.0),
                p.Empresa().BddTienda->Escalar(
                    "select count(*) from ARTICULOS_PROV where IDPROVEEDOR = '1' and REF_PROV = ?",
                    {Valor(c.value(1))}));
      bases[slot] += c.value(21).toDouble();
    } else if (c.value(0) == "IMP") {
      imp[c.value(1)] = c;
    }
  }
  ASSERT_TRUE(fecha.isValid());
  ASSERT_NE(fecha, QDate::currentDate());
  double total = 0;
  for (int slot = 1; slot <= 3; ++slot) {
    if (bases[slot] == 0) continue;
    double iva = 0, recargo = 0;
    relvano::store::DimeIvaFecha(p.Empresa(), fecha, QString::number(slot), iva, recargo);
    const double base = std::round(bases[slot] * 100) / 100;
    const double cuota = std::round(base * iva) / 100;
    const QString clase = QString("?AMB").mid(slot, 1);
    ASSERT_TRUE(imp.contains(clase)) << clase.toStdString();
    EXPECT_EQ(QString::number(base, 'f', 2), imp[clase].value(4));
    EXPECT_EQ(QString::number(cuota, 'f', 2), imp[clase].value(5));
    total += base + cuota;
  }
  EXPECT_EQ(QString::number(total, 'f', 2), totalDeclarado);
}

TEST(Demo, CommandLineCompaniesAndDemo) {
  QTemporaryDir dir;
  SalidaCli demo = Cli({"demo", dir.filePath("inst")});
  EXPECT_EQ(0, demo.codigo) << demo.err.toStdString();

  SalidaCli lista = Cli({"--settings-dir", dir.filePath("inst/settings"), "companies"});
  EXPECT_EQ(0, lista.codigo) << lista.err.toStdString();
  EXPECT_EQ("001\n", lista.out);
  EXPECT_EQ("", lista.err);

  SalidaCli otra = Cli({"demo", dir.filePath("inst")});
  EXPECT_EQ(2, otra.codigo);
  EXPECT_TRUE(otra.err.contains("ya contiene")) << otra.err.toStdString();

  QDir().mkpath(dir.filePath("vacia"));
  SalidaCli sinAjustes = Cli({"companies", "--settings-dir", dir.filePath("vacia")});
  EXPECT_EQ(2, sinAjustes.codigo);
  EXPECT_EQ("", sinAjustes.out);
  EXPECT_EQ("No se ha encontrado la información del programa VANTEL\n", sinAjustes.err);
  EXPECT_FALSE(QFile::exists(dir.filePath("vacia/RELVANO.ini")));  // nothing written
}

}  // namespace
