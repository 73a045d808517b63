// ODBC: the suite's own databases (Access files, SQL Server) through the driver the
// connection string names. Only what every driver answers is asked of it.
#include <QFile>
#include <QFileInfo>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

#include "store/db/dialecto.h"

namespace relvano::store {

namespace {

class Odbc final : public Dialecto {
 public:
  QString Driver() const override { return QStringLiteral("QODBC"); }

  bool Conecta(QSqlDatabase& db, const QString& ruta, const OpcionesConexion& opciones,
               QString* error) const override {
    QString cadena = opciones.conexionOdbc;
    cadena.replace(QLatin1String("{ruta}"), ruta).replace(QLatin1String("{clave}"), opciones.clave);
    db.setDatabaseName(cadena);
    if (!db.open()) {
      if (error) *error = db.lastError().text();
      return false;
    }
    return true;
  }

  bool Existe(const QString& ruta, const OpcionesConexion&, QString*) const override {
    return QFileInfo(ruta).isFile();
  }

  // A new database is an empty file that the driver fills (the SQLite driver does).
  bool CreaVacia(const QString& ruta, const OpcionesConexion& opciones,
                 QString* error) const override {
    return DialectoSqlite().CreaVacia(ruta, opciones, error);
  }

  QStringList Tablas(Database&, QSqlDatabase& conexion) const override {
    QStringList tablas = conexion.tables(QSql::Tables) + conexion.tables(QSql::Views);
    tablas.sort(Qt::CaseInsensitive);
    return tablas;
  }

  InfoTabla LeeTabla(Database&, QSqlDatabase& conexion, const QString& tabla) const override {
    InfoTabla t;
    t.nombre = tabla;
    const QSqlRecord r = conexion.record(tabla);
    for (int i = 0; i < r.count(); ++i) {
      const QSqlField campo = r.field(i);
      t.columnas << campo.name();
      // The driver gives a default as the catalogue writes it, when it gives one.
      const int tipo = campo.metaType().id();
      const bool texto = tipo == QMetaType::QString || tipo == QMetaType::QByteArray;
      t.defectos.push_back(DefectoColumna(
          campo.defaultValue(), texto ? QStringLiteral("TEXT") : QStringLiteral("NUMERIC")));
    }
    const QSqlIndex pk = conexion.primaryIndex(tabla);
    for (int i = 0; i < pk.count(); ++i) t.clave << pk.fieldName(i);
    return t;
  }

  // Not every engine behind ODBC takes LIMIT; the program reads the first row itself.
  QString Limita(const QString& sql, int) const override { return sql; }

  bool EsBloqueo(const QSqlError& e) const override {
    return DialectoSqlite().EsBloqueo(e) || e.nativeErrorCode().contains(QLatin1String("55P03"));
  }
};

}  // namespace

const Dialecto& DialectoOdbc() {
  static const Odbc dialecto;
  return dialecto;
}

}  // namespace relvano::store
