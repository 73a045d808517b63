// The store database is shared with the suite's other programs (the tills): an import
// lets them in, never waits for them without bound, and after a failure says truthfully
// how much of the file the database holds.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/arranque.h"
#include "demo/demo.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "store/db/database.h"
#include "support/impresion.h"
#include "support/recording_operator.h"
#include "support/reloj_fijo.h"

namespace relvano {
namespace {

using Estado = ResultadoImportacion::Estado;
using testing::RecordingOperator;

const QString kCrLf = QStringLiteral("\r\n");

QString Linea(const QStringList& campos) { return campos.join(u'|') + u'|'; }

const QString kIdeArticulos = Linea({"IDE", "000000001", "000001", "001", "NORVIA TIENDAS",
                                     "2026-11-30", "10:00:00", "000001", "000001"});
const QString kIdeFactura = Linea(
    {"IDE", "NORVIA001", "FRADIS", "001", "FACTURA", "2026-11-30", "08301215", "000001", "000001"});

// An article line (`op` "A" adds, "M" changes and adds a missing article) of code 9nnnnnn.
QString Articulo(const char* op, int n) {
  QStringList f(61);
  f[0] = QStringLiteral("DET");
  f[1] = QString::fromLatin1(op);
  f[2] = QStringLiteral("9%1").arg(n, 6, 10, QChar(u'0'));
  f[3] = QStringLiteral("ARTÍCULO DE PRUEBA NÚMERO %1 CON UNA DESCRIPCIÓN LARGA").arg(n);
  f[6] = QStringLiteral("A");
  f[8] = QStringLiteral("0001");
  f[9] = QStringLiteral("00010");
  f[24] = QStringLiteral("12");
  f[41] = QStringLiteral("U");
  return Linea(f);
}

QString Chk(int lineas) {
  return Linea({"CHK", QStringLiteral("%1").arg(lineas, 6, 10, QChar(u'0'))});
}

// `n` article lines from line 2, a CHK line after the first `chkTras` of them (0: none);
// the codes from 9000000 + `desde`.
QStringList Articulos(const char* op, int n, int chkTras = 0, int desde = 1) {
  QStringList l{kIdeArticulos};
  for (int i = 1; i <= n; ++i) {
    l << Articulo(op, desde + i - 1);
    if (i == chkTras) l << Chk(l.size() + 1);
  }
  return l;
}

// An invoice line of `cantidad` x `precio` of supplier reference `ref`, VAT class `clase`.
QString Lin(const char* ref, const char* clase, const char* cantidad, const char* precio,
            const char* base) {
  return Linea({"LIN",      ref,        ref,      clase,       "N",        "0000000",
                "0000000",  "N",        cantidad, "000000000", "0000",     "0000",
                "0000",     "0000",     "00",     "00000000",  "00000000", precio,
                "00000000", "00000000", "N",      base});
}

// An invoice of total `total` whose lines are `lineas`, with its CHK line.
QStringList Factura(const char* total, const QStringList& lineas) {
  QStringList l{kIdeFactura, Linea({"CAB", "ABC00001234", "2026-11-30", "00001", "N", "N", "N",
                                    "0000000000", "000001", "00000", "000000", "00000", "NORVIA",
                                    "00000000", total, "0000000000"})};
  l << lineas << Chk(l.size() + lineas.size() + 1);
  return l;
}

// An invoice of `n` lines of an article the store does not have; its total does not match.
QStringList Factura(int n) {
  QStringList lineas;
  for (int i = 0; i < n; ++i) lineas << Lin("8000001", "A", "1.000", "1.00", "1.00");
  return Factura("1.00", lineas);
}

// Asked after every line; runs `alLlegar` once the run reaches line `linea` and sleeps
// `msPorLinea` after each line, inside the run's transaction, as a slow machine would.
class Progresion final : public Progreso {
 public:
  int linea = 0;
  std::function<void()> alLlegar;
  int msPorLinea = 0;
  bool Avance(qint64, qint64, int lineas) override {
    if (lineas == linea && alLlegar) alLlegar();
    if (msPorLinea > 0) QThread::msleep(static_cast<unsigned long>(msPorLinea));
    return true;
  }
};

// A till: writes a row every 30 ms on a connection of its own, in a thread of its own,
// with a 2 s busy timeout, until stopped. Records its writes, failures and longest wait.
class Caja {
 public:
  explicit Caja(const QString& ruta) : hilo_([this, ruta] { Trabaja(ruta); }) {}
  ~Caja() { Para(); }
  void Para() {
    fin_ = true;
    if (hilo_.joinable()) hilo_.join();
  }
  int escritas = 0;
  qint64 esperaMaxima = 0;
  QStringList fallos;

