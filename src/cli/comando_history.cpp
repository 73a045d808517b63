#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <array>

#include "app/carpetas.h"
#include "app/historial.h"
#include "base/regional.h"
#include "cli/cli_operador.h"
#include "cli/opciones_cli.h"
#include "cli/salida_json.h"
#include "imports/clases.h"

namespace relvano::cli {
namespace {

constexpr char kFormatoInstante[] = "yyyy-MM-dd HH:mm:ss";

QString Segundos(const EjecucionHistorial& e) {
  if (!e.fin.isValid()) return QStringLiteral("-");
  return QString::number(e.inicio.secsTo(e.fin));
}

QString Opcional(const std::optional<int>& n) {
  return n ? QString::number(*n) : QStringLiteral("-");
}

// One line per run, each column as wide as its widest value; numbers to the right.
void Lista(const std::vector<EjecucionHistorial>& filas, QTextStream& out) {
  constexpr int kColumnas = 8;
  constexpr bool kDerecha[kColumnas] = {true, false, false, false, false, false, true, true};
  std::vector<std::array<QString, kColumnas>> tabla;
  std::array<qsizetype, kColumnas> anchos{};
  for (const EjecucionHistorial& e : filas) {
    tabla.push_back({QString::number(e.id), e.inicio.toString(QLatin1String(kFormatoInstante)),
                     e.empresa, e.clase, e.nombre, e.resultado, QString::number(e.lineas),
                     Segundos(e)});
    for (int i = 0; i < kColumnas; ++i) anchos[i] = std::max(anchos[i], tabla.back()[i].size());
  }
  for (const auto& fila : tabla) {
    QString linea;
    for (int i = 0; i < kColumnas; ++i) {
      if (i > 0) linea += QStringLiteral("  ");
      linea += kDerecha[i] ? fila[i].rightJustified(anchos[i]) : fila[i].leftJustified(anchos[i]);
    }
    out << linea.trimmed() << '\n';
  }
}

void Detalle(const EjecucionHistorial& e, QTextStream& out) {
  out << "Importación: " << e.id << '\n'
      << "Inicio: " << e.inicio.toString(QLatin1String(kFormatoInstante)) << '\n'
      << "Fin: "
      << (e.fin.isValid() ? e.fin.toString(QLatin1String(kFormatoInstante)) : QStringLiteral("-"))
      << '\n'
      << "Empresa: " << e.empresa << '\n'
      << "Base de datos de la tienda: " << e.bddTienda << '\n'
      << "Clase: " << e.clase << '\n'
      << "Fichero: " << e.ruta << '\n'
      << "Nombre: " << e.nombre << '\n'
      << "Tamaño: " << e.tamano << " bytes\n"
      << "SHA-256: " << e.sha256 << '\n'
      << "Fecha del fichero: "
      << (e.fechaFichero.isValid() ? regional::TextoFecha(e.fechaFichero) : QStringLiteral("-"))
      << '\n'
      << "Simulación: " << (e.simulacion ? "sí" : "no") << '\n'
      << "Resultado: " << e.resultado << '\n'
      << "Líneas leídas: " << e.lineas << '\n'
      << "Aplicado hasta la línea: " << Opcional(e.lineaAplicada) << '\n';
  if (e.recuento)
    out << "Altas: " << e.recuento->altas << '\n'
        << "Modificaciones: " << e.recuento->modificaciones << '\n'
        << "Bajas: " << e.recuento->bajas << '\n'
        << "Rechazadas: " << e.recuento->rechazadas << '\n';
  if (!e.albaran.isEmpty()) out << "Albarán grabado: " << e.albaran << '\n';
  out << "Resumen archivado: " << (e.logArchivado.isEmpty() ? QStringLiteral("-") : e.logArchivado)
      << '\n';
  if (e.logArchivado.isEmpty()) return;
  QFile log(e.logArchivado);
  if (!log.open(QIODevice::ReadOnly)) {
    out << "(no se puede leer el resumen archivado: " << log.errorString() << ")\n";
    return;
  }
  out << '\n' << ParaTerminal(QString::fromUtf8(log.readAll()));
}

QJsonValue NuloSiVacio(const QString& texto) {
  return texto.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(texto);
}

QJsonObject EjecucionAJson(const EjecucionHistorial& e) {
  QJsonObject o{
      {QStringLiteral("id"), e.id},
      {QStringLiteral("start"), InstanteJson(e.inicio)},
      {QStringLiteral("end"), InstanteJson(e.fin)},
      {QStringLiteral("company"), e.empresa},
      {QStringLiteral("store_database"), e.bddTienda},
      {QStringLiteral("kind"), e.clase},
      {QStringLiteral("path"), e.ruta},
      {QStringLiteral("name"), e.nombre},
      {QStringLiteral("size"), e.tamano},
      {QStringLiteral("sha256"), NuloSiVacio(e.sha256)},
      {QStringLiteral("file_date"), e.fechaFichero.isValid()
                                        ? QJsonValue(e.fechaFichero.toString(Qt::ISODate))
                                        : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("simulation"), e.simulacion},
      {QStringLiteral("outcome"), e.resultado},
      {QStringLiteral("lines_read"), e.lineas},
      {QStringLiteral("applied_up_to_line"),
       e.lineaAplicada ? QJsonValue(*e.lineaAplicada) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("delivery_note"), NuloSiVacio(e.albaran)},
      {QStringLiteral("archived_log"), NuloSiVacio(e.logArchivado)},
  };
  if (e.recuento)
    o.insert(QStringLiteral("counts"),
             QJsonObject{{QStringLiteral("added"), e.recuento->altas},
                         {QStringLiteral("changed"), e.recuento->modificaciones},
                         {QStringLiteral("removed"), e.recuento->bajas},
                         {QStringLiteral("refused"), e.recuento->rechazadas}});
  else
    o.insert(QStringLiteral("counts"), QJsonValue::Null);
  return o;
}

}  // namespace

int ComandoHistory(const OpcionesCli& opciones) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  auto termina = [&](const QJsonArray& ejecuciones, int salida) {
    if (!opciones.json) return salida;
    QJsonObject json = DocumentoJson("history");
    json.insert(QStringLiteral("runs"), ejecuciones);
    return EmiteJson(json, salida);
  };
  FiltroHistorial filtro;
  filtro.empresa = opciones.empresa;
  filtro.limite = opciones.limite;
  if (!opciones.clase.isEmpty()) {
    const auto clase = imports::ClasePorNombre(opciones.clase);
    if (!clase) {
      err << "relvano-cli: clase de importación desconocida: " << opciones.clase << " ("
          << NombresClases() << " o 0-5)\n";
      return termina(QJsonArray(), kSalidaUso);
    }
    filtro.clase = QString::fromLatin1(imports::Clase(*clase).nombre);
  }

