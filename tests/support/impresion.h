#pragma once

// How GoogleTest shows the program's values in a failed expectation: texts as quoted
// text, values as what they hold (otherwise it prints their bytes).

#include <QString>
#include <ostream>

#include "base/valor.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace relvano {
inline void PrintTo(const Valor& v, std::ostream* os) { *os << v.Describe().toStdString(); }
}  // namespace relvano
