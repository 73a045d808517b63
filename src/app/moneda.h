#pragma once

#include <QtGlobal>
#include <cmath>

namespace relvano {

// A money amount as the suite's currency type holds it: a fixed-point value with
// four decimals (ten-thousandths), so that sums of rounded amounts stay exact.
class Moneda {
 public:
  constexpr Moneda() = default;

  // The nearest four-decimal value to x (halves away from zero).
  static Moneda desdeDouble(double x) {
    return Moneda(static_cast<qint64>(std::llround(x * 10000.0)));
  }
  static constexpr Moneda desdeDiezmilesimas(qint64 d) { return Moneda(d); }

  constexpr qint64 diezmilesimas() const { return d_; }
  double toDouble() const { return static_cast<double>(d_) / 10000.0; }

  friend constexpr bool operator==(Moneda a, Moneda b) { return a.d_ == b.d_; }
  friend constexpr auto operator<=>(Moneda a, Moneda b) { return a.d_ <=> b.d_; }
  friend constexpr Moneda operator+(Moneda a, Moneda b) { return Moneda(a.d_ + b.d_); }
  friend constexpr Moneda operator-(Moneda a, Moneda b) { return Moneda(a.d_ - b.d_); }

 private:
  constexpr explicit Moneda(qint64 d) : d_(d) {}
  qint64 d_ = 0;
};

}  // namespace relvano
