#include "app/importacion.h"

#include <QDir>
#include <exception>
#include <utility>

#include "app/verificacion.h"
#include "base/ficheros.h"
#include "base/reloj_fijo.h"
#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "imports/contexto.h"
#include "imports/unidad_trabajo.h"

namespace relvano {
namespace {

constexpr QLatin1String kCrLf("\r\n");

// The closing words of a failed run: how far the database holds the file.
QString LineaAplicada(int linea) {
  if (linea <= 0)
    return QStringLiteral(" La base de datos no tiene aplicada ninguna línea del fichero.");
  return QStringLiteral(" La base de datos tiene aplicado el fichero hasta la línea ") +
         QString::number(linea) + QStringLiteral(".");
}

}  // namespace

ResultadoImportacion ImportaFichero(store::Empresa& empresa, const OpcionesImportacion& opciones,
                                    Operador& operador, Progreso* progreso) {
  ResultadoImportacion resultado;
  if (opciones.fichero.isEmpty()) {
    operador.Mensaje(QStringLiteral("No ha seleccionado el fichero a importar."));
    return resultado;
  }
  switch (ExaminaAcceso(opciones.fichero)) {
    case AccesoFichero::NoEsFichero:
      operador.Mensaje(
          opciones.fichero + QStringLiteral(" no es un fichero (es una carpeta, un dispositivo o "
                                            "una tubería): no se ha importado nada."),
          Operador::Icono::Stop);
      return resultado;
    case AccesoFichero::NoSeLee:
      operador.Mensaje(QStringLiteral("El fichero ") + opciones.fichero +
                           QStringLiteral(" no se puede leer (compruebe sus permisos): no se ha "
                                          "importado nada."),
                       Operador::Icono::Stop);
      return resultado;
    case AccesoFichero::Legible:
    case AccesoFichero::NoExiste:  // or a pattern, which the check below resolves
      break;
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
      !operador.Pregunta(opciones.simular
                             ? QStringLiteral("¿Desea simular la importación del fichero "
                                              "seleccionado? No se guardará nada.")
                             : QStringLiteral("¿Desea importar el fichero seleccionado?")))
    return resultado;
  if (!opciones.opcion) {
    operador.Mensaje(QStringLiteral("Seleccione la opción que desea realizar."));
    return resultado;
  }

  ControlEjecucion control(empresa, opciones, operador);
  if (!control.Admitida()) {
    resultado.estado = ResultadoImportacion::Estado::Rechazada;
    resultado.forzable = control.Forzable();
    resultado.yaAplicada = control.YaAplicada();
    resultado.idHistorial = control.Id();
    resultado.motivo = control.Motivo();
    return resultado;
  }

  const imports::ClaseFichero& clase = imports::Clase(*opciones.opcion);
  // A simulation never replaces the log of a real run.
  const QString rutaLog =
      QDir(opciones.carpetaLogs)
          .absoluteFilePath(QLatin1String(opciones.simular ? "SIMULACION_" : "") +
                            QString::fromLatin1(clase.log));
  control.Inicia(rutaLog);
  resultado.idHistorial = control.Id();
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

  // Today's date read once for the whole run: every line stamps the same day, and the
  // clock is not asked for it line after line.
  const RelojFijo hoy(empresa.Hoy());
  struct RelojDeLaEjecucion {
    store::Empresa& empresa;
    const Reloj* anterior;
    ~RelojDeLaEjecucion() { empresa.reloj = anterior; }
  } relojEjecucion{empresa, std::exchange(empresa.reloj, &hoy)};

  QString error;
  {  // the unit of work ends (and lets the database go) before the log's last line
    imports::UnidadTrabajo::Opciones grupos = imports::kGruposImportacion;
    grupos.guardaSimulacion = opciones.simular && opciones.guardaSimulacion;
    imports::UnidadTrabajo unidad(*empresa.BddTienda, opciones.simular, grupos);
    unidad.RetieneLog(log);
    imports::OperadorConfirmado operadorImportacion(operador, unidad);
    imports::ContextoImportacion ctx{*empresa.BddTienda,
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
                                     [&control, &resultado](const QString& numero) {
                                       resultado.albaran = numero;
                                       control.AlbaranGrabado(numero);
                                     }};
    chainfile::ResultadoLectura lectura;
    int lineaError = 0;
    try {
      const imports::ResultadoClase importado = clase.importa(opciones.fichero, empresa, ctx);
      lectura = importado.lectura;
      const bool sinFactura = importado.facturaNoCreada;
      unidad.Termina();
      if (!opciones.simular) resultado.lineaAplicada = lectura.lineas;
      resultado.lineas = lectura.lineas;
      if (lectura.cancelado) {
        resultado.estado = ResultadoImportacion::Estado::Cancelada;
        log.Escribe(QStringLiteral("Importación cancelada por el usuario tras la línea ") +
                    QString::number(lectura.lineas) + QStringLiteral("."));
      } else {
        resultado.estado = sinFactura ? ResultadoImportacion::Estado::FacturaNoCreada
                                      : ResultadoImportacion::Estado::Completa;
      }
    } catch (const chainfile::ErrorEnLinea& e) {
      lineaError = e.Linea();
      resultado.lineas = e.Linea();
      error = e.Linea() > 0 ? QStringLiteral("ERROR en la línea ") + QString::number(e.Linea()) +
                                  QStringLiteral(": ") + e.Detalle()
                            : QStringLiteral("ERROR: ") + e.Detalle();
    } catch (const std::exception& e) {
      error = QStringLiteral("ERROR: ") + QString::fromUtf8(e.what());
    }
    if (!error.isEmpty()) {
      // The failed line is already undone; what was applied before it is kept, unless
      // its group could not be committed.
      try {
        unidad.Termina();
      } catch (const std::exception& e) {
        error += QStringLiteral(" ERROR al guardar los cambios: ") + QString::fromUtf8(e.what());
      }
      if (!opciones.simular) {
        resultado.lineaAplicada = unidad.LineaConfirmada();
        const int desde = unidad.DeshechaDesde();
        const int hasta = lineaError > 0 ? lineaError : lectura.lineas;
        if (desde > 0 && desde < hasta)
          log.Escribe(QStringLiteral("Se han deshecho los cambios de las líneas ") +
                      QString::number(desde) + QStringLiteral(" a ") + QString::number(hasta) +
                      QStringLiteral(" del fichero."));
        if (!error.endsWith(u'.')) error += u'.';
        error += LineaAplicada(resultado.lineaAplicada);
      }
    }
    resultado.recuento = ctx.recuento;
  }

  if (!error.isEmpty()) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = error;
    log.Escribe(error);
  }
  if (!log.Cierra() && error.isEmpty()) {
    // The run did its work but its log does not tell it: the operator must know.
    error = QStringLiteral("ERROR: ") + log.Error();
    if (!opciones.simular) error += LineaAplicada(resultado.lineaAplicada);
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = error;
  }
  control.Termina(resultado);
  if (!error.isEmpty()) operador.Mensaje(error, Operador::Icono::Stop);

  if (opciones.preguntar)
    resultado.verResumen =
        operador.Pregunta(QStringLiteral("Fichero resumen: ") + rutaLog + kCrLf + kCrLf +
                          QStringLiteral("¿Desea ver el resumen de importación?"));
  return resultado;
}

}  // namespace relvano
