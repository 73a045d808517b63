#pragma once

#include <QString>
#include <QStringList>

#include "store/db/database.h"

namespace relvano::store {

// The project's schema files, one per database: "general", "contable", "tienda",
// and "iva_fechas" (the optional dated VAT table, for stores that keep one).
QString TextoEsquema(const QString& nombre);

// Creates the database `ruta` (which must not exist yet: a file, or the server's database
// that stands for it) from the schema files `esquemas`, in order, in the engine's terms.
// False with `error` set on failure.
bool CreaBaseDatos(const QString& ruta, const QStringList& esquemas,
                   const OpcionesConexion& opciones, QString* error);

}  // namespace relvano::store
