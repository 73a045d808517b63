// The whole inbox in one run, on the demo installation: the chain's order whatever the
// names, each file seeing the ones before it, the archive, the stop at a failing file.

#include "app/bandeja.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/arranque.h"
#include "app/historial.h"
#include "app/ini_settings.h"
#include "demo/demo.h"
#include "support/cli.h"
#include "support/recording_operator.h"

namespace relvano {
namespace {

using imports::OpcionImportacion;

class Inbox : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(CreaDemo(dir_.path(), &error)) << error.toStdString();
    ajustes_ = std::make_unique<IniSettingsStore>(dir_.filePath("settings"));
    programa_ = std::make_unique<Programa>(*ajustes_, operador_);
    ASSERT_EQ(Programa::Resultado::Hecho, programa_->CargaEmpresas());
  }

  QString In(const QString& nombre = QString()) const { return dir_.filePath("In/" + nombre); }
  QString Demo(OpcionImportacion k) const {
    return In(QString::fromLatin1(imports::Clase(k).prefijo) + "0001.txt");
  }
  void Escribe(const QString& nombre, const QByteArray& bytes) {
    QFile f(In(nombre));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  // Writes the demo file of `k` as `nombre` (the demo's gone unless `deja`), its bytes
  // changed as `cambios` say.
  void Copia(OpcionImportacion k, const QString& nombre,
             const std::vector<std::pair<QByteArray, QByteArray>>& cambios = {},
             bool deja = false) {
    QFile f(Demo(k));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    for (const auto& [de, a] : cambios) bytes.replace(de, a);
    if (!deja) f.remove();
    Escribe(nombre, bytes);
  }
  ResultadoBandeja Importa() {
    OpcionesBandeja o;
    o.carpeta = In();
    o.carpetaLogs = o.carpetaHistorial = dir_.filePath("logs");
    QDir().mkpath(o.carpetaLogs);
    return ImportaBandeja(programa_->Empresa(), o, operador_);
  }
  // "kind name outcome" per file, without the line counts.
  static QString Resumen(const ResultadoBandeja& r) {
    QStringList s;
    for (const QString& l : r.Lineas()) s << l.section(u'\t', 0, 2).replace(u'\t', u' ');
    return s.join(u'\n');
  }
  QString Procesados() const {
    return In("Procesados/" + QDate::currentDate().toString("yyyy-MM") + "/");
  }

  QTemporaryDir dir_;
  testing::RecordingOperator operador_;
  std::unique_ptr<IniSettingsStore> ajustes_;
  std::unique_ptr<Programa> programa_;
};

TEST_F(Inbox, AppliesScrambledNamesInTheChainsOrderAndArchivesEachFile) {
  // Names in the reverse of the chain's order and without the kinds' prefixes: the kind
  // comes from the shape. A newer EAN file for an article the reference file creates.
  const char* nombres[] = {"f.txt", "e.txt", "d.txt", "c.txt", "b.txt", "a.txt"};
  Copia(OpcionImportacion::Ean, "a0.txt",
        {{"2026-11-30", "2026-12-01"}, {"8412345000113|1000011|", "8412345999998|1000196|"}}, true);
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    Copia(c.opcion, nombres[static_cast<int>(c.opcion)]);

  const ResultadoBandeja r = Importa();
  EXPECT_EQ(kBandejaCorrecta, r.estado) << operador_.Transcripcion().toStdString();
  const QString orden =
      "articulos f.txt importado\nean e.txt importado\nean a0.txt importado\n"
      "preciocoste d.txt importado\nprecioventa c.txt importado\nofertas b.txt importado\n"
      "facturas a.txt importado";
  EXPECT_EQ(orden, Resumen(r));
  EXPECT_EQ(Valor(1.0), programa_->Empresa().BddTienda->Escalar(
                            "SELECT COUNT(*) FROM ARTICULOS_EAN WHERE IDARTICULO = '1000196' "
                            "AND EAN = '8412345999998'"));
  EXPECT_EQ(QStringList{"Procesados"},
            QDir(In()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
  for (const DesenlaceBandeja& d : r.ficheros)
    EXPECT_EQ(Procesados() + d.fichero.nombre, d.destino);
  EXPECT_EQ(7, QDir(Procesados()).entryList(QDir::Files).size());

  // The history shows each file, in the order applied.
  QString error;
  auto historial = Historial::Abre(dir_.filePath("logs"), &error);
  ASSERT_TRUE(historial) << error.toStdString();
  QStringList vistos;
  for (const EjecucionHistorial& e : historial->Lista({})) vistos.prepend(e.nombre);
  EXPECT_EQ("f.txt e.txt a0.txt d.txt c.txt b.txt a.txt", vistos.join(' '));

  // The same content again is archived, not applied, under a free name.
  QFile::copy(Procesados() + "f.txt", In("f.txt"));
  const ResultadoBandeja otra = Importa();
  EXPECT_EQ(kBandejaCorrecta, otra.estado);
  EXPECT_EQ("articulos f.txt ya importado antes, archivado", Resumen(otra));
  EXPECT_TRUE(QFile::exists(Procesados() + "f-1.txt"));
}

TEST_F(Inbox, AFailingFileStopsTheRunWhileARefusedOneStaysAndTheRunGoesOn) {
  // EAN lines under a sale price file's name; a cost file with a control character.
  Copia(OpcionImportacion::Ean, "vrcprccto9.txt", {}, true);
  Copia(OpcionImportacion::PreciosCoste, "vrcmllcto0001.txt",
        {{"|1000110|",
          "|10\x01"
          "0110|"}});
  Escribe("notas.txt", "hola\r\n");

  const ResultadoBandeja r = Importa();
  EXPECT_EQ(kBandejaFallo, r.estado);
  EXPECT_EQ(
      "articulos vrcrefcto0001.txt importado\nean vrceancto0001.txt importado\n"
      "ean vrcprccto9.txt rechazado\npreciocoste vrcmllcto0001.txt error\n"
      "precioventa vrcprccto0001.txt no procesado\nofertas vrcofecto0001.txt no procesado\n"
      "facturas envfradis0001.txt no procesado\n- notas.txt no procesado",
      Resumen(r));
  for (const char* queda : {"vrcprccto9.txt", "vrcmllcto0001.txt", "vrcprccto0001.txt",
                            "vrcofecto0001.txt", "envfradis0001.txt", "notas.txt"})
    EXPECT_TRUE(QFile::exists(In(queda))) << queda;
  EXPECT_TRUE(QFile::exists(Procesados() + "vrcrefcto0001.txt"));

  // Without the failing file: the refused one and the unknown one make the status 2.
  QFile::remove(In("vrcmllcto0001.txt"));
  EXPECT_EQ(kBandejaRechazo, Importa().estado);
}

TEST_F(Inbox, CommandLineSimulatesTheSettingsFolderAndRefusesAnEmptyOne) {
  const QStringList base = {"--settings-dir", dir_.filePath("settings"), "--log-dir",
                            dir_.filePath("logs"), "inbox"};
  QDir().mkpath(dir_.filePath("logs"));
  const auto simulada = testing::Cli(base + QStringList{"--simulate"});
  EXPECT_EQ(0, simulada.codigo) << simulada.err.toStdString();
  EXPECT_EQ(6, simulada.out.count("\tsimulado\t"));
  EXPECT_TRUE(simulada.err.contains("SIMULACIÓN"));
  EXPECT_EQ(6, QDir(In()).entryList(QDir::Files).size());
  EXPECT_FALSE(QFile::exists(In("Procesados")));

  QTemporaryDir vacia;
  const auto nada = testing::Cli(base + QStringList{vacia.path()});
  EXPECT_EQ(2, nada.codigo);
  EXPECT_EQ("", nada.out);
}

}  // namespace
}  // namespace relvano
