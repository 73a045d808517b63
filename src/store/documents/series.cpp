#include "store/documents/series.h"

namespace relvano::store {

bool EsSerieEspecial(const QString& serie) { return !serie.isEmpty() && serie.at(0) == u'$'; }

bool ExisteSerie(Database& bdd, Recordset& rs, const QString& tipoSerie, const QString& serie) {
  rs =
      bdd.AbrirRecordset(QStringLiteral("select * from SERIES where TIPO_SERIE = ? AND CODIGO = ?"),
                         {Valor(tipoSerie), Valor(serie.trimmed())});
  return rs.HayRegistros();
}

int TipoIvaSerie(Database& bdd, const QString& tipoSerie, const QString& serie) {
  if (EsSerieEspecial(serie)) return kSerieIvaPersonal;
  Recordset rs;
  if (!ExisteSerie(bdd, rs, tipoSerie, serie)) return kSerieIvaNormal;
  // RECARGO is looked at first: a series with both flags charges the surcharge.
  if (bdd.ExisteCampoTabla(QStringLiteral("SERIES"), QStringLiteral("RECARGO")) &&
      EsVerdadero(rs["RECARGO"]))
    return kSerieConRecargo;
  if (bdd.ExisteCampoTabla(QStringLiteral("SERIES"), QStringLiteral("IVA_PERSONAL")))
    return EsVerdadero(rs["IVA_PERSONAL"]) ? kSerieIvaPersonal : kSerieIvaNormal;
  return kSerieIvaNormal;
}

BaseDatosDocumento BaseDatosDeDocumento(const Empresa& empresa, const QString& /*serie*/,
                                        const std::optional<QString>& /*idEmpresa*/) {
  // A special series of the selected company would choose its own database here;
  // the shops configure none, so every document is in the store database.
  if (!empresa.BddComercial)
    throw DbError(QStringLiteral("La base de datos de la tienda no está abierta."),
                  empresa.RutaComercial);
  return {empresa.BddComercial, empresa.RutaComercial};
}

}  // namespace relvano::store
