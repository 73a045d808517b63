#include "store/documents/proveedores.h"

namespace relvano::store {

bool ExisteProveedor(Database& bdd, Recordset& rs, const QString& codigo) {
  rs = bdd.AbrirRecordset(QStringLiteral("select * from PROVEEDORES where CODIGO = ?"),
                          {Valor(codigo.trimmed())});
  return rs.HayRegistros();
}

}  // namespace relvano::store
