#pragma once

#include <QString>
#include <optional>

#include "base/operador.h"
#include "store/articles/costes.h"
#include "store/db/recordset.h"
#include "store/documents/series.h"
#include "store/empresa.h"

namespace relvano::store {

// Supplier delivery notes: header ALB_PROV keyed by EJERCICIO, SERIE, NUMERO, CODIGO
// (the supplier), lines in LIN_COMPRAS with the same key in EJER_ALB, SERIE_ALB,
// NUM_ALB, IDPROVEEDOR. Every key value is text.

// AbreAlbaranProveedor: opens the ALB_PROV row of the key (each value trimmed) into
// `rs`, from the database of the series (BaseDatosDeDocumento); true when it exists.
bool AbreAlbaranProveedor(const Empresa& empresa, Recordset& rs, const QString& ejercicio,
                          const QString& serie, const QString& numero, const QString& codigo,
                          const std::optional<QString>& idEmpresa = std::nullopt);

// The same on `bdd`, with the key's values as given.
bool AbreAlbaranProveedor(Database& bdd, Recordset& rs, const QString& ejercicio,
                          const QString& serie, const QString& numero, const QString& codigo);

// FacturaAlbaranProveedor: links the delivery note open in `albaran` and its lines not
// yet invoiced to the supplier invoice of key (ejercicio, serie, numero, codigo), which
// must exist (DbError naming it otherwise, before anything is changed):
// - every line with FACTURADO 0: EJER_FACT, SERIE_FACT, NUM_FACT, FACTURADO = true, and
//   its VAT columns rewritten for the invoice date when its VALOR_IVA differs from the
//   rate of its TIPO_IVA on that date;
// - the invoice (FACT_PROV): IDDEPARTAMENTO and REFERENCIA_DOC (where both tables have
//   them) and OBSERVACIONES when the invoice's are empty; VALOR_DTO_COM,
//   ESPORCENTAJE_DTOCOM and DTO_COM when the delivery note has a discount amount;
//   CON_RECARGO when it differs;
// - the delivery note: EJER_FACT, SERIE_FACT, NUM_FACT, FACTURADO and CERRADO = true,
//   stored last.
void FacturaAlbaranProveedor(Empresa& empresa, Recordset& albaran, const QString& ejercicio,
                             const QString& serie, const QString& numero, const QString& codigo);

// AbreBaseDatosAlbaran: the database that holds the delivery note, and its file name.
BaseDatosDocumento AbreBaseDatosAlbaran(const Empresa& empresa, const QString& ejercicio,
                                        const QString& serie, const QString& numero,
                                        const QString& codigo, const QString& idEmpresa);

// RecalculaAlbaranProveedor: RecalculaTotalesDocumento for the delivery note ("ALBPR").
void RecalculaAlbaranProveedor(Empresa& empresa, Operador& operador, const QString& ejercicio,
                               const QString& serie, const QString& numero, const QString& codigo,
                               const QString& idEmpresa);

}  // namespace relvano::store
