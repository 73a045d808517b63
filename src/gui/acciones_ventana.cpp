#include "gui/acciones_ventana.h"

#include <QDir>
#include <QFileInfo>

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

QString CarpetaDialogo(const SettingsStore& ajustes) {
  const QString ultima = ajustes.GetSetting(QStringLiteral("RELVANO"), QStringLiteral("IMPORTAR"),
                                            QStringLiteral("ULTIMA_CARPETA"));
  return !ultima.isEmpty() && QDir(ultima).exists() ? ultima : CarpetaEntrada(ajustes);
}

void RecuerdaCarpeta(SettingsStore& ajustes, const QString& ruta) {
  if (ruta.isEmpty()) return;
  ajustes.SaveSetting(QStringLiteral("RELVANO"), QStringLiteral("IMPORTAR"),
                      QStringLiteral("ULTIMA_CARPETA"),
                      QDir::toNativeSeparators(QFileInfo(ruta).absolutePath()));
}

bool BorraFicheroElegido(const QString& ruta, Operador& operador) {
  if (ruta.isEmpty() || !ExisteFichero(ruta, &operador)) return false;
  // The box may cover the window: it names the file itself, and a quick Enter keeps it.
  if (!operador.PreguntaNo(QStringLiteral("¿Desea borrar el fichero?\r\n\r\n") +
                           QDir::toNativeSeparators(ruta)))
    return false;
  if (!BorraFichero(ruta, operador)) return false;
  operador.Mensaje(QStringLiteral("Fichero borrado."), Operador::Icono::Informacion);
  return true;
}

QString Miles(qint64 n) {
  QString cifras = QString::number(n < 0 ? -n : n);
  for (qsizetype i = cifras.size() - 3; i > 0; i -= 3) cifras.insert(i, QLatin1Char(' '));
  return n < 0 ? QLatin1Char('-') + cifras : cifras;
}

namespace {

QString Duracion(qint64 ms) {
  if (ms < 60000)
    return QString::number(ms / 1000.0, 'f', 1).replace(u'.', u',') + QStringLiteral(" s");
  return QStringLiteral("%1 min %2 s").arg(ms / 60000).arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
}

// "4 líneas leídas" and, when the kind counted any, "(2 altas, ...)".
QString Lectura(const ResultadoImportacion& r) {
  QString texto = Miles(r.lineas) + (r.lineas == 1 ? QStringLiteral(" línea leída")
                                                   : QStringLiteral(" líneas leídas"));
  const imports::Recuento& c = r.recuento;
  if (c.altas + c.modificaciones + c.bajas + c.rechazadas > 0)
    texto += QStringLiteral(" (%1 altas, %2 modificaciones, %3 bajas, %4 rechazadas)")
                 .arg(Miles(c.altas), Miles(c.modificaciones), Miles(c.bajas), Miles(c.rechazadas));
  return texto;
}

// "Factura 12345: CORRECTO." from an invoice run's totals check; "" for other runs.
QString Veredicto(const ResultadoImportacion& r, const QString& informe) {
  const QString ultima = informe.simplified().section(u' ', -1);
  if (r.albaran.isEmpty() ||
      (ultima != QLatin1String("CORRECTO") && ultima != QLatin1String("DESCUADRE")))
    return {};
  return QStringLiteral(" Factura ") + r.albaran + QStringLiteral(": ") + ultima + u'.';
}

}  // namespace

QString TextoResultado(const ResultadoImportacion& r, bool simulacion, qint64 ms,
                       const QString& mensaje, const QString& informe) {
  using Estado = ResultadoImportacion::Estado;
  const QString nada =
      simulacion ? QStringLiteral(" Simulación: no se ha guardado nada.") : QString();
  switch (r.estado) {
    case Estado::Completa:
      return (simulacion ? QStringLiteral("Simulación completa: ")
                         : QStringLiteral("Importación completa: ")) +
             Lectura(r) + QStringLiteral(" en ") + Duracion(ms) + u'.' + Veredicto(r, informe) +
             nada;
    case Estado::Cancelada:
      if (simulacion)
        return QStringLiteral("Simulación cancelada tras la línea ") + Miles(r.lineas) + u'.' +
               nada;
      return QStringLiteral("Cancelada tras la línea ") + Miles(r.lineas) +
             QStringLiteral(": las líneas anteriores quedan aplicadas");
    case Estado::Error:
      return r.error + nada;
    case Estado::FacturaNoCreada:
      return QStringLiteral("Factura no creada: ") + Lectura(r) +
             QStringLiteral("; vea el resumen.") + Veredicto(r, informe) + nada;
    case Estado::NoIniciada:
    case Estado::Rechazada:
      break;
  }
  if (r.retenida && r.revision)
    return QStringLiteral(
               "No se ha importado el fichero: tiene precios fuera de lo normal (%1); "
               "vea la revisión.")
        .arg(r.revision->TotalFueraDeLoNormal());
  if (mensaje.isEmpty()) return QStringLiteral("No se ha importado el fichero.");
  return QStringLiteral("No se ha importado el fichero: ") +
         QString(mensaje).replace(QLatin1String("\r\n"), QLatin1String(" ")).simplified();
}

}  // namespace relvano::gui
