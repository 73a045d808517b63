#pragma once

// The regional settings of the chain's shops, fixed here and never read from the
// machine: decimal comma, "." as thousands mark, dates dd/mm/yyyy. Every number and
// date a log line, a message or a report shows is written by these rules, and every
// number or date the shops type is read by them.

#include <QDate>
#include <QString>
#include <optional>

namespace relvano::regional {

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

// A text read as a number the way the shops' regional settings read it:
// [sign] digits-and-thousands-marks [, digits] [E [sign] digits], blanks around.
// Nullopt for anything else, including a number too large for a double.
std::optional<double> LeeNumero(const QString& texto);
// The same for a number whose decimal mark may be a dot (the chain's files): a dot reads
// as the decimal comma, and there are no thousands marks.
std::optional<double> LeeNumeroPuntoDecimal(QStringView texto);

// `s` without the spaces at both ends. Blanks are spaces: the chain pads its fields
// with them, and a tab or a line end inside a value is data, not padding.
QString QuitaBlancos(const QString& s);

}  // namespace relvano::regional
