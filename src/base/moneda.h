#pragma once

#include <QString>
#include <QtGlobal>
#include <cmath>
#include <optional>

#include "base/valor.h"

namespace relvano {

// A money amount as the suite's currency type holds it: a fixed-point value with
// four decimals (ten-thousandths), so that sums of rounded amounts stay exact.
class Moneda {
 public:
  constexpr Moneda() = default;

  // The nearest four-decimal value to x (halves away from zero).
  static Moneda DesdeDouble(double x) {
    return Moneda(static_cast<qint64>(std::llround(x * 10000.0)));
  }
  static constexpr Moneda DesdeDiezmilesimas(qint64 d) { return Moneda(d); }

  constexpr qint64 Diezmilesimas() const { return d_; }
  double ToDouble() const { return static_cast<double>(d_) / 10000.0; }

  friend constexpr bool operator==(Moneda a, Moneda b) { return a.d_ == b.d_; }
  friend constexpr auto operator<=>(Moneda a, Moneda b) { return a.d_ <=> b.d_; }
  friend constexpr Moneda operator+(Moneda a, Moneda b) { return Moneda(a.d_ + b.d_); }
  friend constexpr Moneda operator-(Moneda a, Moneda b) { return Moneda(a.d_ - b.d_); }

 private:
  constexpr explicit Moneda(qint64 d) : d_(d) {}
  qint64 d_ = 0;
};

// Money rounded for a currency. `divisa` is the selected company's currency
// (Divisa); `codigo` the optional currency code argument. Without a code, pesetas
// round to whole units (more than 0.49 over the whole part rounds up, negatives
// toward minus infinity) and every other currency to two decimals. With "EURO" or
// "Bs", two decimals; with another code, the precision of its display mask
// ("###,###,###,##0" for PTA, "###,###,###,##0.00" for EURO, none: unrounded).
// Two-decimal and whole-unit roundings take halves away from zero; |v| < 0.0001 is 0.
// Every rounding is decided on the amount as written with 15 significant digits, so
// 10.005 (held as 10.00499...) gives 10.01 and 10.49 in pesetas gives 10. Amounts
// beyond the money range are clamped to it.
Moneda RedondeaMoneda(const Valor& valor, const QString& divisa,
                      const std::optional<QString>& codigo = std::nullopt);

// `valor` rounded with RedondeaMoneda and formatted with the currency's mask
// (thousands grouped with ".", decimal comma): 1234.5 in euros is "1.234,50".
// `valor` itself is replaced by the rounded amount.
QString FormateaMoneda(Valor& valor, const QString& divisa,
                       const std::optional<QString>& codigo = std::nullopt);

}  // namespace relvano
