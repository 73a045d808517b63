#include "store/empresa.h"

namespace relvano::store {

Recordset BuscaEmpresa(Database& bddGeneral, const QString& idEmpresa) {
  return bddGeneral.AbrirRecordset(QStringLiteral("select * from EMPRESAS where ID_EMPRESA = ?"),
                                   {Valor(idEmpresa)});
}

}  // namespace relvano::store
