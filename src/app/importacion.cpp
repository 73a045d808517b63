#include "app/importacion.h"

#include <QDir>
#include <exception>

#include "app/verificacion.h"
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
  if (opciones.preguntar &&
      !operador.Pregunta(QStringLiteral("¿Desea importar el fichero seleccionado?")))
    return resultado;
  if (!opciones.opcion) {
    operador.Mensaje(QStringLiteral("Seleccione la opción que desea realizar."));
    return resultado;
  }

  ControlEjecucion control(empresa, opciones, operador);
  if (!control.Admitida()) {
    resultado.estado = ResultadoImportacion::Estado::Rechazada;
    resultado.forzable = control.Forzable();
    return resultado;
  }

  const imports::ClaseFichero& clase = imports::Clase(*opciones.opcion);
  // A simulation never replaces the log of a real run.
  const QString rutaLog =
      QDir(opciones.carpetaLogs)
          .absoluteFilePath(QLatin1String(opciones.simular ? "SIMULACION_" : "") +
                            QString::fromLatin1(clase.log));
  control.Inicia();
  RunLog log;
  QString errorLog;
  if (!log.Abre(rutaLog, &errorLog)) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error =
        QStringLiteral("No se puede crear el fichero ") + rutaLog + QStringLiteral(": ") + errorLog;
    control.Termina(resultado);
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
    imports::ContextoImportacion ctx{
        *empresa.BddTienda,
        empresa.Hoy(),
        log,
        operadorImportacion,
        unidad,
        progreso,
        opciones.carpetaLogs,
        opciones.nombreFicheroImportado,
        opciones.noActualizarBajas,
        {},
        control.ReanudaFactura(),
        [&control](const QString& numero) { control.AlbaranGrabado(numero); }};
    try {
      const imports::ResultadoClase importado = clase.importa(opciones.fichero, empresa, ctx);
      const chainfile::ResultadoLectura& lectura = importado.lectura;
      const bool sinFactura = importado.facturaNoCreada;
      unidad.Termina();
      resultado.lineas = lectura.lineas;
      if (lectura.cancelado) {
        resultado.estado = ResultadoImportacion::Estado::Cancelada;
        log.Escribe(QStringLiteral("Importación cancelada por el usuario tras la línea ") +
                    QString::number(lectura.lineas) + QStringLiteral("."));
      } else {
        resultado.estado = sinFactura ? ResultadoImportacion::Estado::FacturaNoCreada
                                      : ResultadoImportacion::Estado::Completa;
        resultado.lineaAplicada = lectura.lineas;
      }
    } catch (const chainfile::ErrorEnLinea& e) {
      resultado.lineas = e.Linea();
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
    resultado.recuento = ctx.recuento;
  }

  if (!error.isEmpty()) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = error;
    log.Escribe(error);
  }
  log.Cierra();
  control.Termina(resultado);
  if (!error.isEmpty()) operador.Mensaje(error, Operador::Icono::Stop);

  if (opciones.preguntar)
    resultado.verResumen =
        operador.Pregunta(QStringLiteral("Fichero resumen: ") + rutaLog + kCrLf + kCrLf +
                          QStringLiteral("¿Desea ver el resumen de importación?"));
  return resultado;
}

}  // namespace relvano
