#pragma once

#include <QString>

#include "store/db/database.h"
#include "store/db/recordset.h"
#include "store/empresa.h"

namespace relvano::store {

// AbreFormaPago: opens the payment method `codigo` of FORMA_PAGCOB (accounting
// database) into `rs`; true when it exists. Reads CODIGO, SUMA_DIAS.
bool AbreFormaPago(Database& bddContable, Recordset& rs, const QString& codigo);

// NumeroFormasPagoProveedor: opens the supplier's payment terms (PROVEEDORES_PAGCOB:
// ID_PROVEEDOR, TIPO_PAGCOB, FORMA_PAGCOB, PORCENTAJE; store database) into `rs`,
// positioned on the first, and answers how many there are (0 when none). The terms
// come in the order the database keeps them; invoice instalments are numbered so.
int NumeroFormasPagoProveedor(Database& bddTienda, Recordset& rs, const QString& proveedor);

// AbreDesglosePagos: opens the instalments of an invoice into `rs`, by number
// (NUM_PAGCOBFACT) so that the last one is the one numbered last:
// - "FACPR"/"PR": FACPR_DESGPAGCOB by EJERCICIO, SERIE, NUMERO and CODIGO (the supplier);
// - any other type: `rs` is left closed.
// With empty key values the recordset is empty and serves for adding instalments.
// The database is that of the document's series (BaseDatosDeDocumento).
void AbreDesglosePagos(const Empresa& empresa, const QString& tipoDocumento, Recordset& rs,
                       const QString& ejercicio, const QString& serie, const QString& numero,
                       const QString& codigo, const QString& idEmpresa);

}  // namespace relvano::store
