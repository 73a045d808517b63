#include "app/importacion.h"

#include <QDir>
#include <exception>

#include "app/helpers.h"
#include "app/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "imports/articulos.h"
#include "imports/contexto.h"
#include "imports/ean.h"
#include "imports/facturas.h"
#include "imports/ofertas.h"
#include "imports/precios_coste.h"
#include "imports/precios_venta.h"
#include "imports/unidad_trabajo.h"

namespace relvano {
namespace {

constexpr QLatin1String kCrLf("\r\n");

using Importa = chainfile::ResultadoLectura (*)(const QString&, imports::ContextoImportacion&);

struct Opcion {
  const char* log;
  Importa importa;  // null: the purchase invoice import, which needs the company
};

Opcion DeOpcion(OpcionImportacion opcion) {
  switch (opcion) {
    case OpcionImportacion::Referencias: return {"ARTICULOS.LOG", &imports::ImportaReferencias};
    case OpcionImportacion::Ean: return {"EAN.LOG", &imports::ImportaEan};
    case OpcionImportacion::PreciosCoste: return {"PRECIOCOSTE.LOG", &imports::ImportaPreciosCoste};
    case OpcionImportacion::PreciosVenta: return {"PRECIOVENTA.LOG", &imports::ImportaPreciosVenta};
    case OpcionImportacion::Ofertas: return {"OFERTAS.LOG", &imports::ImportaOfertas};
    case OpcionImportacion::Facturas: return {"FACTURAS.LOG", nullptr};
  }
  return {"FACTURAS.LOG", nullptr};
}

// Commit groups of the import run. A group ends after one second, so that another
// program waiting for the store database gets in after about that long: it finds the
// database free during the pause that follows, which its tries (100 ms apart at most)
// cannot miss; the pause costs the run a tenth of its time at most. The bound in lines
// bounds the memory of a group, whose changes stay in memory until it commits.
constexpr imports::UnidadTrabajo::Opciones kGrupos{20000, 1000, 100};

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
  if (!ExisteFichero(opciones.fichero, &operador)) {
    operador.Mensaje(QStringLiteral("El fichero ") + opciones.fichero + QStringLiteral(" no existe."));
    return resultado;
  }
  if (opciones.preguntar &&
      !operador.Pregunta(QStringLiteral("¿Desea importar el fichero seleccionado?")))
    return resultado;
  if (!opciones.opcion) {
    operador.Mensaje(QStringLiteral("Seleccione la opción que desea realizar."));
    return resultado;
  }

  const Opcion opcion = DeOpcion(*opciones.opcion);
  const QString rutaLog =
      QDir(opciones.carpetaLogs).absoluteFilePath(QString::fromLatin1(opcion.log));
  RunLog log;
  QString errorLog;
  if (!log.Abre(rutaLog, &errorLog)) {
    resultado.estado = ResultadoImportacion::Estado::Error;
    resultado.error = QStringLiteral("No se puede crear el fichero ") + rutaLog +
                      QStringLiteral(": ") + errorLog;
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
    imports::UnidadTrabajo unidad(*empresa.BddTienda, opciones.simular, kGrupos);
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
                                     opciones.noActualizarBajas};
    chainfile::ResultadoLectura lectura;
    int lineaError = 0;
    try {
      bool sinFactura = false;
      if (opcion.importa) {
        lectura = opcion.importa(opciones.fichero, ctx);
      } else {
        const auto factura = imports::ImportaFacturas(opciones.fichero, empresa, ctx);
        lectura = factura.lectura;
        sinFactura = !factura.facturaCreada;
      }
      unidad.Termina();
      if (!opciones.simular) resultado.lineaAplicada = lectura.lineas;
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
  if (!error.isEmpty()) operador.Mensaje(error, Operador::Icono::Stop);

  if (opciones.preguntar)
    resultado.verResumen = operador.Pregunta(QStringLiteral("Fichero resumen: ") + rutaLog + kCrLf +
                                             kCrLf +
                                             QStringLiteral("¿Desea ver el resumen de importación?"));
  return resultado;
}

}  // namespace relvano
