#include "chainfile/registro.h"

#include "base/regional.h"
#include "chainfile/conversion.h"

namespace relvano::chainfile {
namespace {

// Widths count characters as the operator sees them, so a letter outside the basic
// plane (two UTF-16 units) is one character and is never cut in half.
QString AjustaAncho(const QString& valor, int ancho) {
  if (ancho == kLibre) return valor;
  qsizetype unidades = 0;
  int caracteres = 0;
  while (unidades < valor.size() && caracteres < ancho) {
    const bool par = valor.at(unidades).isHighSurrogate() && unidades + 1 < valor.size() &&
                     valor.at(unidades + 1).isLowSurrogate();
    unidades += par ? 2 : 1;
    ++caracteres;
  }
  // Most fields already have their width or only need blanks: share the text, or
  // build the padded one in a single allocation.
  if (unidades == valor.size() && caracteres == ancho) return valor;
  QString ajustado;
  ajustado.reserve(unidades + (ancho - caracteres));
  ajustado.append(QStringView(valor).left(unidades));
  if (caracteres < ancho) ajustado.append(QString(ancho - caracteres, QLatin1Char(' ')));
  return ajustado;
}

// C0 and C1 controls and DEL; tab is a character of the chain's texts.
bool EsControl(char16_t c) { return (c < 0x20 && c != u'\t') || (c >= 0x7F && c <= 0x9F); }

const QString& Vacio() {
  static const QString vacio;
  return vacio;
}

}  // namespace

CampoNoValido::CampoNoValido(int campo, char16_t caracter)
    : std::runtime_error(QStringLiteral("el campo %1 contiene un carácter de control (código %2), "
                                        "que no se puede guardar; la línea no se ha aplicado. "
                                        "Corrija el fichero y vuelva a importarlo.")
                             .arg(campo)
                             .arg(static_cast<int>(caracter))
                             .toStdString()),
      campo_(campo) {}

Registro::Registro(std::vector<int> anchos) : anchos_(std::move(anchos)) {
  campos_.resize(anchos_.size());
  Limpia();
}

const QString& Registro::Campo(int n) const {
  if (n < 1 || n > NumCampos()) return Vacio();
  return campos_[static_cast<size_t>(n - 1)];
}

QString Registro::Texto(int n) const { return regional::QuitaBlancos(Campo(n)); }

void Registro::Asigna(int n, const QString& valor) {
  if (n < 1 || n > NumCampos()) return;
  const auto i = static_cast<size_t>(n - 1);
  campos_[i] = AjustaAncho(valor, anchos_[i]);
}

void Registro::Limpia() {
  for (size_t i = 0; i < campos_.size(); ++i) campos_[i] = AjustaAncho(QString(), anchos_[i]);
}

void Registro::Llena(QString& linea) {
  // The fields ExtraeCampo would take off the line one by one, found by position
  // instead: taking each off the front copied the rest of a 61-field line once per field.
  const QStringView texto(linea);
  qsizetype desde = 0;
  bool agotada = false;  // a field without a separator after it took all that was left
  for (int n = 1; n <= NumCampos(); ++n) {
    if (agotada) {
      Asigna(n, QString());
      continue;
    }
    const qsizetype p = texto.indexOf(u'|', desde);
    QStringView campo = p < 0 ? texto.mid(desde) : texto.mid(desde, p - desde);
    if (p < 0) {
      agotada = true;
    } else {
      desde = p + 1;
    }
    while (!campo.isEmpty() && campo.front() == u' ') campo = campo.mid(1);
    while (!campo.isEmpty() && campo.back() == u' ') campo.chop(1);
    for (const QChar c : campo)
      if (EsControl(c.unicode())) throw CampoNoValido(n, c.unicode());
    Asigna(n, campo.toString());
  }
  linea = agotada ? QString() : linea.mid(desde);
}

Registro RegistroIDE() { return Registro{3, 9, 6, 3, 50, 10, 8, 6, 6}; }

Registro RegistroCHK() { return Registro{3, 6}; }

}  // namespace relvano::chainfile
