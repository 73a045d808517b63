#pragma once

#include <QString>
#include <QStringList>

namespace relvano::store {

// The project's schema files, one per database: "general", "contable", "tienda",
// and "iva_fechas" (the optional dated VAT table, for stores that keep one).
QString TextoEsquema(const QString& nombre);

// Creates the SQLite database `ruta` (which must not exist yet) from the schema files
// `esquemas`, in order. False with `error` set on failure.
bool CreaBaseDatos(const QString& ruta, const QStringList& esquemas, QString* error);

}  // namespace relvano::store
