#include "app/historial.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <atomic>

namespace relvano {
namespace {

constexpr char kFormatoInstante[] = "yyyy-MM-dd HH:mm:ss";

const char kTabla[] =
    "CREATE TABLE IF NOT EXISTS EJECUCIONES ("
    "ID INTEGER PRIMARY KEY AUTOINCREMENT, INICIO TEXT NOT NULL, FIN TEXT, "
    "EMPRESA TEXT, BDD_TIENDA TEXT, CLASE TEXT, RUTA TEXT, NOMBRE TEXT, TAMANO INTEGER, "
    "SHA256 TEXT, FECHA_FICHERO TEXT, SIMULACION INTEGER, RESULTADO TEXT, LINEAS INTEGER, "
    "LINEA_APLICADA INTEGER, ALTAS INTEGER, MODIFICACIONES INTEGER, BAJAS INTEGER, "
    "RECHAZADAS INTEGER, LOG_ARCHIVADO TEXT, ALBARAN TEXT)";

const char kColumnas[] =
    "SELECT ID, INICIO, FIN, EMPRESA, BDD_TIENDA, CLASE, RUTA, NOMBRE, TAMANO, SHA256, "
    "FECHA_FICHERO, SIMULACION, RESULTADO, LINEAS, LINEA_APLICADA, ALTAS, MODIFICACIONES, "
    "BAJAS, RECHAZADAS, LOG_ARCHIVADO, ALBARAN FROM EJECUCIONES";

QVariant Texto(const QString& s) { return s.isNull() ? QVariant(QString()) : QVariant(s); }

QVariant Instante(const QDateTime& t) {
  return t.isValid() ? QVariant(t.toString(QLatin1String(kFormatoInstante))) : QVariant();
}

QVariant Opcional(const std::optional<int>& n) { return n ? QVariant(*n) : QVariant(); }

std::optional<int> EnteroOpcional(const QVariant& v) {
  if (v.isNull()) return std::nullopt;
  return v.toInt();
}

EjecucionHistorial Fila(const QSqlQuery& q) {
  EjecucionHistorial e;
  e.id = q.value(0).toLongLong();
  e.inicio = QDateTime::fromString(q.value(1).toString(), QLatin1String(kFormatoInstante));
  e.fin = QDateTime::fromString(q.value(2).toString(), QLatin1String(kFormatoInstante));
  e.empresa = q.value(3).toString();
  e.bddTienda = q.value(4).toString();
  e.clase = q.value(5).toString();
  e.ruta = q.value(6).toString();
  e.nombre = q.value(7).toString();
  e.tamano = q.value(8).toLongLong();
  e.sha256 = q.value(9).toString();
  e.fechaFichero = QDate::fromString(q.value(10).toString(), Qt::ISODate);
  e.simulacion = q.value(11).toInt() != 0;
  e.resultado = q.value(12).toString();
  e.lineas = q.value(13).toInt();
  e.lineaAplicada = EnteroOpcional(q.value(14));
  if (!q.value(15).isNull())
    e.recuento = imports::Recuento{q.value(15).toInt(), q.value(16).toInt(), q.value(17).toInt(),
                                   q.value(18).toInt()};
  e.logArchivado = q.value(19).toString();
  e.albaran = q.value(20).toString();
  return e;
}

}  // namespace

QString Historial::RutaBaseDatos(const QString& carpetaLogs) {
  return QDir(carpetaLogs).absoluteFilePath(QStringLiteral("historial.sqlite"));
}

Historial::Historial(QString carpetaLogs, QString conexion)
    : carpetaLogs_(std::move(carpetaLogs)), conexion_(std::move(conexion)) {}

Historial::~Historial() {
  if (db_.isValid()) db_.close();
  db_ = QSqlDatabase();
  QSqlDatabase::removeDatabase(conexion_);
}

std::unique_ptr<Historial> Historial::Abre(const QString& carpetaLogs, QString* error) {
  static std::atomic<int> siguiente{0};
  const QString conexion = QStringLiteral("relvano-historial-%1").arg(siguiente++);
  std::unique_ptr<Historial> h(new Historial(carpetaLogs, conexion));
  h->db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexion);
  h->db_.setDatabaseName(RutaBaseDatos(carpetaLogs));
  h->db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  if (!h->db_.open()) {
    if (error) *error = h->db_.lastError().text();
    return nullptr;
  }
  try {
    h->Corre(QString::fromLatin1(kTabla), {});
  } catch (const ErrorHistorial& e) {
    if (error) *error = QString::fromUtf8(e.what());
    return nullptr;
  }
  return h;
}

QSqlQuery Historial::Corre(const QString& sql, const QVariantList& parametros) {
  QSqlQuery q(db_);
  if (!q.prepare(sql)) throw ErrorHistorial(q.lastError().text());
  for (int i = 0; i < parametros.size(); ++i) q.bindValue(i, parametros[i]);
  if (!q.exec()) throw ErrorHistorial(q.lastError().text());
  return q;
}

