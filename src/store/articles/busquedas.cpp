#include "store/articles/busquedas.h"

namespace relvano::store {

bool ExisteArticulo(Database& bdd, Recordset& rs, const QString& codigo) {
  rs = bdd.AbrirRecordset(QStringLiteral("select * from ARTICULOS where CODIGO = ?"),
                          {Valor(codigo.trimmed())});
  return rs.HayRegistros();
}

}  // namespace relvano::store
