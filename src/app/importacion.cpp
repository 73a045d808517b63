#include "app/importacion.h"

#include <QDir>
#include <exception>
#include <utility>

#include "app/verificacion.h"
#include "base/error.h"
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

// The checks that need neither the history nor the log: false once the operator has been
// told why nothing is imported.
bool SePuedeImportar(const store::Empresa& empresa, const OpcionesImportacion& opciones,
                     Operador& operador) {
  if (opciones.fichero.isEmpty()) {
    operador.Mensaje(QStringLiteral("No ha seleccionado el fichero a importar."));
    return false;
  }
  switch (ExaminaAcceso(opciones.fichero)) {
    case AccesoFichero::NoEsFichero:
      operador.Mensaje(
          opciones.fichero + QStringLiteral(" no es un fichero (es una carpeta, un dispositivo o "
                                            "una tubería): no se ha importado nada."),
          Operador::Icono::Stop);
      return false;
    case AccesoFichero::NoSeLee:
      operador.Mensaje(QStringLiteral("El fichero ") + opciones.fichero +
                           QStringLiteral(" no se puede leer (compruebe sus permisos): no se ha "
                                          "importado nada."),
                       Operador::Icono::Stop);
      return false;
    case AccesoFichero::Legible:
    case AccesoFichero::NoExiste:  // or a pattern, which the check below resolves
      break;
  }
  if (!ExisteFichero(opciones.fichero, &operador)) {
    operador.Mensaje(QStringLiteral("El fichero ") + opciones.fichero +
                     QStringLiteral(" no existe."));
    return false;
  }
  if (!empresa.Abierta || !empresa.BddTienda) {
    // The store handles may be those of the company opened before: never write there.
    operador.Mensaje(QStringLiteral("La empresa ") + empresa.IdEmpresa +
                         QStringLiteral(" no está abierta: no se ha importado el fichero. "
                                        "Elija una empresa que se pueda abrir."),
                     Operador::Icono::Stop);
    return false;
  }
  if (opciones.preguntar &&
      !operador.Pregunta(opciones.simular
                             ? QStringLiteral("¿Desea simular la importación del fichero "
                                              "seleccionado? No se guardará nada.")
                             : QStringLiteral("¿Desea importar el fichero seleccionado?")))
    return false;
  if (!opciones.opcion) {
    operador.Mensaje(QStringLiteral("Seleccione la opción que desea realizar."));
    return false;
  }
  return true;
}

// Opens the run's log with its first lines. A log that cannot be created ends the run as
// an error, told to the history and the operator: false.
bool AbreLog(RunLog& log, const QString& rutaLog, const OpcionesImportacion& opciones,
             ControlEjecucion& control, Operador& operador, ResultadoImportacion& resultado) {
  QString errorLog;
  if (!log.Abre(rutaLog, &errorLog)) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error =
        QStringLiteral("No se puede crear el fichero ") + rutaLog + QStringLiteral(": ") + errorLog;
    control.Termina(resultado);
    operador.Mensaje(resultado.error, Operador::Icono::Stop);
    return false;
  }
  resultado.rutaLog = rutaLog;
  if (opciones.simular)
    log.Escribe(QStringLiteral("SIMULACIÓN: no se ha guardado ningún cambio en la base de datos."));
  log.Escribe(QStringLiteral("Abriendo fichero: ") + rutaLog + kCrLf);
  return true;
}

// What ended a run: its words for the log and the operator, and the statement the
// database refused when the failure was one (the log alone shows it). Empty: none.
struct Fallo {
  QString error;
  QString sentencia;
};

// After a failed line: ends the unit of work (the failed line is already undone; what was
// applied before it is kept, unless its group could not be committed) and adds to `error`
// how far the database holds the file.
void TerminaTrasError(imports::UnidadTrabajo& unidad, const OpcionesImportacion& opciones,
                      int lineaError, int lineasLeidas, RunLog& log,
                      ResultadoImportacion& resultado, QString& error) {
  try {
    unidad.Termina();
  } catch (const std::exception& e) {
    error += QStringLiteral(" ERROR al guardar los cambios: ") + QString::fromUtf8(e.what());
  }
  if (opciones.simular) return;
  resultado.lineaAplicada = unidad.LineaConfirmada();
  const int desde = unidad.DeshechaDesde();
  const int hasta = lineaError > 0 ? lineaError : lineasLeidas;
  if (desde > 0 && desde < hasta)
    log.Escribe(QStringLiteral("Se han deshecho los cambios de las líneas ") +
                QString::number(desde) + QStringLiteral(" a ") + QString::number(hasta) +
                QStringLiteral(" del fichero."));
  if (!error.endsWith(u'.')) error += u'.';
  error += LineaAplicada(resultado.lineaAplicada);
}

