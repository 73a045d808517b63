// The store database is shared with the suite's other programs (the tills): an import
// lets them in, never waits for them without bound, and after a failure says truthfully
// how much of the file the database holds.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <atomic>
#include <functional>
#include <thread>

#include "imports/import_fixture.h"

namespace relvano::testing {
namespace {

using Estado = ResultadoImportacion::Estado;

QString Chk(int lineas) {
  return Linea({"CHK", QStringLiteral("%1").arg(lineas, 6, 10, QChar('0'))});
}

// `n` article lines ("A" adds, "M" changes or adds) of codes from 9000000 + `desde`, a CHK
// line after the first `chkTras` of them (0: none).
QStringList Articulos(const char* op, int n, int chkTras = 0, int desde = 1) {
  QStringList l{kIde};
  for (int i = 1; i <= n; ++i) {
    QStringList f(61);
    f[0] = "DET", f[1] = op, f[2] = QStringLiteral("9%1").arg(desde + i - 1, 6, 10, QChar('0'));
    f[3] = QStringLiteral("ARTÍCULO DE PRUEBA NÚMERO %1 CON UNA DESCRIPCIÓN LARGA").arg(i);
    f[6] = "A", f[8] = "0001", f[9] = "00010", f[24] = "12", f[41] = "U";
    l << Linea(f);
    if (i == chkTras) l << Chk(l.size() + 1);
  }
  return l;
}

// An invoice of `n` lines of the supplier reference `ref` (by default an article the store
// does not have), each of 1.00 at VAT class `clase`, declaring a total of `total`.
QStringList Factura(int n, const QString& ref = "8000001", const QString& clase = "A",
                    const QString& total = "1.00") {
  QStringList l{
      Linea({"IDE", "NORVIA001", "FRADIS", "001", "FACTURA", "2026-11-30", "08301215", "000001",
             "000001"}),
      Linea({"CAB", "ABC00001234", "2026-11-30", "00001", "N", "N", "N", "0000000000", "000001",
             "00000", "000000", "00000", "NORVIA", "00000000", total, "0000000000"})};
  const QString lin = "LIN|" + ref + "|" + ref + "|" + clase +
                      "|N|0000000|0000000|N|1.000|000000000|0000|0000|0000|"
                      "0000|00|00000000|00000000|1.00|00000000|00000000|N|1.00|";
  for (int i = 0; i < n; ++i) l << lin;
  return l << Chk(l.size() + 1);
}

// Runs `alLlegar` once the run reaches line `linea`, and sleeps `msPorLinea` after each
// line inside the run's transaction, as a slow machine would.
struct Progresion final : Progreso {
  int linea = 0, msPorLinea = 0;
  std::function<void()> alLlegar;
  bool Avance(qint64, qint64, int lineas) override {
    if (lineas == linea && alLlegar) alLlegar();
    QThread::msleep(static_cast<unsigned long>(msPorLinea));
    return true;
  }
};

// A store whose import connection waits 300 ms for other programs.
class Concurrencia : public DemoFixture {
 protected:
  void SetUp() override {
    historial_ = false;
    DemoFixture::SetUp();
    store::Empresa& e = programa_->Empresa();
    store::OpcionesConexion corta;
    corta.esperaBloqueoMs = 300;
    QString error;
    auto db = store::Database::Abrir(e.BddTienda->Ruta(), corta, &error);
    ASSERT_NE(nullptr, db) << error.toStdString();
    for (auto* handle : {&e.BddComercial, &e.BddContable, &e.BddTienda})
      if (*handle == e.BddTienda) *handle = db;
  }
  ResultadoImportacion Importa(OpcionImportacion k, const QStringList& lineas,
                               Progreso* progreso = nullptr) {
    op_.Limpia();
    return DemoFixture::Importa(k, EscribeLineas(In("fichero.txt"), lineas), false, &op_, progreso);
  }
  int Nuevos() { return Cuenta("ARTICULOS WHERE CODIGO LIKE '9%'"); }
};

// The till writes a row every `ms` on its own connection, waiting up to 2 s, while `importa`
// runs; its longest wait and its failures.
struct Caja {
  qint64 esperaMaxima = 0;
  int escritas = 0;
  QStringList fallos;
};
Caja CajaDurante(const QString& ruta, int ms, const std::function<void()>& importa) {
  Caja caja;
  std::atomic<bool> fin{false};
  std::thread hilo([&] {
    {
      QSqlDatabase c = QSqlDatabase::addDatabase("QSQLITE", "caja");
      c.setDatabaseName(ruta);
      c.setConnectOptions("QSQLITE_BUSY_TIMEOUT=2000");
      c.open();
      QSqlQuery q(c);
      for (; !fin; QThread::msleep(static_cast<unsigned long>(ms))) {
        QElapsedTimer t;
        t.start();
        if (q.exec("INSERT INTO CAJA_PRUEBA (N) VALUES (1)"))
          ++caja.escritas;
        else
          caja.fallos << q.lastError().text();
        caja.esperaMaxima = std::max(caja.esperaMaxima, t.elapsed());
      }
    }
    QSqlDatabase::removeDatabase("caja");
  });
  importa();
  fin = true;
  hilo.join();
  return caja;
}

TEST_F(Concurrencia, ATillWritesWhileAFileIsImported) {
  db().Ejecuta("CREATE TABLE CAJA_PRUEBA (N INTEGER)");
  const struct {
    OpcionImportacion opcion;
    QStringList lineas;
    int msPorLinea;       // the run's pace (see Progresion)
    int msCaja;           // the till writes this often
    qint64 esperaMaxima;  // the till's longest wait stays below this (ms)
  } casos[] = {
      // Committed in groups: the till gets in between them.
      {OpcionImportacion::Referencias, Articulos("A", 3000), 1, 30, 1500},
      // The invoice's lines are read and worked out first; the store is held only while
      // the delivery note is stored, then while it is invoiced. The bound is the tills'
      // one on a loaded machine; relvano-bench --till measures the wait itself.
      {OpcionImportacion::Facturas, Factura(2000, "1000011", "A", "2360.00"), 0, 50, 1500},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(imports::Clase(c.opcion).log);
    Progresion progreso;
    progreso.msPorLinea = c.msPorLinea;
    ResultadoImportacion r;
    const Caja caja =
        CajaDurante(db().Ruta(), c.msCaja, [&] { r = Importa(c.opcion, c.lineas, &progreso); });
    EXPECT_EQ(Estado::Completa, r.estado) << r.error.toStdString();
    EXPECT_EQ(QStringList(), caja.fallos);
    EXPECT_GT(caja.escritas, 0);
    EXPECT_LT(caja.esperaMaxima, c.esperaMaxima);
  }
}

TEST_F(Concurrencia, AReaderThatHoldsOnEndsTheRunAfterTheWaitWithNothingOfTheUnitKept) {
  const struct {
    OpcionImportacion opcion;
    QStringList lineas;
    int lineaLector;
    const char* error;  // how the message begins
    int aplicada;
    const char* deshecho;
  } casos[] = {
      // The count message on line 22 commits what came before it.
      {OpcionImportacion::Referencias, Articulos("A", 40, 20), 22, "ERROR: La base de datos ", 21,
       "Se han deshecho los cambios de las líneas 23 a 42 del fichero."},
      {OpcionImportacion::Facturas, Factura(300), 2, "ERROR en la línea 303: La base de datos ", 0,
       "Se han deshecho los cambios de las líneas 2 a 303 del fichero."},
  };
  db().Ejecuta("PRAGMA cache_size = 5");  // a unit's changes outgrow it after a few lines
  for (const auto& c : casos) {
    SCOPED_TRACE(c.error);
    QString error;
    auto lector = store::Database::Abrir(db().Ruta(), {}, &error);
    Progresion progreso;
    progreso.linea = c.lineaLector;
    progreso.alLlegar = [&] {
      lector->Ejecuta("BEGIN");
      lector->Escalar("SELECT COUNT(*) FROM ARTICULOS");
    };
    QElapsedTimer reloj;
    reloj.start();
    const auto r = Importa(c.opcion, c.lineas, &progreso);
    EXPECT_LT(reloj.elapsed(), 3000);  // the reader never lets go: the run's own wait ended it
    EXPECT_TRUE(r.error.startsWith(c.error)) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(db().Ruta() + " está ocupada por otro programa"))
        << r.error.toStdString();
    EXPECT_EQ(c.aplicada, r.lineaAplicada);
    const QString fin = c.deshecho + kCrLf + r.error + kCrLf;
    // The statement the other program's hold made fail follows the message.
    EXPECT_TRUE(
        Log(imports::Clase(c.opcion).log).endsWith(fin + "Sentencia que ha fallado: COMMIT\r\n"));
    EXPECT_EQ(20, Nuevos());
    EXPECT_EQ(0, Cuenta("ALB_PROV"));
  }
}

TEST_F(Concurrencia, AfterAFailureTheDatabaseHoldsTheFileUpToTheLineTheMessageNames) {
  const QString log = QDir(Logs()).filePath("ARTICULOS.LOG");
  const struct {
    std::function<void()> prepara;
    QStringList lineas;
    const char* error;      // how the message begins
    int aplicada;           // the count message (line 22 or 52) commits what came before it
    const char* sentencia;  // the log's line after the message, up to its first "("
  } casos[] = {
      {[&] { QFile::link("/dev/full", log); }, Articulos("M", 40, 20, 1000),
       "ERROR en la línea 22: no se puede escribir en el fichero ", 21, ""},
      // Last: the limit stays on the connection. The engine answers a full database by
      // undoing the whole transaction.
      {[&] {
         db().Ejecuta("PRAGMA max_page_count = " +
                      QString::number(db().Escalar("PRAGMA page_count").Numero() + 8));
       },
       Articulos("M", 2000, 50, 2000), "ERROR en la línea ", 51,
       "Sentencia que ha fallado: INSERT INTO \"ARTICULOS_PROV\" "},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.error);
    QFile::remove(log);
    c.prepara();
    const int antes = Nuevos();
    const auto r = Importa(OpcionImportacion::Referencias, c.lineas);
    EXPECT_TRUE(r.error.startsWith(c.error)) << r.error.toStdString();
    EXPECT_EQ(c.aplicada, r.lineaAplicada);
    EXPECT_TRUE(r.error.endsWith(
        QStringLiteral(" La base de datos tiene aplicado el fichero hasta la línea %1.")
            .arg(c.aplicada)));
    EXPECT_EQ(r.error, op_.Mensajes().value(op_.Mensajes().size() - 1));
    EXPECT_EQ(antes + c.aplicada - 1, Nuevos());  // each line from the second adds one
    if (QFileInfo(log).isSymLink()) continue;
    EXPECT_EQ(c.aplicada - 1, Log("ARTICULOS.LOG").count("REALIZANDO EL ALTA"));
    const QString fallida = r.error.section(u':', 0, 0).section(u' ', -1);
    const QString fin = "Se han deshecho los cambios de las líneas 53 a " + fallida +
                        " del fichero.\r\n" + r.error + kCrLf;
    ASSERT_TRUE(Log("ARTICULOS.LOG").contains(fin));
    EXPECT_EQ(QString(c.sentencia), Log("ARTICULOS.LOG").section(fin, 1).section(u'(', 0, 0));
  }
}

}  // namespace
}  // namespace relvano::testing
