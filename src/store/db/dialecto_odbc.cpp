// ODBC: the suite's own databases (Access files, SQL Server) through the driver the
// connection string names. Only what every driver answers is asked of it.
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

#include "store/db/dialecto.h"

namespace relvano::store {

namespace {

// Qt's driver does not pass on the column defaults the ODBC catalogue gives (SQLColumns,
// COLUMN_DEF): they are asked for here, through the driver manager Qt already uses,
// loaded at run time so that the program needs nothing more than Qt to build.
class CatalogoOdbc {
 public:
  static const CatalogoOdbc& Instancia() {
    static const CatalogoOdbc catalogo;
    return catalogo;
  }

  // COLUMN_NAME (upper case) -> {COLUMN_DEF, TYPE_NAME}; empty when the driver manager or
  // the driver cannot tell.
  QHash<QString, std::pair<QVariant, QString>> Defectos(QSqlDatabase& conexion,
                                                        const QString& tabla) const {
    QHash<QString, std::pair<QVariant, QString>> defectos;
    const QVariant v = conexion.driver()->handle();
    // The connection's handle (an HDBC), as Qt's ODBC driver hands it out.
    if (!disponible_ || !v.isValid() ||
        (qstrcmp(v.typeName(), "SQLHANDLE") != 0 && qstrcmp(v.typeName(), "void*") != 0))
      return defectos;
    void* conexionOdbc = *static_cast<void* const*>(v.constData());
    void* sentencia = nullptr;
    if (!Exito(alloc_(kHandleStmt, conexionOdbc, &sentencia))) return defectos;
    QByteArray nombre = tabla.toUtf8();
    if (Exito(columns_(sentencia, nullptr, 0, nullptr, 0,
                       reinterpret_cast<unsigned char*>(nombre.data()), kNts, nullptr, 0))) {
      while (Exito(fetch_(sentencia))) {
        // Columns are read in their order, as every driver allows: COLUMN_NAME, TYPE_NAME,
        // COLUMN_DEF.
        const QVariant columna = Texto(sentencia, 4);
        const QString tipo = Texto(sentencia, 6).toString();
        const QVariant defecto = Texto(sentencia, 13);
        if (columna.isValid()) defectos.insert(columna.toString().toUpper(), {defecto, tipo});
      }
    }
    free_(kHandleStmt, sentencia);
    return defectos;
  }

 private:
#ifdef Q_OS_WIN
#define RELVANO_ODBC_API __stdcall
#else
#define RELVANO_ODBC_API
#endif
  using Largo = qintptr;  // SQLLEN
  using Alloc = short(RELVANO_ODBC_API*)(short, void*, void**);
  using Free = short(RELVANO_ODBC_API*)(short, void*);
  using Columns = short(RELVANO_ODBC_API*)(void*, unsigned char*, short, unsigned char*, short,
                                           unsigned char*, short, unsigned char*, short);
  using Fetch = short(RELVANO_ODBC_API*)(void*);
  using GetData = short(RELVANO_ODBC_API*)(void*, unsigned short, short, void*, Largo, Largo*);
  static constexpr short kHandleStmt = 3;
  static constexpr short kNts = -3;
  static constexpr short kCChar = 1;
  static constexpr Largo kNullData = -1;

  CatalogoOdbc() {
#ifdef Q_OS_WIN
    QLibrary biblioteca(QStringLiteral("odbc32"));
#else
    QLibrary biblioteca(QStringLiteral("odbc"), 2);
#endif
    alloc_ = reinterpret_cast<Alloc>(biblioteca.resolve("SQLAllocHandle"));
    free_ = reinterpret_cast<Free>(biblioteca.resolve("SQLFreeHandle"));
    columns_ = reinterpret_cast<Columns>(biblioteca.resolve("SQLColumns"));
    fetch_ = reinterpret_cast<Fetch>(biblioteca.resolve("SQLFetch"));
    getData_ = reinterpret_cast<GetData>(biblioteca.resolve("SQLGetData"));
    disponible_ = alloc_ && free_ && columns_ && fetch_ && getData_;
  }
  static bool Exito(short r) { return r == 0 || r == 1; }  // SQL_SUCCESS(_WITH_INFO)
  // A text column of the current row; invalid when NULL.
  QVariant Texto(void* sentencia, unsigned short columna) const {
    char buffer[1024];
    Largo largo = 0;
    if (!Exito(getData_(sentencia, columna, kCChar, buffer, sizeof buffer, &largo)) ||
        largo == kNullData)
      return QVariant();
    const Largo n = std::clamp<Largo>(largo, 0, sizeof buffer - 1);
    return QString::fromUtf8(buffer, static_cast<qsizetype>(n));
  }

  bool disponible_ = false;
  Alloc alloc_ = nullptr;
  Free free_ = nullptr;
  Columns columns_ = nullptr;
  Fetch fetch_ = nullptr;
  GetData getData_ = nullptr;
};

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
    const auto catalogo = CatalogoOdbc::Instancia().Defectos(conexion, tabla);
    for (int i = 0; i < r.count(); ++i) {
      const QSqlField campo = r.field(i);
      t.columnas << campo.name();
      // A default as the catalogue writes it, when the driver gives one.
      const int tipo = campo.metaType().id();
      const bool texto = tipo == QMetaType::QString || tipo == QMetaType::QByteArray;
      const auto it = catalogo.constFind(campo.name().toUpper());
      const QVariant defecto = it != catalogo.constEnd() ? it->first : campo.defaultValue();
      const QString declarado = it != catalogo.constEnd() && !it->second.isEmpty()
                                    ? it->second
                                    : (texto ? QStringLiteral("TEXT") : QStringLiteral("NUMERIC"));
      t.defectos.push_back(DefectoColumna(defecto, declarado));
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
