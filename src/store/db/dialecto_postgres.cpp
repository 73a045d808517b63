// PostgreSQL through Qt's own driver: a database server holds the suite's databases, each
// file standing for the database named by its base name in lower case, after the prefix
// of the shop. Names written unquoted are kept in lower case by the server.
#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include "store/db/dialecto.h"
#include "store/db/sentencia.h"

namespace relvano::store {

namespace {

// SQLSTATE of a lock not obtained within lock_timeout, and of a deadlock the server broke.
const QString kBloqueoNoObtenido = QStringLiteral("55P03");
const QString kInterbloqueo = QStringLiteral("40P01");

// How long connecting may take when the connection string does not say (connect_timeout).
constexpr int kEsperaConexionS = 10;

// One item of a connection string, and where it lies in the text: [inicio, fin) the whole
// item, [inicioValor, fin) its value as written (quotes included).
struct Parametro {
  QString clave;
  QString valor;
  qsizetype inicio = 0;
  qsizetype inicioValor = 0;
  qsizetype fin = 0;
};

// The connection string read as the server's client library reads it: "clave = valor"
// items separated by blanks, a value either quoted with '...' or running to the next
// blank, a backslash taking the next character as it is. A missing "=" or closing quote
// ends the item where the text does (the library then refuses the string; hiding the
// password must still work).
std::vector<Parametro> LeeConexion(const QString& t) {
  std::vector<Parametro> items;
  const qsizetype n = t.size();
  qsizetype i = 0;
  const auto saltaBlancos = [&] {
    while (i < n && t[i].isSpace()) ++i;
  };
  for (saltaBlancos(); i < n; saltaBlancos()) {
    Parametro p;
    p.inicio = i;
    while (i < n && !t[i].isSpace() && t[i] != u'=') p.clave += t[i++];
    saltaBlancos();
    if (i < n && t[i] == u'=') {
      ++i;
      saltaBlancos();
    }
    p.inicioValor = i;
    const bool comillas = i < n && t[i] == u'\'';
    if (comillas) ++i;
    while (i < n && (comillas ? t[i] != u'\'' : !t[i].isSpace())) {
      if (t[i] == u'\\' && i + 1 < n) ++i;
      p.valor += t[i++];
    }
    if (comillas && i < n) ++i;
    p.fin = i;
    items.push_back(std::move(p));
  }
  return items;
}

bool EsClave(const Parametro& p) {
  return p.clave.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0;
}

// The value of `clave` in the connection string; the last one counts, as for the library.
std::optional<QString> ValorConexion(const QString& conexion, QLatin1String clave) {
  std::optional<QString> valor;
  for (const Parametro& p : LeeConexion(conexion))
    if (p.clave == clave) valor = p.valor;
  return valor;
}

// Where the server is, as the operator is told: "host:puerto", or the folder of its socket.
QString Lugar(const QString& conexion) {
  QString lugar = ValorConexion(conexion, QLatin1String("host"))
                      .value_or(ValorConexion(conexion, QLatin1String("hostaddr"))
                                    .value_or(QStringLiteral("localhost")));
  if (const auto puerto = ValorConexion(conexion, QLatin1String("port"))) lugar += u':' + *puerto;
  return lugar;
}

// The seconds connecting may take: connect_timeout when the string gives it.
int EsperaConexionS(const QString& conexion) {
  bool ok = false;
  const int s =
      ValorConexion(conexion, QLatin1String("connect_timeout")).value_or(QString()).toInt(&ok);
  return ok && s > 0 ? s : kEsperaConexionS;
}

// What the driver is given: the settings' string, bounded in time when it is not.
QString ConexionAcotada(const QString& conexion) {
  if (ValorConexion(conexion, QLatin1String("connect_timeout"))) return conexion;
  return conexion + QStringLiteral(" connect_timeout=") + QString::number(kEsperaConexionS);
}

// Qt's driver prints on standard error what it could not do after the server went away
// ("Unable to free statement: ...", "QSqlQuery::exec: database not open"), one line per
// statement it held: the program reports the failure itself, once. Every other message
// goes on to where it went before.
QtMessageHandler avisoPrevio = nullptr;

void FiltraAvisosDelDriver(QtMsgType tipo, const QMessageLogContext& contexto,
                           const QString& texto) {
  if (tipo == QtWarningMsg &&
      (texto.startsWith(QLatin1String("Unable to free statement")) ||
       texto.startsWith(QLatin1String("QPSQL")) || texto.startsWith(QLatin1String("QSqlQuery::"))))
    return;
  avisoPrevio(tipo, contexto, texto);
}

void SilenciaAvisosDelDriver() {
  static std::once_flag una;
  std::call_once(una, [] { avisoPrevio = qInstallMessageHandler(FiltraAvisosDelDriver); });
}

// The client library's function giving a connection's socket, from the library the
// driver has loaded; nullptr when it cannot be found.
using FuncionSocket = int (*)(void*);
FuncionSocket PQsocket() {
  static const FuncionSocket f = [] {
    QLibrary biblioteca(QStringLiteral("pq"), 5);
    if (auto f = reinterpret_cast<FuncionSocket>(biblioteca.resolve("PQsocket"))) return f;
    biblioteca.setFileName(QStringLiteral("libpq"));
    return reinterpret_cast<FuncionSocket>(biblioteca.resolve("PQsocket"));
  }();
  return f;
}

// Neither the server's own timeouts (statement_timeout, a stopped server does not run
// them) nor TCP's keepalives (the server's system answers them for a stopped process)
// end a wait for a server that stopped answering: a thread of the program watches the
// wait, and past its bound shuts the connection's socket, which ends the wait at once
// with an error (and makes every later statement on it fail at once). The server undoes
// the open transaction when it finds the connection gone.
class VigilanteSocket final : public Vigilante {
 public:
  VigilanteSocket(int socket, std::chrono::milliseconds limite)
      : socket_(socket),
        limite_(std::max(limite, std::chrono::milliseconds(1))),
        hilo_([this](std::stop_token fin) { Vigila(fin); }) {}