 private:
  void Trabaja(const QString& ruta) {
    const QString nombre = QStringLiteral("caja-%1").arg(reinterpret_cast<quintptr>(this));
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
      db.setDatabaseName(ruta);
      db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
      if (!db.open()) fallos << db.lastError().text();
      QSqlQuery q(db);
      q.prepare(QStringLiteral("INSERT INTO CAJA_PRUEBA (N) VALUES (?)"));
      for (int n = 0; !fin_; ++n) {
        q.bindValue(0, n);
        QElapsedTimer t;
        t.start();
        if (q.exec()) {
          ++escritas;
        } else {
          fallos << q.lastError().text();
        }
        esperaMaxima = std::max(esperaMaxima, t.elapsed());
        QThread::msleep(30);
      }
    }
    QSqlDatabase::removeDatabase(nombre);
  }
  std::atomic<bool> fin_{false};
  std::thread hilo_;  // last: starts once the rest is built
};

// A demo installation whose store the import reaches through a connection that waits
// 300 ms for other programs.
class Concurrencia : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(CreaDemo(dir_.path(), &error)) << error.toStdString();
    ajustes_ = std::make_unique<IniSettingsStore>(dir_.filePath("settings"));
    programa_ = std::make_unique<Programa>(*ajustes_, arranque_, &reloj_);
    ASSERT_EQ(Programa::Resultado::Hecho, programa_->CargaEmpresas())
        << arranque_.Transcripcion().toStdString();
    store::Empresa& e = programa_->Empresa();
    store::OpcionesConexion corta;
    corta.esperaBloqueoMs = 300;
    auto db = store::Database::Abrir(e.BddTienda->Ruta(), corta, &error);
    ASSERT_NE(nullptr, db) << error.toStdString();
    for (auto* handle : {&e.BddTienda, &e.BddComercial, &e.BddContable})
      if (*handle == e.BddTienda && handle != &e.BddTienda) *handle = db;
    e.BddTienda = db;
    db_ = db;
  }

  store::Database& db() { return *db_; }
  // What the database holds of the files these tests import.
  QString Contenido() {
    const auto cuenta = [&](const char* sql) {
      return QString::number(db().Escalar(QString::fromUtf8(sql)).Numero());
    };
    return "artículos=" + cuenta("SELECT COUNT(*) FROM ARTICULOS WHERE CODIGO LIKE '9%'") +
           " albaranes=" + cuenta("SELECT COUNT(*) FROM ALB_PROV") +
           " facturas=" + cuenta("SELECT COUNT(*) FROM FACT_PROV");
  }

  ResultadoImportacion Importa(OpcionImportacion opcion, const QStringList& lineas,
                               Operador& operador, Progreso* progreso = nullptr) {
    const QString ruta = dir_.filePath("In/fichero.txt");
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write((lineas.join(kCrLf) + kCrLf).toUtf8());
    f.close();
    OpcionesImportacion o;
    o.opcion = opcion;
    o.fichero = ruta;
    o.nombreFicheroImportado = QStringLiteral("fichero.txt");
    o.carpetaLogs = logs_.path();
    o.preguntar = false;
    return ImportaFichero(programa_->Empresa(), o, operador, progreso);
  }

  QString Log(const QString& nombre) {
    QFile f(QDir(logs_.path()).filePath(nombre));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll())
                                       : QStringLiteral("<no log>");
  }

  QTemporaryDir dir_;
  QTemporaryDir logs_;
  testing::RelojFijo reloj_{QDate(2027, 1, 15)};
  RecordingOperator arranque_;
  RecordingOperator operador_;
  std::unique_ptr<IniSettingsStore> ajustes_;
  std::unique_ptr<Programa> programa_;
  std::shared_ptr<store::Database> db_;
};

