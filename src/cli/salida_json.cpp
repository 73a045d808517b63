#include "cli/salida_json.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

#include "app/arranque.h"
#include "base/ficheros.h"

namespace relvano::cli {
namespace {

QJsonValue TextoONulo(const QString& texto) {
  return texto.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(texto);
}

}  // namespace

QJsonObject DocumentoJson(const char* orden) {
  return {{QStringLiteral("format"), 1}, {QStringLiteral("command"), QLatin1String(orden)}};
}

int EmiteJson(QJsonObject documento, int salida) {
  documento.insert(QStringLiteral("exit_status"), salida);
  // One line: a cron job that appends each run's output keeps one document per line.
  const QByteArray texto = QJsonDocument(documento).toJson(QJsonDocument::Compact) + '\n';
  std::fwrite(texto.constData(), 1, static_cast<size_t>(texto.size()), stdout);
  std::fflush(stdout);
  return salida;
}

QJsonValue InstanteJson(const QDateTime& instante) {
  if (!instante.isValid()) return QJsonValue::Null;
  return instante.toOffsetFromUtc(instante.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QJsonValue EmpresaJson(const Programa& programa) {
  if (!programa.EmpresaAbierta()) return QJsonValue::Null;
  const QString& codigo = programa.Empresa().IdEmpresa;
  return QJsonObject{{QStringLiteral("code"), codigo},
                     {QStringLiteral("name"), programa.NombreEmpresa(codigo)}};
}

QJsonObject FicheroAJson(const FicheroJson& f) {
  const ResultadoImportacion& r = f.r;
  const bool huboEjecucion = f.inicio.isValid();
  // Only a run that got past its checks has its lines counted; invoices count none.
  const bool cuenta = !r.rutaLog.isEmpty() && f.clase != imports::OpcionImportacion::Facturas;
  QJsonObject o{
      {QStringLiteral("kind"), f.clase ? QJsonValue(QLatin1String(imports::Clase(*f.clase).nombre))
                                       : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("name"), QFileInfo(f.ruta).fileName()},
      {QStringLiteral("path"), f.ruta},
      {QStringLiteral("outcome"), f.desenlace},
      {QStringLiteral("lines_read"), huboEjecucion ? QJsonValue(r.lineas) : QJsonValue::Null},
      {QStringLiteral("lines_applied"),
       cuenta ? QJsonValue(r.recuento.altas + r.recuento.modificaciones + r.recuento.bajas)
              : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("lines_refused"),
       cuenta ? QJsonValue(r.recuento.rechazadas) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("applied_up_to_line"),
       r.lineaAplicada > 0 ? QJsonValue(r.lineaAplicada) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("log"), TextoONulo(r.rutaLog)},
      {QStringLiteral("history_id"),
       r.idHistorial > 0 ? QJsonValue(r.idHistorial) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("start"), InstanteJson(f.inicio)},
      {QStringLiteral("end"), InstanteJson(f.fin)},
      {QStringLiteral("archived_to"), TextoONulo(f.archivado)},
      {QStringLiteral("error"), TextoONulo(f.error)},
      {QStringLiteral("held"), r.retenida},
      {QStringLiteral("review"), r.revision ? QJsonValue(r.revision->AJson()) : QJsonValue()},
  };
  return o;
}

QJsonValue RevisionJson(const QString& texto) {
  const QJsonDocument documento = QJsonDocument::fromJson(texto.toUtf8());
  return documento.isObject() ? QJsonValue(documento.object()) : QJsonValue();
}

QString LineasRevision(const Revision& revision) { return revision.Lineas().join(u'\n') + u'\n'; }

QString DesenlaceImportacion(const ResultadoImportacion& r, bool simulacion, const QString& ruta) {
  using Estado = ResultadoImportacion::Estado;
  switch (r.estado) {
    case Estado::Completa:
      return simulacion ? QStringLiteral("simulated") : QStringLiteral("applied");
    case Estado::Rechazada:
      return r.yaAplicada ? QStringLiteral("already_applied") : QStringLiteral("refused");
    case Estado::FacturaNoCreada:
      return QStringLiteral("invoice_not_created");
    case Estado::Error:
      return QStringLiteral("failed");
    case Estado::Cancelada:
      return QStringLiteral("cancelled");
    case Estado::NoIniciada:
      break;
  }
  switch (ExaminaAcceso(ruta)) {
    case AccesoFichero::NoExiste:
      return QStringLiteral("missing");
    case AccesoFichero::NoEsFichero:
      return QStringLiteral("not_a_file");
    case AccesoFichero::NoSeLee:
      return QStringLiteral("unreadable");
    case AccesoFichero::Legible:
      break;
  }
  return QStringLiteral("not_started");
}

QString DesenlaceBandejaJson(const DesenlaceBandeja& d, bool simulacion) {
  using Tipo = DesenlaceBandeja::Tipo;
  switch (d.tipo) {
    case Tipo::Aplicado:
      return simulacion ? QStringLiteral("simulated") : QStringLiteral("applied");
    case Tipo::YaAplicado:
      return QStringLiteral("already_applied");
    case Tipo::Rechazado:
      return QStringLiteral("refused");
    case Tipo::FacturaNoCreada:
      return QStringLiteral("invoice_not_created");
    case Tipo::Fallido:
      return QStringLiteral("failed");
    case Tipo::NoProcesado:
      return QStringLiteral("not_processed");
    case Tipo::ClaseDesconocida:
      return QStringLiteral("unknown_kind");
    case Tipo::NoLegible:
      return d.fichero.acceso == AccesoFichero::NoSeLee ? QStringLiteral("unreadable")
                                                        : QStringLiteral("not_a_file");
  }
  return QString();
}

}  // namespace relvano::cli
