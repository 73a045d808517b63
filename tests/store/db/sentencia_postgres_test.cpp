// On a server, statements run on the client library's connection past Qt's driver: what
// they store and what they read back must be what the driver's own statements store and
// read, value by value and type by type, and a refused statement must say what the
// driver's said.

#include <gtest/gtest.h>

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <limits>
#include <memory>

#include "store/db/sentencia.h"
#include "support/temp_db.h"

namespace relvano::testing {
namespace {

using store::Sentencia;

// The columns of the test table, each of a type the layer's tables use or may meet.
constexpr int kColumnas = 7;
const char* const kTabla =
    "(N BIGINT, X DOUBLE PRECISION, T TEXT, F DATE, D NUMERIC(1), B BYTEA, L BOOLEAN)";

QVariant Nulo() { return QVariant(QMetaType::fromType<QString>()); }

// Rows bound one after another to the same statement: every kind of value the layer binds
// (numbers whole and not, texts, empty text, Null, dates as texts, flags as 1/0; the
// boolean column, which the layer's own tables lack, takes what the driver takes), moving
// from column to column so that each place changes type and nullness between runs.
const std::vector<std::vector<QVariant>>& Filas() {
  static const std::vector<std::vector<QVariant>> filas = {
      {qlonglong(1), 0.1, QString("abc"), QString("2024-02-29"), 1, QByteArray("\x00\xff", 2),
       true},
      {qlonglong(-9000000000000), 1.0 / 3, QString(""), Nulo(), 0, Nulo(), false},
      {Nulo(), 1e300, 1e-05, QString("1999-12-31"), 1.5, QByteArray("a'b\\"), Nulo()},
      {2.5, qlonglong(7), 123456789012345678.0, QString("2024-01-05"), Nulo(), QString(""),
       QString("t")},
      {-2.5, -0.0, qlonglong(42), Nulo(), qlonglong(0), QByteArray(""), QString("0")},
      {qlonglong(3), std::numeric_limits<double>::quiet_NaN(), QString("ñ 'x' ? $1 \\"),
       QString("2000-01-01"), 0.4, Nulo(), true},
      {QString("12"), QString("2.75"), Nulo(), QString("2024-12-31"), QString("1"), Nulo(), false},
      {qlonglong(0), 5e-324, QString(" "), QString("2024-02-29"), 1, QByteArray("z"), true},
  };
  return filas;
}

// Both sides compared: the same type, nullness and value (a number to the bit).
void ComparaValor(const QVariant& directo, const QVariant& driver, const QString& donde) {
  ASSERT_EQ(driver.metaType(), directo.metaType()) << qPrintable(donde);
  ASSERT_EQ(driver.isNull(), directo.isNull()) << qPrintable(donde);
  if (driver.typeId() == QMetaType::Double) {
    const double a = driver.toDouble(), b = directo.toDouble();
    EXPECT_TRUE((std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b)))
        << qPrintable(donde) << " " << a << " " << b;
  } else {
    EXPECT_EQ(driver, directo) << qPrintable(donde);
  }
}

class SentenciaPostgres : public ::testing::Test {
 protected:
  void SetUp() override {
    const store::OpcionesConexion o = ConexionPrueba();
    if (o.motor != store::Motor::Postgres) GTEST_SKIP() << "solo en un servidor";
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("sentencia-pg"));
    db_.setConnectOptions(o.servidor);
    db_.setDatabaseName(QStringLiteral("postgres"));
    ASSERT_TRUE(db_.open()) << qPrintable(db_.lastError().text());
    // Tables of this session only: nothing stays on the server.
    QSqlQuery q(db_);
    for (const char* t : {"DIRECTO", "DRIVER"})
      ASSERT_TRUE(q.exec(QStringLiteral("CREATE TEMP TABLE %1 %2").arg(t, kTabla)))
          << qPrintable(q.lastError().text());
  }
  void TearDown() override {
    if (db_.isValid()) db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("sentencia-pg"));
  }

  std::unique_ptr<Sentencia> Prepara(bool directo, const QString& sql) {
    QSqlError e;
    auto s = directo ? store::PreparaPostgres(db_, sql, &e) : store::PreparaConDriver(db_, sql, &e);
    EXPECT_TRUE(s) << qPrintable(e.text());
    return s;
  }

  QSqlDatabase db_;
};

