#include "app/importacion.h"

#include <QDir>
#include <exception>

#include "base/ficheros.h"
#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "imports/contexto.h"
#include "imports/unidad_trabajo.h"

namespace relvano {
namespace {

constexpr QLatin1String kCrLf("\r\n");

}  // namespace

ResultadoImportacion ImportaFichero(store::Empresa& empresa, const OpcionesImportacion& opciones,
                                    Operador& operador, Progreso* progreso) {
  ResultadoImportacion resultado;
  if (opciones.fichero.isEmpty()) {
    operador.Mensaje(QStringLiteral("No ha seleccionado el fichero a importar."));
    return resultado;
  }
  if (!ExisteFichero(opciones.fichero, &operador)) {
    operador.Mensaje(QStringLiteral("El fichero ") + opciones.fichero +
                     QStringLiteral(" no existe."));
    return resultado;
  }
  if (!empresa.Abierta || !empresa.BddTienda) {
    // The store handles may be those of the company opened before: never write there.
    operador.Mensaje(QStringLiteral("La empresa ") + empresa.IdEmpresa +
                         QStringLiteral(" no está abierta: no se ha importado el fichero. "
                                        "Elija una empresa que se pueda abrir."),
                     Operador::Icono::Stop);
    return resultado;
  }
  if (opciones.preguntar &&
      !operador.Pregunta(QStringLiteral("¿Desea importar el fichero seleccionado?")))
    return resultado;
  if (!opciones.opcion) {
    operador.Mensaje(QStringLiteral("Seleccione la opción que desea realizar."));
    return resultado;
  }

  const imports::ClaseFichero& clase = imports::Clase(*opciones.opcion);
  const QString rutaLog =
      QDir(opciones.carpetaLogs).absoluteFilePath(QString::fromLatin1(clase.log));
  RunLog log;
  QString errorLog;
  if (!log.Abre(rutaLog, &errorLog)) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error =
        QStringLiteral("No se puede crear el fichero ") + rutaLog + QStringLiteral(": ") + errorLog;
    operador.Mensaje(resultado.error, Operador::Icono::Stop);
    return resultado;
  }
  resultado.rutaLog = rutaLog;
  if (opciones.simular)
    log.Escribe(QStringLiteral("SIMULACIÓN: no se ha guardado ningún cambio en la base de datos."));
  log.Escribe(QStringLiteral("Abriendo fichero: ") + rutaLog + kCrLf);

  QString error;
  if (!empresa.BddTienda) {
    error = QStringLiteral("ERROR: no hay ninguna empresa abierta.");
  } else {
    // A group is committed after one second, well inside the time another program
    // waits for a held store database, or after 100 000 lines.
    imports::UnidadTrabajo unidad(*empresa.BddTienda, opciones.simular, 100000, 1000);
    imports::OperadorConfirmado operadorImportacion(operador, unidad);
    imports::ContextoImportacion ctx{*empresa.BddTienda,
                                     empresa.Hoy(),
                                     log,
                                     operadorImportacion,
                                     unidad,
                                     progreso,
                                     opciones.carpetaLogs,
                                     opciones.nombreFicheroImportado,
                                     opciones.noActualizarBajas};
    try {
      const imports::ResultadoClase importado = clase.importa(opciones.fichero, empresa, ctx);
      const chainfile::ResultadoLectura& lectura = importado.lectura;
      const bool sinFactura = importado.facturaNoCreada;
      unidad.Termina();
      if (lectura.cancelado) {
        resultado.estado = ResultadoImportacion::Estado::Cancelada;
        log.Escribe(QStringLiteral("Importación cancelada por el usuario tras la línea ") +
                    QString::number(lectura.lineas) + QStringLiteral("."));
      } else {
        resultado.estado = sinFactura ? ResultadoImportacion::Estado::FacturaNoCreada
                                      : ResultadoImportacion::Estado::Completa;
      }
    } catch (const chainfile::ErrorEnLinea& e) {
      error = e.Linea() > 0 ? QStringLiteral("ERROR en la línea ") + QString::number(e.Linea()) +
                                  QStringLiteral(": ") + e.Detalle()
                            : QStringLiteral("ERROR: ") + e.Detalle();
    } catch (const std::exception& e) {
      error = QStringLiteral("ERROR: ") + QString::fromUtf8(e.what());
    }
    if (!error.isEmpty()) {
      // The failed line is already undone; what was applied before it is kept.
      try {
        unidad.Termina();
      } catch (const std::exception& e) {
        error += QStringLiteral(" ERROR al guardar los cambios: ") + QString::fromUtf8(e.what());
      }
    }
  }

  if (!error.isEmpty()) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = error;
    log.Escribe(error);
  }
  log.Cierra();
  if (!error.isEmpty()) operador.Mensaje(error, Operador::Icono::Stop);

  if (opciones.preguntar)
    resultado.verResumen =
        operador.Pregunta(QStringLiteral("Fichero resumen: ") + rutaLog + kCrLf + kCrLf +
                          QStringLiteral("¿Desea ver el resumen de importación?"));
  return resultado;
}

}  // namespace relvano
