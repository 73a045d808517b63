#include "base/operador.h"

#include <QDate>

namespace relvano {

QDate RelojSistema::Hoy() const { return QDate::currentDate(); }

}  // namespace relvano
