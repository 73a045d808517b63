// PostgreSQL through Qt's own driver: a database server holds the suite's databases, each
// file standing for the database named by its base name in lower case, after the prefix
// of the shop. Names written unquoted are kept in lower case by the server.
#include <QAtomicInteger>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <functional>

#include "store/db/dialecto.h"

namespace relvano::store {

namespace {

// SQLSTATE of a lock not obtained within lock_timeout, and of a deadlock the server broke.
const QString kBloqueoNoObtenido = QStringLiteral("55P03");
const QString kInterbloqueo = QStringLiteral("40P01");

// The connection string as the operator may see it: a password written in it is hidden.
QString SinClave(QString conexion) {
  static const QRegularExpression clave(QStringLiteral(R"(\bpassword\s*=\s*('[^']*'|\S*))"),
                                        QRegularExpression::CaseInsensitiveOption);
  return conexion.replace(clave, QStringLiteral("password=***"));
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
    db.setConnectOptions(opciones.servidor);
    if (!opciones.clave.isEmpty()) db.setPassword(opciones.clave);
    if (!db.open()) {
      if (error)
        *error = QStringLiteral(
                     "No se puede conectar con el servidor de bases de datos (%1). "
                     "Compruebe que está en marcha y lo que dice SERVIDOR en [BDD] de "
                     "RELVANO.ini.\n%2")
                     .arg(SinClave(opciones.servidor), db.lastError().databaseText().trimmed());
    } else {
      hecho = trabajo(db);
      db.close();
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
  if (!*ok) return q.lastError().text();
  if (resultado) *resultado = std::move(q);
  return {};
}

class Postgres final : public Dialecto {
 public:
  QString Driver() const override { return QStringLiteral("QPSQL"); }

  bool Conecta(QSqlDatabase& db, const QString& ruta, const OpcionesConexion& opciones,
               QString* error) const override {
    db.setDatabaseName(NombreEnServidor(ruta, opciones));
    // The driver adds these to its own connection string: host, port, user, ...
    db.setConnectOptions(opciones.servidor);
    if (!opciones.clave.isEmpty()) db.setPassword(opciones.clave);
    if (!db.open()) {
      if (error) *error = db.lastError().text();
      return false;
    }
    QSqlQuery q(db);
    // The server's notices and warnings are not the operator's business: the driver
    // would print them on the standard error.
    for (const QString& sql :
         {QStringLiteral("SET client_min_messages = error"), Espera(opciones.esperaBloqueoMs)}) {
      if (!q.exec(sql)) {
        if (error) *error = q.lastError().text();
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

  QString Describe(const QString& ruta, const OpcionesConexion& opciones) const override {
    return QStringLiteral("%1 (base de datos %2 del servidor)")
        .arg(ruta, NombreEnServidor(ruta, opciones));
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
    QSqlQuery& columnas = db.Corre(
        QStringLiteral("SELECT column_name, column_default, data_type FROM "
                       "information_schema.columns WHERE table_schema = current_schema() AND "
                       "table_name = ? ORDER BY ordinal_position"),
        {Valor(tabla)});
    while (columnas.next()) {
      t.columnas << columnas.value(0).toString();
      t.defectos.push_back(DefectoColumna(columnas.value(1), columnas.value(2).toString()));
    }
    columnas.finish();
    QSqlQuery& clave = db.Corre(
        QStringLiteral("SELECT k.column_name FROM information_schema.table_constraints c JOIN "
                       "information_schema.key_column_usage k ON k.constraint_name = "
                       "c.constraint_name AND k.table_schema = c.table_schema AND k.table_name = "
                       "c.table_name WHERE c.constraint_type = 'PRIMARY KEY' AND c.table_schema = "
                       "current_schema() AND c.table_name = ? ORDER BY k.ordinal_position"),
        {Valor(tabla)});
    while (clave.next()) t.clave << clave.value(0).toString();
    clave.finish();
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
  return opciones.prefijo + QFileInfo(ruta).completeBaseName().toLower();
}

}  // namespace relvano::store
