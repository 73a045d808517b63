#pragma once

#include "base/error.h"

namespace relvano::store {

// A failure of the database layer: a statement the engine refused, a missing column,
// a database held too long by another program. Carries the database's file name and
// the statement, so that the run log can say what failed and where.
class DbError : public Error {
 public:
  DbError(const QString& mensaje, QString baseDatos = {}, QString sql = {})
      : Error(mensaje, std::move(sql)), baseDatos_(std::move(baseDatos)) {}

  const QString& BaseDatos() const { return baseDatos_; }
  const QString& Sql() const { return Sentencia(); }

 private:
  QString baseDatos_;
};

}  // namespace relvano::store
