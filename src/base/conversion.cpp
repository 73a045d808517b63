#include "base/conversion.h"

#include <cmath>
#include <limits>
#include <optional>

#include "base/regional.h"

namespace relvano {
namespace {

// Day 0 of the suite's date serials.
const QDate kOrigenSerial(1899, 12, 30);

bool EsDigito(QChar c) { return c >= u'0' && c <= u'9'; }

// The leading digits of a text after its leading blanks ("07" is 7, "1a" is 1, "a" is 0).
int DigitosIniciales(const QString& s) {
  qsizetype i = 0;
  while (i < s.size() && s.at(i) == u' ') ++i;
  qint64 n = 0;
  for (; i < s.size() && EsDigito(s.at(i)); ++i) {
    n = n * 10 + s.at(i).digitValue();
    if (n > 1'000'000) break;  // far outside every range checked
  }
  return static_cast<int>(n);
}

// The date of a day/month/year text as the date test accepts it.
std::optional<QDate> FechaValida(const QString& texto, QDate hoy) {
  const qsizetype barra1 = texto.indexOf(u'/');
  if (barra1 < 0) return std::nullopt;
  const qsizetype barra2 = texto.indexOf(u'/', barra1 + 1);
  if (barra2 < 0) return std::nullopt;
  const QString dia = texto.left(barra1);
  const QString mes = texto.mid(barra1 + 1, barra2 - barra1 - 1);
  QString anyo = texto.mid(barra2 + 1);
  if (anyo.size() == 2) anyo.prepend(QString::number(hoy.year()).left(2));

  const int d = DigitosIniciales(dia);
  const int m = DigitosIniciales(mes);
  if (d < 1 || d > 31 || m < 1 || m > 12) return std::nullopt;
  const std::optional<QDate> fecha = regional::LeeFecha(dia + u'/' + mes + u'/' + anyo, hoy);
  if (!fecha) return std::nullopt;
  const int a = DigitosIniciales(anyo);
  if (a < 1850 || a > 2150) return std::nullopt;
  return fecha;
}

}  // namespace

double ValorNumerico(const Valor& valor) {
  switch (valor.TipoValor()) {
    case Valor::Tipo::Null:
      return 0.0;
    case Valor::Tipo::Numero:
      return valor.Numero();
    case Valor::Tipo::Booleano:
      return valor.Booleano() ? -1.0 : 0.0;
    case Valor::Tipo::Fecha:
      return valor.Fecha().isValid() ? static_cast<double>(kOrigenSerial.daysTo(valor.Fecha()))
                                     : 0.0;
    case Valor::Tipo::Texto:
      return regional::LeeNumero(valor.Texto()).value_or(0.0);
  }
  return 0.0;
}

QString ValorTexto(const Valor& valor) {
  switch (valor.TipoValor()) {
    case Valor::Tipo::Null:
      return {};
    case Valor::Tipo::Texto:
      return regional::QuitaBlancos(valor.Texto());
    case Valor::Tipo::Numero:
      return regional::TextoNumero(valor.Numero());
    case Valor::Tipo::Fecha:
      return regional::TextoFecha(valor.Fecha());
    case Valor::Tipo::Booleano:
      return valor.Booleano() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
  }
  return {};
}

qint16 ValorEntero(const Valor& valor) {
  if (ValorTexto(valor).isEmpty()) return 0;
  const double x = std::floor(ValorNumerico(valor));
  if (std::isnan(x)) return 0;
  if (x <= std::numeric_limits<qint16>::min()) return std::numeric_limits<qint16>::min();
  if (x >= std::numeric_limits<qint16>::max()) return std::numeric_limits<qint16>::max();
  return static_cast<qint16>(x);
}

QString RellenaTexto(const QString& texto, int veces, const QString& relleno, const QString& lado) {
  if (veces < 1) return texto;
  const QString extra = relleno.repeated(veces);
  return lado == u"D" ? texto + extra : extra + texto;
}

QString SumaDias(const QString& fecha, const Valor& dias, QDate hoy) {
  const std::optional<QDate> f = FechaValida(fecha, hoy);
  if (!f) return {};
  // Counted from the first of the year, so a day number past either end of the
  // year rolls into the next or previous ones. Day 0 of the serials (30/12/1899)
  // is written as a date like any other.
  const int n = f->dayOfYear() + ValorEntero(dias);
  return regional::TextoFecha(QDate(f->year(), 1, 1).addDays(n - 1));
}

}  // namespace relvano
