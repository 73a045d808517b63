#pragma once

#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "base/valor.h"
#include "store/db/db_error.h"
#include "store/db/diario.h"

class QSqlError;

namespace relvano::store {

class Recordset;
class Dialecto;

// The engines the program reaches its databases through.
enum class Motor {
  Sqlite,    // a database file of its own
  Odbc,      // the suite's own databases, through an ODBC driver
  Postgres,  // a database server
};

// How databases are reached. Defaults: SQLite files.
struct OpcionesConexion {
  Motor motor = Motor::Sqlite;
  // ODBC: the connection string. "{ruta}" stands for the database file's full name and
  // "{clave}" for the database password.
  QString conexionOdbc;
  // PostgreSQL: the server's connection string without the database name
  // ("host=/run/postgresql port=5432 user=tienda"), and the prefix of the databases'
  // names, so that one server holds the databases of many shops. Each database file of
  // the suite is the database named by the file's base name in lower case, after the
  // prefix: CMC00100.MDB is "tienda017_cmc00100".
  QString servidor;
  QString prefijo;
  // Database password (never logged).
  QString clave;
  // How long a statement waits for another program that holds the database before
  // it fails with a clear error.
  int esperaBloqueoMs = 5000;
  // On a server: how long the server may take to answer a statement, beyond the wait
  // for other programs, before the connection is given up as "no responde".
  int esperaServidorMs = 30000;
};

// What stands between a statement and a server that stopped answering: armed while a
// statement waits for the server, it gives the connection up (every later statement on it
// fails at once) when the answer takes longer than its bound. Arm and Disarm nest; each
// Arm starts the bound again.
class Vigilante {
 public:
  virtual ~Vigilante() = default;
  virtual void Arma() = 0;
  virtual void Desarma() = 0;
  // True once the connection has been given up.
  virtual bool Disparado() const = 0;
  // The bound, in milliseconds.
  virtual qint64 LimiteMs() const = 0;
};

// What the layer knows about one table: its columns in order, their defaults and
// its primary key. Read once per connection.
struct InfoTabla {
  QString nombre;
  QStringList columnas;         // as the database spells them
  std::vector<Valor> defectos;  // default of each column (Null when none or not a constant)
  QStringList clave;            // primary key columns; empty when the table has none
  bool tieneRowid = false;      // SQLite row identity available for tables without a key
  // The table's and its key's names as a change record gives them (upper case), worked
  // out once: every row a run stores is told by them.
  QString nombreMayus;
  QStringList claveMayus;
  int Indice(const QString& columna) const;  // -1 when absent (case-insensitive)
};

struct FormaResultado;
class Sentencia;
class Filas;

// One open database file. Every handle the program keeps to the same file shares
// one Database (see Conexiones). Statements are prepared once per SQL text and
// reused. Values always travel as bound parameters.
//
// Errors: statements that fail throw DbError. A database held by another program is
// waited for up to OpcionesConexion::esperaBloqueoMs, then reported as DbError naming
// the database.
class Database : public std::enable_shared_from_this<Database> {
 public:
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens the database at `ruta`. A missing file, a file that is not a database or
  // a failed connection gives nullptr with `error` set (AbrirBaseDatos turns that into
  // the fatal message).
  static std::shared_ptr<Database> Abrir(const QString& ruta, const OpcionesConexion& opciones,
                                         QString* error);

  // NombreBaseDatos: the database's file name as opened.
  const QString& Ruta() const { return ruta_; }
  // The database as the operator is told it: the file, or on a server its database and
  // where the server is ("tienda017_cmc00100 en servidor:5432").
  const QString& Nombre() const { return nombre_; }
  Motor MotorBaseDatos() const { return motor_; }
  bool EsSqlite() const { return motor_ == Motor::Sqlite; }

  // Runs a SELECT and loads its rows into a recordset that can add and edit rows of
  // the statement's table (the table after FROM). Throws DbError.
  Recordset AbrirRecordset(const QString& sql, const std::vector<Valor>& parametros = {});
  // The same, for a query the caller knows returns no rows (to add one): once the
  // shape of its result is known the statement is not run again.
  Recordset AbrirRecordsetVacio(const QString& sql, const std::vector<Valor>& parametros = {});

  // Runs a statement that returns no rows; returns the number of rows changed.
  int Ejecuta(const QString& sql, const std::vector<Valor>& parametros = {});

  // First column of the first row, Null when there is no row.
  Valor Escalar(const QString& sql, const std::vector<Valor>& parametros = {});

