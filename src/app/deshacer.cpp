#include "app/deshacer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <exception>

#include "base/conversion.h"
#include "base/run_log.h"
#include "imports/clases.h"
#include "imports/unidad_trabajo.h"
#include "store/db/recordset.h"

namespace relvano {
namespace {

using store::CambioFila;
using store::Database;
using store::Recordset;
using Tipo = CambioFila::Tipo;
namespace r = resultado_historial;

constexpr QLatin1String kCrLf("\r\n");
const QString kStock = QStringLiteral("STOCKACTUAL");

// A stored value and one the journal kept are the same value, whatever form the engine
// gives it back in (a whole number read as a decimal, a date as text).
bool MismoValor(const Valor& actual, const QVariant& guardado) {
  const Valor g = Database::DesdeColumna(guardado);
  if (actual.EsNull() || g.EsNull()) return actual.EsNull() && g.EsNull();
  const QVariant a = Database::AParametro(actual), b = Database::AParametro(g);
  if (a == b) return true;
  bool okA = false, okB = false;
  const double x = a.toDouble(&okA), y = b.toDouble(&okB);
  if (okA && okB) return std::abs(x - y) <= 1e-9 * std::max({1.0, std::abs(x), std::abs(y)});
  return a.toString() == b.toString();
}

QString Texto(const QVariant& v) { return Database::DesdeColumna(v).Describe(); }

// "ARTICULOS CODIGO=123": the row a change names.
QString NombreFila(const CambioFila& c) {
  QStringList partes;
  for (int i = 0; i < c.clave.size(); ++i)
    partes << c.clave[i] + u'=' + Texto(c.valoresClave[static_cast<size_t>(i)]);
  return c.tabla + u' ' + partes.join(QStringLiteral(", "));
}

// The row a change names, whole, as it is now (no row when it is gone).
Recordset LeeFila(Database& db, const CambioFila& c) {
  QStringList donde;
  std::vector<Valor> valores;
  for (int i = 0; i < c.clave.size(); ++i) {
    const Valor v = Database::DesdeColumna(c.valoresClave[static_cast<size_t>(i)]);
    if (v.EsNull()) {
      donde << c.clave[i] + QStringLiteral(" IS NULL");
    } else {
      donde << c.clave[i] + QStringLiteral(" = ?");
      valores.push_back(v);
    }
  }
  return db.AbrirRecordset(QStringLiteral("SELECT * FROM ") + c.tabla + QStringLiteral(" WHERE ") +
                               donde.join(QStringLiteral(" AND ")),
                           valores);
}

// How a recorded change finds its row now.
enum class Situacion {
  Intacta,     // as the run left it: it can be put back
  YaDeshecha,  // already as it was before the run
  Cambiada,    // changed since by someone: left unless forced
  NoEsta,      // a row the run changed is gone
};

// The changes of an undo, one at a time.
class Deshaciendo {
 public:
  Deshaciendo(Database& db, RunLog& log, bool forzar, bool completando, bool stockRelativo)
      : db_(db),
        log_(log),
        forzar_(forzar),
        completando_(completando),
        stockRelativo_(stockRelativo) {}

  // How `c` finds its row; `detalle` says what changed since.
  Situacion Examina(const CambioFila& c, Recordset& fila, QString& detalle) const;
  // Puts `c` back; false when its row is left as it is (listed in Dejadas).
  bool Deshaz(const CambioFila& c);

  // The rows the run added: one of them gone is as the undo leaves it, whatever the run
  // changed in it after adding it.
  void Altas(const std::vector<std::vector<CambioFila>>& grupos) {
    for (const auto& grupo : grupos)
      for (const CambioFila& c : grupo)
        if (c.tipo == Tipo::Alta) altas_.insert(NombreFila(c));
  }
  const QStringList& Dejadas() const { return dejadas_; }
  int Repuestas() const { return repuestas_; }

