#pragma once

#include <QDate>
#include <QString>
#include <array>

#include "base/operador.h"
#include "store/db/database.h"
#include "store/db/recordset.h"
#include "store/empresa.h"

namespace relvano::store {

// The totals of one supplier document as its header row keeps them. Index 0 of
// each array is VAT slot 1. Amounts are rounded to the company's currency; the
// grand totals are sums of rounded amounts.
struct TotalesDocumento {
  std::array<double, 5> Base{};          // BASEn: line bases of slot n
  std::array<double, 5> BaseNeta{};      // BASEn_NETA: after the discounts
  quint8 IvaTercero = 0;                 // IVA_TERCERO: the supplier's VAT regime
  std::array<QString, 5> TipoIva;        // TIPO_IVAn: VAT code of slot n
  std::array<double, 5> ValorIva{};      // VALOR_IVAn: VAT percent on the document date
  std::array<double, 5> ValorRecargo{};  // VALOR_RECARGOn: surcharge percent
  std::array<double, 5> Iva{};           // IVAn: VAT amount
  std::array<double, 5> Recargo{};       // RECARGOn: surcharge amount
  bool ConRecargo = false;               // CON_RECARGO
  bool EsPorcentajeDtoCom = false;       // ESPORCENTAJE_DTOCOM
  double ValorDtoCom = 0;                // VALOR_DTO_COM: commercial discount amount
  double DtoCom = 0;                     // DTO_COM: commercial discount percent
  bool EsPorcentajeDtoPP = false;        // ESPORCENTAJE_DTOPP
  double ValorDtoPP = 0;                 // VALOR_DTO_PP: prompt-payment discount amount
  double DtoPP = 0;                      // DTO_PP: prompt-payment discount percent
  double Importe = 0;                    // IMPORTE: gross bases plus gross exempt amount
  double ExentoBruto = 0;                // EXENTO_BRUTO: lines of code "0"
  double Exento = 0;                     // EXENTO: exempt amount after the discounts
  double ValorIrpf = 0;                  // withholding: always 0 for supplier documents
  double Irpf = 0;
  double BaseTotal = 0;     // BASE: net bases plus the net exempt amount
  double IvaTotal = 0;      // IVA
  double RecargoTotal = 0;  // RECARGO
  double Total = 0;         // TOTAL: BASE + IVA + RECARGO
};

// RecalculaTotalesDocumento: recomputes the totals of a supplier delivery note
// (`tipo` "ALBPR", header ALB_PROV) or invoice ("FACPR", FACT_PROV) from its
// LIN_COMPRAS lines (BASE_ALB, TIPO_IVA) and writes them into the header; for an
// invoice the new TOTAL is then spread over its instalments (FACPR_DESGPAGCOB.IMPORTE
// and IMPORTE_RESTANTE by PORCENTAJE, the last one taking the rounding difference).
// A document that does not exist, or another `tipo`, changes nothing.
// The operator is told about lines with an unknown VAT code ("Tipo de iva no
// encontrado.", left out of the totals) and fixed discounts that cannot be placed
// because more than one VAT slot is in use (dropped).
// Throws DbError for database failures and for a document whose supplier (CODIGO) is
// not in PROVEEDORES; nothing is written then.
void RecalculaTotalesDocumento(Empresa& empresa, Operador& operador, const QString& tipo,
                               const QString& ejercicio, const QString& serie,
                               const QString& numero, const QString& codigo,
                               const QString& idEmpresa);

// InicializaTotales: clears `t` and sets the slots' VAT codes (IvaVigente) and the
// percentages in force on `fecha` (an invalid date means today).
void InicializaTotales(const Empresa& empresa, TotalesDocumento& t, QDate fecha);

// CargaDatosCabecera: InicializaTotales for the header's FECHA, then the discount
// settings of the header (ESPORCENTAJE_DTOCOM, VALOR_DTO_COM, DTO_COM,
// ESPORCENTAJE_DTOPP, VALOR_DTO_PP, DTO_PP).
void CargaDatosCabecera(const Empresa& empresa, TotalesDocumento& t, const Recordset& cabecera);

// CalculaTotales: from the line sums already in `t` (Base, BaseNeta, ExentoBruto,
// Exento), applies the commercial discount, the prompt-payment discount (invoices
// only), the VAT and surcharge (CON_RECARGO of the header), the supplier's regime
// (PROVEEDORES.TIPO_IVA 2 or 4: no VAT) and the series' VAT mode (`modoIvaSerie` 1:
// no VAT), and computes the grand totals. The prompt-payment discount of the exempt
// part is taken from the exempt amount after the commercial discount, so that
// IMPORTE − VALOR_DTO_COM − VALOR_DTO_PP always equals BASE.
void CalculaTotales(const Empresa& empresa, Operador& operador, const QString& tipo,
                    TotalesDocumento& t, const Recordset& cabecera, const Recordset& proveedor,
                    int modoIvaSerie);

// GrabaTotales: writes `t` into the header row `cabecera` (ALB_PROV or FACT_PROV of
// `bdd`) and stores it. Slots 4 and 5 only when the table has IVA4; EXENTO_BRUTO and
// EXENTO each only when the table has it (older store databases lack them).
void GrabaTotales(Database& bdd, const TotalesDocumento& t, Recordset& cabecera,
                  const QString& tipo);

}  // namespace relvano::store
