#pragma once

// The --json documents of relvano-cli: what monitoring tools read instead of the text
// lines. docs/JSON.md lists every field; a field once there keeps its name and meaning.

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>

#include "app/bandeja.h"
#include "app/importacion.h"

namespace relvano {
class Programa;
}

namespace relvano::cli {

// A new document for `orden`: {"format": 1, "command": orden}.
QJsonObject DocumentoJson(const char* orden);

// Prints `documento` with "exit_status": `salida` as one line of standard output and
// returns `salida`.
int EmiteJson(QJsonObject documento, int salida);

// An instant in ISO 8601 with its offset from UTC; null when invalid.
QJsonValue InstanteJson(const QDateTime& instante);

// The open company: {"code", "name"}; null when none is open.
QJsonValue EmpresaJson(const Programa& programa);

// What became of one file, read by an import or an inbox run. `desenlace` is the
// outcome's code; `r` the file's run (default when none was made).
struct FicheroJson {
  std::optional<imports::OpcionImportacion> clase;
  QString ruta;
  QString desenlace;
  ResultadoImportacion r;
  QDateTime inicio, fin;
  QString archivado;  // where the inbox moved it
  QString error;      // what ended it
};
QJsonObject FicheroAJson(const FicheroJson& f);

// A review kept as compact JSON text (the history's): the object, or null when empty.
QJsonValue RevisionJson(const QString& texto);
// The review as the terminal prints it, one line each.
QString LineasRevision(const Revision& revision);

// The outcome codes of a single import and of an inbox entry.
QString DesenlaceImportacion(const ResultadoImportacion& r, bool simulacion, const QString& ruta);
QString DesenlaceBandejaJson(const DesenlaceBandeja& d, bool simulacion);

}  // namespace relvano::cli
