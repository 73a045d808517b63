#pragma once

#include <QString>

#include "store/db/database.h"
#include "store/db/recordset.h"

namespace relvano::store {

// ExisteArticulo: opens the ARTICULOS row of `codigo` (trimmed) into `rs`; true when
// it exists. The caller may go on editing that row.
bool ExisteArticulo(Database& bdd, Recordset& rs, const QString& codigo);

}  // namespace relvano::store
