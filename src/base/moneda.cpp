#include "base/moneda.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/conversion.h"
#include "base/regional.h"

namespace relvano {
namespace {

const QString kMascaraPesetas = QStringLiteral("###,###,###,##0");
const QString kMascaraEuros = QStringLiteral("###,###,###,##0.00");

// ---- Money on the decimal form of a double ------------------------------------
//
// Money is rounded on the decimal form of the amount with 15 significant digits,
// as the amount is written, not on its binary value: 10.005 is held as
// 10.00499999... yet is rounded as the 10.005 that was meant.

// The largest whole amount the money type holds.
constexpr double kMaximoMoneda = 922337203685477.0;

struct Decimal {
  bool negativo = false;
  qint64 unidades = 0;  // whole part of the magnitude
  QString fraccion;     // decimal digits of the magnitude, without trailing zeros
};

// `v` must be finite and below kMaximoMoneda in magnitude.
Decimal DescomponeDecimal(double v) {
  Decimal d;
  d.negativo = v < 0;
  // "d.dddddddddddddde+XX": 15 significant digits and the decimal exponent.
  const QString e = QString::number(std::fabs(v), 'e', 14);
  const qsizetype posE = e.indexOf(u'e');
  const QString cifras = e.left(posE).remove(u'.');
  const int exponente = e.mid(posE + 1).toInt();
  QString entero;
  if (exponente >= 0) {
    entero = cifras.left(exponente + 1);
    d.fraccion = cifras.mid(exponente + 1);
  } else {
    d.fraccion = QString(-exponente - 1, u'0') + cifras;
  }
  d.unidades = entero.isEmpty() ? 0 : entero.toLongLong();
  while (d.fraccion.endsWith(u'0')) d.fraccion.chop(1);
  return d;
}

Moneda MonedaLimite(bool negativo) {
  return negativo ? Moneda::DesdeDiezmilesimas(std::numeric_limits<qint64>::min())
                  : Moneda::DesdeDiezmilesimas(std::numeric_limits<qint64>::max());
}

// `v` with `decimales` decimals (0 to 4), halves away from zero.
Moneda RedondeaDecimales(double v, int decimales) {
  if (!std::isfinite(v)) return Moneda();
  if (std::fabs(v) >= kMaximoMoneda) return MonedaLimite(v < 0);
  const Decimal d = DescomponeDecimal(v);
  static constexpr std::array<qint64, 5> kPotencias = {1, 10, 100, 1000, 10000};
  qint64 escalado = d.unidades * kPotencias[decimales];
  const QString f = d.fraccion.leftJustified(decimales + 1, u'0');
  if (decimales > 0) escalado += f.left(decimales).toLongLong();
  if (f.at(decimales) >= u'5') ++escalado;
  const qint64 diezmilesimas = escalado * kPotencias[4 - decimales];
  return Moneda::DesdeDiezmilesimas(d.negativo ? -diezmilesimas : diezmilesimas);
}

// Pesetas without a currency code: more than 0.49 over the whole part rounds a
// positive amount up, a negative amount goes to the whole unit below it.
Moneda RedondeaPesetas(double v) {
  if (!std::isfinite(v) || v == 0) return Moneda();
  if (std::fabs(v) >= kMaximoMoneda) return MonedaLimite(v < 0);
  const Decimal d = DescomponeDecimal(v);
  qint64 unidades = d.unidades;
  if (!d.negativo) {
    const QString f = d.fraccion.leftJustified(2, u'0');
    const int centesimas = f.left(2).toInt();
    if (centesimas > 49 || (centesimas == 49 && f.size() > 2)) ++unidades;
  } else if (!d.fraccion.isEmpty()) {
    ++unidades;
  }
  return Moneda::DesdeDiezmilesimas((d.negativo ? -unidades : unidades) * 10000);
}

// Decimals a display mask shows; nullopt for the empty mask (general number form).
std::optional<int> DecimalesMascara(const QString& mascara) {
  if (mascara.isEmpty()) return std::nullopt;
  const qsizetype punto = mascara.indexOf(u'.');
  return punto < 0 ? 0 : static_cast<int>(mascara.size() - punto - 1);
}

Moneda RedondeaConMascara(double v, const QString& mascara) {
  if (std::fabs(v) < 0.0001) v = 0;
  return RedondeaDecimales(v, DecimalesMascara(mascara).value_or(4));
}

QString AgrupaMiles(const QString& cifras) {
  QString out;
  const qsizetype n = cifras.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += regional::kSeparadorMiles;
    out += cifras.at(i);
  }
  return out;
}

// The amount as a mask "###,###,##0.00" shows it: thousands grouped with ".",
// decimal comma, the sign in front. The empty mask shows the general number form.
QString AplicaMascara(Moneda m, const QString& mascara) {
  const std::optional<int> decimales = DecimalesMascara(mascara);
  if (!decimales) return regional::TextoNumero(m.ToDouble());
  const int dec = std::min(*decimales, 4);
  const qint64 d = m.Diezmilesimas();
  const bool negativo = d < 0;
  // The magnitude as an unsigned value: the lowest qint64 has no positive twin.
  const quint64 a = negativo ? quint64(0) - static_cast<quint64>(d) : static_cast<quint64>(d);
  static constexpr std::array<quint64, 5> kPotencias = {1, 10, 100, 1000, 10000};
  const quint64 divisor = kPotencias[4 - dec];
  quint64 escalado = a / divisor;
  if (divisor > 1 && (a % divisor) * 2 >= divisor) ++escalado;
  const quint64 unidades = escalado / kPotencias[dec];
  const quint64 fraccion = escalado % kPotencias[dec];
  const qsizetype punto = mascara.indexOf(u'.');
  const bool agrupa = mascara.left(punto < 0 ? mascara.size() : punto).contains(u',');
  QString texto = QString::number(unidades);
  if (agrupa) texto = AgrupaMiles(texto);
  if (dec > 0)
    texto += regional::kSeparadorDecimal + QString::number(fraccion).rightJustified(dec, u'0');
  if (negativo && escalado != 0) texto.prepend(u'-');
  return texto;
}

// Display mask by currency: "###,###,###,##0" for PTA, "###,###,###,##0.00" for
// EURO (code compared upper-cased), "" for anything else.
QString FormatoMoneda(const QString& codigo) {
  const QString c = codigo.toUpper();
  if (c == u"PTA") return kMascaraPesetas;
  if (c == u"EURO") return kMascaraEuros;
  return {};
}

}  // namespace

