#pragma once

#include <QString>
#include <initializer_list>
#include <vector>

#include "base/error.h"

namespace relvano::chainfile {

// A field of a line holds a control character other than tab (a NUL byte, a line
// break, ...): no consumer of the stores can keep such a value as written, so the line
// is never applied. what() names the field and the character, in Spanish.
class CampoNoValido : public Error {
 public:
  CampoNoValido(int campo, char16_t caracter);
  int Campo() const { return campo_; }

 private:
  int campo_;
};

// Width of a variable-length field of a record.
inline constexpr int kLibre = 0;

// A fixed-width record filled from one chain file line: one text field per field of
// the line, in line order. Storing a value into a field cuts a longer value to the
// field's width and pads a shorter one with blanks on the right (widths count
// characters); a variable-length field (kLibre) keeps the value as given.
class Registro {
 public:
  Registro() = default;
  explicit Registro(std::vector<int> anchos);
  Registro(std::initializer_list<int> anchos) : Registro(std::vector<int>(anchos)) {}

  int NumCampos() const { return static_cast<int>(campos_.size()); }

  // Field n (1-based) as stored: padded to its width. Out of range gives "".
  const QString& Campo(int n) const;
  // Field n without blanks (spaces) at either end, as the imports use it. Tabs and
  // line breaks inside the value are kept, as ExtraeCampo keeps them.
  QString Texto(int n) const;
  // Stores `valor` into field n (cut or padded). Out of range does nothing.
  void Asigna(int n, const QString& valor);
  // Blanks every field (padded to its width).
  void Limpia();

  // Splits `linea` into the fields, one ExtraeCampo per field taken off the line
  // itself; fields beyond the separators present are stored empty (padded).
  // On return `linea` holds what is left after the last field taken.
  // Throws CampoNoValido when a field holds a control character other than tab; the
  // record is then not to be used.
  void Llena(QString& linea);

 private:
  std::vector<int> anchos_;
  std::vector<QString> campos_;
};

// Header record of every chain file (IDE line), nine fields; field 6 is the file's date.
Registro RegistroIDE();
// Trailer record (CHK line): type and the number of lines the chain counted.
Registro RegistroCHK();

}  // namespace relvano::chainfile
