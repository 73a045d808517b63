// The whole inbox on the demo installation: order, archive, stop, statuses, simulation.

#include "app/bandeja.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QTemporaryDir>
#include <functional>
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
  // The summary, then what each file would change.
  EXPECT_EQ(7, simulada.out.section("\n\n", 0, 0).split('\n').size());
  EXPECT_EQ(7, simulada.out.count("Revisión de los cambios:"));
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

TEST_F(Inbox, EntriesThatAreNotReadableFilesAreListedAndSkippedAndImportRefusesThem) {
  struct Caso {
    QString nombre;
    std::function<bool(const QString&)> crea;
    QString desenlace;
  };
  std::vector<Caso> casos = {
      {"vrcrefcto9.txt", [](const QString& r) { return ::mkfifo(QFile::encodeName(r), 0600) == 0; },
       "no es un fichero"},
      {"vrceancto9.txt", [](const QString& r) { return QFile::link("/dev/null", r); },
       "no es un fichero"},
      {"vrcmllcto9", [](const QString& r) { return QDir().mkdir(r); }, "no es un fichero"}};
  if (::geteuid() != 0)  // root reads anything
    casos.push_back({"cualquiera.txt",
                     [&](const QString& r) {
                       return QFile::copy(Demo(OpcionImportacion::Ean), r) &&
                              QFile::setPermissions(r, QFileDevice::WriteOwner);
                     },
                     "no se puede leer"});
  QStringList esperado;
  for (const Caso& c : casos) {
    ASSERT_TRUE(c.crea(In(c.nombre))) << c.nombre.toStdString();
    esperado << "- " + c.nombre + ' ' + c.desenlace;
  }
  esperado.sort();
  // They never stop the run: every chain file is applied, and they count as unknown.
  const ResultadoBandeja r = Importa();
  EXPECT_EQ(kBandejaRechazo, r.estado) << operador_.Transcripcion().toStdString();
  EXPECT_EQ(6, QDir(Procesados()).entryList(QDir::Files).size());
  EXPECT_TRUE(Resumen(r).endsWith('\n' + esperado.join('\n'))) << Resumen(r).toStdString();

  // A single import says the same, and so does one of a device, which is never read.
  casos.push_back({"/dev/zero", nullptr, "no es un fichero"});
  for (const Caso& c : casos) {
    const QString ruta = c.nombre.startsWith('/') ? c.nombre : In(c.nombre);
    const auto salida = testing::Cli({"--settings-dir", dir_.filePath("settings"), "--log-dir",
                                      dir_.filePath("logs"), "import", "ean", ruta});
    EXPECT_EQ(2, salida.codigo);
    EXPECT_TRUE(salida.err.contains(c.desenlace + " (")) << salida.err.toStdString();
  }
}

TEST_F(Inbox, OneRunPerFolderAtATimeAndAMarkLeftByACrashIsTakenOver) {
  QLockFile otra(In(kCerrojoBandeja));
  ASSERT_TRUE(otra.tryLock(0));
  // Another process (a scheduled run overlapping this one) touches nothing.
  const auto salida = testing::Cli({"--settings-dir", dir_.filePath("settings"), "--log-dir",
                                    dir_.filePath("logs"), "--json", "inbox", In()});
  EXPECT_EQ(2, salida.codigo);
  EXPECT_TRUE(
      salida.err.contains(QString("Otra importación de esta carpeta está en curso (proceso %1 ")
                              .arg(QCoreApplication::applicationPid())))
      << salida.err.toStdString();
  const QJsonObject json = QJsonDocument::fromJson(salida.out.toUtf8()).object();
  EXPECT_TRUE(json["busy"].toBool());
  EXPECT_EQ(QJsonArray(), json["files"].toArray());
  EXPECT_EQ(6, QDir(In()).entryList(QDir::Files).size());
  EXPECT_TRUE(QDir(dir_.filePath("logs")).isEmpty());

  // A process gone without removing its mark (a crash) holds nothing.
  QFile marca(In(kCerrojoBandeja));
  ASSERT_TRUE(marca.open(QIODevice::ReadOnly));
  QByteArray contenido = marca.readAll();
  marca.close();
  otra.unlock();
  QProcess ido;
  ido.start("true", {});
  ASSERT_TRUE(ido.waitForStarted());
  const qint64 pid = ido.processId();
  ASSERT_TRUE(ido.waitForFinished());
  contenido.replace(0, contenido.indexOf('\n'), QByteArray::number(pid));
  ASSERT_TRUE(marca.open(QIODevice::WriteOnly) && marca.write(contenido) == contenido.size());
  marca.close();
  EXPECT_EQ(kBandejaCorrecta, Importa().estado) << operador_.Transcripcion().toStdString();
  EXPECT_FALSE(QFile::exists(In(kCerrojoBandeja)));  // and the run frees the folder
}