  // Runs a script of statements separated by ";" at line ends (schema files).
  void EjecutaScript(const QString& script);

  // ExisteTabla: true when the table exists; "[" and "]" are stripped from the name.
  bool ExisteTabla(QString tabla);
  // ExisteCampoTabla without a recordset: true when the table has the column.
  bool ExisteCampoTabla(const QString& tabla, const QString& campo);
  // Columns, defaults and key of a table; nullptr when it does not exist. The object
  // stays valid for as long as the caller holds it, whatever is learnt or forgotten later.
  std::shared_ptr<const InfoTabla> Tabla(const QString& tabla);
  // Forgets what was learnt about tables (after the schema was changed).
  void OlvidaEsquema();
  // The tables and views of the database, as the engine spells them.
  QStringList Tablas();
  // Copies the whole database, as of one moment, into a new SQLite file `ruta` that the
  // layer opens with the default options. False when the engine cannot or the copy failed.
  bool CopiaEnFichero(const QString& ruta);

  // The engine's words for what the common SQL does not say: `sql` limited to its first
  // `filas` rows; a condition true when the flag `columna` is set (a number or a
  // boolean); a name as the statements built by the layer write it.
  QString Limita(const QString& sql, int filas) const;
  QString Activo(const QString& columna) const;
  QString Identificador(const QString& nombre) const;
  const Dialecto& Dialect() const { return *dialecto_; }

  // Transactions. Begin starts one (taking the write lock at once on SQLite, so that
  // a database held by another program is reported here, not halfway through a line).
  // On SQLite a transaction waits for other programs at BEGIN and at COMMIT only, the
  // two together at most OpcionesConexion::esperaBloqueoMs (and a little); a refused
  // COMMIT leaves the transaction open for Rollback.
  void Begin();
  void Commit();
  void Rollback();
  bool EnTransaccion() const { return enTransaccion_; }
  void Savepoint(const QString& nombre);
  void ReleaseSavepoint(const QString& nombre);
  void RollbackToSavepoint(const QString& nombre);

  // Where the rows stored through this connection's recordsets are told while a run
  // records its changes (nullptr: nowhere). The journal must outlive its use.
  void FijaDiario(DiarioCambios* diario) { diario_ = diario; }
  DiarioCambios* Diario() const { return diario_; }

  // Runs a SELECT whose rows are read one at a time (see Filas). Throws DbError.
  Filas Consulta(const QString& sql, const std::vector<Valor>& parametros = {});
  // The SQL texts prepared on this connection so far (to check the plans the engine
  // chose for them).
  QStringList SentenciasPreparadas() const { return sentencias_.keys(); }

  // Conversions between Valor and what the engine stores: dates as 'YYYY-MM-DD'
  // text, booleans as 1/0, whole numbers as integers.
  static QVariant AParametro(const Valor& v);
  static Valor DesdeColumna(const QVariant& v);
  // A day as it is stored, 'YYYY-MM-DD', written in the 10 characters at `destino` (char or
  // char16_t); false, with nothing written, for an invalid day or a year outside 1-9999.
  template <typename C>
  static bool EscribeDia(QDate dia, C* destino) {
    int anyo = 0, mes = 0, d = 0;
    dia.getDate(&anyo, &mes, &d);
    if (!dia.isValid() || anyo < 1 || anyo > 9999) return false;
    const int cifras[] = {anyo / 1000, anyo / 100 % 10, anyo / 10 % 10, anyo % 10,
                          -1,          mes / 10,        mes % 10,       -1,
                          d / 10,      d % 10};
    for (int k = 0; k < 10; ++k) destino[k] = static_cast<C>(cifras[k] < 0 ? '-' : '0' + cifras[k]);
    return true;
  }
  // A number stored as an integer: whole and within the range a double holds exactly
  // (checked first: converting 1E300 from a file to an integer is undefined).
  static std::optional<qint64> Entero(double n) {
    if (std::abs(n) < 9.0e15 && n == static_cast<double>(static_cast<qint64>(n)))
      return static_cast<qint64>(n);
    return std::nullopt;
  }

  // Keeps the wait for the server's answer bounded while it lives: every statement and
  // the reading of its rows runs under one (nothing on file engines).
  class Vigilancia {
   public:
    explicit Vigilancia(const Database& db) : v_(db.vigilante_.get()) {
      if (v_) v_->Arma();
    }
    ~Vigilancia() {
      if (v_) v_->Desarma();
    }
    Vigilancia(const Vigilancia&) = delete;
    Vigilancia& operator=(const Vigilancia&) = delete;

