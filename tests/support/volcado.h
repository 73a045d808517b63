#pragma once

#include <QString>

#include "store/db/database.h"

namespace relvano::testing {

// Every row of every table of `db` as text, tables by name and rows sorted, so that two
// states of a database can be compared whole (a simulation must leave it unchanged).
QString VolcadoBaseDatos(store::Database& db);

}  // namespace relvano::testing