TEST_F(Concurrencia, AnotherProgramWritesWhileAFileIsImported) {
  db().Ejecuta("CREATE TABLE CAJA_PRUEBA (N INTEGER)");
  struct Caso {
    const char* nombre;
    OpcionImportacion opcion;
    QStringList lineas;
    int msPorLinea;  // makes the catalogue run last several seconds
  } casos[] = {
      {"articles", OpcionImportacion::Referencias, Articulos("A", 3000), 1},
      {"invoice of 2 000 lines", OpcionImportacion::Facturas, Factura(2000), 0},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    Progresion progreso;
    progreso.msPorLinea = c.msPorLinea;
    Caja caja(db().Ruta());
    const auto r = Importa(c.opcion, c.lineas, operador_, &progreso);
    caja.Para();
    EXPECT_NE(Estado::Error, r.estado) << r.error.toStdString();
    EXPECT_EQ(QStringList(), caja.fallos);
    EXPECT_GT(caja.escritas, 0);
    EXPECT_LT(caja.esperaMaxima, 1500);
  }
}

// Opens a read transaction on its own connection when asked and keeps it open.
class Lector {
 public:
  explicit Lector(const QString& ruta) {
    QString error;
    db_ = store::Database::Abrir(ruta, {}, &error);
  }
  void Lee() {
    db_->Ejecuta("BEGIN");
    db_->Escalar("SELECT COUNT(*) FROM ARTICULOS");
  }

 private:
  std::shared_ptr<store::Database> db_;
};

// Opens the reader when the invoice's report is shown, between its two units.
class OperadorQueAbreLector final : public RecordingOperator {
 public:
  std::function<void()> alInforme;
  void Informe(const QString& texto) override {
    RecordingOperator::Informe(texto);
    if (alInforme) alInforme();
  }
};

TEST_F(Concurrencia, AReaderThatHoldsOnEndsTheRunAfterTheWaitWithNothingOfTheUnitKept) {
  // The demo's invoice, whose total matches: both units run.
  const QStringList facturaQueCuadra =
      Factura("20.68", {Lin("3000015", "A", "2.000", "5.72", "11.44"),
                        Lin("4000012", "B", "10.000", "0.69", "6.90"),
                        Linea({"IMP", "A", "1800", "0000", "11.44", "2.06", "0.00"}),
                        Linea({"IMP", "B", "1800", "0000", "6.90", "0.28", "0.00"})});
  struct Caso {
    const char* nombre;
    OpcionImportacion opcion;
    QStringList lineas;
    int lineaLector;       // 0: the reader starts when the invoice's report is shown
    const char* error;     // how the message begins
    int aplicada;          // the line it names as applied
    const char* deshecho;  // the log's line on what was undone; empty: none
    const char* base;      // what the database holds
  } casos[] = {
      {"articles: the group after the count message", OpcionImportacion::Referencias,
       Articulos("A", 40, 20), 22, "ERROR: La base de datos ", 21,
       "Se han deshecho los cambios de las líneas 23 a 42 del fichero.",
       "artículos=20 albaranes=0 facturas=0"},
      {"invoice: the delivery note", OpcionImportacion::Facturas, Factura(300), 2,
       "ERROR en la línea 303: La base de datos ", 0,
       "Se han deshecho los cambios de las líneas 2 a 303 del fichero.",
       "artículos=20 albaranes=0 facturas=0"},
      {"invoice: the invoice", OpcionImportacion::Facturas, facturaQueCuadra, 0,
       "ERROR en la línea 7: La base de datos ", 6, "", "artículos=20 albaranes=1 facturas=0"},
  };
  // A small page cache: the changes of a unit outgrow it after a few lines.
  db().Ejecuta("PRAGMA cache_size = 5");
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    Lector lector(db().Ruta());
    Progresion progreso;
    progreso.linea = c.lineaLector;
    progreso.alLlegar = [&] { lector.Lee(); };
    OperadorQueAbreLector operador;
    if (c.lineaLector == 0) operador.alInforme = [&] { lector.Lee(); };
    QElapsedTimer reloj;
    reloj.start();
    const auto r = Importa(c.opcion, c.lineas, operador, &progreso);
    // The reader never lets go: the run gave up after its own bounded wait.
    EXPECT_LT(reloj.elapsed(), 3000);
    EXPECT_EQ(Estado::Error, r.estado);
    EXPECT_TRUE(r.error.startsWith(QString::fromUtf8(c.error))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains("ocupada por otro programa")) << r.error.toStdString();
    EXPECT_EQ(c.aplicada, r.lineaAplicada);
    const QString log =
        Log(c.opcion == OpcionImportacion::Facturas ? "FACTURAS.LOG" : "ARTICULOS.LOG");
    EXPECT_TRUE(log.endsWith(r.error + kCrLf)) << log.right(400).toStdString();
    if (*c.deshecho)
      EXPECT_TRUE(log.contains(QString::fromUtf8(c.deshecho) + kCrLf + r.error))
          << log.right(400).toStdString();
    else
      EXPECT_FALSE(log.contains("Se han deshecho")) << log.right(400).toStdString();
    EXPECT_EQ(QString::fromUtf8(c.base), Contenido());
  }
}