TEST_F(SentenciaPostgres, StoresAndReadsEveryValueAsTheDriver) {
  const QString inserta = QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?, ?, ?, ?)");
  for (const bool directo : {true, false}) {
    auto s = Prepara(directo, inserta.arg(directo ? "DIRECTO" : "DRIVER"));
    ASSERT_TRUE(s);
    for (const auto& fila : Filas()) {
      for (int i = 0; i < kColumnas; ++i) s->Enlaza(i, fila[static_cast<size_t>(i)]);
      // Each path stores the row or refuses it; the same rows either way.
      if (s->Ejecuta()) {
        EXPECT_EQ(1, s->FilasCambiadas());
      }
    }
  }
  // Each table read through both paths gives what the driver reads from its own.
  const QString lee = QStringLiteral("SELECT * FROM %1 ORDER BY N NULLS FIRST, T NULLS FIRST");
  auto referencia = Prepara(false, lee.arg("DRIVER"));
  ASSERT_TRUE(referencia && referencia->Ejecuta());
  std::vector<std::vector<QVariant>> esperadas;
  while (referencia->Siguiente()) {
    esperadas.emplace_back();
    for (int i = 0; i < kColumnas; ++i) esperadas.back().push_back(referencia->Columna(i));
  }
  EXPECT_GE(esperadas.size(), 6u);
  for (const char* tabla : {"DIRECTO", "DRIVER"}) {
    for (const bool directo : {true, false}) {
      auto s = Prepara(directo, lee.arg(tabla));
      ASSERT_TRUE(s && s->Ejecuta());
      ASSERT_EQ(kColumnas, s->NumColumnas());
      for (int i = 0; i < kColumnas; ++i)
        EXPECT_EQ(referencia->NombreColumna(i), s->NombreColumna(i));
      size_t n = 0;
      for (; s->Siguiente(); ++n) {
        ASSERT_LT(n, esperadas.size());
        for (int i = 0; i < kColumnas; ++i)
          ComparaValor(s->Columna(i), esperadas[n][static_cast<size_t>(i)],
                       QStringLiteral("%1 %2 fila %3 columna %4")
                           .arg(tabla, directo ? "directo" : "driver")
                           .arg(n)
                           .arg(i));
      }
      EXPECT_EQ(esperadas.size(), n) << tabla;
    }
  }
}

TEST_F(SentenciaPostgres, ReadsEachTypeOfColumnAsTheDriver) {
  const QString sql = QStringLiteral(
      "SELECT true, false, 5::int2, -7::int4, 9::int8, -9::int8, 1.5::float4, 0.1::float8, "
      "1.25::numeric, 'NaN'::float8, 'Infinity'::float8, DATE '2024-02-29', "
      "TIMESTAMP '2024-02-03 04:05:06.789', TIME '04:05:06', 'á'::text, 'x'::varchar, "
      "'ab'::char(4), '\\x00ff'::bytea, '(0,1)'::tid, NULL::bool, NULL::int4, NULL::int8, "
      "NULL::float8, NULL::numeric, NULL::date, NULL::timestamp, NULL::text, NULL::bytea, "
      "count(*), ? AS p FROM (SELECT 1) s");
  auto directo = Prepara(true, sql);
  auto driver = Prepara(false, sql);
  ASSERT_TRUE(directo && driver);
  for (const QVariant& p : {QVariant(QString("x")), Nulo(), QVariant(QString(""))}) {
    // One after the other: the driver's rows arrive while they are read.
    std::vector<QVariant> esperados;
    driver->Enlaza(0, p);
    ASSERT_TRUE(driver->Ejecuta() && driver->Siguiente());
    for (int i = 0; i < driver->NumColumnas(); ++i) esperados.push_back(driver->Columna(i));
    const QString ultima = driver->NombreColumna(driver->NumColumnas() - 1);
    driver->Termina();
    directo->Enlaza(0, p);
    ASSERT_TRUE(directo->Ejecuta() && directo->Siguiente());
    ASSERT_EQ(static_cast<int>(esperados.size()), directo->NumColumnas());
    EXPECT_EQ(ultima, directo->NombreColumna(directo->NumColumnas() - 1));
    for (int i = 0; i < directo->NumColumnas(); ++i)
      ComparaValor(directo->Columna(i), esperados[static_cast<size_t>(i)],
                   QStringLiteral("columna %1").arg(i));
    EXPECT_FALSE(directo->Siguiente());
    directo->Termina();
  }
}

TEST_F(SentenciaPostgres, ARefusedStatementSaysWhatTheDriverSaidAndRunsAgain) {
  QSqlQuery q(db_);
  ASSERT_TRUE(q.exec("CREATE TEMP TABLE U (K TEXT PRIMARY KEY)"));
  ASSERT_TRUE(q.exec("INSERT INTO U VALUES ('a')"));
  std::vector<QSqlError> errores;
  for (const bool directo : {true, false}) {
    auto s = Prepara(directo, QStringLiteral("INSERT INTO U VALUES (?)"));
    ASSERT_TRUE(s);
    s->Enlaza(0, QString("a"));
    EXPECT_FALSE(s->Ejecuta());
    errores.push_back(s->Error());
    s->Enlaza(0, QString(directo ? "b" : "c"));
    EXPECT_TRUE(s->Ejecuta()) << qPrintable(s->Error().text());
    EXPECT_EQ(1, s->FilasCambiadas());
  }
  EXPECT_EQ("23505", errores[0].nativeErrorCode());
  EXPECT_EQ(errores[1].driverText(), errores[0].driverText());
  EXPECT_EQ(errores[1].databaseText(), errores[0].databaseText());
  EXPECT_EQ(errores[1].nativeErrorCode(), errores[0].nativeErrorCode());
  EXPECT_EQ(errores[1].type(), errores[0].type());
  // A statement the server cannot prepare is refused in the same words.
  QSqlError directo, driver;
  EXPECT_FALSE(store::PreparaPostgres(db_, "SELECT NOSUCH FROM U WHERE K = ?", &directo));
  EXPECT_FALSE(store::PreparaConDriver(db_, "SELECT NOSUCH FROM U WHERE K = ?", &driver));
  EXPECT_EQ("42703", directo.nativeErrorCode());
  EXPECT_EQ(driver.driverText(), directo.driverText());
  EXPECT_EQ(driver.databaseText().section('\n', 0, 0), directo.databaseText().section('\n', 0, 0));
  EXPECT_EQ(driver.nativeErrorCode(), directo.nativeErrorCode());
}

}  // namespace
}  // namespace relvano::testing
