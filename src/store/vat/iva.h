#pragma once

#include <QDate>
#include <QString>

#include "store/empresa.h"

namespace relvano::store {

// The company's VAT codes (table IVA of the store database) and the rates in force on
// a date. Codes are one-digit texts: "0" exempt, "1" to "5" the five slots of a document.

// CargaTablaIva: on the store database (empresa.BddComercial) fills table IVA with the
// six default rows when it has no row at all (existing rows are never changed), then
// loads rows "1" to "5" into empresa.IvaVigente and sets empresa.NombreImpuesto (empty
// for VAT; the first word of the description of code "1" when it does not contain
// "IVA"; an empty description leaves it as it was).
// Throws DbError when row "1", "2" or "3" is missing, or when a row "1" to "5" has a
// Null IVA or RECARGO; rows "4" and "5" are optional (the slot keeps what it held).
void CargaTablaIva(Empresa& empresa);

// CargaIvaFecha: `t` = the slots in force on `fecha` (an invalid date means today).
// Starts from IvaVigente; for today's date, or when the tax is not VAT (NombreImpuesto
// not empty), that is the answer. Otherwise the periods of IVA_FECHAS when the store
// database has that table (a slot without a period covering the date keeps its current
// rate; a Null percentage counts 0), else the built-in change of 1 July 2010 for slots
// 1 to 3 (18/16, 8/7, 4/4 % VAT; surcharges 4, 1 and 0.5 whatever the date).
void CargaIvaFecha(const Empresa& empresa, TiposIva& t, QDate fecha);

// The VAT and surcharge percentages of one VAT code.
struct PorcentajesIva {
  double iva = 0;
  double recargo = 0;
};

// DimeIvaFecha: the percentages of `codigo` on `fecha`; both 0 for "0" and for any text
// other than "1" to "5".
PorcentajesIva DimeIvaFecha(const Empresa& empresa, QDate fecha, const QString& codigo);

// The VAT columns of a document line.
struct IvaLinea {
  QString tipo;        // TIPO_IVA: the VAT code
  double iva = 0;      // VALOR_IVA: its VAT percentage
  double recargo = 0;  // VALOR_RECARGO: its surcharge percentage
};
// IvaDeLinea: the VAT columns of a line of VAT code `codigo` ("1" when empty) on the
// document date `fecha` (DimeIvaFecha).
IvaLinea IvaDeLinea(const Empresa& empresa, QDate fecha, QString codigo);
// AsignaIva: writes TIPO_IVA, VALOR_IVA and VALOR_RECARGO of the line being added or
// edited in `rs`. Does not store the row.
void AsignaIva(Recordset& rs, const IvaLinea& iva);

// AsignaIvaLinea: writes TIPO_IVA (text), VALOR_IVA and VALOR_RECARGO of a document line
// being added or edited in `rs`, for the line's `codigo` ("1" when empty) on the
// document date `fecha`. Only for `tabla` "LIN_COMPRAS" or "LIN_VENTAS"; any other table
// is left alone. Does not store the row (the caller calls GrabarRegistro).
void AsignaIvaLinea(const Empresa& empresa, const QString& tabla, Recordset& rs, QDate fecha,
                    QString codigo);

}  // namespace relvano::store
