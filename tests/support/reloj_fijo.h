#pragma once

#include <QDate>

#include "base/operador.h"

namespace relvano::testing {

// "Today" fixed at a given date, so that the dates a test expects do not move.
class RelojFijo : public Reloj {
 public:
  explicit RelojFijo(QDate hoy) : hoy_(hoy) {}
  QDate Hoy() const override { return hoy_; }

 private:
  QDate hoy_;
};

}  // namespace relvano::testing
