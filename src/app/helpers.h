#pragma once

// The value helpers every import relies on. Their rules for Null, empty and
// malformed input are part of the behaviour of every import, so they are exact.
//
// Regional settings are those of the chain's shops, fixed here and never read from
// the machine: decimal comma, "." as thousands mark, dates dd/mm/yyyy.

#include <QDate>
#include <QString>
#include <optional>

#include "app/moneda.h"
#include "app/valor.h"

namespace relvano {

class Operador;

// ---- Regional settings of the shops --------------------------------------------

namespace regional {
inline constexpr QChar kSeparadorDecimal = u',';
inline constexpr QChar kSeparadorMiles = u'.';

// A number in its general text form: up to 15 significant digits, decimal comma,
// no thousands marks, no trailing zeros, no exponent for ordinary magnitudes
// ("12,5", "0", "-3", "1234567,25"). This is how numbers appear in the run logs.
QString TextoNumero(double x);

// A date as the shops write it: "15/07/2012".
QString TextoFecha(QDate fecha);

// Reads a day-first date text as the shops' regional settings do: "15/07/2012",
// "1/1/12" (one- and two-digit years take the century of `hoy`), "15-07-2012".
// Nullopt when the text is not a real date (31/02/2012, letters, empty, a time).
std::optional<QDate> LeeFecha(const QString& texto, QDate hoy);
}  // namespace regional

// ---- Conversion ------------------------------------------------------------------

// Number of a value. Null, "", "-" and anything that is not a number give 0.
// Texts are read under the regional settings: "12,5" is 12.5, "12.5" is 125
// (a "." is a thousands mark and is ignored), " 7 " is 7, "-3,5" is -3.5, "1,5E3"
// is 1500 (a sign in front, an exponent behind). Numbers pass through,
// true is -1 and false 0, a date is its serial day count (days since 30/12/1899).
double ValorNumerico(const Valor& valor);

// Text of a value: Null gives "", anything else its text form trimmed of blanks
// (spaces; a tab is kept) at both ends (numbers by regional::TextoNumero, dates by
// regional::TextoFecha, booleans "Verdadero"/"Falso").
QString ValorTexto(const Valor& valor);

// 16-bit whole part of a value: 0 when ValorTexto is empty, otherwise the number
// rounded toward minus infinity (7.9 gives 7, -7.1 gives -8). Values outside the
// 16-bit range are clamped to it.
qint16 ValorEntero(const Valor& valor);

// Text of a value, trimmed. A Null value is an error: nullopt.
std::optional<QString> TextoDeValor(const Valor& valor);

QString Mayusculas(const QString& texto);

// Part of `texto` from `inicio` (1-based) of `longitud` characters, or to the end.
// A start beyond the end gives ""; a start below 1 counts as 1, a negative length as 0.
QString MidTexto(const QString& texto, int inicio, std::optional<int> longitud = std::nullopt);

// `texto` with `relleno` added `veces` times: at the end when `lado` is "D",
// otherwise at the front. A count below 1 leaves the text unchanged.
QString RellenaTexto(const QString& texto, int veces, const QString& relleno, const QString& lado);

// ---- Dates -----------------------------------------------------------------------

// True when `texto` is a valid day/month/year date between the years 1850 and 2150.
// A two-character year takes the first two digits of the year of `hoy`.
bool EsFecha(const QString& texto, QDate hoy);

// The date `dias` days after `fecha` as "dd/mm/yyyy"; "" when EsFecha rejects it.
QString SumaDias(const QString& fecha, const Valor& dias, QDate hoy);

// ---- Money -----------------------------------------------------------------------

// Display mask by currency: "###,###,###,##0" for PTA, "###,###,###,##0.00" for
// EURO (code compared upper-cased), "" for anything else.
QString FormatoMoneda(const QString& codigo);

// Money rounded for a currency. `divisa` is the selected company's currency
// (Divisa); `codigo` the optional currency code argument. Without a code, pesetas
// round to whole units (more than 0.49 over the whole part rounds up, negatives
// toward minus infinity) and every other currency to two decimals. With "EURO" or
// "Bs", two decimals; with another code, the precision of its mask (none: unrounded).
// Two-decimal and whole-unit roundings take halves away from zero; |v| < 0.0001 is 0.
// Every rounding is decided on the amount as written with 15 significant digits, so
// 10.005 (held as 10.00499...) gives 10.01 and 10.49 in pesetas gives 10. Amounts
// beyond the money range are clamped to it.
Moneda RedondeaMoneda(const Valor& valor, const QString& divisa,
                      const std::optional<QString>& codigo = std::nullopt);

// `valor` rounded with RedondeaMoneda and formatted with the currency's mask
// (thousands grouped with ".", decimal comma): 1234.5 in euros is "1.234,50".
// `valor` itself is replaced by the rounded amount.
QString FormateaMoneda(Valor& valor, const QString& divisa,
                       const std::optional<QString>& codigo = std::nullopt);

// ---- Files -----------------------------------------------------------------------

// True when `ruta` is not empty and names an existing regular file; a "*" or "?" in
// its last part is a pattern, true when some file of the folder matches. When the
// test itself fails (an unreadable folder, a name too long) the result is false and,
// when `operador` is given, the access error box is shown.
bool ExisteFichero(const QString& ruta, Operador* operador = nullptr);

// Deletes the file (a "*" pattern deletes every match). True when it was deleted
// or did not exist; false after telling the operator why it could not be deleted
// (the access error box when the file could not even be looked for).
bool BorraFichero(const QString& ruta, Operador& operador);

// ---- Windows ---------------------------------------------------------------------

struct PosicionVentana {
  int left = 0;  // twips
  int top = 0;   // twips
  friend bool operator==(const PosicionVentana&, const PosicionVentana&) = default;
};

// Where to place a window of the given size (twips) on a screen of
// `anchoPantallaPixels`, assuming 800x600 below 800 pixels wide and 1024x768
// otherwise. `dentroDeMarco` is true for a window inside a multiple-document frame.
// Half twips are dropped (rounded down).
PosicionVentana CentraFormulario(int anchoPantallaPixels, int twipsPorPixelX, int twipsPorPixelY,
                                 int anchoVentana, int altoVentana, bool dentroDeMarco = false);

}  // namespace relvano
