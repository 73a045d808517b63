#include "app/helpers.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include "app/operador.h"

namespace relvano {

namespace {

namespace fs = std::filesystem;

const QString kCrLf = QStringLiteral("\r\n");
const QString kMascaraPesetas = QStringLiteral("###,###,###,##0");
const QString kMascaraEuros = QStringLiteral("###,###,###,##0.00");

// Day 0 of the suite's date serials.
const QDate kOrigenSerial(1899, 12, 30);

// Blanks are spaces: the chain pads its fields with them, and a tab or a line end
// inside a value is data, not padding.
QString QuitaBlancos(const QString& s) {
  qsizetype ini = 0;
  qsizetype fin = s.size();
  while (ini < fin && s.at(ini) == u' ') ++ini;
  while (fin > ini && s.at(fin - 1) == u' ') --fin;
  return s.mid(ini, fin - ini);
}

bool EsDigito(QChar c) { return c >= u'0' && c <= u'9'; }

// A text read as a number the way the shops' regional settings read it:
// [sign] digits-and-thousands-marks [, digits] [E [sign] digits], blanks around.
// Nullopt for anything else, including a number too large for a double.
std::optional<double> LeeNumeroRegional(const QString& texto) {
  const QString s = texto.trimmed();
  qsizetype i = 0;
  const qsizetype n = s.size();
  std::string c;  // the number rewritten in the C notation from_chars reads
  if (i < n && (s.at(i) == u'-' || s.at(i) == u'+')) {
    if (s.at(i) == u'-') c += '-';
    ++i;
  }
  int digitos = 0;
  for (; i < n && (EsDigito(s.at(i)) || s.at(i) == regional::kSeparadorMiles); ++i) {
    if (s.at(i) == regional::kSeparadorMiles)
      continue;  // thousands marks are ignored wherever they are
    c += static_cast<char>(s.at(i).unicode());
    ++digitos;
  }
  if (i < n && s.at(i) == regional::kSeparadorDecimal) {
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
  return negativo ? Moneda::desdeDiezmilesimas(std::numeric_limits<qint64>::min())
                  : Moneda::desdeDiezmilesimas(std::numeric_limits<qint64>::max());
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
  return Moneda::desdeDiezmilesimas(d.negativo ? -diezmilesimas : diezmilesimas);
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
  return Moneda::desdeDiezmilesimas((d.negativo ? -unidades : unidades) * 10000);
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
  if (!decimales) return regional::TextoNumero(m.toDouble());
  const int dec = std::min(*decimales, 4);
  const qint64 d = m.diezmilesimas();
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

// ---- Dates ------------------------------------------------------------------------

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

// ---- Files ------------------------------------------------------------------------

enum class Existencia { Existe, NoExiste, ErrorAcceso };

// Paths cross to the standard library in its native form: wide text on Windows, the
// file system's bytes (as Qt encodes them) elsewhere; overloads pick the platform's.
[[maybe_unused]] void ANativo(const QString& ruta, std::wstring& nativo) {
  nativo = ruta.toStdWString();
}
void ANativo(const QString& ruta, std::string& nativo) {
  nativo = QFile::encodeName(ruta).toStdString();
}
[[maybe_unused]] QString DesdeNativo(const std::wstring& nativo) {
  return QString::fromStdWString(nativo);
}
QString DesdeNativo(const std::string& nativo) {
  return QFile::decodeName(QByteArray::fromStdString(nativo));
}

fs::path RutaSistema(const QString& ruta) {
  fs::path::string_type nativo;
  ANativo(ruta, nativo);
  return fs::path(std::move(nativo));
}

bool EsComodin(const QString& ruta) { return ruta.contains(u'*') || ruta.contains(u'?'); }

// "*" matches any run of characters and "?" one character.
bool CoincideComodin(QStringView patron, QStringView nombre) {
  qsizetype p = 0, n = 0, estrella = -1, marca = 0;
  while (n < nombre.size()) {
    if (p < patron.size() && (patron[p] == u'?' || patron[p] == nombre[n])) {
      ++p;
      ++n;
    } else if (p < patron.size() && patron[p] == u'*') {
      estrella = p++;
      marca = n;
    } else if (estrella >= 0) {
      p = estrella + 1;
      n = ++marca;
    } else {
      return false;
    }
  }
  while (p < patron.size() && patron[p] == u'*') ++p;
  return p == patron.size();
}

bool NoEncontrado(const std::error_code& ec) {
  return ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
}

// The regular files a path names: itself, or every match of a pattern in its last
// part. Sets `ec` (and returns nothing) when the folder or the file cannot be examined.
std::vector<fs::path> FicherosDeRuta(const QString& ruta, std::error_code& ec) {
  std::vector<fs::path> ficheros;
  ec.clear();
  if (!EsComodin(ruta)) {
    const fs::path p = RutaSistema(ruta);
    const fs::file_status st = fs::status(p, ec);
    if (ec) {
      if (NoEncontrado(ec)) ec.clear();
      return ficheros;
    }
    if (fs::is_regular_file(st)) ficheros.push_back(p);
    return ficheros;
  }
  const qsizetype barra = ruta.lastIndexOf(u'/');
  const QString carpeta = barra < 0 ? QStringLiteral(".") : ruta.left(barra + 1);
  const QString patron = ruta.mid(barra + 1);
  if (EsComodin(carpeta)) return ficheros;  // patterns only name files, never folders
  fs::directory_iterator it(RutaSistema(carpeta), ec);
  if (ec) {
    if (NoEncontrado(ec)) ec.clear();
    return ficheros;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const QString nombre = DesdeNativo(it->path().filename().native());
    std::error_code ecTipo;
    if (CoincideComodin(patron, nombre) && it->is_regular_file(ecTipo))
      ficheros.push_back(it->path());
  }
  if (ec) ficheros.clear();
  return ficheros;
}

Existencia ExamenFichero(const QString& ruta, Operador* operador) {
  if (ruta.isEmpty()) return Existencia::NoExiste;
  std::error_code ec;
  const std::vector<fs::path> ficheros = FicherosDeRuta(ruta, ec);
  if (ec) {
    if (operador)
      operador->Mensaje(
          QStringLiteral("Error de acceso al fichero") + kCrLf + kCrLf + ruta + kCrLf + kCrLf +
              QStringLiteral("Compruebe que el fichero exista y que la ruta sea correcta."),
          Operador::Icono::Stop);
    return Existencia::ErrorAcceso;
  }
  return ficheros.empty() ? Existencia::NoExiste : Existencia::Existe;
}

// Failures that mean the file is in use, protected or gone: the operator is told
// it may be locked rather than given a system error.
bool EsErrorAccesoBorrado(const std::error_code& ec) {
  return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
         ec == std::errc::device_or_resource_busy || ec == std::errc::read_only_file_system ||
         ec == std::errc::text_file_busy || ec == std::errc::no_such_file_or_directory;
}

}  // namespace

// ---- Regional settings ---------------------------------------------------------

namespace regional {

QString TextoNumero(double x) {
  if (x == 0) return QStringLiteral("0");  // also -0
  // The C form of 15 significant digits ("1234567.25", "1e-05", "1e+15"), written
  // with the decimal comma and an upper-case exponent mark.
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
  const char16_t texto[10] = {
      char16_t(u'0' + dia / 10),          char16_t(u'0' + dia % 10),          u'/',
      char16_t(u'0' + mes / 10),          char16_t(u'0' + mes % 10),          u'/',
      char16_t(u'0' + anyo / 1000),       char16_t(u'0' + anyo / 100 % 10),
      char16_t(u'0' + anyo / 10 % 10),    char16_t(u'0' + anyo % 10)};
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

}  // namespace regional

// ---- Conversion ------------------------------------------------------------------

double ValorNumerico(const Valor& valor) {
  switch (valor.tipo()) {
    case Valor::Tipo::Null:
      return 0.0;
    case Valor::Tipo::Numero:
      return valor.numero();
    case Valor::Tipo::Booleano:
      return valor.booleano() ? -1.0 : 0.0;
    case Valor::Tipo::Fecha:
      return valor.fecha().isValid() ? static_cast<double>(kOrigenSerial.daysTo(valor.fecha()))
                                     : 0.0;
    case Valor::Tipo::Texto:
      return LeeNumeroRegional(valor.texto()).value_or(0.0);
  }
  return 0.0;
}

QString ValorTexto(const Valor& valor) {
  switch (valor.tipo()) {
    case Valor::Tipo::Null:
      return {};
    case Valor::Tipo::Texto:
      return QuitaBlancos(valor.texto());
    case Valor::Tipo::Numero:
      return regional::TextoNumero(valor.numero());
    case Valor::Tipo::Fecha:
      return regional::TextoFecha(valor.fecha());
    case Valor::Tipo::Booleano:
      return valor.booleano() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
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

std::optional<QString> TextoDeValor(const Valor& valor) {
  if (valor.esNull()) return std::nullopt;
  return ValorTexto(valor);
}

QString Mayusculas(const QString& texto) { return texto.toUpper(); }

QString MidTexto(const QString& texto, int inicio, std::optional<int> longitud) {
  const qsizetype desde = std::max(inicio, 1) - 1;
  if (desde >= texto.size()) return {};
  if (!longitud) return texto.mid(desde);
  return texto.mid(desde, std::max(*longitud, 0));
}

QString RellenaTexto(const QString& texto, int veces, const QString& relleno, const QString& lado) {
  if (veces < 1) return texto;
  const QString extra = relleno.repeated(veces);
  return lado == u"D" ? texto + extra : extra + texto;
}

// ---- Dates -----------------------------------------------------------------------

bool EsFecha(const QString& texto, QDate hoy) { return FechaValida(texto, hoy).has_value(); }

QString SumaDias(const QString& fecha, const Valor& dias, QDate hoy) {
  const std::optional<QDate> f = FechaValida(fecha, hoy);
  if (!f) return {};
  // Counted from the first of the year, so a day number past either end of the
  // year rolls into the next or previous ones. Day 0 of the serials (30/12/1899)
  // is written as a date like any other.
  const int n = f->dayOfYear() + ValorEntero(dias);
  return regional::TextoFecha(QDate(f->year(), 1, 1).addDays(n - 1));
}

// ---- Money -----------------------------------------------------------------------

QString FormatoMoneda(const QString& codigo) {
  const QString c = codigo.toUpper();
  if (c == u"PTA") return kMascaraPesetas;
  if (c == u"EURO") return kMascaraEuros;
  return {};
}

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
  valor = Valor(redondeado.toDouble());
  return AplicaMascara(redondeado, mascara);
}

// ---- Files -----------------------------------------------------------------------

bool ExisteFichero(const QString& ruta, Operador* operador) {
  return ExamenFichero(ruta, operador) == Existencia::Existe;
}

bool BorraFichero(const QString& ruta, Operador& operador) {
  switch (ExamenFichero(ruta, &operador)) {
    case Existencia::NoExiste:
      return true;
    case Existencia::ErrorAcceso:
      return false;  // the operator has been shown the access error
    case Existencia::Existe:
      break;
  }
  // A read-only mode does not stop a deletion here, so the file's mode is left alone.
  std::error_code ec;
  const std::vector<fs::path> ficheros = FicherosDeRuta(ruta, ec);
  for (const fs::path& p : ficheros) {
    fs::remove(p, ec);
    if (!ec) continue;
    if (EsErrorAccesoBorrado(ec)) {
      operador.Mensaje(QStringLiteral("El fichero ") + ruta +
                       QStringLiteral(" no se puede borrar.") + kCrLf + kCrLf +
                       QStringLiteral("Puede que no existe o este bloqueado por algún usuario."));
    } else {
      operador.Mensaje(QString::number(ec.value()) + QStringLiteral(": ") +
                       QString::fromLocal8Bit(ec.message().c_str()));
    }
    return false;
  }
  return true;
}

// ---- Windows ---------------------------------------------------------------------

PosicionVentana CentraFormulario(int anchoPantallaPixels, int twipsPorPixelX, int twipsPorPixelY,
                                 int anchoVentana, int altoVentana, bool dentroDeMarco) {
  // Placed for the screen the program was designed for, not the real one.
  const bool pequena = anchoPantallaPixels < 800;
  const double anchoArea = (pequena ? 800.0 : 1024.0) * twipsPorPixelX;
  const double altoArea = (pequena ? 600.0 : 768.0) * twipsPorPixelY - 1000.0;
  PosicionVentana pos;
  pos.top = static_cast<int>(std::floor((altoArea - altoVentana) / 2.0 - 500.0));
  pos.left = static_cast<int>(std::floor((anchoArea - anchoVentana) / 2.0));
  if (pos.top < 100) pos.top = dentroDeMarco ? 0 : 100;
  return pos;
}

}  // namespace relvano
