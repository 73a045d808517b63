#include "chainfile/registro.h"

#include <algorithm>

#include "base/regional.h"
#include "chainfile/conversion.h"

namespace relvano::chainfile {
namespace {

// Stores `valor` into `campo` cut or padded to `ancho`. Widths count characters as the
// operator sees them, so a letter outside the basic plane (two UTF-16 units) is one
// character and is never cut in half. The field's own buffer is reused when nobody
// else holds it: a line's fields are stored one by one, 61 of them for an article, and
// a new text for each cost as much as reading the line. `sinPares`: the caller has seen
// that `valor` has no surrogate, so that each unit is a character and none is counted.
void Ajusta(QString& campo, QStringView valor, int ancho, bool sinPares = false) {
  if (!valor.isEmpty() && valor.data() >= campo.constData() &&
      valor.data() < campo.constData() + campo.capacity()) {
    const QString copia = valor.toString();  // the field's own text, stored into itself
    Ajusta(campo, copia, ancho, sinPares);
    return;
  }
  qsizetype unidades = valor.size();
  qsizetype total = unidades;
  if (ancho != kLibre && sinPares) {
    unidades = std::min<qsizetype>(unidades, ancho);
    total = ancho;
  } else if (ancho != kLibre) {
    unidades = 0;
    int caracteres = 0;
    while (unidades < valor.size() && caracteres < ancho) {
      const bool par = valor.at(unidades).isHighSurrogate() && unidades + 1 < valor.size() &&
                       valor.at(unidades + 1).isLowSurrogate();
      unidades += par ? 2 : 1;
      ++caracteres;
    }
    total = unidades + (ancho - caracteres);
  }
  if (total > 0 && campo.isDetached() && campo.capacity() >= total) {
    // The field's own buffer, written in place: the text, then the blanks up to the width
    // (a fixed field has it already, from the line before).
    if (campo.size() != total) campo.resize(total);
    QChar* destino = campo.data();
    std::copy_n(valor.data(), unidades, destino);
    std::fill(destino + unidades, destino + total, QLatin1Char(' '));
    return;
  }
  campo = QString();
  campo.reserve(total);
  campo.append(valor.left(unidades));
  campo.resize(total, QLatin1Char(' '));
}

// C0 and C1 controls and DEL; tab is a character of the chain's texts.
bool EsControl(char16_t c) { return (c < 0x20 && c != u'\t') || (c >= 0x7F && c <= 0x9F); }

const QString& Vacio() {
  static const QString vacio;
  return vacio;
}

}  // namespace

CampoNoValido::CampoNoValido(int campo, char16_t caracter)
    : Error(QStringLiteral("el campo %1 contiene un carácter de control (código %2), "
                           "que no se puede guardar; la línea no se ha aplicado. "
                           "Corrija el fichero y vuelva a importarlo.")
                .arg(campo)
                .arg(static_cast<int>(caracter))),
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
  Ajusta(campos_[i], valor, anchos_[i]);
}

void Registro::Limpia() {
  for (size_t i = 0; i < campos_.size(); ++i) Ajusta(campos_[i], {}, anchos_[i]);
}

void Registro::Llena(QString& linea) {
  // The fields ExtraeCampo would take off the line one by one, found by position
  // instead: taking each off the front copied the rest of a 61-field line once per field.
  const QStringView texto(linea);
  qsizetype desde = 0;
  bool agotada = false;  // a field without a separator after it took all that was left
  for (int n = 1; n <= NumCampos(); ++n) {
    const auto i = static_cast<size_t>(n - 1);
    if (agotada) {
      Ajusta(campos_[i], {}, anchos_[i], true);
      continue;
    }
    // One look at each character up to the separator: a control refuses the line (a
    // blank the field loses is none), a surrogate makes the width count characters
    // rather than units.
    bool pares = false;
    qsizetype fin = desde;
    for (; fin < texto.size(); ++fin) {
      const char16_t c = texto[fin].unicode();
      if (c >= 0x20 && c < 0x7F) {  // printable ASCII, nearly every character of a file
        if (c == u'|') break;
        continue;
      }
      if (EsControl(c)) throw CampoNoValido(n, c);
      pares |= QChar::isSurrogate(c);
    }
    QStringView campo = texto.mid(desde, fin - desde);
    if (fin == texto.size()) {
      agotada = true;
    } else {
      desde = fin + 1;
    }
    while (!campo.isEmpty() && campo.front() == u' ') campo = campo.mid(1);
    while (!campo.isEmpty() && campo.back() == u' ') campo.chop(1);
    Ajusta(campos_[i], campo, anchos_[i], !pares);
  }
  linea = agotada ? QString() : linea.mid(desde);
}

Registro RegistroIDE() { return Registro{3, 9, 6, 3, 50, 10, 8, 6, 6}; }

Registro RegistroCHK() { return Registro{3, 6}; }

}  // namespace relvano::chainfile