// Applies the file as the run's unit of work, which ends (and lets the database go) before
// the log's last line. Fills the outcome, lines and counts of `resultado`; returns what
// ended the run, empty when nothing did.
Fallo AplicaFichero(store::Empresa& empresa, const OpcionesImportacion& opciones,
                    const imports::ClaseFichero& clase, ControlEjecucion& control, RunLog& log,
                    Operador& operador, Progreso* progreso, ResultadoImportacion& resultado) {
  imports::UnidadTrabajo::Opciones grupos = imports::kGruposImportacion;
  grupos.guardaSimulacion = opciones.simular && opciones.guardaSimulacion;
  imports::UnidadTrabajo unidad(*empresa.BddTienda, opciones.simular, grupos);
  unidad.RetieneLog(log);
  resultado.revision.emplace(opciones.revision.umbralCambioPrecio);
  // Every committed group of the run's changes (a simulation's where it would commit): the
  // review counts them; the history keeps a real run's, so that it can be undone.
  unidad.AnotaCambios([&](std::vector<store::CambioFila> cambios) {
    resultado.revision->Anota(*empresa.BddTienda, cambios);
    control.GuardaCambios(std::move(cambios));
  });
  imports::OperadorConfirmado operadorImportacion(operador, unidad);
  imports::ContextoImportacion ctx{
      .bdd = *empresa.BddTienda,
      .hoy = empresa.Hoy(),
      .log = log,
      .operador = operadorImportacion,
      .unidad = unidad,
      .progreso = progreso,
      .carpetaLogs = opciones.carpetaLogs,
      .nombreFicheroImportado = opciones.nombreFicheroImportado,
      .noActualizarBajas = opciones.noActualizarBajas,
      .recuento = {},
      .reanudaFactura = control.ReanudaFactura(),
      .albaranGrabado =
          [&control, &resultado](const QString& numero) {
            resultado.albaran = numero;
            control.AlbaranGrabado(numero);
          },
  };
  Fallo fallo;
  QString& error = fallo.error;
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
    error = e.Linea() > 0 ? QString(QStringLiteral("ERROR en la línea ") +
                                    QString::number(e.Linea()) + QStringLiteral(": ") + e.Detalle())
                          : QString(QStringLiteral("ERROR: ") + e.Detalle());
    fallo.sentencia = e.Sentencia();
  } catch (const std::exception& e) {
    error = QStringLiteral("ERROR: ") + QString::fromUtf8(e.what());
    fallo.sentencia = SentenciaDe(e);
  }
  if (!error.isEmpty())
    TerminaTrasError(unidad, opciones, lineaError, lectura.lineas, log, resultado, error);
  resultado.recuento = ctx.recuento;
  return fallo;
}

// Closes the log with the run's error, and on a line of its own the statement that failed
// unless the error already quotes it, and records the end; a log that cannot be closed is
// itself the run's error, which the operator must know.
void CierraEjecucion(RunLog& log, const Fallo& fallo, const OpcionesImportacion& opciones,
                     ControlEjecucion& control, Operador& operador,
                     ResultadoImportacion& resultado) {
  QString error = fallo.error;
  if (!error.isEmpty()) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = error;
    log.Escribe(error);
    if (!fallo.sentencia.isEmpty() && !error.contains(fallo.sentencia))
      log.Escribe(QStringLiteral("Sentencia que ha fallado: ") + fallo.sentencia);
  }
  if (!log.Cierra() && error.isEmpty()) {
    error = QStringLiteral("ERROR: ") + log.Error();
    if (!opciones.simular) error += LineaAplicada(resultado.lineaAplicada);
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = error;
  }
  control.Termina(resultado);
  if (!error.isEmpty()) operador.Mensaje(error, Operador::Icono::Stop);
}

// The operator of the simulation that comes before a run that may be held: its messages and
// reports are the real run's to show, once; its questions are asked.
class OperadorDeLaPrueba final : public Operador {
 public:
  explicit OperadorDeLaPrueba(Operador& operador) : operador_(operador) {}
  void Mensaje(const QString&, Icono) override {}
  bool Pregunta(const QString& texto) override { return operador_.Pregunta(texto); }
  bool PreguntaNo(const QString& texto) override { return operador_.PreguntaNo(texto); }
  void Informe(const QString&) override {}