   private:
    Vigilante* v_;
  };

 private:
  friend struct Sentencias;  // the layer's statement machinery (sentencia.h)
  friend class CambioEjecutado;
  Database() = default;
  [[noreturn]] void Falla(const QSqlError& e, const QString& sql) const;
  // The statement of `sql`, prepared once per connection.
  Sentencia& Prepara(const QString& sql);
  void EjecutaSentencias(const QStringList& sentencias);
  // Runs a transaction control statement (SAVEPOINT, COMMIT, ...).
  void Control(const QString& sql);
  // Runs BEGIN or COMMIT waiting for other programs up to `limiteMs`; returns how long
  // it took.
  qint64 ControlConEspera(const QString& sql, qint64 limiteMs);
  // `tabla` as the catalogue spells it; "" when it does not exist.
  QString NombreTabla(QString tabla);
  [[noreturn]] void Falla(const QString& detalle, const QString& sql) const;

  // Sets the bound of this connection's wait for other programs.
  void FijaEspera(qint64 ms);

  QString ruta_;
  QString nombre_;
  QString nombreConexion_;
  Motor motor_ = Motor::Sqlite;
  const Dialecto* dialecto_ = nullptr;
  bool enTransaccion_ = false;
  qint64 esperaBloqueoMs_ = 0;  // the connection's bounded wait for other programs
  qint64 esperaBegin_ = 0;
  QString liberacionPendiente_;        // a savepoint released, to be sent with the next statement
  bool escritoDesdeSavepoint_ = true;  // a statement that may write ran since the last savepoint //
                                       // how long the open transaction's BEGIN took
  DiarioCambios* diario_ = nullptr;
  QSqlDatabase db_;
  std::unique_ptr<Vigilante> vigilante_;  // on a server; destroyed after the connection closes
  QHash<QString, Sentencia*> sentencias_;
  // The statements last found, by where their text lives: a file's lines run the same
  // texts (the program's literals, the texts a run builds once) thousands of times, and
  // a text found where it was found before needs no hashing. The text is held, so that
  // its characters cannot change or be freed while it stands here.
  struct Atajo {
    QString sql;
    Sentencia* sentencia = nullptr;
  };
  std::array<Atajo, 16> atajos_;
  // The texts of the savepoint of one name, built once: every line takes and releases one.
  struct TextosSavepoint {
    QString nombre;
    QString toma;
    QString libera;
  };
  TextosSavepoint textosSavepoint_;
  const TextosSavepoint& TextosDe(const QString& nombre);
  QHash<QString, std::shared_ptr<const InfoTabla>> tablas_;  // upper-case name; null: absent
  QHash<QString, QString> nombresTabla_;  // upper-case name: as the catalogue spells it, or ""
  // What a recordset's SQL text comes to on this connection: the table after FROM, its
  // description, the text run for it and, once it has run, its columns. By SQL text.
  struct AnalisisConsulta {
    QString tabla;
    std::shared_ptr<const InfoTabla> info;
    // A table without a primary key is edited through its row identity, which the
    // query then also has to return (as its last column).
    bool conRowid = false;
    QString ejecutada;
    std::shared_ptr<const FormaResultado> forma;
  };
  QHash<QString, std::shared_ptr<AnalisisConsulta>> analisis_;
  // The analyses last found, by where their text lives, as atajos_ for statements: a
  // file's lines open the same recordsets thousands of times.
  struct AtajoConsulta {
    QString sql;
    std::shared_ptr<AnalisisConsulta> analisis;
  };
  std::array<AtajoConsulta, 16> atajosConsulta_;
  std::shared_ptr<AnalisisConsulta> Analiza(const QString& sql);
  // Where the columns a CambioEjecutado reads are in their table, by the text of its read:
  // the engine tells a changed row's values by their place. Empty places: a column the
  // table lacks.
  struct PosicionesCambio {
    QByteArray tabla;
    int columnas = 0;
    std::vector<int> posiciones;
  };
  QHash<QString, PosicionesCambio> posicionesCambio_;
  // A recordset of `sql` with no rows and no columns yet, on the table `analisis` names.
  Recordset PreparaRecordset(const QString& sql, const AnalisisConsulta& analisis);
};

// The rows of a statement run by Database::Consulta, read one at a time: Siguiente moves
// to the next row (false after the last), Columna reads a column of it as stored. The
// statement belongs to the connection: read its rows before running the same text again.
class Filas {
 public:
  ~Filas();
  Filas(const Filas&) = delete;
  Filas& operator=(const Filas&) = delete;
  bool Siguiente();
  QVariant Columna(int i) const;
  // The position of the column named `nombre` (case-insensitive); -1 when absent.
  int Indice(const QString& nombre) const;

