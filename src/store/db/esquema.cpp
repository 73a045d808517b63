#include "store/db/esquema.h"

#include <QFile>
#include <QFileInfo>

#include "store/db/database.h"

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

bool CreaBaseDatos(const QString& ruta, const QStringList& esquemas, QString* error) {
  if (QFileInfo::exists(ruta)) {
    if (error) *error = QStringLiteral("El fichero %1 ya existe").arg(ruta);
    return false;
  }
  {
    QFile nuevo(ruta);
    if (!nuevo.open(QIODevice::WriteOnly)) {
      if (error) *error = nuevo.errorString();
      return false;
    }
  }
  auto db = Database::Abrir(ruta, OpcionesConexion{}, error);
  if (!db) return false;
  try {
    for (const QString& e : esquemas) {
      const QString texto = TextoEsquema(e);
      if (texto.isEmpty()) {
        if (error) *error = QStringLiteral("No existe el esquema %1").arg(e);
        return false;
      }
      db->EjecutaScript(texto);
    }
  } catch (const DbError& e) {
    if (error) *error = e.Mensaje();
    return false;
  }
  return true;
}

}  // namespace relvano::store
