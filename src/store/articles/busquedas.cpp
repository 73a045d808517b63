#include "store/articles/busquedas.h"

namespace relvano::store {

Recordset BuscaEmpresa(Database& bddGeneral, const QString& idEmpresa) {
  return bddGeneral.AbrirRecordset(QStringLiteral("select * from EMPRESAS where ID_EMPRESA = ?"),
                                   {Valor(idEmpresa)});
}

Recordset AbreConfiguracion(Database& bddContable) {
  const QString sql = QStringLiteral("select * from CONFIGURACION");
  Recordset rs = bddContable.AbrirRecordset(sql);
  if (!rs.HayRegistros()) {
    rs.NuevoRegistro();
    rs.GrabarRegistro();
    rs = bddContable.AbrirRecordset(sql);
  }
  return rs;
}

bool ExisteArticulo(Database& bdd, Recordset& rs, const QString& codigo) {
  rs = bdd.AbrirRecordset(QStringLiteral("select * from ARTICULOS where CODIGO = ?"),
                          {Valor(codigo.trimmed())});
  return rs.HayRegistros();
}

bool ExisteProveedor(Database& bdd, Recordset& rs, const QString& codigo) {
  rs = bdd.AbrirRecordset(QStringLiteral("select * from PROVEEDORES where CODIGO = ?"),
                          {Valor(codigo.trimmed())});
  return rs.HayRegistros();
}

}  // namespace relvano::store
