#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <array>

#include "app/arranque.h"
#include "app/carpetas.h"
#include "app/historial.h"
#include "app/ini_settings.h"
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

void Detalle(const EjecucionHistorial& e, const QString& log, const QString& revision,
             QTextStream& out) {
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
  if (!e.maquina.isEmpty()) out << "Equipo: " << e.maquina << " (proceso " << e.proceso << ")\n";
  out << "Resumen: " << (e.rutaLog.isEmpty() ? QStringLiteral("-") : e.rutaLog) << '\n';
  if (!revision.isEmpty())
    out << '\n' << LineasRevision(Revision::DeJson(RevisionJson(revision).toObject()));
  if (!log.isEmpty()) out << '\n' << ParaTerminal(log);
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
      {QStringLiteral("machine"), NuloSiVacio(e.maquina)},
      {QStringLiteral("pid"), e.proceso > 0 ? QJsonValue(e.proceso) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("log_path"), NuloSiVacio(e.rutaLog)},
  };
  o.insert(QStringLiteral("counts"),
           e.recuento
               ? QJsonValue(QJsonObject{{QStringLiteral("added"), e.recuento->altas},
                                        {QStringLiteral("changed"), e.recuento->modificaciones},
                                        {QStringLiteral("removed"), e.recuento->bajas},
                                        {QStringLiteral("refused"), e.recuento->rechazadas}})
               : QJsonValue(QJsonValue::Null));
  return o;
}

}  // namespace

int ComandoHistory(const OpcionesCli& opciones) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  QJsonArray json;
  auto termina = [&](int salida) {
    if (!opciones.json) return salida;
    QJsonObject documento = DocumentoJson("history");
    documento.insert(QStringLiteral("runs"), json);
    return EmiteJson(documento, salida);
  };
  FiltroHistorial filtro;
  filtro.empresa = opciones.empresa;
  filtro.limite = opciones.limite;
  if (!opciones.clase.isEmpty()) {
    const auto clase = imports::ClasePorNombre(opciones.clase);
    if (!clase) {
      err << "relvano-cli: clase de importación desconocida: " << opciones.clase << " ("
          << NombresClases() << " o 0-5)\n";
      return termina(kSalidaUso);
    }
    filtro.clase = QString::fromLatin1(imports::Clase(*clase).nombre);
  }

  // The history is the installation's: its place comes from the settings, as an import's.
  const auto ajustes = CreaAlmacenAjustes(opciones.carpetaAjustes);
  CliOperador operador;
  Programa programa(*ajustes, operador);
  if (programa.ListaEmpresas() != Programa::Resultado::Hecho) return termina(kSalidaUso);
  const UbicacionHistorial ubicacion = UbicacionHistorial::De(
      programa.RutaGeneral(), programa.Conexiones().Opciones(),
      CarpetaLogs(opciones.carpetaLogs, QCoreApplication::applicationDirPath()));
  QString error;
  const auto historial = Historial::Abre(ubicacion, &error, &error);
  if (!historial) {
    err << "relvano-cli: no se puede abrir el historial " << ubicacion.Describe() << ": " << error
        << '\n';
    return termina(kSalidaUso);
  }
  if (!error.isEmpty()) err << error << '\n';  // a damaged history was set aside
  try {
    historial->MarcaInterrumpidas();
  } catch (const std::exception&) {
    // A history this user may read but not write is still listed as it is.
  }
  try {
    if (opciones.mostrar > 0) {
      const auto e = historial->Lee(opciones.mostrar);
      if (!e) {
        err << "relvano-cli: no hay ninguna importación " << opciones.mostrar
            << " en el historial.\n";
        return termina(kSalidaUso);
      }
      if (opciones.json) {
        QJsonObject o = EjecucionAJson(*e);
        o.insert(QStringLiteral("log"),
                 e->tieneLog ? QJsonValue(historial->Log(e->id)) : QJsonValue(QJsonValue::Null));
        o.insert(QStringLiteral("review"), RevisionJson(historial->TextoRevision(e->id)));
        json.append(o);
      } else {
        Detalle(*e, historial->Log(e->id), historial->TextoRevision(e->id), out);
      }
    } else if (opciones.json) {
      for (const EjecucionHistorial& e : historial->Lista(filtro)) json.append(EjecucionAJson(e));
    } else {
      Lista(historial->Lista(filtro), out);
    }
  } catch (const std::exception& e) {
    err << "relvano-cli: el historial " << ubicacion.Describe() << " no se puede leer: " << e.what()
        << '\n';
    return termina(kSalidaUso);
  }
  return termina(kSalidaOk);
}

}  // namespace relvano::cli
