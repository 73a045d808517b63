#pragma once

#include <QDate>
#include <QString>
#include <optional>

#include "base/operador.h"
#include "store/db/recordset.h"
#include "store/documents/series.h"
#include "store/empresa.h"

namespace relvano::store {

// Supplier invoices: FACT_PROV keyed by EJERCICIO, SERIE, NUMERO, CODIGO (the
// supplier), instalments in FACPR_DESGPAGCOB with the same key and NUM_PAGCOBFACT.

// The invoice to create; the exercise is the company's working year (AnyoActual).
struct NuevaFacturaProveedor {
  QString serie;
  QString numero;
  QString codigo;  // the supplier
  QDate fecha;     // invoice date
  QString divisa = QStringLiteral("EURO");
  double cambio = 1;       // CAMBIO_DIVISA
  QString idDepartamento;  // written only where FACT_PROV has IDDEPARTAMENTO
  QString referenciaDoc;   // written only where FACT_PROV has REFERENCIA_DOC
  QString idEmpresa;       // owning company
};

// CreaFacturaProveedor: stores a new, unpaid FACT_PROV row for the supplier with its
// address (NOMBRE, DIRECCION_FACT = DIR-TIPO + " " + DIRECCION, CODPOST_FACT,
// POBLACION_FACT, PROVINCIA_FACT, PAIS_FACT, NIF), accounts (CUENTA_PROVEEDOR;
// CUENTA_GASTOS, "60000000" when the supplier has none), discounts (DTO_COM, DTO_PP as
// percentages), CON_RECARGO = RecargoEquivalencia, and payment terms from
// PROVEEDORES_PAGCOB:
// - none: TIPO_PAGO "EF", FORMA_PAGO "1", VENCIMIENTO the invoice date, one instalment;
// - one: its TIPO_PAGCOB and FORMA_PAGCOB, VENCIMIENTO the invoice date plus the
//   method's SUMA_DIAS (FORMA_PAGCOB of the accounting database; the invoice date when
//   the method is missing), one instalment of 100 %;
// - several: TIPO_PAGO and FORMA_PAGO "ML", no VENCIMIENTO, one instalment per term in
//   the order the terms come, numbered from 1, each with its own share and due date.
// Instalments are created with zero amounts (RecalculaFacturaProveedor fills them)
// and are stored before the invoice row. Totals are not computed here.
// Throws DbError naming the supplier when it is not in PROVEEDORES (nothing stored),
// and for database failures.
void CreaFacturaProveedor(Empresa& empresa, const NuevaFacturaProveedor& factura);

// AbreFacturaProveedor: opens the FACT_PROV row of the key into `rs` (the exercise
// compared without trailing blanks, the other values trimmed); true when it exists.
// The series is part of the key, so invoices that differ only in their series are
// told apart.
bool AbreFacturaProveedor(const Empresa& empresa, Recordset& rs, const QString& ejercicio,
                          const QString& serie, const QString& numero, const QString& codigo,
                          const std::optional<QString>& idEmpresa = std::nullopt);

// RecalculaFacturaProveedor: RecalculaTotalesDocumento for the invoice ("FACPR"),
// instalments included.
void RecalculaFacturaProveedor(Empresa& empresa, Operador& operador, const QString& ejercicio,
                               const QString& serie, const QString& numero, const QString& codigo,
                               const QString& idEmpresa);

// AbreFactura: "FACPR" or "PR" opens the supplier invoice (AbreFacturaProveedor);
// customer invoices ("FACCL", "CL") and any other type answer false.
bool AbreFactura(const Empresa& empresa, const QString& tipoDocumento, Recordset& rs,
                 const QString& ejercicio, const QString& serie, const QString& numero,
                 const QString& codigo);

// AbreAlbaran: "ALBPR" opens the supplier delivery note (AbreAlbaranProveedor);
// customer delivery notes ("ALBCL") and any other type answer false.
bool AbreAlbaran(const Empresa& empresa, const QString& tipoDocumento, Recordset& rs,
                 const QString& ejercicio, const QString& serie, const QString& numero,
                 const QString& codigo, const QString& idEmpresa);

// AbreBaseDatosFactura: the database that holds the invoice, and its file name.
BaseDatosDocumento AbreBaseDatosFactura(const Empresa& empresa, const QString& ejercicio,
                                        const QString& serie, const QString& numero,
                                        const QString& codigo, const QString& idEmpresa);

}  // namespace relvano::store
