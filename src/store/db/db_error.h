#pragma once

#include <QString>
#include <stdexcept>

namespace relvano::store {

// A failure of the database layer: a statement the engine refused, a missing column,
// a database held too long by another program. Carries the database's file name and
// the statement, so that the run log can say what failed and where.
class DbError : public std::runtime_error {
 public:
  DbError(QString mensaje, QString baseDatos = {}, QString sql = {})
      : std::runtime_error(mensaje.toStdString()),
        mensaje_(std::move(mensaje)),
        baseDatos_(std::move(baseDatos)),
        sql_(std::move(sql)) {}

  const QString& Mensaje() const { return mensaje_; }
  const QString& BaseDatos() const { return baseDatos_; }
  const QString& Sql() const { return sql_; }

 private:
  QString mensaje_;
  QString baseDatos_;
  QString sql_;
};

}  // namespace relvano::store