  const QString carpeta = CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath());
  const bool existe = QFile::exists(Historial::RutaBaseDatos(carpeta));
  std::unique_ptr<Historial> historial;
  QString error;
  if (existe) historial = Historial::Abre(carpeta, &error);
  if (existe && !historial) {
    err << "relvano-cli: no se puede abrir el historial " << Historial::RutaBaseDatos(carpeta)
        << ": " << error << '\n';
    return termina(QJsonArray(), kSalidaUso);
  }
  QJsonArray json;
  try {
    if (opciones.mostrar > 0) {
      const auto e = historial ? historial->Lee(opciones.mostrar) : std::nullopt;
      if (!e) {
        err << "relvano-cli: no hay ninguna importación " << opciones.mostrar
            << " en el historial.\n";
        return termina(json, kSalidaUso);
      }
      if (!opciones.json) {
        Detalle(*e, out);
      } else {
        QJsonObject o = EjecucionAJson(*e);
        QFile log(e->logArchivado);
        o.insert(QStringLiteral("log"), !e->logArchivado.isEmpty() && log.open(QIODevice::ReadOnly)
                                            ? QJsonValue(QString::fromUtf8(log.readAll()))
                                            : QJsonValue(QJsonValue::Null));
        json.append(o);
      }
    } else if (historial) {
      const auto filas = historial->Lista(filtro);
      if (opciones.json) {
        for (const EjecucionHistorial& e : filas) json.append(EjecucionAJson(e));
      } else {
        Lista(filas, out);
      }
    }
  } catch (const ErrorHistorial& e) {
    err << "relvano-cli: el historial " << Historial::RutaBaseDatos(carpeta)
        << " no se puede leer: " << e.what() << '\n';
    return termina(QJsonArray(), kSalidaUso);
  }
  return termina(json, kSalidaOk);
}

}  // namespace relvano::cli
