#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "store/db/database.h"

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

 private:
  QTemporaryDir dir_;
  QString ruta_;
  std::shared_ptr<store::Database> db_;
};

}  // namespace relvano::testing