 private:
  friend class Database;
  Filas(const Database& db, Sentencia& s) : s_(s), vigilancia_(db) {}
  Sentencia& s_;
  Database::Vigilancia vigilancia_;  // reading the rows waits for the server too
};

// The row a CambioEjecutado reads: a table's row named by its key, the columns read, and
// the text of that read. Made once by code that runs the same statement line after line, so
// that neither the names nor the text are made again for every row (table and key in upper
// case, as a change record names them; the columns as given).
struct LecturaCambio {
  LecturaCambio(const QString& tabla, const QStringList& clave, QStringList columnas);
  QString tabla;
  QStringList clave;
  QStringList columnas;
  QString sql;
};

// What an UPDATE changed in one row, told to the connection's journal (Database::Diario)
// when one is set; recordsets tell their own rows. Ejecuta runs the statement: it reads the
// columns of `lectura` of the row named by `valoresClave` first, and Anota reads them again
// and tells those that changed, with both values; an engine that tells the values of a row
// as it changes it (SQLite) is asked instead of reading the row twice. Both reads run inside
// the caller's transaction, so they see the row as the statement found and left it. Without
// a journal nothing is read. `lectura` must outlive it. Throws DbError.
class CambioEjecutado {
 public:
  CambioEjecutado(Database& db, const LecturaCambio& lectura, std::vector<Valor> valoresClave);
  // Runs `sql` with `parametros`; the rows it changed.
  int Ejecuta(const QString& sql, const std::vector<Valor>& parametros);
  void Anota();
  // Tells the journal (when one is set) that `cantidad` was added to `columna` (in upper
  // case) of the same row: a relative change, undone by taking the quantity off again
  // (`antes` 0, `despues` the quantity).
  void AnotaSuma(const QString& columna, double cantidad);

 private:
  std::vector<QVariant> Lee();
  // The row named as the change record names it, with no column yet.
  CambioFila Fila() const;
  Database& db_;
  const LecturaCambio& lectura_;
  std::vector<Valor> valoresClave_;
  std::optional<std::vector<QVariant>> antes_;    // none: no journal, or no such row
  std::optional<std::vector<QVariant>> despues_;  // as the engine told them, when it did
};

// The shared connections: one Database per file, whatever the number of handles
// (BddTienda, BddComercial, ... all point at one). Owned by the company state.
class Conexiones {
 public:
  explicit Conexiones(OpcionesConexion opciones = {}) : opciones_(std::move(opciones)) {}
  // The open Database for `ruta`, opening it on first use; nullptr with `error` set
  // when it cannot be opened.
  std::shared_ptr<Database> Abre(const QString& ruta, QString* error);
  const OpcionesConexion& Opciones() const { return opciones_; }

 private:
  OpcionesConexion opciones_;
  QHash<QString, std::weak_ptr<Database>> abiertas_;
};

// The message shown when a database cannot be opened; the program ends after it.
QString MensajeErrorAbrirBaseDatos(const QString& ruta);

// True when the database of `ruta` exists: the file, or on a server the database that
// stands for it. False with `error` set when the server cannot be asked.
bool ExisteBaseDatos(const QString& ruta, const OpcionesConexion& opciones, QString* error);
// The name of the server's database that stands for the file `ruta`.
QString NombreEnServidor(const QString& ruta, const OpcionesConexion& opciones);
// `ruta` as the operator is told it: the file, or the server's database and where the
// server is.
QString DescribeBaseDatos(const QString& ruta, const OpcionesConexion& opciones);

// A server's connection string (libpq's "clave=valor" items, a value quoted with '...' and
// \ escapes) with the password's value hidden as "***", whatever its quoting.
QString ConexionVisible(const QString& conexion);
// The same string without its password item; `habia` tells whether it had one.
QString ConexionSinClave(const QString& conexion, bool* habia = nullptr);

// The database password of the installation: RELVANO_CLAVE_BDD from the
// environment, else the value the program was built with.
QString ClaveBaseDatos();

}  // namespace relvano::store