 private:
  bool Relativa(const CambioFila& c, const QString& columna) const {
    return c.relativo || (stockRelativo_ && columna == kStock);
  }
  void DevuelveCantidades(const CambioFila& c);
  void Deja(const CambioFila& c, const QString& porque);

  Database& db_;
  RunLog& log_;
  bool forzar_;
  bool completando_;
  bool stockRelativo_;
  QSet<QString> altas_;
  QStringList dejadas_;
  int repuestas_ = 0;
};

Situacion Deshaciendo::Examina(const CambioFila& c, Recordset& fila, QString& detalle) const {
  fila = LeeFila(db_, c);
  if (c.tipo == Tipo::Baja) {
    if (!fila.HayRegistros()) return Situacion::Intacta;
    for (int i = 0; i < c.columnas.size(); ++i)
      if (fila.ExisteCampo(c.columnas[i]) &&
          !MismoValor(fila[c.columnas[i]], c.antes[static_cast<size_t>(i)])) {
        detalle = QStringLiteral("ya hay otra fila con esa clave");
        return Situacion::Cambiada;
      }
    return Situacion::YaDeshecha;
  }
  if (!fila.HayRegistros())
    // Completing an undo, a row gone was removed by it, or is beyond putting back.
    return c.tipo == Tipo::Alta || completando_ || altas_.contains(NombreFila(c))
               ? Situacion::YaDeshecha
               : Situacion::NoEsta;
  QStringList cambios;
  bool comoAntes = c.tipo == Tipo::Modificacion;
  for (int i = 0; i < c.columnas.size(); ++i) {
    const QString& col = c.columnas[i];
    if (Relativa(c, col) || !fila.ExisteCampo(col)) continue;
    const Valor actual = fila[col];
    const size_t k = static_cast<size_t>(i);
    if (MismoValor(actual, c.despues[k])) {
      comoAntes = false;
      continue;
    }
    if (comoAntes && !MismoValor(actual, c.antes[k])) comoAntes = false;
    cambios << col + QStringLiteral(" vale ") + actual.Describe() +
                   QStringLiteral(" (la importación puso ") + Texto(c.despues[k]) + u')';
  }
  if (cambios.isEmpty()) return Situacion::Intacta;
  if (comoAntes) return Situacion::YaDeshecha;
  detalle = cambios.join(QStringLiteral(", "));
  return Situacion::Cambiada;
}

void Deshaciendo::Deja(const CambioFila& c, const QString& porque) {
  dejadas_ << NombreFila(c) + QStringLiteral(": ") + porque;
  log_.Escribe(QStringLiteral("Se deja como está ") + dejadas_.back());
}

void Deshaciendo::DevuelveCantidades(const CambioFila& c) {
  if (completando_) return;  // given back by the undo that was done in part
  CambioFila devuelto;
  for (int i = 0; i < c.columnas.size(); ++i) {
    const QString& col = c.columnas[i];
    if (!Relativa(c, col)) continue;
    const size_t k = static_cast<size_t>(i);
    const double cantidad = ValorNumerico(Database::DesdeColumna(c.despues[k])) -
                            ValorNumerico(Database::DesdeColumna(c.antes[k]));
    if (cantidad == 0) continue;
    QStringList donde;
    std::vector<Valor> valores{Valor(-cantidad)};
    for (int j = 0; j < c.clave.size(); ++j) {
      donde << c.clave[j] + QStringLiteral(" = ?");
      valores.push_back(Database::DesdeColumna(c.valoresClave[static_cast<size_t>(j)]));
    }
    // Added to what the row holds now: what others did to it since (a till's sale) stays.
    db_.Ejecuta(QStringLiteral("UPDATE ") + c.tabla + QStringLiteral(" SET ") + col +
                    QStringLiteral(" = ") + col + QStringLiteral(" + ? WHERE ") +
                    donde.join(QStringLiteral(" AND ")),
                valores);
    log_.Escribe(QStringLiteral("Se devuelve la cantidad: ") + NombreFila(c) +
                 QStringLiteral(": ") + col + u' ' + Valor(-cantidad).Describe());
    devuelto.columnas << col;
    devuelto.antes.push_back(c.despues[k]);
    devuelto.despues.push_back(c.antes[k]);
  }
  if (devuelto.columnas.isEmpty()) return;
  if (store::DiarioCambios* diario = db_.Diario()) {
    devuelto.tipo = Tipo::Modificacion;
    devuelto.tabla = c.tabla;
    devuelto.clave = c.clave;
    devuelto.valoresClave = c.valoresClave;
    devuelto.relativo = true;
    diario->Anota(std::move(devuelto));
  }
}

bool Deshaciendo::Deshaz(const CambioFila& c) {
  Recordset fila;
  QString detalle;
  const Situacion s = Examina(c, fila, detalle);
  if (c.tipo == Tipo::Modificacion && s != Situacion::NoEsta) DevuelveCantidades(c);
  switch (s) {
    case Situacion::YaDeshecha:
      return true;
    case Situacion::NoEsta:
      Deja(c, QStringLiteral("la fila ya no existe"));
      return false;
    case Situacion::Cambiada:
      if (!forzar_) {
        Deja(c, QStringLiteral("cambiada después: ") + detalle);
        return false;
      }
      break;
    case Situacion::Intacta:
      break;
  }
  ++repuestas_;
  const QString nombre = NombreFila(c);
  if (c.tipo == Tipo::Modificacion &&
      std::all_of(c.columnas.begin(), c.columnas.end(),
                  [&](const QString& col) { return Relativa(c, col); }))
    return true;
  switch (c.tipo) {
    case Tipo::Alta:
      fila.BorrarRegistro();
      log_.Escribe(QStringLiteral("Se borra la fila añadida: ") + nombre);
      return true;
    case Tipo::Baja:
      if (!fila.HayRegistros()) {
        fila = db_.AbrirRecordsetVacio(QStringLiteral("SELECT * FROM ") + c.tabla +
                                       QStringLiteral(" WHERE 1=0"));
        fila.NuevoRegistro();
      } else {
        fila.EditarRegistro();
      }
      break;
    case Tipo::Modificacion:
      fila.EditarRegistro();
      break;
  }
  QStringList valores;
  for (int i = 0; i < c.columnas.size(); ++i) {
    const QString& col = c.columnas[i];
    if ((c.tipo == Tipo::Modificacion && Relativa(c, col)) || !fila.ExisteCampo(col)) continue;
    const Valor antes = Database::DesdeColumna(c.antes[static_cast<size_t>(i)]);
    fila.Asigna(col, antes);
    valores << col + u'=' + antes.Describe();
  }
  fila.GrabarRegistro();
  log_.Escribe((c.tipo == Tipo::Baja ? QStringLiteral("Se vuelve a añadir la fila borrada: ")
                                     : QStringLiteral("Se devuelven los valores anteriores: ")) +
               nombre +
               (c.tipo == Tipo::Baja ? QString()
                                     : QStringLiteral(": ") + valores.join(QStringLiteral(", "))));
  return true;
}

// The tables of an invoice's documents (note, lines, invoice, instalments): everything
// an invoice file writes but the articles' cost and stock.
bool DeDocumento(const CambioFila& c) {
  return c.tabla != QLatin1String("ARTICULOS") && c.tabla != QLatin1String("ARTICULOS_STOCK");
}

// Each row the run wrote, once, as the run left it: its first change with the values of
// its later ones (an instalment added, then given its amount).
std::vector<CambioFila> FilasAlFinal(const std::vector<std::vector<CambioFila>>& grupos) {
  std::vector<CambioFila> filas;
  QHash<QString, size_t> donde;
  for (const auto& grupo : grupos)
    for (const CambioFila& c : grupo) {
      const QString nombre = NombreFila(c);
      const auto it = donde.constFind(nombre);
      if (it == donde.cend()) {
        donde.insert(nombre, filas.size());
        filas.push_back(c);
        continue;
      }
      if (c.tipo == Tipo::Baja) {  // removed at the end, whatever was done to it before
        filas[*it] = c;
        continue;
      }
      CambioFila& f = filas[*it];
      for (int i = 0; i < c.columnas.size(); ++i) {
        const size_t k = static_cast<size_t>(i);
        if (const qsizetype j = f.columnas.indexOf(c.columnas[i]); j >= 0) {
          f.despues[static_cast<size_t>(j)] = c.despues[k];
        } else {
          f.columnas << c.columnas[i];
          f.antes.push_back(k < c.antes.size() ? c.antes[k] : QVariant());
          f.despues.push_back(c.despues[k]);
        }
      }
    }
  return filas;
}

// Why run `e` cannot be undone (with or without `forzar`); empty when it can.
QString SinDeshacer(const EjecucionHistorial& e, Historial& historial, bool forzar,
                    const store::Empresa& empresa) {
  const QString n = QString::number(e.id);
  if (e.simulacion)
    return QStringLiteral("La importación ") + n +
           QStringLiteral(" fue una simulación: no cambió nada que deshacer.");
  if (e.resultado == r::kRechazada)
    return QStringLiteral("La importación ") + n +
           QStringLiteral(" fue rechazada por una comprobación: no cambió nada que deshacer.");
  if (e.resultado == r::kEnCurso)
    return QStringLiteral("La importación ") + n +
           QStringLiteral(" está en curso: espere a que termine para deshacerla.");
  if (e.empresa != empresa.IdEmpresa)
    return QStringLiteral("La importación ") + n + QStringLiteral(" se hizo en la empresa ") +
           e.empresa + QStringLiteral(", no en la ") + empresa.IdEmpresa + u'.';
  if (const auto d = historial.Deshecha(e.id)) {
    if (d->estado == r::kDeshecha)
      return QStringLiteral("La importación ") + n + QStringLiteral(" ya está deshecha (por la ") +
             QString::number(d->por) + QStringLiteral("): no se deshace dos veces.");
    if (!forzar)
      return QStringLiteral("La importación ") + n +
             QStringLiteral(" ya está deshecha en parte (por la ") + QString::number(d->por) +
             QStringLiteral("). Use --force para devolver también las filas que se dejaron.");
  }
  return {};
}

// The log's name of an undo of run `e`: DESHACER_ before its own log's name.
QString NombreLog(const EjecucionHistorial& e) {
  QString nombre = QFileInfo(e.rutaLog).fileName();
  if (nombre.isEmpty() || nombre.startsWith(QLatin1String("SIMULACION_"))) {
    const auto opcion = imports::ClasePorNombre(e.clase);
    nombre = opcion ? QString::fromLatin1(imports::Clase(*opcion).log) : e.clase + ".LOG";
  }
  return QStringLiteral("DESHACER_") + nombre;
}

using Estado = ResultadoDeshacer::Estado;

// Why an undo stops before it has touched the store; an empty `motivo` lets it go on.
struct Rechazo {
  QString motivo;
  Estado estado = Estado::Rechazada;
};

// Reads the run to undo and its recorded changes, refusing a run that cannot be undone.
Rechazo LeeLoQueDeshacer(Historial& historial, const OpcionesDeshacer& opciones,
                         store::Empresa& empresa, std::optional<EjecucionHistorial>& original,
                         std::vector<std::vector<CambioFila>>& grupos) {
  try {
    historial.MarcaInterrumpidas();
    original = historial.Lee(opciones.id);
    if (!original)
      return {QStringLiteral("No hay ninguna importación ") + QString::number(opciones.id) +
              QStringLiteral(" en el historial: no se ha deshecho nada.")};
    if (QString motivo = SinDeshacer(*original, historial, opciones.forzar, empresa);
        !motivo.isEmpty())
      return {motivo};
    grupos = historial.Cambios(opciones.id);
  } catch (const std::exception& e) {
    return {QString::fromUtf8(e.what()), Estado::Error};
  }
  if (grupos.empty())
    return {QStringLiteral("La importación ") + QString::number(opciones.id) +
            QStringLiteral(" no tiene cambios guardados en el historial (no cambió nada, o "
                           "se hizo con una versión anterior del programa): no hay nada "
                           "que deshacer.")};
  return {};
}

// An invoice is undone whole or not at all: its documents must be as the run left them
// (an undo done in part has already undone them). Why run `id` cannot be undone, or empty.
QString FacturaCambiada(const Deshaciendo& deshaciendo,
                        const std::vector<std::vector<CambioFila>>& grupos, qint64 id) {
  for (const CambioFila& c : FilasAlFinal(grupos)) {
    if (!DeDocumento(c)) continue;
    Recordset fila;
    QString detalle;
    const Situacion s = deshaciendo.Examina(c, fila, detalle);
    if (s == Situacion::Cambiada || s == Situacion::NoEsta)
      return QStringLiteral("No se puede deshacer la importación ") + QString::number(id) +
             QStringLiteral(": la factura o sus vencimientos han cambiado desde entonces (") +
             NombreFila(c) + QStringLiteral(": ") +
             (detalle.isEmpty() ? QStringLiteral("la fila ya no existe") : detalle) +
             QStringLiteral("). Una factura se deshace entera o no se deshace.");
  }
  return {};
}

// Records the undo as a run of its own and opens its log, which `resultado` then names.
Rechazo AbreEjecucionPropia(Historial& historial, const OpcionesDeshacer& opciones,
                            const EjecucionHistorial& original, EjecucionHistorial& propia,
                            RunLog& log, ResultadoDeshacer& resultado) {
  const QString rutaLog =
      QDir(opciones.carpetaLogs)
          .absoluteFilePath(QLatin1String(opciones.simular ? "SIMULACION_" : "") +
                            NombreLog(original));
  propia.inicio = QDateTime::currentDateTime();
  propia.empresa = original.empresa;
  propia.bddTienda = original.bddTienda;
  propia.clase = original.clase;
  propia.ruta = original.ruta;
  propia.nombre = original.nombre;
  propia.simulacion = opciones.simular;
  propia.rutaLog = rutaLog;
  try {
    historial.Anota(propia);
  } catch (const std::exception& e) {
    return {QString::fromUtf8(e.what()), Estado::Error};
  }
  resultado.idHistorial = propia.id;
  QString errorLog;
  if (!log.Abre(rutaLog, &errorLog)) {
    propia.resultado = r::kError;
    propia.fin = QDateTime::currentDateTime();
    propia.rutaLog.clear();
    historial.Termina(propia);
    return {
        QStringLiteral("No se puede crear el fichero ") + rutaLog + QStringLiteral(": ") + errorLog,
        Estado::Error};
  }
  resultado.rutaLog = rutaLog;
  if (opciones.simular)
    log.Escribe(QStringLiteral("SIMULACIÓN: no se ha guardado ningún cambio en la base de datos."));
  log.Escribe(QStringLiteral("Deshaciendo la importación ") + QString::number(opciones.id) +
              QStringLiteral(" (") + original.nombre + QStringLiteral(", ") +
              original.inicio.toString(QStringLiteral("dd/MM/yyyy HH:mm")) + u')' + kCrLf);
  return {};
}

// Puts the recorded changes back, newest first, each in its own line of work (an invoice's all
// in one), and stores the undo's own changes under run `idPropia`. Counts the changes tried in
// `cambios`; returns the error that stopped it, or empty.
QString DeshazCambios(Database& db, Historial& historial, const OpcionesDeshacer& opciones,
                      Operador& operador, Deshaciendo& deshaciendo,
                      const std::vector<std::vector<CambioFila>>& grupos, bool factura,
                      qint64 idPropia, RunLog& log, int& cambios) {
  QString error;
  imports::UnidadTrabajo unidad(db, opciones.simular, imports::kGruposImportacion);
  unidad.RetieneLog(log);
  int grupo = 0;
  unidad.AnotaCambios([&](std::vector<CambioFila> hechos) {
    if (opciones.simular) return;
    try {
      historial.GuardaCambios(idPropia, ++grupo, Historial::ComprimeCambios(hechos));
    } catch (const std::exception& e) {
      operador.Mensaje(QStringLiteral("No se han podido guardar en el historial los cambios de "
                                      "esta operación (no se podrá deshacer): ") +
                       QString::fromUtf8(e.what()));
    }
  });
  try {
    const auto todos = [&] {
      for (auto g = grupos.rbegin(); g != grupos.rend(); ++g)
        for (auto c = g->rbegin(); c != g->rend(); ++c) {
          ++cambios;
          deshaciendo.Deshaz(*c);
        }
    };
    if (factura) {
      unidad.Linea(1, todos);
    } else {
      for (auto g = grupos.rbegin(); g != grupos.rend(); ++g)
        for (auto c = g->rbegin(); c != g->rend(); ++c) {
          ++cambios;
          unidad.Linea(cambios, [&] { deshaciendo.Deshaz(*c); });
        }
    }
    unidad.Termina();
  } catch (const std::exception& e) {
    error = QStringLiteral("ERROR: ") + QString::fromUtf8(e.what());
    try {
      unidad.Termina();
    } catch (const std::exception& e2) {
      error += QStringLiteral(" ERROR al guardar los cambios: ") + QString::fromUtf8(e2.what());
    }
    if (!opciones.simular && unidad.LineaConfirmada() > 0) {
      error += QStringLiteral(" Lo deshecho hasta el cambio ") +
               QString::number(unidad.LineaConfirmada()) +
               QStringLiteral(" queda guardado: la importación queda deshecha en parte.");
      historial.AnotaDeshecha(opciones.id, idPropia, r::kDeshechaEnParte);
    }
  }
  return error;
}

// Writes the undo's totals (or its error) to its log, closes it and records in the history how
// the undo ended and what it did to the run it undid.
void TerminaDeshacer(Historial& historial, const OpcionesDeshacer& opciones, Operador& operador,
                     const Deshaciendo& deshaciendo, const QString& error, int cambios, RunLog& log,
                     EjecucionHistorial& propia, ResultadoDeshacer& resultado) {
  resultado.repuestas = deshaciendo.Repuestas();
  resultado.dejadas = deshaciendo.Dejadas();
  if (error.isEmpty()) {
    resultado.estado = resultado.dejadas.isEmpty() ? Estado::Completa : Estado::EnParte;
    log.Escribe(kCrLf + QStringLiteral("Cambios deshechos: ") +
                QString::number(resultado.repuestas) +
                QStringLiteral(". Filas dejadas como están: ") +
                QString::number(resultado.dejadas.size()) + u'.');
    if (!resultado.dejadas.isEmpty() && !opciones.forzar)
      log.Escribe(QStringLiteral("Para devolver también las filas dejadas: relvano-cli undo ") +
                  QString::number(opciones.id) + QStringLiteral(" --force"));
  } else {
    resultado.estado = Estado::Error;
    resultado.motivo = error;
    log.Escribe(error);
  }
  log.Cierra();
  propia.fin = QDateTime::currentDateTime();
  propia.lineas = cambios;
  propia.resultado = resultado.estado == Estado::Error
                         ? r::kError
                         : (opciones.simular ? r::kSimulada : r::kCompleta);
  try {
    if (!opciones.simular && resultado.estado != Estado::Error)
      historial.AnotaDeshecha(opciones.id, propia.id,
                              resultado.dejadas.isEmpty() ? r::kDeshecha : r::kDeshechaEnParte);
    historial.Termina(propia);
  } catch (const std::exception& e) {
    operador.Mensaje(QStringLiteral("No se ha podido anotar en el historial: ") +
                     QString::fromUtf8(e.what()));
  }
  if (!error.isEmpty()) operador.Mensaje(error, Operador::Icono::Stop);
}

}  // namespace

std::optional<EjecucionHistorial> LeeEjecucion(const UbicacionHistorial& ubicacion, qint64 id,
                                               QString* error) {
  QString fallo;
  const auto historial = Historial::Abre(ubicacion, &fallo);
  if (!historial) {
    *error = QStringLiteral("No se puede abrir el historial de importaciones ") +
             ubicacion.Describe() + QStringLiteral(": ") + fallo;
    return std::nullopt;
  }
  try {
    historial->MarcaInterrumpidas();
    auto e = historial->Lee(id);
    if (!e)
      *error = QStringLiteral("No hay ninguna importación ") + QString::number(id) +
               QStringLiteral(" en el historial.");
    return e;
  } catch (const std::exception& ex) {
    *error = QString::fromUtf8(ex.what());
    return std::nullopt;
  }
}

ResultadoDeshacer DeshazEjecucion(store::Empresa& empresa, const OpcionesDeshacer& opciones,
                                  Operador& operador) {
  ResultadoDeshacer resultado;
  const auto rechaza = [&](const QString& motivo, Estado estado = Estado::Rechazada) {
    resultado.estado = estado;
    resultado.motivo = motivo;
    operador.Mensaje(motivo, Operador::Icono::Stop);
    return resultado;
  };
  if (!empresa.Abierta || !empresa.BddTienda)
    return rechaza(QStringLiteral("La empresa no está abierta: no se ha deshecho nada."));
  QString fallo;
  const auto historial = Historial::Abre(opciones.historial, &fallo);
  if (!historial)
    return rechaza(QStringLiteral("No se puede abrir el historial de importaciones ") +
                       opciones.historial.Describe() + QStringLiteral(": ") + fallo,
                   Estado::Error);
  std::optional<EjecucionHistorial> original;
  std::vector<std::vector<CambioFila>> grupos;
  if (const Rechazo rechazo = LeeLoQueDeshacer(*historial, opciones, empresa, original, grupos);
      !rechazo.motivo.isEmpty())
    return rechaza(rechazo.motivo, rechazo.estado);

  Database& db = *empresa.BddTienda;
  // An undo of an invoice run has the run's kind too.
  const bool factura =
      original->clase ==
      QString::fromLatin1(imports::Clase(imports::OpcionImportacion::Facturas).nombre);
  const bool completando = historial->Deshecha(opciones.id).has_value();
  RunLog log;
  Deshaciendo deshaciendo(db, log, opciones.forzar, completando, factura);
  deshaciendo.Altas(grupos);
  if (factura && !completando)
    if (const QString motivo = FacturaCambiada(deshaciendo, grupos, opciones.id); !motivo.isEmpty())
      return rechaza(motivo);

  EjecucionHistorial propia;
  if (const Rechazo rechazo =
          AbreEjecucionPropia(*historial, opciones, *original, propia, log, resultado);
      !rechazo.motivo.isEmpty())
    return rechaza(rechazo.motivo, rechazo.estado);
  int cambios = 0;
  const QString error = DeshazCambios(db, *historial, opciones, operador, deshaciendo, grupos,
                                      factura, propia.id, log, cambios);
  TerminaDeshacer(*historial, opciones, operador, deshaciendo, error, cambios, log, propia,
                  resultado);
  return resultado;
}

}  // namespace relvano