Moneda RedondeaMoneda(const Valor& valor, const QString& divisa,
                      const std::optional<QString>& codigo) {
  const double v = ValorNumerico(valor);
  if (!codigo) {
    if (divisa.toUpper() == u"PTA") return RedondeaPesetas(v);
    return RedondeaConMascara(v, kMascaraEuros);
  }
  const QString c = ValorTexto(Valor(*codigo));
  if (c == u"EURO" || c == u"Bs") return RedondeaConMascara(v, kMascaraEuros);
  return RedondeaConMascara(v, FormatoMoneda(c));
}

QString FormateaMoneda(Valor& valor, const QString& divisa, const std::optional<QString>& codigo) {
  QString mascara;
  if (!codigo) {
    mascara = FormatoMoneda(divisa);
  } else {
    const QString c = ValorTexto(Valor(*codigo));
    if (c == u"PTA")
      mascara = QStringLiteral("###,###,###,###,##0");
    else if (c == u"EURO")
      mascara = QStringLiteral("###,###,##0.00");
    else
      mascara = FormatoMoneda(c);
  }
  const Moneda redondeado = RedondeaMoneda(valor, divisa, codigo);
  valor = Valor(redondeado.ToDouble());
  return AplicaMascara(redondeado, mascara);
}

}  // namespace relvano
