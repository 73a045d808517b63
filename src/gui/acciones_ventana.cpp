#include "gui/acciones_ventana.h"

#include <QDir>

#include "base/ficheros.h"

namespace relvano::gui {

QString FiltroOpcion(OpcionImportacion opcion) {
  return QStringLiteral("Ficheros Cadena (%1*.*)")
      .arg(QLatin1String(imports::Clase(opcion).prefijo));
}

QString CarpetaEntrada(const SettingsStore& ajustes) {
#ifdef Q_OS_WIN
  Q_UNUSED(ajustes);
  return QStringLiteral("C:\\APLC\\NRVX\\In");
#else
  // The chain's inbox is a Windows folder; other machines say where theirs is.
  const QString carpeta = ajustes.GetSetting(QStringLiteral("RELVANO"), QStringLiteral("IMPORTAR"),
                                             QStringLiteral("CARPETA_ENTRADA"));
  return carpeta.isEmpty() ? QDir::homePath() : carpeta;
#endif
}

QString NombreSinCarpeta(const QString& ruta) {
  const qsizetype barra =
      std::max(ruta.lastIndexOf(QLatin1Char('/')), ruta.lastIndexOf(QLatin1Char('\\')));
  return ruta.mid(barra + 1);
}

bool BorraFicheroElegido(const QString& ruta, Operador& operador) {
  if (ruta.isEmpty() || !ExisteFichero(ruta, &operador)) return false;
  if (!operador.Pregunta(QStringLiteral("¿Desea borrar el fichero?"))) return false;
  if (!BorraFichero(ruta, operador)) return false;
  operador.Mensaje(QStringLiteral("Fichero borrado."), Operador::Icono::Informacion);
  return true;
}

}  // namespace relvano::gui
