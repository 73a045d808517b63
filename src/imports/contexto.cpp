#include "imports/contexto.h"

#include "chainfile/conversion.h"

namespace relvano::imports {

chainfile::ResultadoLectura ImportaCatalogo(const QString& ruta,
                                            const std::vector<chainfile::TipoDetalle>& tipos,
                                            const chainfile::AplicaDetalle& aplica,
                                            ContextoImportacion& ctx) {
  chainfile::ContextoLectura lectura{ctx.log, ctx.operador, ctx.progreso};
  return chainfile::BucleLectura(
      ruta, tipos,
      [&](int indice, const chainfile::Registro& det, const chainfile::Registro& ide, int linea) {
        ctx.unidad.Linea([&] { aplica(indice, det, ide, linea); });
      },
      lectura);
}

QDate FechaCabecera(const chainfile::Registro& ide) {
  const QString texto = ide.Texto(6);
  if (ide.Texto(1) != QLatin1String("IDE"))
    throw ErrorDatos(QStringLiteral("el fichero no tiene línea de cabecera (IDE) y la línea "
                                    "necesita su fecha."));
  const auto fecha = chainfile::DimeFechaCorrecta(texto);
  if (!fecha)
    throw ErrorDatos(QStringLiteral("la fecha de la cabecera del fichero (\"") + texto +
                     QStringLiteral("\") no es una fecha válida."));
  return *fecha;
}

QDate FechaCampo(const QString& texto, const QString& que) {
  const auto fecha = chainfile::DimeFechaCorrecta(texto);
  if (!fecha)
    throw ErrorDatos(que + QStringLiteral(" (\"") + texto +
                     QStringLiteral("\") no es una fecha válida."));
  return *fecha;
}

double NumeroPuntoDec(const QString& texto) {
  QString copia = texto;
  return chainfile::AsignaCurPuntoDec(copia);
}

}  // namespace relvano::imports
