#pragma once

#include <QDate>
#include <QString>
#include <optional>

#include "base/error.h"
#include "chainfile/registro.h"

namespace relvano::chainfile {

// The date written year first in `s` ("2012-07-15", "2012/07/15"): day from the
// last two characters, month from characters 6-7, year from 1-4, after blanks at
// either end are dropped. Nullopt when that is not a real date: a field that is not
// ten characters long, a part that is not all digits, 2012-02-31.
std::optional<QDate> DimeFechaCorrecta(const QString& s);

// A line that cannot be applied as written (a date that does not exist). Ends the run.
class ErrorDatos : public Error {
 public:
  using Error::Error;
};

// The file's date (field 6 of the header). Throws ErrorDatos when the file had no
// IDE line or the field is not a real date: a date is never invented.
QDate FechaCabecera(const Registro& ide);

// A date field of a detail line; throws ErrorDatos naming `que` when it is not a date.
QDate FechaCampo(const QString& texto, const QString& que);

// The number of a chain file field written with "." as decimal point (a "," reads the
// same; no thousands marks): " 12.50 " gives 12.5, anything else not a number 0.
double NumeroPuntoDec(const QString& texto);

}  // namespace relvano::chainfile
