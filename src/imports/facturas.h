#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <array>
#include <optional>

#include "base/operador.h"
#include "chainfile/bucle_lectura.h"
#include "chainfile/registro.h"
#include "imports/contexto.h"
#include "store/articles/costes.h"
#include "store/empresa.h"
#include "store/vat/iva.h"

namespace relvano::imports {

// The purchase invoice file of the chain (envfradis*): one invoice of supplier "1",
// booked as a received delivery note (ALB_PROV, LIN_COMPRAS) and, when the totals the
// file declares agree with those the store computes, invoiced (FACT_PROV).
//
// Lines: IDE, CAB (the next line; one empty line before it is tolerated), LIN lines,
// ACU lines (ignored), up to three IMP lines, CHK.

// CAB line, 16 fields: 2 the invoice number (the delivery note's NUMERO once
// rewritten, see NumeroAlbaran), 3 the date (year first), 15 the invoice total.
chainfile::Registro CabeceraFactura();
// LIN line, 22 fields: 2 the supplier's reference, 4 the VAT class ("A", "M", "B",
// "D"), 9 the quantity, 18 the unit price, 22 the line amount.
chainfile::Registro LineaFactura();
// IMP line (one footer row), 7 fields: 2 the class, 5 base, 6 VAT, 7 surcharge.
chainfile::Registro FilaPieFactura();
// CHK line: type and the number of lines the chain counted.
chainfile::Registro ControlFichero();

// The three footer rows: index 0 class "A", 1 class "M", 2 class "B"; blank until an
// IMP line of the class is read.
using PieFactura = std::array<chainfile::Registro, 3>;

// The delivery note's number from the CAB number field as stored (11 characters,
// blanks on the right): its last 8 characters, blanks included, read as a number and
// written in its shortest form. "ABC00001234" gives "1234", "FRA1234    " "1234",
// "123456789  " "456789"; characters that are not a number give "0", which
// ImportaFacturas refuses.
QString NumeroAlbaran(const QString& campoNumero);

// One LIN line worked out before the delivery note is written (LeeLineaAlbaran), so that
// the store is held only while the lines are stored.
struct LineaAlbaran {
  int numero = 0;              // its line in the file
  QString ref;                 // the supplier's reference, shortest form
  QString idArticulo;          // ARTICULOS_PROV.IDARTICULO, "0" when the reference is not listed
  bool existe = false;         // ARTICULOS has a row of that code (code "0" included)
  Valor descripcion;           // DESCRIPCION_ART
  bool multiimpuesto = false;  // VAT class "D": no VAT columns, the operator is told
  std::optional<store::IvaLinea> iva;  // classes "A", "M", "B"; none for any other class
  double cantidad = 0;                 // CANTIDAD_ALB
  double precio = 0;                   // PRECIO_ALB
  double base = 0;                     // BASE_ALB
  // The purchase the article's costs follow once the line is stored: a delivered line
  // dated after the invoice, else this one. None when the article does not exist.
  std::optional<store::CompraArticulo> compra;
};

// What the steps of one invoice file share. Built by ImportaFacturas.
struct ContextoFactura {
  store::Empresa& empresa;
  // Log, store database, the run's unit of work, and the run's operator (ctx.operador),
  // who is told what happened once nothing is held.
  ContextoImportacion& ctx;
  // Messages raised while a unit is being written: held until the unit is stored and
  // dropped when it is undone, so that no lock is held while the operator reads and no
  // message tells of what was not stored.
  Operador& avisosUnidad;
  // The key of the delivery note (and of the invoice): EJERCICIO the date field's first
  // four characters, SERIE "1", NUMERO NumeroAlbaran, CODIGO "1".
  QString ejercicio;
  QString numero;
  QDate fecha;  // the invoice date
  store::CacheColumnasCompras columnas;
  std::optional<bool> porcDtoCom;  // LIN_COMPRAS has PORC_DTO_COM; asked once per run
  // What the lines look up, asked once per run: the article of a supplier reference; an
  // article's row and the delivered purchase dated after the invoice; the VAT of a class.
  struct ArticuloLeido {
    bool existe = false;
    Valor descripcion;
    std::optional<store::CompraArticulo> posterior;
  };
  QHash<QString, QString> articuloDeReferencia;
  QHash<QString, ArticuloLeido> articulos;
  QHash<QString, store::IvaLinea> ivaDeClase;
};

// CreaAlbaranProveedor: adds the ALB_PROV header of the file's delivery note for
// supplier "1" (its name and address copied from PROVEEDORES), series "1", currency
// "EURO" at 1, warehouse "1", CON_RECARGO the company's RecargoEquivalencia; totals
// are left to RecalculaAlbaranProveedor. False, after the message "El albarán <n> ya
// existe." and writing nothing, when a delivery note with the same key exists.
// Throws ErrorDatos naming the supplier when supplier "1" is not in PROVEEDORES
// (nothing written), DbError on the database.
bool CreaAlbaranProveedor(ContextoFactura& f);

// LeeLineaAlbaran: works out, writing nothing, the delivery note line of the LIN record
// `lin` (line `numero` of the file): the article found through ARTICULOS_PROV.REF_PROV of
// supplier "1", "0" when not listed; its description; the VAT of class A/M/B as VAT codes
// "1"/"2"/"3" on the invoice date; the quantity, price and amount; the purchase its costs
// will follow. Throws DbError.
LineaAlbaran LeeLineaAlbaran(ContextoFactura& f, const chainfile::Registro& lin, int numero);

// CreaLineaAlbaran: adds the LIN_COMPRAS row of `l` to the delivery note (class "D" only
// tells the operator "EL IMPUESTO MULTIIMPUESTO NO ESTA IMPLEMENTADO"), then adds the
// quantity to the stock of warehouse "1", updates the article's costs and sets its
// ULTIMA_COMPRA to the invoice date (AplicaCompraArticulo: one statement, from the
// article's row as it finds it). An article that is not there is told to the operator
// ("El artículo <code> no existe para actualizar su stock"), code "0" excepted. Throws
// DbError.
void CreaLineaAlbaran(ContextoFactura& f, const LineaAlbaran& l);

// InformeCuadre: the report of the totals check: the totals declared by the file
// (footer rows and the CAB total) beside those of the ALB_PROV row open in `albaran`,
// each amount formatted for `divisa` and right-aligned to 12 characters, ending in
// " CORRECTO" when the grand totals agree and " DESCUADRE" otherwise.
QString InformeCuadre(const chainfile::Registro& cab, const PieFactura& pie,
                      const store::Recordset& albaran, const QString& divisa);

// TotalesCuadran: the file's total and the computed TOTAL agree when their general
// text forms (15 significant digits) are identical.
bool TotalesCuadran(double totalFichero, double totalAlbaran);

// CuadraFactura: the totals check of the delivery note whose totals are already
// computed and stored. Shows the report (Operador::Informe) and then:
// - totals agree: creates the invoice with the delivery note's key in its exercise
//   (AnyoActual set to it during the creation and set back to the current year after,
//   also on failure), invoices the delivery note and its lines and computes the
//   invoice's totals and instalments, all as one unit (nothing of it stays after a
//   failure); true;
// - they differ: "No se ha podido crear la factura: <n> porque está descuadrada.";
//   false, nothing changed;
// - an invoice of the same year, series, number and supplier is already in FACT_PROV
//   (keyed by hand): the message names it (number, date, total), the log says so, the
//   delivery note stays without invoice; false, nothing changed.
// Messages raised while the invoice is written are shown after it is stored.
// Throws ErrorEnLinea(`linea`) when the invoice cannot be created.
bool CuadraFactura(ContextoFactura& f, const chainfile::Registro& cab, const PieFactura& pie,
                   int linea);

struct ResultadoFactura {
  chainfile::ResultadoLectura lectura;
  bool facturaCreada = false;
};

// ImportaFacturas: imports one purchase invoice file into the store database of
// `empresa` (the handle of `ctx`), writing the run log as it goes.
// - The delivery note (header, lines, stock, costs, last purchase dates and its totals)
//   is stored as one unit when the CHK line is reached; the invoice as another. The lines
//   are read and worked out first (LeeLineaAlbaran) with no transaction open, so the
//   store is held only while the unit writes; stock and costs are computed by the
//   statements from the article's row as they find it, so a till's sale is not lost.
// - A delivery note already present: its message, nothing written, facturaCreada false.
// - A file without a CHK line: nothing is kept (a cut file can be sent again whole).
// - Lines after the first CHK that would change the checked delivery note (LIN, IMP, a
//   second CHK) are refused in the log.
// - IMP lines of a class other than "A", "M", "B" are refused in the log.
// - The operator may cancel (ctx.progreso) before the delivery note is stored: nothing
//   is kept then.
// Throws chainfile::ErrorEnLinea (the unit in hand left no trace): the file cannot be
// read (line 0); the line after IDE is not a CAB line, its number gives delivery note
// "0" (every invoice so numbered would be the same note) or its date is not a date; a
// line up to the CHK has a field that cannot be stored (chainfile::CampoNoValido);
// supplier "1" is missing; a database failure.
ResultadoFactura ImportaFacturas(const QString& ruta, store::Empresa& empresa,
                                 ContextoImportacion& ctx);

// What the store holds of an invoice file's delivery note: a re-run of the file is
// decided by these rows.
struct AlbaranEnTienda {
  enum class Estado {
    Ninguno,      // no delivery note of the file's number (or the file is not readable as one)
    SinFactura,   // the note with the file's lines, without its invoice: resume at the invoice
    Facturado,    // the note with the file's lines and its invoice: already applied
    OtrasLineas,  // a note of that number with other lines: another document
  };
  Estado estado = Estado::Ninguno;
  QString numero;   // the delivery note's number
  QString factura;  // Facturado: "la factura 1234 del 15/07/2012, de 41,18 €"
};

// Compares the file's LIN lines (article, quantity, price, in order) with the lines of
// the stored delivery note of its number, supplier "1" and year. Throws DbError.
AlbaranEnTienda BuscaAlbaranDelFichero(const QString& ruta, const store::Empresa& empresa);

}  // namespace relvano::imports
