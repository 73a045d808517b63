// SQLite: a database is a file of its own; the program's connection waits for other
// programs at BEGIN and COMMIT only (see Conecta).
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include "store/db/dialecto.h"
#include "store/db/sentencia.h"

namespace relvano::store {

namespace {

class Sqlite final : public Dialecto {
 public:
  QString Driver() const override { return QStringLiteral("QSQLITE"); }

  bool Conecta(QSqlDatabase& db, const QString& ruta, const OpcionesConexion& opciones,
               QString* error) const override {
    // SQLite would create a missing file; a missing database is an error here.
    if (!QFileInfo(ruta).isFile()) {
      if (error) *error = QStringLiteral("No existe el fichero %1").arg(ruta);
      return false;
    }
    AjustaMotorSqlite();
    db.setDatabaseName(ruta);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(opciones.esperaBloqueoMs));
    if (!db.open()) {
      if (error) *error = db.lastError().text();
      return false;
    }
    // Opening does not read the file; this does, and fails on a file that is not a database.
    // Then: a transaction's changes stay in memory until it commits. Written out earlier,
    // when the page cache fills, they would need the database to themselves in the middle
    // of the transaction: each such write waits for the other programs' reads up to the
    // busy timeout and, refused, is put off silently to the next, so that a long
    // transaction would wait as long as another program reads. Kept in memory, the only
    // waits are at BEGIN (for another writer) and at COMMIT (for the readers). A setting
    // of this connection only; the file is not changed. The threshold first: with only
    // the switch off, the engine would still search its list of changed pages for one to
    // write out at every page the cache grows by past its size. The cache is made room
    // for those changes too (16 MB, the engine's default is 2 MB): else they would push
    // the unchanged pages out of it, to be read again and again.
    QSqlQuery q(db);
    for (const char* sql : {"SELECT count(*) FROM sqlite_master", "PRAGMA cache_spill = 2147483647",
                            "PRAGMA cache_spill = OFF", "PRAGMA cache_size = -16384"}) {
      if (!q.exec(QString::fromLatin1(sql))) {
        if (error) *error = q.lastError().text();
        return false;
      }
    }
    return true;
  }

  bool Existe(const QString& ruta, const OpcionesConexion&, QString*) const override {
    return QFileInfo(ruta).isFile();
  }

  bool CreaVacia(const QString& ruta, const OpcionesConexion&, QString* error) const override {
    if (QFileInfo::exists(ruta)) {
      if (error) *error = QStringLiteral("El fichero %1 ya existe").arg(ruta);
      return false;
    }
    QFile nuevo(ruta);
    if (!nuevo.open(QIODevice::WriteOnly)) {
      if (error) *error = nuevo.errorString();
      return false;
    }
    return true;
  }

  QString SqlTablas() const override {
    return QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND "
        "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
  }

  InfoTabla LeeTabla(Database& db, QSqlDatabase& conexion, const QString& tabla) const override {
    InfoTabla t;
    t.nombre = tabla;
    // PRAGMA arguments cannot be bound; the name is one the catalogue gave, quoted as an
    // identifier.
    const QString nombre = Identificador(tabla);
    QSqlQuery q(conexion);
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(nombre)))
      Sentencias::Falla(db, q.lastError(), tabla);
    std::vector<std::pair<int, QString>> clave;
    while (q.next()) {
      t.columnas << q.value(1).toString();
      t.defectos.push_back(DefectoColumna(q.value(4), q.value(2).toString()));
      if (q.value(5).toInt() > 0) clave.emplace_back(q.value(5).toInt(), q.value(1).toString());
    }
    std::sort(clave.begin(), clave.end());
    for (const auto& [orden, col] : clave) t.clave << col;
    // Tables WITHOUT ROWID always have a key; the others answer to rowid.
    QSqlQuery w(conexion);
    t.tieneRowid = w.exec(QStringLiteral("SELECT rowid FROM %1 LIMIT 0").arg(nombre));
    return t;
  }

  QString ColumnaFila() const override { return QStringLiteral("rowid"); }
  bool PreparaTodo() const override { return true; }
  bool IdentidadDelDriver() const override { return true; }
  // The write lock at once, so that a database held by another program is reported at
  // the start of a transaction, not halfway through a line.
  QString Comienzo() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
  // PRAGMA arguments cannot be bound; the value is a number the program computed.
  QString Espera(qint64 ms) const override {
    return QStringLiteral("PRAGMA busy_timeout = ") + QString::number(ms);
  }
  // One read of the database: a copy as of one moment, whatever other programs write.
  QString CopiaEnFichero() const override { return QStringLiteral("VACUUM INTO ?"); }

  std::unique_ptr<Sentencia> Prepara(QSqlDatabase& db, const QString& sql,
                                     QSqlError* error) const override {
    return PreparaSqlite(db, sql, error);
  }

  bool EsBloqueo(const QSqlError& e) const override {
    const QString texto = e.databaseText();
    return e.nativeErrorCode() == QLatin1String("5") || e.nativeErrorCode() == QLatin1String("6") ||
           texto.contains(QLatin1String("database is locked")) ||
           texto.contains(QLatin1String("database table is locked"));
  }
};

}  // namespace

const Dialecto& DialectoSqlite() {
  static const Sqlite dialecto;
  return dialecto;
}

}  // namespace relvano::store
