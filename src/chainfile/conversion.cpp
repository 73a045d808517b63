#include "chainfile/conversion.h"

#include "base/conversion.h"
#include "base/regional.h"

namespace relvano::chainfile {
namespace {

// The number written by `n` ASCII digits of `s` from `desde`; nullopt when any of
// them is not a digit.
std::optional<int> Digitos(const QString& s, qsizetype desde, qsizetype n) {
  int valor = 0;
  for (qsizetype i = desde; i < desde + n; ++i) {
    const char16_t c = s.at(i).unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    valor = valor * 10 + (c - u'0');
  }
  return valor;
}

}  // namespace

std::optional<QDate> DimeFechaCorrecta(const QString& s) {
  const QString t = regional::QuitaBlancos(s);
  // Year from characters 1-4, month from 6-7, day from the last two: the separators
  // are whatever stands between them, so "2012-07-15" and "2012/07/15" read alike.
  // Any other length would make the parts overlap or leave characters unread.
  if (t.size() != 10) return std::nullopt;
  const auto anyo = Digitos(t, 0, 4);
  const auto mes = Digitos(t, 5, 2);
  const auto dia = Digitos(t, t.size() - 2, 2);
  if (!anyo || !mes || !dia) return std::nullopt;
  const QDate fecha(*anyo, *mes, *dia);
  if (!fecha.isValid()) return std::nullopt;
  return fecha;
}

QDate FechaCabecera(const Registro& ide) {
  const QString texto = ide.Texto(6);
  if (ide.Texto(1) != QLatin1String("IDE"))
    throw ErrorDatos(
        QStringLiteral("el fichero no tiene línea de cabecera (IDE) y la línea "
                       "necesita su fecha."));
  const auto fecha = DimeFechaCorrecta(texto);
  if (!fecha)
    throw ErrorDatos(QStringLiteral("la fecha de la cabecera del fichero (\"") + texto +
                     QStringLiteral("\") no es una fecha válida."));
  return *fecha;
}

QDate FechaCampo(const QString& texto, const QString& que) {
  const auto fecha = DimeFechaCorrecta(texto);
  if (!fecha)
    throw ErrorDatos(que + QStringLiteral(" (\"") + texto +
                     QStringLiteral("\") no es una fecha válida."));
  return *fecha;
}

double NumeroPuntoDec(const QString& texto) {
  return regional::LeeNumeroPuntoDecimal(texto).value_or(0.0);
}

}  // namespace relvano::chainfile
