#include "store/db/esquema.h"

#include <QFile>

#include "store/db/database.h"
#include "store/db/dialecto.h"

// The schema files are compiled into the core library as Qt resources; a static
// library has to register them before first use.
static void InitRecursosEsquema() { Q_INIT_RESOURCE(schema); }

namespace relvano::store {

QString TextoEsquema(const QString& nombre) {
  InitRecursosEsquema();
  QFile f(QStringLiteral(":/schema/%1.sql").arg(nombre));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

bool CreaBaseDatos(const QString& ruta, const QStringList& esquemas,
                   const OpcionesConexion& opciones, QString* error) {
  const Dialecto& dialecto = Dialecto::De(opciones.motor);
  for (const QString& e : esquemas) {
    if (TextoEsquema(e).isEmpty()) {
      if (error) *error = QStringLiteral("No existe el esquema %1").arg(e);
      return false;
    }
  }
  if (!dialecto.CreaVacia(ruta, opciones, error)) return false;
  auto db = Database::Abrir(ruta, opciones, error);
  if (!db) return false;
  try {
    for (const QString& e : esquemas) db->EjecutaScript(dialecto.Esquema(TextoEsquema(e)));
  } catch (const DbError& e) {
    if (error) *error = e.Mensaje();
    return false;
  }
  return true;
}

}  // namespace relvano::store
