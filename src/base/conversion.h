#pragma once

// The value helpers every import relies on. Their rules for Null, empty and
// malformed input are part of the behaviour of every import, so they are exact.
// Texts are read and written by the shops' regional settings (regional.h).

#include <QDate>
#include <QString>

#include "base/valor.h"

namespace relvano {

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

// `texto` with `relleno` added `veces` times: at the end when `lado` is "D",
// otherwise at the front. A count below 1 leaves the text unchanged.
QString RellenaTexto(const QString& texto, int veces, const QString& relleno, const QString& lado);

// The date `dias` days after `fecha` (a day/month/year text between the years 1850
// and 2150; a two-character year takes the first two digits of the year of `hoy`) as
// "dd/mm/yyyy"; "" when `fecha` is not such a date.
QString SumaDias(const QString& fecha, const Valor& dias, QDate hoy);

}  // namespace relvano
