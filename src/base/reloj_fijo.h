#pragma once

#include <QDate>

#include "base/operador.h"

namespace relvano {

// "Today" fixed at one date: a run reads the clock once (the system's reads the time
// zone on every call), and tests fix the dates they expect.
class RelojFijo final : public Reloj {
 public:
  explicit RelojFijo(QDate hoy) : hoy_(hoy) {}
  QDate Hoy() const override { return hoy_; }

 private:
  QDate hoy_;
};

}  // namespace relvano
