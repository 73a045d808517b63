#pragma once

#include <QString>

#include "store/db/database.h"
#include "store/db/recordset.h"

namespace relvano::store {

// ExisteProveedor: opens the PROVEEDORES row of `codigo` (trimmed) into `rs`; true
// when it exists.
bool ExisteProveedor(Database& bdd, Recordset& rs, const QString& codigo);

}  // namespace relvano::store
