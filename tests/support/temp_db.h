#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "base/operador.h"
#include "store/db/database.h"
#include "store/empresa.h"

namespace relvano::testing {

// A store database (or any of the project's databases) in a temporary folder,
// created from the schema files, for one test.
class TempDb {
 public:
  explicit TempDb(const QStringList& esquemas = {QStringLiteral("tienda")},
                  const QString& nombre = QStringLiteral("CMC00100.MDB"));
  store::Database& db() { return *db_; }
  std::shared_ptr<store::Database> compartida() { return db_; }
  const QString& ruta() const { return ruta_; }
  QString carpeta() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  QString ruta_;
  std::shared_ptr<store::Database> db_;
};

// Makes `e` the company "001", working in euros in the year 2012, whose every database
// handle is `t`'s database and whose today comes from `reloj`.
void EmpresaSobre(store::Empresa& e, TempDb& t, const Reloj* reloj);

}  // namespace relvano::testing