 private:
  Operador& operador_;
};

// A file whose changes are out of the ordinary is held when the run says so: simulated
// first, and not applied when the simulation finds any (the operator who is asked may go
// on). True when the file is held, with `resultado` saying so.
bool Retenido(store::Empresa& empresa, const OpcionesImportacion& opciones,
              ControlEjecucion& control, Operador& operador, Progreso* progreso,
              ResultadoImportacion& resultado) {
  if (!opciones.revision.retenerFueraDeLoNormal || opciones.simular || opciones.forzar)
    return false;
  OpcionesImportacion prueba = opciones;
  prueba.simular = true;
  prueba.guardaSimulacion = false;
  prueba.preguntar = false;
  prueba.forzar = true;  // the checks were made, and asked about, for the real run
  prueba.avisarRechazos = false;
  prueba.revision.retenerFueraDeLoNormal = false;
  OperadorDeLaPrueba silencioso(operador);
  const ResultadoImportacion simulado = ImportaFichero(empresa, prueba, silencioso, progreso);
  // A simulation that fails leaves the real run to meet and tell the same failure.
  if (!simulado.revision || simulado.revision->TotalFueraDeLoNormal() == 0) return false;

  const Revision& revision = *simulado.revision;
  QString texto = QStringLiteral("El fichero ") + opciones.nombreFicheroImportado +
                  QStringLiteral(" tiene precios fuera de lo normal (%1):")
                      .arg(revision.TotalFueraDeLoNormal());
  for (const QString& linea : revision.LineasFueraDeLoNormal()) texto += kCrLf + linea;
  if (opciones.preguntar &&
      operador.PreguntaNo(texto + kCrLf + kCrLf +
                          QStringLiteral("¿Desea importarlo de todos modos?")))
    return false;
  texto += kCrLf + QStringLiteral("No se ha aplicado nada (se ha simulado: ") +
           QDir::toNativeSeparators(simulado.rutaLog) +
           QStringLiteral("). Revise el fichero antes de importarlo.");
  control.Retiene(texto, !opciones.preguntar);
  resultado.estado = ResultadoImportacion::Estado::Rechazada;
  resultado.forzable = true;
  resultado.retenida = true;
  resultado.motivo = texto;
  resultado.idHistorial = control.Id();
  resultado.revision = simulado.revision;
  return true;
}

}  // namespace

ResultadoImportacion ImportaFichero(store::Empresa& empresa, const OpcionesImportacion& opciones,
                                    Operador& operador, Progreso* progreso) {
  ResultadoImportacion resultado;
  if (!SePuedeImportar(empresa, opciones, operador)) return resultado;

  ControlEjecucion control(empresa, opciones, operador);
  if (!control.Admitida()) {
    resultado.estado = ResultadoImportacion::Estado::Rechazada;
    resultado.forzable = control.Forzable();
    resultado.yaAplicada = control.YaAplicada();
    resultado.idHistorial = control.Id();
    resultado.motivo = control.Motivo();
    return resultado;
  }
  if (Retenido(empresa, opciones, control, operador, progreso, resultado)) return resultado;

  const imports::ClaseFichero& clase = imports::Clase(*opciones.opcion);
  // A simulation never replaces the log of a real run.
  const QString rutaLog =
      QDir(opciones.carpetaLogs)
          .absoluteFilePath(QLatin1String(opciones.simular ? "SIMULACION_" : "") +
                            QString::fromLatin1(clase.log));
  control.Inicia(rutaLog);
  resultado.idHistorial = control.Id();
  RunLog log;
  if (!AbreLog(log, rutaLog, opciones, control, operador, resultado)) return resultado;

  // Today's date read once for the whole run: every line stamps the same day, and the
  // clock is not asked for it line after line.
  const RelojFijo hoy(empresa.Hoy());
  struct RelojDeLaEjecucion {
    store::Empresa& empresa;
    const Reloj* anterior;
    ~RelojDeLaEjecucion() { empresa.reloj = anterior; }
  } relojEjecucion{empresa, std::exchange(empresa.reloj, &hoy)};

  const Fallo fallo =
      AplicaFichero(empresa, opciones, clase, control, log, operador, progreso, resultado);
  CierraEjecucion(log, fallo, opciones, control, operador, resultado);

  if (opciones.preguntar)
    resultado.verResumen =
        operador.Pregunta(QStringLiteral("Fichero resumen: ") + rutaLog + kCrLf + kCrLf +
                          QStringLiteral("¿Desea ver el resumen de importación?"));
  return resultado;
}

}  // namespace relvano