TEST_F(Inbox, UnattendedRunsNeverGuessTheCompanyAndNameTheOneTheyImportInto) {
  struct Caso {
    QString recordada;  // IDEMPRESA; "-": none
    QStringList argumentos;
    int codigo;
    QString primerMensaje;
  };
  const QString refusal =
      "relvano-cli: la empresa recordada \"%1\" ([IMPORTAR] IDEMPRESA de RELVANO.ini) no está "
      "en la lista de empresas (001): no se ha importado nada. Indique la empresa con "
      "--company CODIGO.";
  const QString empresa = "Empresa 001 – Supermercado Norvia Centro";
  const QStringList simula = {"--simulate", "import", "ean", Demo(OpcionImportacion::Ean)};
  const Caso casos[] = {
      {"DEM ", simula, 2, refusal.arg("DEM ")},
      {"007", {"--simulate", "inbox", In()}, 2, refusal.arg("007")},
      {"007", QStringList{"--company", "001"} + simula, 0, empresa},
      {"-", simula, 0, empresa},
      {"001", {"--simulate", "inbox", In()}, 0, empresa},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(QString(c.recordada + ' ' + c.argumentos.join(' ')).toStdString());
    ajustes_->SaveSetting("RELVANO", "IMPORTAR", "IDEMPRESA",
                          c.recordada == "-" ? QString() : c.recordada);
    const auto salida = testing::Cli(QStringList{"--settings-dir", dir_.filePath("settings"),
                                                 "--log-dir", dir_.filePath("logs")} +
                                     c.argumentos);
    EXPECT_EQ(c.codigo, salida.codigo);
    EXPECT_EQ(c.primerMensaje, salida.err.section('\n', 0, 0));
  }
}

TEST_F(Inbox, EveryCommandsJsonIsOneDocumentWithItsFields) {
  const QStringList base = {"--settings-dir", dir_.filePath("settings"), "--log-dir",
                            dir_.filePath("logs"), "--json"};
  const QStringList fichero = {
      "kind",        "name",          "path",          "outcome",
      "lines_read",  "lines_applied", "lines_refused", "applied_up_to_line",
      "log",         "history_id",    "start",         "end",
      "archived_to", "error",         "held",          "review"};
  const QStringList ejecucion = {"id",
                                 "start",
                                 "end",
                                 "company",
                                 "store_database",
                                 "kind",
                                 "path",
                                 "name",
                                 "size",
                                 "sha256",
                                 "file_date",
                                 "simulation",
                                 "outcome",
                                 "lines_read",
                                 "applied_up_to_line",
                                 "delivery_note",
                                 "machine",
                                 "pid",
                                 "log_path",
                                 "counts"};
  struct Caso {
    QStringList argumentos;
    int codigo;
    QStringList campos;          // of the document
    QString lista;               // its array of items
    QStringList camposElemento;  // of each item
    int elementos;
  };
  const Caso casos[] = {
      {{"kinds"}, 0, {}, "kinds", {"option", "name", "prefix", "log", "title"}, 6},
      {{"companies"}, 0, {"remembered"}, "companies", {"code", "name"}, 1},
      {{"import", "ean", Demo(OpcionImportacion::Ean)},
       0,
       {"company", "simulation"},
       "files",
       fichero,
       1},
      {{"inbox", In()}, 0, {"company", "folder", "simulation", "busy"}, "files", fichero, 6},
      {{"import", "ean", In("Procesados")}, 2, {"company"}, "files", fichero, 1},
      {{"history"}, 0, {}, "runs", ejecucion, 7},
      {{"history", "--show", "2"}, 0, {}, "runs", ejecucion + QStringList{"log", "review"}, 1},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.argumentos.join(' ').toStdString());
    const auto salida = testing::Cli(base + c.argumentos);
    EXPECT_EQ(c.codigo, salida.codigo) << salida.err.toStdString();
    EXPECT_EQ(1, salida.out.count('\n'));
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(salida.out.toUtf8(), &error).object();
    EXPECT_EQ(QJsonParseError::NoError, error.error) << salida.out.toStdString();
    EXPECT_EQ(c.codigo, json["exit_status"].toInt(-1));
    EXPECT_EQ(c.argumentos[0], json["command"].toString());
    for (const QString& campo : c.campos) EXPECT_TRUE(json.contains(campo)) << campo.toStdString();
    const QJsonArray elementos = json[c.lista].toArray();
    EXPECT_EQ(c.elementos, elementos.size());
    for (const QJsonValue& e : elementos)
      for (const QString& campo : c.camposElemento)
        EXPECT_TRUE(e.toObject().contains(campo)) << campo.toStdString();
  }
}

}  // namespace
}  // namespace relvano
