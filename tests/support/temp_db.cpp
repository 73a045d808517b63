#include "support/temp_db.h"

#include <stdexcept>

#include "store/db/esquema.h"

namespace relvano::testing {

TempDb::TempDb(const QStringList& esquemas, const QString& nombre) {
  ruta_ = dir_.filePath(nombre);
  QString error;
  if (!store::CreaBaseDatos(ruta_, esquemas, &error))
    throw std::runtime_error(error.toStdString());
  db_ = store::Database::Abrir(ruta_, store::OpcionesConexion{}, &error);
  if (!db_) throw std::runtime_error(error.toStdString());
}

void EmpresaSobre(store::Empresa& e, TempDb& t, const Reloj* reloj) {
  e.IdEmpresa = QStringLiteral("001");
  e.AnyoActual = QStringLiteral("2012");
  e.Divisa = QStringLiteral("EURO");
  e.RutaComercial = t.ruta();
  e.BddComercial = t.compartida();
  e.BddTienda = t.compartida();
  e.Abierta = true;
  e.BddContable = t.compartida();
  e.reloj = reloj;
}

}  // namespace relvano::testing
