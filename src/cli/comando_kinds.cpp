#include <QStringList>
#include <QTextStream>

#include "cli/opciones_cli.h"
#include "imports/clases.h"

namespace relvano::cli {

QString NombresClases() {
  QStringList nombres;
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    nombres << QString::fromLatin1(c.nombre);
  return nombres.join(QStringLiteral(", "));
}

// For scripts: what the program knows of each kind, so that nothing repeats the table.
int ComandoKinds() {
  QTextStream out(stdout);
  for (const imports::ClaseFichero& c : imports::ClasesFichero()) {
    out << static_cast<int>(c.opcion) << '\t' << c.nombre << '\t' << c.prefijo << '\t' << c.log
        << '\t' << QString::fromUtf8(c.titulo) << '\n';
  }
  return kSalidaOk;
}

}  // namespace relvano::cli
