#pragma once

#include <QString>

#include "chainfile/registro.h"

namespace relvano::fuzz {

// Every conversion the imports apply to a field of a chain file line, applied to
// `campo` whatever the field: numbers written with "." or ",", dates year first, the
// delivery note's number, the number's log text, money rounding, and the value as
// it is bound to a statement. The results are dropped: only crashes and sanitizer
// findings matter.
void ConvierteCampo(const QString& campo);

// ConvierteCampo on every field of `r`, as stored (padded).
void ConvierteRegistro(const chainfile::Registro& r);

}  // namespace relvano::fuzz
