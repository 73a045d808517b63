#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace relvano::chainfile {

// A chain file number written with "." as decimal point: every "." of `s` becomes
// "," (the argument itself is changed) and the result is read with ValorNumerico.
// " 12.50 " gives 12.5 and leaves " 12,50 " in `s`.
double AsignaCurPuntoDec(QString& s);

// The date written year first in `s` ("2012-07-15", "2012/07/15"): day from the
// last two characters, month from characters 6-7, year from 1-4, after blanks at
// either end are dropped. Nullopt when that is not a real date: a field that is not
// ten characters long, a part that is not all digits, 2012-02-31.
std::optional<QDate> DimeFechaCorrecta(const QString& s);

}  // namespace relvano::chainfile