qint64 Historial::Anota(const EjecucionHistorial& e) {
  QSqlQuery q = Corre(
      QStringLiteral("INSERT INTO EJECUCIONES (INICIO, FIN, EMPRESA, BDD_TIENDA, CLASE, RUTA, "
                     "NOMBRE, TAMANO, SHA256, FECHA_FICHERO, SIMULACION, RESULTADO, LINEAS) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
      {Instante(e.inicio), Instante(e.fin), Texto(e.empresa), Texto(e.bddTienda), Texto(e.clase),
       Texto(e.ruta), Texto(e.nombre), e.tamano, Texto(e.sha256),
       e.fechaFichero.isValid() ? QVariant(e.fechaFichero.toString(Qt::ISODate)) : QVariant(),
       e.simulacion ? 1 : 0, Texto(e.resultado), e.lineas});
  return q.lastInsertId().toLongLong();
}

void Historial::Termina(const EjecucionHistorial& e) {
  const auto cuenta = [&](int imports::Recuento::*campo) {
    return e.recuento ? QVariant((*e.recuento).*campo) : QVariant();
  };
  Corre(QStringLiteral("UPDATE EJECUCIONES SET FIN = ?, RESULTADO = ?, LINEAS = ?, "
                       "LINEA_APLICADA = ?, ALTAS = ?, MODIFICACIONES = ?, BAJAS = ?, "
                       "RECHAZADAS = ?, LOG_ARCHIVADO = ? WHERE ID = ?"),
        {Instante(e.fin), Texto(e.resultado), e.lineas, Opcional(e.lineaAplicada),
         cuenta(&imports::Recuento::altas), cuenta(&imports::Recuento::modificaciones),
         cuenta(&imports::Recuento::bajas), cuenta(&imports::Recuento::rechazadas),
         Texto(e.logArchivado), e.id});
}

void Historial::AnotaAlbaran(qint64 id, const QString& numero) {
  Corre(QStringLiteral("UPDATE EJECUCIONES SET ALBARAN = ? WHERE ID = ?"), {Texto(numero), id});
}

std::vector<EjecucionHistorial> Historial::Filas(const QString& condicion,
                                                 const QVariantList& parametros,
                                                 const QString& cola) {
  QSqlQuery q =
      Corre(QString::fromLatin1(kColumnas) +
                (condicion.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condicion) +
                QStringLiteral(" ORDER BY ID DESC") + cola,
            parametros);
  std::vector<EjecucionHistorial> filas;
  while (q.next()) filas.push_back(Fila(q));
  return filas;
}

std::optional<EjecucionHistorial> Historial::UltimaCompleta(const QString& empresa,
                                                            const QString& clase,
                                                            const QString& sha256) {
  auto filas =
      Filas(QStringLiteral("EMPRESA = ? AND CLASE = ? AND SHA256 = ? AND SIMULACION = 0 "
                           "AND RESULTADO = ?"),
            {empresa, clase, sha256, resultado_historial::kCompleta}, QStringLiteral(" LIMIT 1"));
  if (filas.empty()) return std::nullopt;
  return filas.front();
}

QDate Historial::FechaMasReciente(const QString& empresa, const QString& clase) {
  QSqlQuery q = Corre(QStringLiteral("SELECT MAX(FECHA_FICHERO) FROM EJECUCIONES WHERE EMPRESA = ? "
                                     "AND CLASE = ? AND SIMULACION = 0 AND RESULTADO = ?"),
                      {empresa, clase, resultado_historial::kCompleta});
  if (!q.next()) return {};
  return QDate::fromString(q.value(0).toString(), Qt::ISODate);
}

bool Historial::AlbaranGrabado(const QString& empresa, const QString& sha256) {
  QSqlQuery q = Corre(QStringLiteral("SELECT 1 FROM EJECUCIONES WHERE EMPRESA = ? AND SHA256 = ? "
                                     "AND SIMULACION = 0 AND ALBARAN IS NOT NULL LIMIT 1"),
                      {empresa, sha256});
  return q.next();
}

std::vector<EjecucionHistorial> Historial::Lista(const FiltroHistorial& filtro) {
  QStringList condiciones;
  QVariantList parametros;
  if (!filtro.empresa.isEmpty()) {
    condiciones << QStringLiteral("EMPRESA = ?");
    parametros << filtro.empresa;
  }
  if (!filtro.clase.isEmpty()) {
    condiciones << QStringLiteral("CLASE = ?");
    parametros << filtro.clase;
  }
  QString cola;
  if (filtro.limite > 0) {
    cola = QStringLiteral(" LIMIT ?");
    parametros << filtro.limite;
  }
  return Filas(condiciones.join(QStringLiteral(" AND ")), parametros, cola);
}

std::optional<EjecucionHistorial> Historial::Lee(qint64 id) {
  auto filas = Filas(QStringLiteral("ID = ?"), {id}, QString());
  if (filas.empty()) return std::nullopt;
  return filas.front();
}

QString Historial::ArchivaLog(const QString& rutaLog, const QDateTime& inicio, qint64 id) const {
  QDir carpeta(carpetaLogs_);
  if (!carpeta.mkpath(QStringLiteral("historial"))) return {};
  carpeta.cd(QStringLiteral("historial"));
  const QString sello = inicio.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  const QString nombre = QFileInfo(rutaLog).fileName();
  QString destino = carpeta.absoluteFilePath(sello + u'-' + nombre);
  if (QFile::exists(destino))
    destino = carpeta.absoluteFilePath(sello + u'-' + QString::number(id) + u'-' + nombre);
  return QFile::copy(rutaLog, destino) ? destino : QString();
}

}  // namespace relvano
