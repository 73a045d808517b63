#pragma once

#include <QString>

namespace relvano {

class Operador;

// True when `ruta` is not empty and names an existing regular file; a "*" or "?" in
// its last part is a pattern, true when some file of the folder matches. When the
// test itself fails (an unreadable folder, a name too long) the result is false and,
// when `operador` is given, the access error box is shown.
bool ExisteFichero(const QString& ruta, Operador* operador = nullptr);

// Deletes the file (a "*" pattern deletes every match). True when it was deleted
// or did not exist; false after telling the operator why it could not be deleted
// (the access error box when the file could not even be looked for).
bool BorraFichero(const QString& ruta, Operador& operador);

}  // namespace relvano
