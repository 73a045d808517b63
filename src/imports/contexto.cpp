#include "imports/contexto.h"

#include "store/articles/busquedas.h"

namespace relvano::imports {

chainfile::ResultadoLectura ImportaCatalogo(const QString& ruta,
                                            const std::vector<chainfile::TipoDetalle>& tipos,
                                            const chainfile::AplicaDetalle& aplica,
                                            ContextoImportacion& ctx) {
  chainfile::ContextoLectura lectura{ctx.log, ctx.operador, ctx.progreso};
  return chainfile::BucleLectura(
      ruta, tipos,
      [&](int indice, const chainfile::Registro& det, const chainfile::Registro& ide, int linea) {
        ctx.unidad.Linea(linea, [&] {
          // Every row a line writes is keyed by its article: without one nothing is written.
          const int campo = tipos[static_cast<size_t>(indice)].campoArticulo;
          if (campo > 0 && det.Texto(campo).isEmpty()) {
            ctx.log.Escribe(QStringLiteral("LÍNEA NO APLICADA: la línea ") +
                            QString::number(linea) +
                            QStringLiteral(" no tiene código de artículo (campo ") +
                            QString::number(campo) + QStringLiteral(")."));
            return;
          }
          aplica(indice, det, ide, linea);
        });
      },
      lectura);
}

LecturaArticulo::LecturaArticulo(store::Database& bdd, const QStringList& columnas) : bdd_(&bdd) {
  const auto tabla = bdd.Tabla(QStringLiteral("ARTICULOS"));
  if (!tabla || tabla->clave.isEmpty()) return;
  // Identifiers only (the key as the database names it, the program's own column
  // names); the code travels as a parameter.
  QStringList lista;
  for (const QString& k : tabla->clave) lista << QLatin1Char('"') + k + QLatin1Char('"');
  for (const QString& columna : columnas)
    if (!tabla->clave.contains(columna, Qt::CaseInsensitive)) lista << columna;
  sql_ = QStringLiteral("SELECT ") + lista.join(QStringLiteral(", ")) +
         QStringLiteral(" FROM ARTICULOS WHERE CODIGO = ?");
}

bool LecturaArticulo::Abre(store::Recordset& rs, const QString& codigo) const {
  if (sql_.isEmpty()) return store::ExisteArticulo(*bdd_, rs, codigo);
  rs = bdd_->AbrirRecordset(sql_, {Valor(codigo.trimmed())});
  return rs.HayRegistros();
}

}  // namespace relvano::imports