  // Around every statement: neither a lock nor a wake-up of the watching thread, whose
  // switch in and out per statement cost more than a statement's own work on the program's
  // side. The thread wakes by itself, at the latest a bound after it last looked, which is
  // never later than the bound of a statement armed since.
  void Arma() override {
    plazo_.store((Reloj::now() + limite_).time_since_epoch().count());
    armado_.fetch_add(1);
  }
  void Desarma() override { armado_.fetch_sub(1); }
  bool Disparado() const override { return disparado_.load(); }
  qint64 LimiteMs() const override { return limite_.count(); }

 private:
  using Reloj = std::chrono::steady_clock;

  void Vigila(std::stop_token fin) {
    std::mutex m;
    std::unique_lock l(m);
    const auto nunca = [] { return false; };  // only the time or the stop ends a wait
    Reloj::time_point hasta = Reloj::now() + limite_;
    while (!fin.stop_requested()) {
      despierta_.wait_until(l, fin, hasta, nunca);
      if (fin.stop_requested()) return;
      const Reloj::time_point ahora = Reloj::now();
      if (armado_.load() == 0) {
        hasta = ahora + limite_;
        continue;
      }
      hasta = Reloj::time_point(Reloj::duration(plazo_.load()));
      if (ahora < hasta) continue;
      disparado_.store(true);
#ifdef Q_OS_WIN
      ::shutdown(static_cast<SOCKET>(socket_), SD_BOTH);
#else
      ::shutdown(socket_, SHUT_RDWR);
#endif
      despierta_.wait(l, fin, nunca);  // every later statement fails at once: nothing to watch
    }
  }

