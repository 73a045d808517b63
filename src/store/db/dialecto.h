#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <memory>

#include "store/db/database.h"

namespace relvano::store {

// What differs from one database engine to another, and nothing else: the program's
// statements are written once, in the SQL every engine takes (names unquoted and in upper
// case, values as "?" parameters); the rest of the layer asks its engine's dialect for the
// parts no common SQL covers. One unit per engine: dialecto_sqlite.cpp,
// dialecto_postgres.cpp, dialecto_odbc.cpp.
class Dialecto {
 public:
  virtual ~Dialecto() = default;

  // The dialect of `motor`; lives as long as the program.
  static const Dialecto& De(Motor motor);

  // Connects `db` (already given its driver by the caller, named by Driver()) to the
  // database of `ruta`, and sets up the session: the bounded wait for other programs
  // and the engine's settings of this connection. False with `error` set when the
  // database is missing or cannot be opened.
  virtual QString Driver() const = 0;
  virtual bool Conecta(QSqlDatabase& db, const QString& ruta, const OpcionesConexion& opciones,
                       QString* error) const = 0;
  // True when the database of `ruta` exists (a file, or a database on the server).
  // False with `error` set when that cannot be found out (the server does not answer).
  virtual bool Existe(const QString& ruta, const OpcionesConexion& opciones,
                      QString* error) const = 0;
  // Creates the empty database of `ruta`; refuses one that exists.
  virtual bool CreaVacia(const QString& ruta, const OpcionesConexion& opciones,
                         QString* error) const = 0;
  // What bounds the wait for the answer of the server `db` is connected to; nullptr when
  // the engine has no server to wait for.
  virtual std::unique_ptr<Vigilante> Vigila(QSqlDatabase& db,
                                            const OpcionesConexion& opciones) const {
    (void)db;
    (void)opciones;
    return nullptr;
  }
  // The text of a failed statement's error as the operator reads it: one line.
  virtual QString TextoError(const QSqlError& e) const { return e.text(); }
  // How the operator is told which database `ruta` is.
  virtual QString Describe(const QString& ruta, const OpcionesConexion& opciones) const {
    (void)opciones;
    return ruta;
  }

  // A name as the layer writes it in the statements it builds (the INSERT and UPDATE of a
  // recordset): quoted, and spelt as the engine keeps the same name written unquoted, so
  // that the program's own statements and the built ones reach the same column.
  virtual QString Identificador(const QString& nombre) const;

  // The tables and views of the database, as the engine spells them: by default, the
  // names SqlTablas() returns.
  virtual QStringList Tablas(Database& db, QSqlDatabase& conexion) const;
  virtual QString SqlTablas() const { return {}; }
  // Columns, defaults and key of `tabla`, which exists.
  virtual InfoTabla LeeTabla(Database& db, QSqlDatabase& conexion, const QString& tabla) const = 0;

  // The engine's identity of a row, for tables without a key ("" when there is none),
  // and whether an edit gives the row a new one (read back with Retorno()).
  virtual QString ColumnaFila() const { return {}; }
  virtual bool FilaCambiaAlEditar() const { return false; }
  // " RETURNING <columns>" for an INSERT or UPDATE that gives back what the engine set;
  // "" when the engine cannot (the identity of a new row is then asked to the driver).
  virtual QString Retorno(const QString& columna) const {
    (void)columna;
    return {};
  }
  // True when the driver answers for the identity of the row an INSERT has just added.
  virtual bool IdentidadDelDriver() const { return false; }

  // A prepared statement of `sql` on `db` (Qt's driver unless the engine has a path of its
  // own); null with `error` set when it cannot be prepared.
  virtual std::unique_ptr<Sentencia> Prepara(QSqlDatabase& db, const QString& sql,
                                             QSqlError* error) const;
  // True when every statement can be prepared; else those without parameters (SAVEPOINT,
  // COMMIT, ALTER TABLE, ...) are run as they are.
  virtual bool PreparaTodo() const { return false; }
  // True when control statements without parameters can travel together, separated by
  // ";", in one round trip.
  virtual bool JuntaControles() const { return false; }
  // The statement that starts a transaction, or "" for the driver's own start.
  virtual QString Comienzo() const { return {}; }
  // The statement that bounds this connection's wait for other programs to `ms`, or ""
  // when the engine has none. Set at Conecta; a transaction's BEGIN and COMMIT wait in
  // slices of it, so that the run in progress can be told.
  virtual QString Espera(qint64 ms) const {
    (void)ms;
    return {};
  }
  // `sql` limited to its first `filas` rows.
  virtual QString Limita(const QString& sql, int filas) const;
  // A condition true when `columna` (a flag: a number, or a boolean) is set.
  virtual QString Activo(const QString& columna) const;
  // True when `e` says that another program holds what the statement needed.
  virtual bool EsBloqueo(const QSqlError& e) const = 0;

  // The statement that copies the database into the SQLite file its one parameter names,
  // as of one moment; "" when the engine has none.
  virtual QString CopiaEnFichero() const { return {}; }

  // A schema file (written for SQLite) in this engine's terms.
  virtual QString Esquema(const QString& sqlite) const { return sqlite; }
};

// The dialect of each engine, in its own unit.
const Dialecto& DialectoSqlite();
const Dialecto& DialectoPostgres();
const Dialecto& DialectoOdbc();

// Reads a column default as the catalogue gives it (0, 1.5, 'EURO', '2.5'::text, NULL,
// CURRENT_DATE) for a column declared `tipo`: the value the engine stores in a new row;
// Null for an expression left to the engine.
Valor DefectoColumna(const QVariant& texto, const QString& tipo);

}  // namespace relvano::store
