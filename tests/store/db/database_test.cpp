#include "store/db/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "store/db/recordset.h"
#include "support/tienda.h"

namespace relvano::store {
namespace {

using testing::TempDb;

TEST(Recordset, NewRowDefaultIsTheValueTheEngineStoresReadableBeforeStored) {
  TempDb t;
  t.db().EjecutaScript(
      "CREATE TABLE T (K TEXT PRIMARY KEY, R REAL DEFAULT '2.5', I INTEGER DEFAULT ' 7 ', "
      "N NUMERIC DEFAULT '1e3', D DECIMAL(10,2) DEFAULT (-1.25), S TEXT DEFAULT '2.5', "
      "B DEFAULT '2.5', F DATE DEFAULT '2012-08-01', Q TEXT DEFAULT 'x''y', Z TEXT);\n");
  auto rs = t.db().AbrirRecordset("select * from T where K = ?", {Valor("a")});
  rs.NuevoRegistro();
  EXPECT_EQ(QString("2.5 \"2.5\" \"x'y\" Null"), rs["R"].Describe() + ' ' + rs["S"].Describe() +
                                                     ' ' + rs["Q"].Describe() + ' ' +
                                                     rs["Z"].Describe());
  rs.Asigna("K", Valor("a"));
  rs.GrabarRegistro();
  auto guardada = t.db().AbrirRecordset("select * from T where K = ?", {Valor("a")});
  for (const char* c : {"R", "I", "N", "D", "S", "B", "F", "Q", "Z"})
    EXPECT_EQ(guardada[c], rs[c]) << c;  // the new row reads as the engine stored it
}

TEST(Database, TableInfoOutlivesLaterTablesAndAForgottenSchema) {
  TempDb t;
  QString script;
  for (int i = 0; i < 100; ++i)
    script += QStringLiteral("CREATE TABLE T%1 (K TEXT PRIMARY KEY, V REAL DEFAULT 3);\n").arg(i);
  t.db().EjecutaScript(script);
  auto rs = t.db().AbrirRecordset("select * from T0 where K = ?", {Valor("a")});
  for (int i = 1; i < 100; ++i) {
    auto otro = t.db().AbrirRecordset(QStringLiteral("select * from T%1").arg(i));
    EXPECT_TRUE(t.db().ExisteCampoTabla(QStringLiteral("T%1").arg(i), "V"));
  }
  t.db().OlvidaEsquema();
  rs.NuevoRegistro();
  rs.Asigna("K", Valor("a"));
  rs.GrabarRegistro();
  EXPECT_EQ(Valor(3.0), t.db().Escalar("select V from T0 where K = 'a'"));
  // The same text opened again once the schema is forgotten is read afresh, though it is
  // found by where it lives: a column added since is there.
  const QString sql = QStringLiteral("select * from T1");
  t.db().AbrirRecordset(sql);
  t.db().Ejecuta("ALTER TABLE T1 ADD COLUMN W TEXT DEFAULT 'w'");
  t.db().OlvidaEsquema();
  t.db().Ejecuta("INSERT INTO T1 (K) VALUES ('b')");
  EXPECT_EQ(Valor("w"), t.db().AbrirRecordset(sql)["W"]);
}

TEST(Database, NumbersBoundAsIntegersOnlyWhenExact) {
  for (const QVariant& enlazado : {QVariant(qlonglong(3)), QVariant(-2.5), QVariant(1e300),
                                   QVariant(-1e300), QVariant(9.5e18)}) {
    const QVariant v = Database::AParametro(Valor(enlazado.toDouble()));
    EXPECT_EQ(enlazado.metaType(), v.metaType()) << enlazado.toDouble();
    EXPECT_EQ(enlazado, v) << enlazado.toDouble();
  }
}

TEST(Recordset, EditChangesOnlyAssignedColumnsOfTheRowItIsOn) {
  TempDb t;
  t.db().EjecutaScript(
      "CREATE TABLE T (A TEXT, B TEXT, N REAL);\n"
      "INSERT INTO T VALUES ('a0', 'b0', 1);\nINSERT INTO T VALUES ('a0', 'b0', 2);\n");
  auto rs = t.db().AbrirRecordset("select * from T where A = ? order by N", {Valor("a0")});
  rs.MoveNext();  // a table without a primary key is edited by row identity
  rs.EditarRegistro();
  rs.Asigna("A", Valor("a1"));
  // Another program changes B meanwhile: the edit must not put the old value back.
  t.db().Ejecuta("UPDATE T SET B = 'b1'");
  rs.GrabarRegistro();
  EXPECT_EQ(QString("A=\"a0\" B=\"b1\" N=1\nA=\"a1\" B=\"b1\" N=2"),
            testing::Filas(t.db(), "select * from T order by N", {"A", "B", "N"}));
  EXPECT_FALSE(rs.ExisteCampo("RELVANO_ROWID"));
}

TEST(Recordset, MissingColumnIsAnErrorNotAnEmptyValue) {
  TempDb t;
  t.db().EjecutaScript(
      "CREATE TABLE T (K TEXT PRIMARY KEY, N REAL);\nINSERT INTO T VALUES ('k', NULL);\n");
  auto rs = t.db().AbrirRecordset("select * from T");
  EXPECT_THROW(rs["NOPE"], DbError);
  EXPECT_TRUE(rs.ExisteCampo("n"));  // a Null value still counts; names are not case-sensitive
  rs.NuevoRegistro();
  EXPECT_THROW(rs.Asigna("NOPE", Valor(1.0)), DbError);
}

TEST(Database, TextsWithQuotesAndQuestionMarksAreStoredLiterally) {
  TempDb t;
  const QString raro = "O'Brien'); DROP TABLE ARTICULOS; --";
  auto rs = t.db().AbrirRecordset("select * from ARTICULOS where CODIGO = ?", {Valor(raro)});
  rs.NuevoRegistro();
  rs.Asigna("CODIGO", Valor(raro));
  rs.Asigna("DESCRIPCION", Valor(raro));
  rs.GrabarRegistro();
  EXPECT_EQ(Valor(raro),
            t.db().Escalar("select DESCRIPCION from ARTICULOS where CODIGO = ?", {Valor(raro)}));
  // Only the marks outside quotes are parameters: a question mark inside a text, a quoted
  // name or brackets is part of the statement, and the parameters after it keep their order.
  EXPECT_EQ(Valor("¿sí?x-y"),
            t.db().Escalar("select '¿sí?' || ? || '-' || ?", {Valor("x"), Valor("y")}));
  EXPECT_EQ(Valor("it's?ab"),
            t.db().Escalar("select 'it''s?' || ? || ?", {Valor("a"), Valor("b")}));
  t.db().Ejecuta("create table \"RARA?\" ([COL?] text, OTRA text)");
  t.db().Ejecuta("insert into \"RARA?\" ([COL?], OTRA) values (?, ?)",
                 {Valor("uno"), Valor("dos")});
  EXPECT_EQ(Valor("dos"),
            t.db().Escalar("select OTRA from \"RARA?\" where [COL?] = ?", {Valor("uno")}));
}

TEST(Database, ValuesFollowTheStorageConventionsBothWays) {
  TempDb t;
  t.db().EjecutaScript(
      "CREATE TABLE T (K INTEGER PRIMARY KEY, F TEXT, B INTEGER, N REAL, S TEXT, E TEXT);\n");
  t.db().Ejecuta("INSERT INTO T (F, B, N, S, E) VALUES (?, ?, ?, ?, ?)",
                 {Valor(QDate(2012, 7, 15)), Valor(true), Valor(12.5), Valor(), Valor("")});
  EXPECT_EQ(Valor("2012-07-15 text 1 text"),
            t.db().Escalar("select F || ' ' || typeof(F) || ' ' || B || ' ' || typeof(E) from T"));
  auto rs = t.db().AbrirRecordset("select * from T");
  EXPECT_EQ(Valor(QDate(2012, 7, 15)), rs["F"]);
  EXPECT_TRUE(EsVerdadero(rs["B"]));
  EXPECT_EQ(Valor(12.5), rs["N"]);
  EXPECT_TRUE(rs["S"].EsNull());
  // A date with a time part written by another program reads as that date.
  t.db().Ejecuta("UPDATE T SET F = '2012-07-15 00:00:00'");
  EXPECT_EQ(Valor(QDate(2012, 7, 15)), t.db().AbrirRecordset("select * from T")["F"]);
}

// A statement keeps its values bound from one run to the next and binds again only what
// changed: every change of type, of nullness or of value must still reach the engine.
TEST(Database, AStatementRunAgainReceivesEveryChangedValue) {
  TempDb t;
  const QString sql = "select typeof(?) || ':' || coalesce(?, 'NULL')";
  const std::pair<Valor, const char*> casos[] = {
      {Valor(1), "integer:1"},
      {Valor("1"), "text:1"},
      {Valor(), "null:NULL"},
      {Valor(""), "text:"},
      {Valor(1), "integer:1"},
      {Valor(2.5), "real:2.5"},
      {Valor(2.75), "real:2.75"},
      {Valor(true), "integer:1"},
      {Valor(QDate(2012, 7, 15)), "text:2012-07-15"},
      {Valor(QDate(2013, 1, 2)), "text:2013-01-02"},
      // A year the stored form has no room for: Qt's ISO text, which is empty.
      {Valor(QDate(10000, 1, 1)), "text:"},
      {Valor(QDate(10000, 1, 1)), "text:"},
      {Valor("ñ€"), "text:ñ€"},
      {Valor("ñ€"), "text:ñ€"},
      // A letter outside the basic plane; a text longer than any before it, then a shorter
      // one in the same place, which must not keep the longer one's end.
      {Valor("\U0001D11Ex"), "text:\U0001D11Ex"},
      {Valor(QString(300, QChar(u'é'))), nullptr},
      {Valor("ab"), "text:ab"},
  };
  for (const auto& [valor, esperado] : casos) {
    const QString texto =
        esperado ? QString::fromUtf8(esperado) : QStringLiteral("text:") + valor.Texto();
    EXPECT_EQ(Valor(texto), t.db().Escalar(sql, {valor, valor})) << valor.Describe().toStdString();
  }
}

// The engine tells an UPDATE's change of its row while it runs: the values before and
// after, as reads of the row would give them, the columns left as they were not told; what
// a trigger changes meanwhile (in the same table, in another row) is not the statement's.
TEST(Database, AStatementsChangeIsToldByTheEngineNotByItsTriggers) {
  struct : DiarioCambios {
    QStringList filas;
    void Anota(CambioFila c) override {
      QString f = c.tabla + ' ' + c.valoresClave.at(0).toString();
      for (size_t i = 0; i < c.antes.size(); ++i)
        f += ' ' + c.columnas.at(static_cast<int>(i)) + ' ' + c.antes.at(i).toString() + '>' +
             c.despues.at(i).toString() + ':' + c.despues.at(i).typeName();
      filas << f;
    }
  } diario;
  TempDb t;
  t.db().EjecutaScript(
      "CREATE TABLE A (K TEXT PRIMARY KEY, N REAL, S TEXT, X INTEGER, D TEXT);\n"
      "INSERT INTO A VALUES ('a', 1, 'uno', 5, '2001-01-01');\n"
      "INSERT INTO A VALUES ('b', 2, 'dos', 6, '2001-01-01');\n"
      "CREATE TRIGGER T AFTER UPDATE OF N ON A WHEN NEW.K = 'a' BEGIN "
      "UPDATE A SET N = N + 100, S = 'otro' WHERE K = 'b'; END;\n");
  const LecturaCambio lectura("a", {"k"}, {"N", "S", "X", "D"});
  t.db().FijaDiario(&diario);
  CambioEjecutado cambio(t.db(), lectura, {Valor("a")});
  EXPECT_EQ(1, cambio.Ejecuta("UPDATE A SET N = N * ?, X = ?, D = ? WHERE K = ?",
                              {Valor(2.5), Valor(5), Valor(QDate(2012, 7, 15)), Valor("a")}));
  cambio.Anota();
  // A row the statement does not find: nothing changed, nothing told.
  CambioEjecutado ninguno(t.db(), lectura, {Valor("z")});
  EXPECT_EQ(0, ninguno.Ejecuta("UPDATE A SET N = 0 WHERE K = ?", {Valor("z")}));
  ninguno.Anota();
  t.db().FijaDiario(nullptr);
  EXPECT_EQ(QStringList({"A a N 1>2.5:double D 2001-01-01>2012-07-15:QString"}), diario.filas);
  EXPECT_EQ(Valor(102), t.db().Escalar("select N from A where K = 'b'"));
}

TEST(Database, AFailedStatementSaysWhatTheEngineSaidAndRunsAgain) {
  TempDb t;
  t.db().Ejecuta("create table U (K text primary key)");
  const QString inserta = "insert into U values (?)";
  t.db().Ejecuta(inserta, {Valor("a")});
  try {
    t.db().Ejecuta(inserta, {Valor("a")});
    ADD_FAILURE() << "a repeated key was stored";
  } catch (const DbError& e) {
    EXPECT_TRUE(QString::fromUtf8(e.what()).contains("UNIQUE constraint failed: U.K")) << e.what();
  }
  EXPECT_EQ(1, t.db().Ejecuta(inserta, {Valor("b")}));
  // More values than places is refused, and the statement serves again afterwards.
  EXPECT_THROW(t.db().Ejecuta(inserta, {Valor("c"), Valor("d")}), DbError);
  EXPECT_EQ(Valor(2), t.db().Escalar("select count(*) from U"));
  EXPECT_EQ(1, t.db().Ejecuta(inserta, {Valor("c")}));
  // Two statements in one text are refused whole.
  EXPECT_THROW(t.db().Ejecuta("insert into U values ('e'); insert into U values ('f')"), DbError);
  EXPECT_EQ(Valor(3), t.db().Escalar("select count(*) from U"));
}

TEST(Database, OpeningAMissingOrDamagedFileFailsAndCreatesNothing) {
  QTemporaryDir dir;
  QString error;
  EXPECT_EQ(nullptr, Database::Abrir(dir.filePath("NOPE.MDB"), OpcionesConexion{}, &error));
  EXPECT_FALSE(QFile::exists(dir.filePath("NOPE.MDB")));
  testing::EscribeLineas(dir.filePath("BAD.MDB"), {QString(4096, 'x')});
  EXPECT_EQ(nullptr, Database::Abrir(dir.filePath("BAD.MDB"), OpcionesConexion{}, &error));
  EXPECT_FALSE(error.isEmpty());
}

// Another program holds the write lock through its own connection.
class OtroPrograma {
 public:
  explicit OtroPrograma(const QString& ruta) {
    sqlite3_open(ruta.toUtf8().constData(), &db_);
    sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  }
  void Suelta() { sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }
  ~OtroPrograma() {
    Suelta();
    sqlite3_close(db_);
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(Database, DatabaseHeldBrieflyIsWaitedFor) {
  TempDb base;
  OpcionesConexion opciones;
  opciones.esperaBloqueoMs = 5000;
  auto db = Database::Abrir(base.ruta(), opciones, nullptr);
  OtroPrograma otro(base.ruta());
  std::thread libera([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    otro.Suelta();
  });
  EXPECT_NO_THROW(db->Ejecuta("INSERT INTO FAMILIAS (CODIGO) VALUES ('1')"));
  libera.join();
  EXPECT_EQ(Valor(1.0), db->Escalar("select count(*) from FAMILIAS"));
}

}  // namespace
}  // namespace relvano::store