TEST_F(Concurrencia, AfterAFailureTheDatabaseHoldsTheFileUpToTheLineTheMessageNames) {
  const QString log = QDir(logs_.path()).filePath("ARTICULOS.LOG");
  struct Caso {
    const char* nombre;
    std::function<void()> prepara;
    QStringList lineas;
    const char* error;     // how the message begins
    int aplicada;          // the count message (line 22 or 52) commits what came before it
    const char* deshecho;  // how the log's line on what was undone begins
  } casos[] = {
      {"the log cannot be written", [&] { QFile::link("/dev/full", log); },
       Articulos("M", 40, 20, 1000), "ERROR en la línea 22: no se puede escribir en el fichero ",
       21, ""},
      // Last: the limit stays on the connection. The engine answers a full database by
      // undoing the whole transaction.
      {"the database is full",
       [&] {
         const int paginas = static_cast<int>(db().Escalar("PRAGMA page_count").Numero());
         db().Ejecuta("PRAGMA max_page_count = " + QString::number(paginas + 8));
       },
       Articulos("M", 2000, 50, 2000), "ERROR en la línea ", 51,
       "Se han deshecho los cambios de las líneas 53 a "},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    QFile::remove(log);
    c.prepara();
    const int antes = static_cast<int>(
        db().Escalar("SELECT COUNT(*) FROM ARTICULOS WHERE CODIGO LIKE '9%'").Numero());
    operador_.Limpia();
    const auto r = Importa(OpcionImportacion::Referencias, c.lineas, operador_);
    EXPECT_EQ(Estado::Error, r.estado);
    EXPECT_TRUE(r.error.startsWith(QString::fromUtf8(c.error))) << r.error.toStdString();
    EXPECT_EQ(c.aplicada, r.lineaAplicada) << r.error.toStdString();
    EXPECT_TRUE(r.error.endsWith(
        QStringLiteral(" La base de datos tiene aplicado el fichero hasta la línea %1.")
            .arg(c.aplicada)))
        << r.error.toStdString();
    EXPECT_EQ(r.error, operador_.Mensajes().value(operador_.Mensajes().size() - 1));
    // Each line from the second adds one article.
    EXPECT_EQ(antes + c.aplicada - 1,
              db().Escalar("SELECT COUNT(*) FROM ARTICULOS WHERE CODIGO LIKE '9%'").Numero());
    if (QFileInfo(log).isSymLink()) continue;
    const QString texto = Log("ARTICULOS.LOG");
    EXPECT_EQ(c.aplicada - 1, texto.count("REALIZANDO EL ALTA"));
    const QString fallida = r.error.section(u':', 0, 0).section(u' ', -1);
    EXPECT_TRUE(texto.endsWith(QString::fromUtf8(c.deshecho) + fallida + " del fichero.\r\n" +
                               r.error + kCrLf))
        << texto.right(300).toStdString();
  }
}

}  // namespace
}  // namespace relvano
