// The whole inbox on the demo installation: order, archive, stop, statuses, simulation.

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
    QDir().mkpath(dir_.filePath("logs"));
  }

  QString In(const QString& nombre = QString()) const { return dir_.filePath("In/" + nombre); }
  QString Demo(OpcionImportacion k) const {
    return In(QString::fromLatin1(imports::Clase(k).prefijo) + "0001.txt");
  }
  // The demo file of `k` as `nombre`, changed by `cambios`; the demo's gone unless `deja`.
  void Copia(OpcionImportacion k, const QString& nombre,
             const std::vector<std::pair<QByteArray, QByteArray>>& cambios = {},
             bool deja = false) {
    QFile f(Demo(k));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    for (const auto& [de, a] : cambios) bytes.replace(de, a);
    if (!deja) f.remove();
    QFile g(In(nombre));
    ASSERT_TRUE(g.open(QIODevice::WriteOnly) && g.write(bytes) == bytes.size());
  }
  ResultadoBandeja Importa() {
    OpcionesBandeja o;
    o.carpeta = In();
    o.carpetaLogs = dir_.filePath("logs");
    o.historial = Ubicacion();
    return ImportaBandeja(programa_->Empresa(), o, operador_);
  }
  UbicacionHistorial Ubicacion() {
    return UbicacionHistorial::De(programa_->RutaGeneral(), programa_->Conexiones().Opciones(),
                                  dir_.filePath("logs"));
  }
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
        {{"2026-11-30", "2026-12-01"}, {"|1000011|", "|1000196|"}}, true);
  for (const imports::ClaseFichero& c : imports::ClasesFichero()) {
    if (c.opcion != OpcionImportacion::Ean)  // an older file of the kind (another invoice)
      Copia(c.opcion, QString("z%1.txt").arg(static_cast<int>(c.opcion)),
            {{"2026-11-30", "2026-11-29"}, {"FRA00012345", "FRA00012344"}}, true);
    Copia(c.opcion, nombres[static_cast<int>(c.opcion)]);
  }
  const ResultadoBandeja r = Importa();
  EXPECT_EQ(kBandejaCorrecta, r.estado) << operador_.Transcripcion().toStdString();
  EXPECT_EQ(
      "articulos z0.txt importado\narticulos f.txt importado\nean e.txt importado\n"
      "ean a0.txt importado\npreciocoste z2.txt importado\npreciocoste d.txt importado\n"
      "precioventa z3.txt importado\nprecioventa c.txt importado\nofertas z4.txt importado\n"
      "ofertas b.txt importado\nfacturas z5.txt importado\nfacturas a.txt importado",
      Resumen(r));
  EXPECT_EQ(Valor(1.0), programa_->Empresa().BddTienda->Escalar(
                            "SELECT COUNT(*) FROM ARTICULOS_EAN WHERE IDARTICULO = '1000196'"));
  EXPECT_TRUE(QDir(In()).entryList(QDir::Files).isEmpty());
  EXPECT_EQ(12, QDir(Procesados()).entryList(QDir::Files).size());

  QStringList vistos;  // the history shows each file, in the order applied
  for (const EjecucionHistorial& e : Historial::Abre(Ubicacion(), nullptr)->Lista({}))
    vistos.prepend(e.nombre);
  EXPECT_EQ("z0.txt f.txt e.txt a0.txt z2.txt d.txt z3.txt c.txt z4.txt b.txt z5.txt a.txt",
            vistos.join(' '));

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
  Copia(OpcionImportacion::PreciosCoste, "vrcmllcto0001.txt", {{"|1000110|", "|1000110\x01|"}});
  QFile::copy(dir_.filePath("settings/RELVANO.ini"), In("notas.txt"));  // not a chain file
  const ResultadoBandeja r = Importa();
  EXPECT_EQ(kBandejaFallo, r.estado);
  EXPECT_EQ(
      "articulos vrcrefcto0001.txt importado\nean vrceancto0001.txt importado\n"
      "ean vrcprccto9.txt rechazado\npreciocoste vrcmllcto0001.txt error\n"
      "precioventa vrcprccto0001.txt no procesado\nofertas vrcofecto0001.txt no procesado\n"
      "facturas envfradis0001.txt no procesado\n- notas.txt no procesado",
      Resumen(r));
  EXPECT_EQ(6, QDir(In()).entryList(QDir::Files).size());  // all but the two applied
  EXPECT_TRUE(QFile::exists(Procesados() + "vrcrefcto0001.txt"));

  // Without the failing file the run goes on; an invoice whose totals do not agree stays
  // and comes before the refusals in the status.
  QFile::remove(In("vrcmllcto0001.txt"));
  Copia(OpcionImportacion::Facturas, "envfradis0002.txt",
        {{"FRA00012345", "FRA00012346"}, {"|228.64|", "|228.65|"}}, true);
  EXPECT_EQ(kBandejaFactura, Importa().estado);
  EXPECT_TRUE(QFile::exists(In("envfradis0002.txt")));
}

TEST_F(Inbox, CommandLineSimulatesTheSettingsFolderInOrderAndRefusesAnEmptyOne) {
  const QStringList base = {"--settings-dir", dir_.filePath("settings"), "--log-dir",
                            dir_.filePath("logs"), "inbox"};
  Copia(OpcionImportacion::Ean, "z.txt", {{"2026-11-30", "2026-12-01"}, {"|1000011|", "|1000196|"}},
        true);
  const auto simulada = testing::Cli(base + QStringList{"--simulate"});
  EXPECT_EQ(0, simulada.codigo) << simulada.err.toStdString();
  EXPECT_EQ(7, simulada.out.count("\tsimulado\t"));
  EXPECT_EQ(7, simulada.out.count('\n'));  // the summary alone
  // The EAN file simulated last sees the article that the reference file would create.
  QFile log(dir_.filePath("logs/SIMULACION_EAN.LOG"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains("ALTA EAN Artículo: 1000196"))
      << simulada.out.toStdString();
  EXPECT_EQ(Valor(0.0), programa_->Empresa().BddTienda->Escalar(
                            "SELECT COUNT(*) FROM ARTICULOS WHERE CODIGO = '1000196'"));
  EXPECT_EQ(7, QDir(In()).entryList(QDir::Files).size());
  EXPECT_FALSE(QFile::exists(In("Procesados")));

  QTemporaryDir vacia;
  EXPECT_EQ(2, testing::Cli(base + QStringList{vacia.path()}).codigo);
}

}  // namespace
}  // namespace relvano
