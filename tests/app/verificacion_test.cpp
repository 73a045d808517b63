// The checks before a run (the kind of file, the same content twice, an older file), the
// run history, and the invoice resumed after a run stopped between its two units.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QRegularExpression>
#include <csignal>

#include "app/bandeja.h"
#include "app/historial.h"
#include "imports/import_fixture.h"
#include "support/cli.h"

namespace relvano::testing {
namespace {

using imports::ClaseFichero;
using Estado = ResultadoImportacion::Estado;

QByteArray Bytes(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Escribe(const QString& ruta, const QByteArray& bytes) {
  QFile f(ruta);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class FileChecks : public DemoFixture {
 protected:
  QString Demo(OpcionImportacion k) const {
    return In(QString::fromLatin1(imports::Clase(k).prefijo) + "0001.txt");
  }
  QStringList Resultados() {
    QString error;
    auto h = Historial::Abre(Ubicacion(), &error);
    QStringList r;
    for (const auto& e : h ? h->Lista({}) : std::vector<EjecucionHistorial>{}) r << e.resultado;
    return r;
  }
};

TEST_F(FileChecks, EachDemoFileImportsAsItsKindAndEveryOtherKindRefusesIt) {
  for (const ClaseFichero& del : imports::ClasesFichero()) {
    const QString fichero = Demo(del.opcion);
    for (const ClaseFichero& como : imports::ClasesFichero()) {
      if (como.opcion == del.opcion) continue;
      const QString antes = Volcado(), logAntes = Log(como.log);
      op_.Limpia();
      // Not even --force applies a file whose lines are of another kind.
      const auto r = Importa(como.opcion, fichero, /*forzar=*/true);
      EXPECT_FALSE(r.forzable);
      EXPECT_EQ(QStringLiteral("Mensaje[stop]: El fichero %1 parece de %2, no de %3. No se ha "
                               "importado nada.\n")
                    .arg(QFileInfo(fichero).fileName(), del.titulo, como.titulo),
                op_.Transcripcion());
      EXPECT_EQ(antes, Volcado()) << del.nombre << " as " << como.nombre;
      EXPECT_EQ(logAntes, Log(como.log));
    }
    EXPECT_EQ(Estado::Completa, Importa(del.opcion, fichero).estado) << del.nombre;
  }
}

TEST_F(FileChecks, EmptyForeignMisnamedAndUnknownShapes) {
  // A file of the kind of another one under the name of this one: the demo EAN file.
  for (const QStringList& c : testing::Casos("formas_fichero.txt")) {
    SCOPED_TRACE(c[0].toStdString());
    const QByteArray contenido =
        c[1] == "EAN" ? Bytes(Demo(OpcionImportacion::Ean)) : c[1].toLatin1();
    const QString mensaje = c.value(2);  // empty: imported; ending in "?": refused unless forced
    Escribe(In(c[0]), contenido);
    op_.Limpia();
    const QString antes = Volcado();
    const auto r = Importa(OpcionImportacion::Ean, In(c[0]));
    if (mensaje.isEmpty()) {
      EXPECT_EQ(Estado::Completa, r.estado);
      continue;
    }
    EXPECT_EQ(QStringList{mensaje}, op_.Mensajes());
    EXPECT_EQ(antes, Volcado());
    EXPECT_EQ(mensaje.endsWith('?'), r.forzable);
    if (r.forzable) {
      EXPECT_EQ(Estado::Completa, Importa(OpcionImportacion::Ean, In(c[0]), true).estado);
    }
  }
}

TEST_F(FileChecks, SameContentTwiceAndOlderFilesAreRefusedUnlessForcedOrAccepted) {
  const auto coste = OpcionImportacion::PreciosCoste;
  const QString fichero = Demo(coste);
  ASSERT_EQ(Estado::Completa, Importa(coste, fichero).estado);
  op_.Limpia();
  const QString antes = Volcado();
  const auto repetido = Importa(coste, fichero);
  EXPECT_TRUE(repetido.forzable);
  EXPECT_TRUE(op_.Mensajes().value(0).contains(QRegularExpression(
      "^Este fichero ya se importó el \\d\\d/\\d\\d/\\d{4} a las \\d\\d:\\d\\d\\. "
      "¿Desea importarlo otra vez\\?$")))
      << op_.Transcripcion().toStdString();
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(Estado::Completa, Importa(coste, fichero, /*forzar=*/true).estado);

  // Last month's file after this month's: the window asks, No by default.
  const QString viejo = In("vrcmllcto0000.txt");
  Escribe(viejo, Bytes(fichero).replace("|2026-11-30|", "|2026-10-31|"));
  op_.Limpia();
  op_.Responde({true, false});
  OpcionesImportacion o;
  o.opcion = coste;
  o.fichero = viejo;
  o.carpetaLogs = Logs();
  o.historial = Ubicacion();
  EXPECT_EQ(Estado::Rechazada, ImportaFichero(programa_->Empresa(), o, op_).estado);
  EXPECT_EQ(
      "Pregunta: ¿Desea importar el fichero seleccionado?\n"
      "Pregunta: El fichero vrcmllcto0000.txt es del 31/10/2026, anterior al último fichero "
      "de Variaciones de Precios de Coste importado, del 30/11/2026: aplicarlo pondría "
      "precios o datos más antiguos sobre los más nuevos. ¿Desea importarlo de todos modos?\n",
      op_.Transcripcion());
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(Estado::Completa, Importa(coste, viejo, /*forzar=*/true).estado);
  // Kinds that only add rows have no date order.
  EXPECT_EQ(Estado::Completa,
            Importa(OpcionImportacion::Ofertas, Demo(OpcionImportacion::Ofertas)).estado);
  EXPECT_EQ(QStringList({"completa", "completa", "rechazada", "completa", "rechazada", "completa"}),
            Resultados());
}

// The program killed (SIGKILL, in a child process) at the first message or report whose
// text contains `donde`, as a kill or a power cut would stop it.
class OperadorMatado : public RecordingOperator {
 public:
  explicit OperadorMatado(QString donde) : donde_(std::move(donde)) {}
  void Mensaje(const QString& t, Icono) override { Mata(t); }
  void Informe(const QString& t) override { Mata(t); }

 private:
  void Mata(const QString& t) {
    if (t.contains(donde_)) raise(SIGKILL);
  }
  QString donde_;
};

class InvoiceReruns : public FileChecks {
 protected:
  QString fichero_ = Demo(OpcionImportacion::Facturas);
  // Runs the invoice in a child process killed at `donde`; then opens the company again,
  // on connections of its own.
  void ImportaYMata(const QString& donde) {
    GTEST_FLAG_SET(death_test_style, "fast");
    OperadorMatado matado(donde);
    EXPECT_EXIT(Importa(OpcionImportacion::Facturas, fichero_, false, &matado),
                ::testing::KilledBySignal(SIGKILL), "");
    programa_ = std::make_unique<Programa>(*ajustes_, arranque_, &reloj_);
    ASSERT_EQ(Programa::Resultado::Hecho, programa_->CargaEmpresas());
  }
  ResultadoImportacion Otra(bool forzar = false) {
    op_.Limpia();
    return Importa(OpcionImportacion::Facturas, fichero_, forzar);
  }
  std::optional<EjecucionHistorial> Primera() {
    QString error;
    auto filas = Historial::Abre(Ubicacion(), &error)->Lista({});
    return filas.empty() ? std::nullopt : std::optional(filas.back());
  }
};

TEST_F(InvoiceReruns, KilledAfterTheDeliveryNoteResumesFromTheStoreRowsWithoutHistory) {
  ImportaYMata("DATOS LEIDOS");  // the totals check, after the note's commit
  EXPECT_EQ(1, Cuenta("ALB_PROV"));
  EXPECT_EQ(0, Cuenta("FACT_PROV"));
  const QString albaran = Volcado();

  // Other content with the same delivery note: another document, nothing resumed.
  const QString otro = In("envfradis0002.txt");
  Escribe(otro, Bytes(fichero_).replace("|6.000|", "|7.000|"));
  op_.Limpia();
  EXPECT_EQ(Estado::FacturaNoCreada, Importa(OpcionImportacion::Facturas, otro).estado);
  EXPECT_TRUE(op_.Mensajes().contains("El albarán 12345 ya existe."))
      << op_.Transcripcion().toStdString();
  EXPECT_EQ(albaran, Volcado());
  // That run found the killed one: its process is gone.
  const auto matada = Primera();
  ASSERT_TRUE(matada);
  EXPECT_EQ("interrumpida", matada->resultado);
  EXPECT_EQ(matada->lineas, 0);
  EXPECT_EQ(std::optional<int>(13), matada->lineaAplicada);  // up to the line before CHK

  // The history lost: the store's rows alone say where the file is.
  BorraDelServidor(Ubicacion().ruta, conexion_);
  QFile::remove(Ubicacion().ruta);
  EXPECT_EQ(Estado::Completa, Otra().estado) << op_.Transcripcion().toStdString();
  EXPECT_TRUE(op_.Informes().value(0).endsWith(" CORRECTO\r\n"));
  EXPECT_EQ(1, Cuenta("ALB_PROV"));
  EXPECT_EQ(1, Cuenta("FACT_PROV"));
  EXPECT_EQ(8, Cuenta("LIN_COMPRAS"));
}

TEST_F(InvoiceReruns, KilledAfterTheInvoiceIsAlreadyAppliedAndArchivedByTheInbox) {
  ImportaYMata("Se ha creado la factura");
  EXPECT_EQ(1, Cuenta("FACT_PROV"));
  const QString facturado = Volcado();
  const auto repetida = Otra();
  EXPECT_EQ(Estado::Rechazada, repetida.estado);
  EXPECT_TRUE(repetida.yaAplicada && repetida.forzable);
  EXPECT_EQ(QStringList{"Este fichero ya está aplicado: el albarán 12345 está grabado con sus "
                        "líneas y facturado en la factura 12345 del 30/11/2026, de 228,64. "
                        "¿Desea importarlo otra vez?"},
            op_.Mensajes());
  // Forced: the chain's own check of the delivery note.
  EXPECT_EQ(Estado::FacturaNoCreada, Otra(true).estado);
  EXPECT_TRUE(op_.Mensajes().contains("El albarán 12345 ya existe."));
  EXPECT_EQ(facturado, Volcado());

  QDir().mkpath(dir_.filePath("bandeja"));
  QFile::copy(fichero_, dir_.filePath("bandeja/envfradis0001.txt"));
  OpcionesBandeja o;
  o.carpeta = dir_.filePath("bandeja");
  o.carpetaLogs = Logs();
  o.historial = Ubicacion();
  const ResultadoBandeja r = ImportaBandeja(programa_->Empresa(), o, op_);
  EXPECT_EQ(kBandejaCorrecta, r.estado);
  EXPECT_TRUE(r.Lineas().value(0).contains("ya importado antes, archivado"));
  EXPECT_EQ(facturado, Volcado());
}

TEST_F(InvoiceReruns, AnInvoiceKeyedByHandIsNeverStoredTwice) {
  db().Ejecuta(
      "INSERT INTO FACT_PROV (EJERCICIO, SERIE, NUMERO, CODIGO, FECHA, TOTAL) "
      "VALUES (?, ?, ?, ?, ?, ?)",
      {Valor("2026"), Valor("1"), Valor("12345"), Valor("1"), Valor(QDate(2026, 11, 28)),
       Valor(40.5)});
  const QString mano = "SELECT COUNT(*) FROM FACT_PROV WHERE TOTAL = 40.5";
  for (int vez = 0; vez < 2; ++vez) {  // the second time resumes at the invoice
    EXPECT_EQ(Estado::FacturaNoCreada, Otra().estado);
    EXPECT_TRUE(op_.Mensajes().contains(
        "No se ha podido crear la factura: 12345 porque ya existe la factura 12345 del "
        "28/11/2026, de 40,50 (serie 1, proveedor 1, ejercicio 2026). El albarán 12345 queda "
        "sin facturar."))
        << op_.Transcripcion().toStdString();
    EXPECT_EQ(1, Cuenta("FACT_PROV"));
    EXPECT_EQ(Valor(1.0), db().Escalar(mano));
    EXPECT_EQ(1, Cuenta("ALB_PROV WHERE FACTURADO = 0"));
    EXPECT_EQ(8, Cuenta("LIN_COMPRAS"));
  }
  EXPECT_EQ(QStringList({"factura no creada", "factura no creada"}), Resultados());
}

TEST_F(FileChecks, ALogThatCannotBeWrittenEndsItsRunAsAnError) {
  ASSERT_TRUE(QFile::link("/dev/full", QDir(Logs()).filePath("ARTICULOS.LOG")));
  const auto r = Importa(OpcionImportacion::Referencias, Demo(OpcionImportacion::Referencias));
  EXPECT_EQ(Estado::Error, r.estado);
  QString error;
  const auto filas = Historial::Abre(Ubicacion(), &error)->Lista({});
  ASSERT_EQ(1u, filas.size());
  EXPECT_EQ("error", filas[0].resultado);
  EXPECT_GT(r.lineas, 0);
  EXPECT_EQ(r.lineas, filas[0].lineas);
  EXPECT_EQ(r.lineaAplicada, filas[0].lineaAplicada.value_or(0));
}

TEST_F(FileChecks, ADamagedHistoryIsSetAsideAndANewOneBegun) {
  if (conexion_.motor == store::Motor::Postgres) GTEST_SKIP() << "a file of its own only";
  Escribe(Ubicacion().ruta, "no es una base de datos");
  EXPECT_EQ(Estado::Completa, Importa(OpcionImportacion::Ean, Demo(OpcionImportacion::Ean)).estado);
  EXPECT_TRUE(op_.Mensajes().value(0).startsWith("El historial de importaciones " +
                                                 Ubicacion().ruta + " estaba dañado"));
  const QStringList apartados =
      QFileInfo(Ubicacion().ruta).dir().entryList({"RELVANO_HISTORIAL.sqlite.danado-*"});
  ASSERT_EQ(1, apartados.size());
  EXPECT_EQ("no es una base de datos",
            Bytes(QFileInfo(Ubicacion().ruta).dir().filePath(apartados[0])));
  EXPECT_EQ(QStringList{"completa"}, Resultados());
}

TEST(History, EveryLogFolderSharesTheInstallationsHistoryAndItsLogs) {
  QTemporaryDir dir;
  ASSERT_EQ(0, Cli({"demo", dir.filePath("d")}).codigo);
  const auto base = [&](const QString& logs) {
    QDir().mkpath(dir.filePath(logs));
    return QStringList{"--settings-dir", dir.filePath("d/settings"), "--log-dir",
                       dir.filePath(logs)};
  };
  const auto fichero = [&](const ClaseFichero& c) {
    return dir.filePath("d/In/" + QString::fromLatin1(c.prefijo) + "0001.txt");
  };
  // A log folder an earlier version kept its own history in: one EAN run, its log archived.
  const QString vieja = dir.filePath("antes/historial.sqlite");
  QDir().mkpath(dir.filePath("antes/historial"));
  Escribe(dir.filePath("antes/historial/20261201-080000-EAN.LOG"), "log de antes\r\n");
  Escribe(vieja, {});
  {
    QString error;
    auto db = store::Database::Abrir(vieja, {}, &error);
    ASSERT_TRUE(db) << error.toStdString();
    db->Ejecuta(
        "CREATE TABLE EJECUCIONES (ID INTEGER PRIMARY KEY, INICIO TEXT, FIN TEXT, "
        "EMPRESA TEXT, CLASE TEXT, NOMBRE TEXT, SHA256 TEXT, SIMULACION INTEGER, "
        "RESULTADO TEXT, LINEAS INTEGER, LOG_ARCHIVADO TEXT)");
    const QByteArray sha = QCryptographicHash::hash(Bytes(fichero(imports::ClasesFichero()[1])),
                                                    QCryptographicHash::Sha256);
    db->Ejecuta(
        "INSERT INTO EJECUCIONES VALUES (7, '2026-12-01 08:00:00', '2026-12-01 08:00:01', "
        "'001', 'ean', 'vrceancto0001.txt', ?, 0, 'completa', 4, "
        "'historial/20261201-080000-EAN.LOG')",
        {Valor(QString::fromLatin1(sha.toHex()))});
  }
  const auto simulada = Cli(base("logs") + QStringList{"import", "--simulate", "articulos",
                                                       fichero(imports::ClasesFichero()[0])});
  // The log's name, then what the run would change.
  EXPECT_EQ("Fichero resumen: " + QDir(dir.filePath("logs")).filePath("SIMULACION_ARTICULOS.LOG") +
                "\nRevisión de los cambios:",
            simulada.out.section('\n', 0, 1));
  for (const ClaseFichero& c : imports::ClasesFichero()) {
    if (c.opcion == OpcionImportacion::Ean) continue;
    EXPECT_EQ(0, Cli(base("logs") + QStringList{"import", c.nombre, fichero(c)}).codigo)
        << c.nombre;
  }
  // The EAN file applied before, by the earlier version, from another log folder.
  const auto otra =
      Cli(base("antes") + QStringList{"import", "ean", fichero(imports::ClasesFichero()[1])});
  EXPECT_EQ(2, otra.codigo);
  EXPECT_TRUE(otra.err.endsWith("\nUse --force para importarlo de todos modos.\n"));
  EXPECT_FALSE(QFile::exists(vieja));
  EXPECT_TRUE(QFile::exists(vieja + ".importado"));

  const auto lista = Cli(base("otra") + QStringList{"history", "--company", "001", "--limit", "3"});
  const QStringList lineas = lista.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(3, lineas.size()) << lista.out.toStdString();
  const char* esperadas[] = {"ean vrceancto0001.txt rechazada",
                             "facturas envfradis0001.txt completa",
                             "ofertas vrcofecto0001.txt completa"};
  const int ids[] = {8, 6, 5};  // 7: the earlier version's run, dated before these
  for (int i = 0; i < 3; ++i) {
    const QStringList col = lineas[i].simplified().split(' ');
    ASSERT_EQ(9, col.size()) << lineas[i].toStdString();  // the start is a date and a time
    EXPECT_EQ(QString::number(ids[i]) + " 001 " + esperadas[i],
              col[0] + ' ' + QStringList(col.mid(3, 4)).join(' '));
    EXPECT_EQ(lineas[0].size(), lineas[i].size()) << "aligned columns";
  }
  EXPECT_EQ(
      1, Cli(base("otra") + QStringList{"history", "--kind", "articulos"}).out.count("simulada"));
  // Taken in once, with its log.
  const auto ean = Cli(base("antes") + QStringList{"history", "--kind", "ean"}).out;
  EXPECT_EQ(2, ean.count('\n')) << ean.toStdString();
  EXPECT_TRUE(
      Cli(base("otra") + QStringList{"history", "--show", "7"}).out.endsWith("\n\nlog de antes\n"));

  const auto muestra = Cli(base("otra") + QStringList{"history", "--show", "2"});
  EXPECT_TRUE(muestra.out.contains("Resultado: completa\n"));
  EXPECT_TRUE(muestra.out.endsWith(
      "\n\n" + QString::fromUtf8(Bytes(dir.filePath("logs/ARTICULOS.LOG"))).replace("\r\n", "\n")));
  EXPECT_EQ(2, Cli(base("otra") + QStringList{"history", "--show", "99"}).codigo);
}

}  // namespace
}  // namespace relvano::testing
