#pragma once

#include <QString>

#include "store/db/database.h"
#include "store/db/recordset.h"

namespace relvano::store {

// BuscaEmpresa: the company's EMPRESAS row on the general database.
Recordset BuscaEmpresa(Database& bddGeneral, const QString& idEmpresa);

// AbreConfiguracion: the CONFIGURACION row of the accounting database; when the table
// has no row, an empty one is added and stored first, so a row is always there.
Recordset AbreConfiguracion(Database& bddContable);

// ExisteArticulo: opens the ARTICULOS row of `codigo` (trimmed) into `rs`; true when
// it exists. The caller may go on editing that row.
bool ExisteArticulo(Database& bdd, Recordset& rs, const QString& codigo);

// ExisteProveedor: opens the PROVEEDORES row of `codigo` (trimmed) into `rs`; true
// when it exists.
bool ExisteProveedor(Database& bdd, Recordset& rs, const QString& codigo);

}  // namespace relvano::store
