#include <QJsonArray>
#include <QStringList>
#include <QTextStream>

#include "cli/opciones_cli.h"
#include "cli/salida_json.h"
#include "imports/clases.h"

namespace relvano::cli {

QString NombresClases() {
  QStringList nombres;
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    nombres << QString::fromLatin1(c.nombre);
  return nombres.join(QStringLiteral(", "));
}

// For scripts: what the program knows of each kind, so that nothing repeats the table.
int ComandoKinds(const OpcionesCli& opciones) {
  QTextStream out(stdout);
  QJsonArray clases;
  for (const imports::ClaseFichero& c : imports::ClasesFichero()) {
    if (opciones.json) {
      clases.append(QJsonObject{{QStringLiteral("option"), static_cast<int>(c.opcion)},
                                {QStringLiteral("name"), QLatin1String(c.nombre)},
                                {QStringLiteral("prefix"), QLatin1String(c.prefijo)},
                                {QStringLiteral("log"), QLatin1String(c.log)},
                                {QStringLiteral("title"), QString::fromUtf8(c.titulo)}});
      continue;
    }
    out << static_cast<int>(c.opcion) << '\t' << c.nombre << '\t' << c.prefijo << '\t' << c.log
        << '\t' << QString::fromUtf8(c.titulo) << '\n';
  }
  if (!opciones.json) return kSalidaOk;
  QJsonObject json = DocumentoJson("kinds");
  json.insert(QStringLiteral("kinds"), clases);
  return EmiteJson(json, kSalidaOk);
}

}  // namespace relvano::cli