  const int socket_;
  const std::chrono::milliseconds limite_;
  std::condition_variable_any despierta_;  // only the stop wakes it before its time
  std::atomic<int> armado_ = 0;
  std::atomic<Reloj::rep> plazo_ = 0;  // the bound of the statement armed last
  std::atomic<bool> disparado_ = false;
  std::jthread hilo_;  // last: stopped and joined before the rest goes
};

std::unique_ptr<Vigilante> VigilaConexion(QSqlDatabase& db, const OpcionesConexion& opciones) {
  const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
  const FuncionSocket socket = PQsocket();
  // The driver's handle is the client library's connection (its type named either way).
  const char* tipo = handle.typeName();
  if (!socket || !tipo || (qstrcmp(tipo, "PGconn*") != 0 && qstrcmp(tipo, "pg_conn*") != 0))
    return nullptr;
  const int s = socket(*static_cast<void* const*>(handle.constData()));
  if (s < 0) return nullptr;
  return std::make_unique<VigilanteSocket>(
      s, std::chrono::milliseconds(opciones.esperaBloqueoMs + opciones.esperaServidorMs));
}

// Opens `db` on the server; false with `error` set, saying when the server did not answer
// within the time connecting may take.
bool AbreEnServidor(QSqlDatabase& db, const OpcionesConexion& opciones, QString* error) {
  SilenciaAvisosDelDriver();
  db.setConnectOptions(ConexionAcotada(opciones.servidor));
  if (!opciones.clave.isEmpty()) db.setPassword(opciones.clave);
  QElapsedTimer reloj;
  reloj.start();
  if (db.open()) return true;
  if (!error) return false;
  const int espera = EsperaConexionS(opciones.servidor);
  if (reloj.elapsed() >= espera * 900)
    *error = QStringLiteral(
                 "El servidor de base de datos no responde (%1): no ha contestado en %2 s al "
                 "conectar. Compruebe que está en marcha y lo que dice SERVIDOR en [BDD] de "
                 "RELVANO.ini.")
                 .arg(Lugar(opciones.servidor))
                 .arg(espera);
  else
    *error =
        QStringLiteral(
            "No se puede conectar con el servidor de bases de datos (%1). "
            "Compruebe que está en marcha y lo que dice SERVIDOR en [BDD] de "
            "RELVANO.ini: %2")
            .arg(ConexionVisible(opciones.servidor), DialectoPostgres().TextoError(db.lastError()));
  return false;
}

// Runs `trabajo` on a connection of its own to the server's maintenance database, which
// every server has: to ask for a database or create one. False with `error` set when the
// server cannot be reached.
bool EnServidor(const OpcionesConexion& opciones, QString* error,
                const std::function<bool(QSqlDatabase&)>& trabajo) {
  static QAtomicInteger<quint64> contador;
  const QString nombre = QStringLiteral("relvano-servidor-%1").arg(contador.fetchAndAddRelaxed(1));
  bool hecho = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nombre);
    db.setDatabaseName(QStringLiteral("postgres"));
    if (AbreEnServidor(db, opciones, error)) {
      const auto vigilante = VigilaConexion(db, opciones);
      if (vigilante) vigilante->Arma();
      hecho = trabajo(db);
      if (vigilante && vigilante->Disparado()) {
        hecho = false;
        if (error)
          *error = QStringLiteral(
                       "El servidor de base de datos no responde (%1): no ha "
                       "contestado en %2 s.")
                       .arg(Lugar(opciones.servidor))
                       .arg((vigilante->LimiteMs() + 999) / 1000);
      }
      db.close();
      if (vigilante) vigilante->Desarma();
    }
  }
  QSqlDatabase::removeDatabase(nombre);
  return hecho;
}

QString Ejecuta(QSqlDatabase& db, const QString& sql, const QVariantList& parametros, bool* ok,
                QSqlQuery* resultado = nullptr) {
  QSqlQuery q(db);
  q.setForwardOnly(true);
  if (parametros.isEmpty()) {
    *ok = q.exec(sql);  // a statement the server does not prepare (CREATE DATABASE)
  } else {
    *ok = q.prepare(sql);
    for (int i = 0; *ok && i < parametros.size(); ++i) q.bindValue(i, parametros[i]);
    if (*ok) *ok = q.exec();
  }
  if (!*ok) return DialectoPostgres().TextoError(q.lastError());
  if (resultado) *resultado = std::move(q);
  return {};
}

class Postgres final : public Dialecto {
 public:
  QString Driver() const override { return QStringLiteral("QPSQL"); }

