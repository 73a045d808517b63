#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "store/db/database.h"

namespace relvano::testing {

// The engine the tests run on: RELVANO_TEST_MOTOR=postgresql (on the server that
// RELVANO_TEST_SERVIDOR names), odbc (the SQLite ODBC driver), else SQLite. On a server
// every call gives a prefix of its own, so that each test has databases of its own.
store::OpcionesConexion ConexionPrueba();

// Drops the server's database that stands for `ruta` (nothing on file engines).
void BorraDelServidor(const QString& ruta, const store::OpcionesConexion& opciones);

// A store database (or any of the project's databases) for one test, created from the
// schema files on the test engine, and dropped after it.
class TempDb {
 public:
  explicit TempDb(const QStringList& esquemas = {QStringLiteral("tienda")},
                  const QString& nombre = QStringLiteral("CMC00100.MDB"));
  ~TempDb();
  store::Database& db() { return *db_; }
  std::shared_ptr<store::Database> compartida() { return db_; }
  const QString& ruta() const { return ruta_; }
  const store::OpcionesConexion& opciones() const { return opciones_; }

 private:
  QTemporaryDir dir_;
  QString ruta_;
  store::OpcionesConexion opciones_;
  std::shared_ptr<store::Database> db_;
};

}  // namespace relvano::testing
