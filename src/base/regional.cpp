#include "base/regional.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace relvano::regional {
namespace {

bool EsDigito(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

QString QuitaBlancos(const QString& s) {
  qsizetype ini = 0;
  qsizetype fin = s.size();
  while (ini < fin && s.at(ini) == u' ') ++ini;
  while (fin > ini && s.at(fin - 1) == u' ') --fin;
  return s.mid(ini, fin - ini);
}

namespace {

// The number of `texto` (see LeeNumero). `puntoDecimal`: the chain's files write the
// decimal mark as a dot, and a comma reads the same (no thousands marks then).
std::optional<double> Lee(QStringView texto, bool puntoDecimal) {
  const QStringView s = texto.trimmed();
  qsizetype i = 0;
  const qsizetype n = s.size();
  const auto esDecimal = [&](QChar c) {
    return c == kSeparadorDecimal || (puntoDecimal && c == kSeparadorMiles);
  };
  const auto esMiles = [&](QChar c) { return !puntoDecimal && c == kSeparadorMiles; };
  std::string c;  // the number rewritten in the C notation from_chars reads
  if (i < n && (s.at(i) == u'-' || s.at(i) == u'+')) {
    if (s.at(i) == u'-') c += '-';
    ++i;
  }
  int digitos = 0;
  for (; i < n && (EsDigito(s.at(i)) || esMiles(s.at(i))); ++i) {
    if (esMiles(s.at(i))) continue;  // thousands marks are ignored wherever they are
    c += static_cast<char>(s.at(i).unicode());
    ++digitos;
  }
  if (i < n && esDecimal(s.at(i))) {
    c += '.';
    for (++i; i < n && EsDigito(s.at(i)); ++i) {
      c += static_cast<char>(s.at(i).unicode());
      ++digitos;
    }
  }
  if (digitos == 0) return std::nullopt;
  if (i < n && (s.at(i) == u'E' || s.at(i) == u'e')) {
    c += 'e';
    ++i;
    if (i < n && (s.at(i) == u'-' || s.at(i) == u'+')) c += static_cast<char>(s.at(i++).unicode());
    int exponente = 0;
    for (; i < n && EsDigito(s.at(i)); ++i) {
      c += static_cast<char>(s.at(i).unicode());
      ++exponente;
    }
    if (exponente == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  double x = 0.0;
  const auto [fin, ec] = std::from_chars(c.data(), c.data() + c.size(), x);
  if (ec != std::errc() || fin != c.data() + c.size()) return std::nullopt;
  return x;
}

}  // namespace

std::optional<double> LeeNumero(const QString& texto) { return Lee(texto, false); }

std::optional<double> LeeNumeroPuntoDecimal(QStringView texto) { return Lee(texto, true); }

namespace {

// `x` as the C form of 15 significant digits writes it, from its shortest exact reading
// ("1.5e+00" gives "1.5"). Nothing when that reading has more than 15 digits (the number
// is then rounded, and Qt and the standard library round an exact tie apart) or `x` is
// not a normal number (a subnormal's shortest reading is not its 15 digits).
std::optional<QString> FormaCorta(double x) {
  if (!std::isfinite(x) || std::fabs(x) < std::numeric_limits<double>::min()) return std::nullopt;
  char corta[32];
  const auto c = std::to_chars(corta, corta + sizeof corta, x, std::chars_format::scientific);
  if (c.ec != std::errc()) return std::nullopt;
  char digitos[17];
  int n = 0;
  const char* p = corta + (x < 0);
  for (; p < c.ptr && *p != 'e'; ++p) {
    if (*p == '.') continue;
    if (n == 15) return std::nullopt;
    digitos[n++] = *p;
  }
  int exponente = 0;
  if (p == c.ptr || std::from_chars(p + 1 + (p[1] == '+'), c.ptr, exponente).ec != std::errc())
    return std::nullopt;
  char texto[32];
  char* q = texto;
  if (x < 0) *q++ = '-';
  if (exponente < -4 || exponente >= 15) {
    *q++ = digitos[0];
    if (n > 1) {
      *q++ = kSeparadorDecimal.toLatin1();
      q = std::copy(digitos + 1, digitos + n, q);
    }
    *q++ = 'E';
    *q++ = exponente < 0 ? '-' : '+';
    if (std::abs(exponente) < 10) *q++ = '0';
    q = std::to_chars(q, texto + sizeof texto, std::abs(exponente)).ptr;
  } else if (exponente >= 0) {
    const int enteros = exponente + 1;
    for (int i = 0; i < enteros; ++i) *q++ = i < n ? digitos[i] : '0';
    if (n > enteros) {
      *q++ = kSeparadorDecimal.toLatin1();
      q = std::copy(digitos + enteros, digitos + n, q);
    }
  } else {
    *q++ = '0';
    *q++ = kSeparadorDecimal.toLatin1();
    q = std::fill_n(q, -exponente - 1, '0');
    q = std::copy(digitos, digitos + n, q);
  }
  return QString::fromLatin1(texto, q - texto);
}

}  // namespace

QString TextoNumero(double x) {
  if (x == 0) return QStringLiteral("0");  // also -0
  // The C form of 15 significant digits ("1234567.25", "1e-05", "1e+15"), written
  // with the decimal comma and an upper-case exponent mark. Most numbers are read back
  // exactly from 15 digits or fewer: those are written by hand, in a third of Qt's time
  // (a log line per price).
  if (auto corta = FormaCorta(x)) return *std::move(corta);
  QString s = QString::number(x, 'g', 15);
  s.replace(u'.', kSeparadorDecimal);
  s.replace(u'e', u'E');
  return s;
}

QString TextoFecha(QDate fecha) {
  if (!fecha.isValid()) return {};
  int anyo = 0, mes = 0, dia = 0;
  fecha.getDate(&anyo, &mes, &dia);
  // Written by hand: a log line per offer or price goes through here, and the
  // formatting engine of QDate costs more than the rest of the line.
  if (anyo < 1 || anyo > 9999) return fecha.toString(QStringLiteral("dd/MM/yyyy"));
  const char16_t texto[10] = {char16_t(u'0' + dia / 10),
                              char16_t(u'0' + dia % 10),
                              u'/',
                              char16_t(u'0' + mes / 10),
                              char16_t(u'0' + mes % 10),
                              u'/',
                              char16_t(u'0' + anyo / 1000),
                              char16_t(u'0' + anyo / 100 % 10),
                              char16_t(u'0' + anyo / 10 % 10),
                              char16_t(u'0' + anyo % 10)};
  return QString(reinterpret_cast<const QChar*>(texto), 10);
}

std::optional<QDate> LeeFecha(const QString& texto, QDate hoy) {
  const QString s = QuitaBlancos(texto);
  QChar separador;
  for (const QChar c : s) {
    if (c == u'/' || c == u'-') {
      separador = c;
      break;
    }
  }
  if (separador.isNull()) return std::nullopt;
  const QStringList partes = s.split(separador);
  if (partes.size() != 3) return std::nullopt;
  std::array<int, 3> valores{};
  for (int i = 0; i < 3; ++i) {
    const QString p = QuitaBlancos(partes.at(i));
    if (p.isEmpty() || p.size() > 4) return std::nullopt;
    for (const QChar c : p)
      if (!EsDigito(c)) return std::nullopt;
    valores[i] = p.toInt();
    if (i == 2 && p.size() <= 2) valores[i] += hoy.year() / 100 * 100;
  }
  const QDate fecha(valores[2], valores[1], valores[0]);
  if (!fecha.isValid()) return std::nullopt;
  return fecha;
}

}  // namespace relvano::regional