  bool Conecta(QSqlDatabase& db, const QString& ruta, const OpcionesConexion& opciones,
               QString* error) const override {
    db.setDatabaseName(NombreEnServidor(ruta, opciones));
    // The driver adds the settings' string to its own: host, port, user, ...
    if (!AbreEnServidor(db, opciones, error)) return false;
    QSqlQuery q(db);
    // The server's notices and warnings are not the operator's business: the driver
    // would print them on the standard error.
    for (const QString& sql :
         {QStringLiteral("SET client_min_messages = error"), Espera(opciones.esperaBloqueoMs)}) {
      if (!q.exec(sql)) {
        if (error) *error = TextoError(q.lastError());
        return false;
      }
    }
    return true;
  }

  bool Existe(const QString& ruta, const OpcionesConexion& opciones,
              QString* error) const override {
    bool existe = false;
    const bool preguntado = EnServidor(opciones, error, [&](QSqlDatabase& db) {
      bool ok = false;
      QSqlQuery q;
      const QString fallo =
          Ejecuta(db, QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"),
                  {NombreEnServidor(ruta, opciones)}, &ok, &q);
      if (!ok) {
        if (error) *error = fallo;
        return false;
      }
      existe = q.next();
      return true;
    });
    return preguntado && existe;
  }

  bool CreaVacia(const QString& ruta, const OpcionesConexion& opciones,
                 QString* error) const override {
    const QString nombre = NombreEnServidor(ruta, opciones);
    QString fallo;
    if (Existe(ruta, opciones, &fallo)) {
      if (error)
        *error = QStringLiteral("La base de datos %1 ya existe en el servidor").arg(nombre);
      return false;
    }
    if (!fallo.isEmpty()) {
      if (error) *error = fallo;
      return false;
    }
    return EnServidor(opciones, error, [&](QSqlDatabase& db) {
      // CREATE DATABASE takes no parameters: the name is the prefix of the settings and
      // the file's base name, quoted as an identifier.
      bool ok = false;
      fallo = Ejecuta(db,
                      QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0")
                          .arg(Identificador(nombre)),
                      {}, &ok);
      if (!ok && error) *error = fallo;
      return ok;
    });
  }

  std::unique_ptr<Vigilante> Vigila(QSqlDatabase& db,
                                    const OpcionesConexion& opciones) const override {
    return VigilaConexion(db, opciones);
  }

  // The server's own message (its first line, without the severity the client library
  // puts before it) and its SQLSTATE; the driver's words only when the server said
  // nothing.
  QString TextoError(const QSqlError& e) const override {
    static const QRegularExpression gravedad(QStringLiteral(R"(^\p{Lu}+:\s+)"));
    const QString codigo = e.nativeErrorCode();
    QString texto = e.databaseText().trimmed();
    if (!codigo.isEmpty() && texto.endsWith(u'(' + codigo + u')')) texto.chop(codigo.size() + 2);
    QString mensaje = texto.section(u'\n', 0, 0).trimmed().remove(gravedad);
    if (mensaje.isEmpty()) mensaje = e.driverText().remove(QStringLiteral("QPSQL: ")).trimmed();
    if (mensaje.isEmpty()) mensaje = QStringLiteral("el servidor no ha dado ninguna explicación");
    return codigo.isEmpty() ? mensaje : mensaje + QStringLiteral(" (") + codigo + u')';
  }

  QString Describe(const QString& ruta, const OpcionesConexion& opciones) const override {
    return QStringLiteral("%1 en %2")
        .arg(NombreEnServidor(ruta, opciones), Lugar(opciones.servidor));
  }

  QString Identificador(const QString& nombre) const override {
    return Dialecto::Identificador(nombre.toLower());
  }

  QString SqlTablas() const override {
    return QStringLiteral(
        "SELECT table_name FROM information_schema.tables WHERE table_schema "
        "= current_schema() ORDER BY table_name");
  }

