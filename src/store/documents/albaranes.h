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

// Unit prices of one purchase line.
struct PrecioLinea {
  double precio = 0;  // PRECIO_ALB
  double neto = 0;    // after the line's discounts
};

// PrecioNetoLinea: the gross and net unit price of the LIN_COMPRAS line current in
// `linea`. A stored PRECIO_SIVA_NETO other than 0 is the net price as it stands;
// otherwise the discounts apply one after another on the previous result: DTO_ART,
// DTO2_ART and DTO3_ART (percent) and last DTO_FIJO (per unit), each only where
// `columnas` says the table has it. Null values count 0.
PrecioLinea PrecioNetoLinea(const ColumnasLinCompras& columnas, const Recordset& linea);

// AbreBaseDatosAlbaran: the database that holds the delivery note, and its file name.
BaseDatosDocumento AbreBaseDatosAlbaran(const Empresa& empresa, const QString& ejercicio,
                                        const QString& serie, const QString& numero,
                                        const QString& codigo, const QString& idEmpresa);

// RecalculaAlbaranProveedor: RecalculaTotalesDocumento for the delivery note ("ALBPR").
void RecalculaAlbaranProveedor(Empresa& empresa, Operador& operador, const QString& ejercicio,
                               const QString& serie, const QString& numero, const QString& codigo,
                               const QString& idEmpresa);

}  // namespace relvano::store
