#pragma once

#include <QString>

namespace relvano {

class Operador;

// True when `ruta` is not empty and names an existing regular file; a "*" or "?" in
// its last part is a pattern, true when some file of the folder matches. When the
// test itself fails (an unreadable folder, a name too long) the result is false and,
// when `operador` is given, the access error box is shown.
bool ExisteFichero(const QString& ruta, Operador* operador = nullptr);

// What a path names, for a run that reads it whole. Only a regular file (or a link to
// one) is ever opened, so that a pipe never blocks the caller and a device is never read.
enum class AccesoFichero {
  Legible,      // a regular file that opens for reading
  NoExiste,     // nothing (or a link to nothing)
  NoEsFichero,  // a folder, a device, a pipe, a socket
  NoSeLee,      // a regular file that does not open for reading (permissions)
};
AccesoFichero ExaminaAcceso(const QString& ruta);

// Deletes the file (a "*" pattern deletes every match). True when it was deleted
// or did not exist; false after telling the operator why it could not be deleted
// (the access error box when the file could not even be looked for).
bool BorraFichero(const QString& ruta, Operador& operador);

}  // namespace relvano