  InfoTabla LeeTabla(Database& db, QSqlDatabase&, const QString& tabla) const override {
    InfoTabla t;
    t.nombre = tabla;
    Filas columnas = db.Consulta(
        QStringLiteral("SELECT column_name, column_default, data_type FROM "
                       "information_schema.columns WHERE table_schema = current_schema() AND "
                       "table_name = ? ORDER BY ordinal_position"),
        {Valor(tabla)});
    while (columnas.Siguiente()) {
      t.columnas << columnas.Columna(0).toString();
      t.defectos.push_back(DefectoColumna(columnas.Columna(1), columnas.Columna(2).toString()));
    }
    Filas clave = db.Consulta(
        QStringLiteral("SELECT k.column_name FROM information_schema.table_constraints c JOIN "
                       "information_schema.key_column_usage k ON k.constraint_name = "
                       "c.constraint_name AND k.table_schema = c.table_schema AND k.table_name = "
                       "c.table_name WHERE c.constraint_type = 'PRIMARY KEY' AND c.table_schema = "
                       "current_schema() AND c.table_name = ? ORDER BY k.ordinal_position"),
        {Valor(tabla)});
    while (clave.Siguiente()) t.clave << clave.Columna(0).toString();
    t.tieneRowid = true;  // ctid
    return t;
  }

  // A row's place in the table: it changes when the row is edited, and the UPDATE gives
  // the new one back.
  QString ColumnaFila() const override { return QStringLiteral("ctid"); }
  bool FilaCambiaAlEditar() const override { return true; }
  QString Retorno(const QString& columna) const override {
    return QStringLiteral(" RETURNING ") + columna;
  }
  bool JuntaControles() const override { return true; }
  std::unique_ptr<Sentencia> Prepara(QSqlDatabase& db, const QString& sql,
                                     QSqlError* error) const override {
    return PreparaPostgres(db, sql, error);
  }
  // SET takes no parameters; the value is a number the program computed.
  QString Espera(qint64 ms) const override {
    return QStringLiteral("SET lock_timeout = ") + QString::number(ms);
  }
  // A flag may be a number or a boolean; both turn into a number.
  QString Activo(const QString& columna) const override {
    return QStringLiteral("CAST(%1 AS INTEGER) <> 0").arg(columna);
  }

  bool EsBloqueo(const QSqlError& e) const override {
    return e.nativeErrorCode() == kBloqueoNoObtenido || e.nativeErrorCode() == kInterbloqueo;
  }

  // The schema files are written for SQLite: its 8-byte REAL is the server's DOUBLE
  // PRECISION, its INTEGER holds 8 bytes, and a key that numbers new rows by itself is an
  // identity column.
  QString Esquema(const QString& sqlite) const override {
    static const QRegularExpression identidad(
        QStringLiteral(R"(\bINTEGER\s+PRIMARY\s+KEY(\s+AUTOINCREMENT)?\b)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression real(QStringLiteral(R"(\bREAL\b)"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression entero(QStringLiteral(R"(\bINTEGER\b)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString s = sqlite;
    s.replace(identidad, QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
    s.replace(real, QStringLiteral("DOUBLE PRECISION"));
    s.replace(entero, QStringLiteral("BIGINT"));
    return s;
  }
};

}  // namespace

const Dialecto& DialectoPostgres() {
  static const Postgres dialecto;
  return dialecto;
}

QString NombreEnServidor(const QString& ruta, const OpcionesConexion& opciones) {
  // The server keeps an unquoted name in lower case: the prefix too, whatever its spelling
  // in the settings, so that the name created and the name connected to are one.
  return (opciones.prefijo + QFileInfo(ruta).completeBaseName()).toLower();
}

QString ConexionVisible(const QString& conexion) {
  QString visible = conexion;
  const auto items = LeeConexion(conexion);
  for (auto p = items.rbegin(); p != items.rend(); ++p)
    if (EsClave(*p))
      visible.replace(p->inicioValor, p->fin - p->inicioValor, QStringLiteral("***"));
  return visible;
}

QString ConexionSinClave(const QString& conexion, bool* habia) {
  QString sin = conexion;
  const auto items = LeeConexion(conexion);
  if (habia) *habia = std::any_of(items.begin(), items.end(), EsClave);
  // Each password item goes with the blanks after it, up to the next item.
  for (size_t i = items.size(); i-- > 0;)
    if (EsClave(items[i]))
      sin.remove(items[i].inicio,
                 (i + 1 < items.size() ? items[i + 1].inicio : sin.size()) - items[i].inicio);
  return sin.trimmed();
}

}  // namespace relvano::store
