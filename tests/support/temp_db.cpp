#include "support/temp_db.h"

#include <stdexcept>

#include "store/db/esquema.h"

namespace relvano::testing {

TempDb::TempDb(const QStringList& esquemas, const QString& nombre) {
  ruta_ = dir_.filePath(nombre);
  QString error;
  if (!store::CreaBaseDatos(ruta_, esquemas, &error)) throw std::runtime_error(error.toStdString());
  db_ = store::Database::Abrir(ruta_, store::OpcionesConexion{}, &error);
  if (!db_) throw std::runtime_error(error.toStdString());
}

}  // namespace relvano::testing
