#include "app/historial.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QSysInfo>

#include "app/comprimido.h"
#include "store/db/dialecto.h"
#include "store/db/recordset.h"

#ifdef Q_OS_UNIX
#include <signal.h>

#include <cerrno>
#endif

namespace relvano {
namespace {

using store::Database;
using store::DbError;
namespace r = resultado_historial;

constexpr char kFormatoInstante[] = "yyyy-MM-dd HH:mm:ss";
const QString kNombre = QStringLiteral("RELVANO_HISTORIAL.sqlite");
const QString kAnterior = QStringLiteral("historial.sqlite");

const char kTabla[] =
    "CREATE TABLE IF NOT EXISTS EJECUCIONES ("
    "ID INTEGER PRIMARY KEY AUTOINCREMENT, INICIO TEXT NOT NULL, FIN TEXT, "
    "EMPRESA TEXT, BDD_TIENDA TEXT, CLASE TEXT, RUTA TEXT, NOMBRE TEXT, TAMANO INTEGER, "
    "SHA256 TEXT, FECHA_FICHERO TEXT, SIMULACION INTEGER, RESULTADO TEXT, LINEAS INTEGER, "
    "LINEA_APLICADA INTEGER, ALTAS INTEGER, MODIFICACIONES INTEGER, BAJAS INTEGER, "
    "RECHAZADAS INTEGER, ALBARAN TEXT, MAQUINA TEXT, ARRANQUE TEXT, PROCESO INTEGER, "
    "RUTA_LOG TEXT, LOG TEXT)";

// The rows a real run changed, one row per committed group (see GuardaCambios).
const char kTablaCambios[] =
    "CREATE TABLE IF NOT EXISTS CAMBIOS (EJECUCION INTEGER NOT NULL, GRUPO INTEGER NOT NULL, "
    "DATOS TEXT NOT NULL, PRIMARY KEY (EJECUCION, GRUPO))";

// Each undo of a run: the run, the run that undid it, and how far.
const char kTablaDeshechas[] =
    "CREATE TABLE IF NOT EXISTS DESHECHAS (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
    "EJECUCION INTEGER NOT NULL, DESHACE INTEGER NOT NULL, ESTADO TEXT NOT NULL)";

// Every column but the log, in the order Fila reads them.
const char kColumnas[] =
    "SELECT ID, INICIO, FIN, EMPRESA, BDD_TIENDA, CLASE, RUTA, NOMBRE, TAMANO, SHA256, "
    "FECHA_FICHERO, SIMULACION, RESULTADO, LINEAS, LINEA_APLICADA, ALTAS, MODIFICACIONES, "
    "BAJAS, RECHAZADAS, ALBARAN, MAQUINA, PROCESO, RUTA_LOG, "
    "CASE WHEN LOG IS NULL THEN 0 ELSE 1 END FROM EJECUCIONES";

Valor Texto(const QString& s) { return s.isEmpty() ? Valor() : Valor(s); }
Valor Instante(const QDateTime& t) {
  return t.isValid() ? Valor(t.toString(QLatin1String(kFormatoInstante))) : Valor();
}
Valor Opcional(const std::optional<int>& n) { return n ? Valor(*n) : Valor(); }
QDateTime LeeInstante(const QVariant& v) {
  return QDateTime::fromString(v.toString(), QLatin1String(kFormatoInstante));
}

EjecucionHistorial Fila(const store::Filas& q) {
  EjecucionHistorial e;
  e.id = q.Columna(0).toLongLong();
  e.inicio = LeeInstante(q.Columna(1));
  e.fin = LeeInstante(q.Columna(2));
  e.empresa = q.Columna(3).toString();
  e.bddTienda = q.Columna(4).toString();
  e.clase = q.Columna(5).toString();
  e.ruta = q.Columna(6).toString();
  e.nombre = q.Columna(7).toString();
  e.tamano = q.Columna(8).toLongLong();
  e.sha256 = q.Columna(9).toString();
  e.fechaFichero = QDate::fromString(q.Columna(10).toString(), Qt::ISODate);
  e.simulacion = q.Columna(11).toInt() != 0;
  e.resultado = q.Columna(12).toString();
  e.lineas = q.Columna(13).toInt();
  if (!q.Columna(14).isNull()) e.lineaAplicada = q.Columna(14).toInt();
  if (!q.Columna(15).isNull())
    e.recuento = imports::Recuento{q.Columna(15).toInt(), q.Columna(16).toInt(),
                                   q.Columna(17).toInt(), q.Columna(18).toInt()};
  e.albaran = q.Columna(19).toString();
  e.maquina = q.Columna(20).toString();
  e.proceso = q.Columna(21).toLongLong();
  e.rutaLog = q.Columna(22).toString();
  e.tieneLog = q.Columna(23).toInt() != 0;
  return e;
}

// A log as the history keeps it: compressed, as text every engine stores.
Valor Comprime(const QByteArray& log) {
  if (log.isNull()) return Valor();
  return Valor(TextoComprimido(log));
}

// The log file `ruta` as the history keeps it, read a block at a time; null when there is no
// regular file to keep.
Valor LogComprimido(const QString& ruta) {
  const QString texto = TextoComprimidoDeFichero(ruta);
  return texto.isNull() ? Valor() : Valor(texto);
}

QByteArray LeeFichero(const QString& ruta) {
  // Only a regular file: a log written to a device is nothing to keep.
  QFile f(ruta);
  if (!QFileInfo(ruta).isFile() || !f.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = f.readAll();
  if (bytes.isNull()) bytes = QByteArray("");
  return bytes;
}

QString ArranqueActual() { return QString::fromLatin1(QSysInfo::bootUniqueId()); }

// The process `pid` of this machine's current boot still runs.
bool ProcesoVivo(qint64 pid) {
  if (pid <= 0) return false;
  if (pid == QCoreApplication::applicationPid()) return true;
#ifdef Q_OS_UNIX
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#else
  return true;  // not known here: the run stays "en curso"
#endif
}

// True when `ruta` is not an SQLite database (an empty file is a new one).
bool NoEsSqlite(const QString& ruta) {
  QFile f(ruta);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray cabecera = f.read(16);
  return !cabecera.isEmpty() && cabecera != QByteArray("SQLite format 3\0", 16);
}

bool DiceDanada(const QString& error) {
  return error.contains(QLatin1String("malformed")) ||
         error.contains(QLatin1String("not a database")) ||
         error.contains(QLatin1String("corrupt"));
}

// `ruta` + `cola`, or + `cola`-N when that name is taken: a name that replaces nothing.
QString NombreLibre(const QString& ruta, const QString& cola) {
  QString nombre = ruta + cola;
  for (int n = 2; QFileInfo::exists(nombre); ++n) nombre = ruta + cola + u'-' + QString::number(n);
  return nombre;
}

qint64 Inserta(Database& db, const EjecucionHistorial& e, const QString& arranque,
               const Valor& log) {
  store::Recordset rs =
      db.AbrirRecordsetVacio(QStringLiteral("SELECT * FROM EJECUCIONES WHERE ID = 0"));
  rs.NuevoRegistro();
  const std::pair<const char*, Valor> columnas[] = {
      {"INICIO", Instante(e.inicio)},
      {"FIN", Instante(e.fin)},
      {"EMPRESA", Texto(e.empresa)},
      {"BDD_TIENDA", Texto(e.bddTienda)},
      {"CLASE", Texto(e.clase)},
      {"RUTA", Texto(e.ruta)},
      {"NOMBRE", Texto(e.nombre)},
      {"TAMANO", Valor(e.tamano)},
      {"SHA256", Texto(e.sha256)},
      {"FECHA_FICHERO",
       e.fechaFichero.isValid() ? Valor(e.fechaFichero.toString(Qt::ISODate)) : Valor()},
      {"SIMULACION", Valor(e.simulacion ? 1 : 0)},
      {"RESULTADO", Texto(e.resultado)},
      {"LINEAS", Valor(e.lineas)},
      {"LINEA_APLICADA", Opcional(e.lineaAplicada)},
      {"ALTAS", e.recuento ? Valor(e.recuento->altas) : Valor()},
      {"MODIFICACIONES", e.recuento ? Valor(e.recuento->modificaciones) : Valor()},
      {"BAJAS", e.recuento ? Valor(e.recuento->bajas) : Valor()},
      {"RECHAZADAS", e.recuento ? Valor(e.recuento->rechazadas) : Valor()},
      {"ALBARAN", Texto(e.albaran)},
      {"MAQUINA", Texto(e.maquina)},
      {"ARRANQUE", Texto(arranque)},
      {"PROCESO", e.proceso ? Valor(e.proceso) : Valor()},
      {"RUTA_LOG", Texto(e.rutaLog)},
      {"LOG", log},
  };
  for (const auto& [columna, valor] : columnas) rs.Asigna(QLatin1String(columna), valor);
  rs.GrabarRegistro();
  return static_cast<qint64>(rs[QStringLiteral("ID")].Numero());
}

}  // namespace

UbicacionHistorial UbicacionHistorial::De(const QString& rutaGeneral,
                                          const store::OpcionesConexion& conexion,
                                          const QString& carpetaLogs) {
  UbicacionHistorial u;
  u.ruta = QFileInfo(rutaGeneral).absoluteDir().filePath(kNombre);
  u.conexion = conexion;
  if (u.conexion.motor != store::Motor::Postgres) {
    // The suite's own databases may be reached through ODBC; the history is the program's.
    u.conexion.motor = store::Motor::Sqlite;
    u.conexion.conexionOdbc.clear();
  }
  u.carpetaLogs = carpetaLogs;
  u.rutaGeneral = rutaGeneral;
  return u;
}

QString UbicacionHistorial::Describe() const { return store::DescribeBaseDatos(ruta, conexion); }

Historial::~Historial() = default;

std::unique_ptr<Historial> Historial::Abre(const UbicacionHistorial& u, QString* error,
                                           QString* aviso) {
  const store::Dialecto& dialecto = store::Dialecto::De(u.conexion.motor);
  const bool fichero = u.conexion.motor == store::Motor::Sqlite;
  QString fallo;
  // Two runs may create it at once: the one that finds it made by the other opens it.
  const auto existeOCrea = [&] {
    fallo.clear();
    if (store::ExisteBaseDatos(u.ruta, u.conexion, &fallo)) return true;
    if (!fallo.isEmpty()) return false;
    if (dialecto.CreaVacia(u.ruta, u.conexion, &fallo)) {
      if (fichero && QFileInfo::exists(u.rutaGeneral))
        QFile::setPermissions(u.ruta, QFileInfo(u.rutaGeneral).permissions());
      return true;
    }
    return store::ExisteBaseDatos(u.ruta, u.conexion, &fallo);
  };
  const auto abre = [&]() -> std::unique_ptr<Historial> {
    if (!existeOCrea()) return nullptr;
    auto db = Database::Abrir(u.ruta, u.conexion, &fallo);
    if (!db) return nullptr;
    std::unique_ptr<Historial> h(new Historial(std::move(db)));
    try {
      h->CreaTabla();
      h->db_->Escalar(QStringLiteral("SELECT COUNT(*) FROM EJECUCIONES"));
    } catch (const DbError& e) {
      fallo = e.Mensaje();
      return nullptr;
    }
    return h;
  };

  auto h = abre();
  if (!h && fichero && QFileInfo(u.ruta).isFile() && (NoEsSqlite(u.ruta) || DiceDanada(fallo))) {
    // Set aside, never deleted: someone may want to read what is left of it.
    const QString apartado = NombreLibre(
        u.ruta, QStringLiteral(".danado-") +
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    if (QFile::rename(u.ruta, apartado)) {
      if (aviso)
        *aviso = QStringLiteral("El historial de importaciones ") + u.ruta +
                 QStringLiteral(" estaba dañado (") + fallo +
                 QStringLiteral("): se ha apartado como ") + apartado +
                 QStringLiteral(" y se ha empezado uno nuevo.");
      h = abre();
    }
  }
  if (!h) {
    if (error) *error = fallo;
    return nullptr;
  }
  if (!u.carpetaLogs.isEmpty()) {
    try {
      h->TomaAnterior(u.carpetaLogs);
    } catch (const DbError& e) {
      // Left where it was, for a later run to take in; this one goes on without it.
      if (aviso)
        *aviso = QStringLiteral("No se ha podido incorporar el historial anterior ") +
                 QDir(u.carpetaLogs).filePath(kAnterior) + QStringLiteral(": ") + e.Mensaje();
    }
  }
  return h;
}

void Historial::CreaTabla() {
  bool creada = false;
  for (const auto& [tabla, sql] :
       {std::pair{"EJECUCIONES", kTabla}, std::pair{"CAMBIOS", kTablaCambios},
        std::pair{"DESHECHAS", kTablaDeshechas}}) {
    if (db_->ExisteTabla(QLatin1String(tabla))) continue;
    db_->Ejecuta(db_->Dialect().Esquema(QString::fromLatin1(sql)));
    creada = true;
  }
  if (creada) db_->OlvidaEsquema();
  // Added to a history begun by an earlier version.
  if (!db_->ExisteCampoTabla(QStringLiteral("EJECUCIONES"), QStringLiteral("REVISION"))) {
    db_->Ejecuta(QStringLiteral("ALTER TABLE EJECUCIONES ADD COLUMN REVISION TEXT"));
    db_->OlvidaEsquema();
  }
}

void Historial::TomaAnterior(const QString& carpetaLogs) {
  const QString anterior = QDir(carpetaLogs).filePath(kAnterior);
  if (!QFileInfo(anterior).isFile()) return;
  // Renamed first: of two runs that find it, one takes it in.
  const QString tomado = NombreLibre(anterior, QStringLiteral(".importado"));
  if (!QFile::rename(anterior, tomado)) return;
  QString error;
  auto vieja = Database::Abrir(tomado, store::OpcionesConexion{}, &error);
  if (!vieja || !vieja->ExisteTabla(QStringLiteral("EJECUCIONES"))) return;
  try {
    // Read as stored: the columns an earlier version had, by name.
    store::Filas q = vieja->Consulta(QStringLiteral("SELECT * FROM EJECUCIONES ORDER BY ID"));
    const auto texto = [&q](const char* columna) {
      const int i = q.Indice(QLatin1String(columna));
      return i < 0 ? QString() : q.Columna(i).toString();
    };
    const auto numero = [&q](const char* columna) -> std::optional<int> {
      const int i = q.Indice(QLatin1String(columna));
      if (i < 0 || q.Columna(i).isNull()) return std::nullopt;
      return q.Columna(i).toInt();
    };
    db_->Begin();
    while (q.Siguiente()) {
      EjecucionHistorial e;
      e.fin = LeeInstante(texto("FIN"));
      e.inicio = LeeInstante(texto("INICIO"));
      if (!e.inicio.isValid()) e.inicio = e.fin.isValid() ? e.fin : QDateTime::currentDateTime();
      e.empresa = texto("EMPRESA");
      e.bddTienda = texto("BDD_TIENDA");
      e.clase = texto("CLASE");
      e.ruta = texto("RUTA");
      e.nombre = texto("NOMBRE");
      e.tamano = numero("TAMANO").value_or(0);
      e.sha256 = texto("SHA256");
      e.fechaFichero = QDate::fromString(texto("FECHA_FICHERO"), Qt::ISODate);
      e.simulacion = numero("SIMULACION").value_or(0) != 0;
      e.resultado = texto("RESULTADO");
      // The earlier version that left it runs no more.
      if (e.resultado == r::kEnCurso) e.resultado = r::kInterrumpida;
      e.lineas = numero("LINEAS").value_or(0);
      e.lineaAplicada = numero("LINEA_APLICADA");
      if (numero("ALTAS"))
        e.recuento =
            imports::Recuento{*numero("ALTAS"), numero("MODIFICACIONES").value_or(0),
                              numero("BAJAS").value_or(0), numero("RECHAZADAS").value_or(0)};
      e.albaran = texto("ALBARAN");
      QString archivado = texto("LOG_ARCHIVADO");
      if (!archivado.isEmpty()) archivado = QDir(carpetaLogs).absoluteFilePath(archivado);
      e.rutaLog = archivado;
      Inserta(*db_, e, QString(), LogComprimido(archivado));
    }
    db_->Commit();
  } catch (const DbError&) {
    if (db_->EnTransaccion()) db_->Rollback();
    vieja.reset();
    QFile::rename(tomado, anterior);  // taken in by a later run
    throw;
  }
}

qint64 Historial::Anota(EjecucionHistorial& e) {
  e.maquina = QSysInfo::machineHostName();
  e.proceso = QCoreApplication::applicationPid();
  e.id = Inserta(*db_, e, ArranqueActual(), Valor());
  return e.id;
}

void Historial::Termina(const EjecucionHistorial& e) {
  const auto cuenta = [&](int imports::Recuento::*campo) {
    return e.recuento ? Valor((*e.recuento).*campo) : Valor();
  };
  db_->Ejecuta(QStringLiteral("UPDATE EJECUCIONES SET FIN = ?, RESULTADO = ?, LINEAS = ?, "
                              "LINEA_APLICADA = ?, ALTAS = ?, MODIFICACIONES = ?, BAJAS = ?, "
                              "RECHAZADAS = ?, LOG = ? WHERE ID = ?"),
               {Instante(e.fin), Texto(e.resultado), Valor(e.lineas), Opcional(e.lineaAplicada),
                cuenta(&imports::Recuento::altas), cuenta(&imports::Recuento::modificaciones),
                cuenta(&imports::Recuento::bajas), cuenta(&imports::Recuento::rechazadas),
                LogComprimido(e.rutaLog), Valor(e.id)});
}

void Historial::AnotaRevision(qint64 id, const QString& revision) {
  db_->Ejecuta(QStringLiteral("UPDATE EJECUCIONES SET REVISION = ? WHERE ID = ?"),
               {Texto(revision), Valor(id)});
}

QString Historial::TextoRevision(qint64 id) {
  const Valor v =
      db_->Escalar(QStringLiteral("SELECT REVISION FROM EJECUCIONES WHERE ID = ?"), {Valor(id)});
  return v.EsNull() ? QString() : v.Texto();
}

void Historial::AnotaAlbaran(qint64 id, const QString& numero) {
  db_->Ejecuta(QStringLiteral("UPDATE EJECUCIONES SET ALBARAN = ? WHERE ID = ?"),
               {Texto(numero), Valor(id)});
}

void Historial::MarcaInterrumpidas() {
  const QString maquina = QSysInfo::machineHostName();
  const QString arranque = ArranqueActual();
  struct Parada {
    qint64 id;
    QDateTime inicio;
    bool simulacion;
    QString rutaLog;
  };
  std::vector<Parada> paradas;
  {
    store::Filas q =
        db_->Consulta(QStringLiteral("SELECT ID, INICIO, SIMULACION, ARRANQUE, PROCESO, RUTA_LOG "
                                     "FROM EJECUCIONES WHERE RESULTADO = ? AND MAQUINA = ?"),
                      {Valor(r::kEnCurso), Valor(maquina)});
    while (q.Siguiente())
      if (q.Columna(3).toString() != arranque || !ProcesoVivo(q.Columna(4).toLongLong()))
        paradas.push_back({q.Columna(0).toLongLong(), LeeInstante(q.Columna(1)),
                           q.Columna(2).toInt() != 0, q.Columna(5).toString()});
  }
  for (const Parada& p : paradas) {
    // The log file is the run's own unless a later run of this machine wrote it again.
    QByteArray log;
    const bool reescrito =
        !p.rutaLog.isEmpty() &&
        db_->Escalar(QStringLiteral("SELECT COUNT(*) FROM EJECUCIONES WHERE MAQUINA = ? AND "
                                    "RUTA_LOG = ? AND ID > ?"),
                     {Valor(maquina), Valor(p.rutaLog), Valor(p.id)})
                .Numero() != 0;
    if (!reescrito && QFileInfo(p.rutaLog).lastModified() >= p.inicio.addSecs(-1))
      log = LeeFichero(p.rutaLog);
    const int linea = LineaAplicadaSegunLog(QString::fromUtf8(log));
    db_->Ejecuta(QStringLiteral("UPDATE EJECUCIONES SET RESULTADO = ?, LINEA_APLICADA = ?, "
                                "LOG = ? WHERE ID = ? AND RESULTADO = ?"),
                 {Valor(r::kInterrumpida), p.simulacion ? Valor() : Valor(linea), Comprime(log),
                  Valor(p.id), Valor(r::kEnCurso)});
  }
}

std::vector<EjecucionHistorial> Historial::Filas(const QString& condicion,
                                                 const std::vector<Valor>& parametros, int limite) {
  store::Filas q =
      db_->Consulta(QString::fromLatin1(kColumnas) +
                        (condicion.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condicion) +
                        QStringLiteral(" ORDER BY INICIO DESC, ID DESC"),
                    parametros);
  std::vector<EjecucionHistorial> filas;
  while ((limite <= 0 || static_cast<int>(filas.size()) < limite) && q.Siguiente())
    filas.push_back(Fila(q));
  return filas;
}

std::optional<EjecucionHistorial> Historial::UltimaCompleta(const QString& empresa,
                                                            const QString& clase,
                                                            const QString& sha256) {
  auto filas = Filas(QStringLiteral("EMPRESA = ? AND CLASE = ? AND SHA256 = ? AND SIMULACION = 0 "
                                    "AND RESULTADO = ?"),
                     {Valor(empresa), Valor(clase), Valor(sha256), Valor(r::kCompleta)}, 1);
  if (filas.empty()) return std::nullopt;
  // A run undone whole has left nothing of the file applied.
  if (const auto d = Deshecha(filas.front().id); d && d->estado == r::kDeshecha)
    return std::nullopt;
  return filas.front();
}

QDate Historial::FechaMasReciente(const QString& empresa, const QString& clase) {
  const Valor v =
      db_->Escalar(QStringLiteral("SELECT MAX(FECHA_FICHERO) FROM EJECUCIONES WHERE EMPRESA = ? "
                                  "AND CLASE = ? AND SIMULACION = 0 AND RESULTADO = ?"),
                   {Valor(empresa), Valor(clase), Valor(r::kCompleta)});
  return v.EsFecha() ? v.Fecha() : QDate::fromString(v.Texto(), Qt::ISODate);
}

std::vector<EjecucionHistorial> Historial::Lista(const FiltroHistorial& filtro) {
  QStringList condiciones;
  std::vector<Valor> parametros;
  if (!filtro.empresa.isEmpty()) {
    condiciones << QStringLiteral("EMPRESA = ?");
    parametros.emplace_back(filtro.empresa);
  }
  if (!filtro.clase.isEmpty()) {
    condiciones << QStringLiteral("CLASE = ?");
    parametros.emplace_back(filtro.clase);
  }
  auto filas = Filas(condiciones.join(QStringLiteral(" AND ")), parametros, filtro.limite);
  for (EjecucionHistorial& e : filas) ConDeshacer(e);
  return filas;
}

std::optional<EjecucionHistorial> Historial::Lee(qint64 id) {
  auto filas = Filas(QStringLiteral("ID = ?"), {Valor(id)}, 1);
  if (filas.empty()) return std::nullopt;
  ConDeshacer(filas.front());
  return filas.front();
}

QString Historial::Log(qint64 id) {
  const Valor v =
      db_->Escalar(QStringLiteral("SELECT LOG FROM EJECUCIONES WHERE ID = ?"), {Valor(id)});
  if (v.EsNull()) return {};
  return QString::fromUtf8(BytesDeTextoComprimido(v.Texto()));
}

void Historial::AnotaDeshecha(qint64 id, qint64 deshace, const QString& estado) {
  db_->Ejecuta(
      QStringLiteral("INSERT INTO DESHECHAS (EJECUCION, DESHACE, ESTADO) VALUES (?, ?, ?)"),
      {Valor(id), Valor(deshace), Valor(estado)});
}

std::optional<EstadoDeshecha> Historial::Deshecha(qint64 id) {
  std::vector<EstadoDeshecha> filas;
  {
    store::Filas q = db_->Consulta(QStringLiteral("SELECT DESHACE, ESTADO FROM DESHECHAS WHERE "
                                                  "EJECUCION = ? ORDER BY ID DESC"),
                                   {Valor(id)});
    while (q.Siguiente()) filas.push_back({q.Columna(0).toLongLong(), q.Columna(1).toString()});
  }
  // An undo that was itself undone whole no longer counts: what it put back is gone again.
  for (const EstadoDeshecha& d : filas) {
    const auto suya = Deshecha(d.por);
    if (!suya || suya->estado != resultado_historial::kDeshecha) return d;
  }
  return std::nullopt;
}

void Historial::ConDeshacer(EjecucionHistorial& e) {
  if (const auto d = Deshecha(e.id)) e.deshecha = d->estado;
  e.deshace = Deshace(e.id);
}

qint64 Historial::Deshace(qint64 id) {
  const Valor v = db_->Escalar(
      QStringLiteral("SELECT MAX(EJECUCION) FROM DESHECHAS WHERE DESHACE = ?"), {Valor(id)});
  return v.EsNull() ? 0 : static_cast<qint64>(v.Numero());
}

int LineaAplicadaSegunLog(const QString& log) {
  static const QRegularExpression cierre(
      QStringLiteral("tiene aplicado el fichero hasta la línea (\\d+)\\."));
  static const QRegularExpression leyendo(QStringLiteral("^\\s*Leyendo [^:\\r\\n]*: (\\d+)\\s*$"),
                                          QRegularExpression::MultilineOption);
  int linea = 0;
  for (const auto* patron : {&cierre, &leyendo}) {
    for (auto it = patron->globalMatch(log); it.hasNext();) linea = it.next().captured(1).toInt();
    if (linea > 0) return linea;
  }
  return linea;
}

}  // namespace relvano
