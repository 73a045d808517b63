#include "support/volcado.h"

#include <QStringList>

#include "store/db/recordset.h"

namespace relvano::testing {

QString VolcadoBaseDatos(store::Database& db) {
  QString texto;
  auto tablas = db.AbrirRecordset(QStringLiteral(
      "SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'sqlite_sequence' "
      "ORDER BY name"));
  for (; !tablas.Eof(); tablas.MoveNext()) {
    const QString tabla = tablas[QStringLiteral("name")].Texto();
    auto rs = db.AbrirRecordset(QStringLiteral("SELECT * FROM ") + tabla);
    QStringList filas;
    for (; !rs.Eof(); rs.MoveNext()) {
      QStringList celdas;
      for (int i = 0; i < rs.NumCampos(); ++i) celdas << rs.Campo(i).Describe();
      filas << celdas.join(u';');
    }
    filas.sort();
    texto += tabla + u'\n' + filas.join(u'\n') + u'\n';
  }
  return texto;
}

}  // namespace relvano::testing
