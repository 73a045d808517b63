#include "store/documents/pagos.h"

#include "store/documents/series.h"

namespace relvano::store {

bool AbreFormaPago(Database& bddContable, Recordset& rs, const QString& codigo) {
  rs = bddContable.AbrirRecordset(QStringLiteral("select * from FORMA_PAGCOB where CODIGO = ?"),
                                  {Valor(codigo)});
  return rs.HayRegistros();
}

int NumeroFormasPagoProveedor(Database& bddTienda, Recordset& rs, const QString& proveedor) {
  rs = bddTienda.AbrirRecordset(
      QStringLiteral("select * from PROVEEDORES_PAGCOB where ID_PROVEEDOR = ?"),
      {Valor(proveedor)});
  if (!rs.HayRegistros()) return 0;
  rs.MoveFirst();
  return rs.RecordCount();
}

void AbreDesglosePagos(const Empresa& empresa, const QString& tipoDocumento, Recordset& rs,
                       const QString& ejercicio, const QString& serie, const QString& numero,
                       const QString& codigo, const QString& idEmpresa) {
  if (tipoDocumento == u"FACPR" || tipoDocumento == u"PR") {
    Database& bdd = *BaseDatosDeDocumento(empresa, serie, idEmpresa).bdd;
    rs = bdd.AbrirRecordset(
        QStringLiteral("select * from FACPR_DESGPAGCOB WHERE EJERCICIO = ? AND SERIE = ?"
                       " AND NUMERO = ? AND CODIGO = ? ORDER BY NUM_PAGCOBFACT"),
        {Valor(ejercicio), Valor(serie), Valor(numero), Valor(codigo)});
  } else {
    rs = Recordset();
  }
}

}  // namespace relvano::store
