#pragma once

// Private to its floor: the statement machinery of store/db, for the layer's own units
// (the build refuses it to every other floor). The rest of the program runs statements
// through Database and Recordset.

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/valor.h"
#include "store/db/database.h"

namespace relvano::store {

// The row of one table that a statement changes, as the engine tells it while the statement
// runs (Sentencia::Captura): the values of the columns at `posiciones` (counted in the
// table's own order, `columnas` in all) before and after the change, read as Columna reads
// them. Only a change the statement itself makes is told, not one of a trigger's.
struct CapturaFila {
  QByteArray tabla;  // as the engine names it, compared without case
  int columnas = 0;
  std::vector<int> posiciones;
  int filas = 0;      // rows of the table the statement changed
  bool otra = false;  // the engine's table had another number of columns: nothing read
  std::vector<QVariant> antes, despues;  // of the last row changed
};

// One prepared statement of a connection, prepared once and run many times. Bound values
// stay bound from one run to the next: binding again what a parameter already holds costs
// nothing. After Ejecuta, the rows (if any) are read with Siguiente and Columna; Termina
// says the caller is done with them.
class Sentencia {
 public:
  virtual ~Sentencia() = default;
  // Binds `valor` (as Database::AParametro gives it, or as a column gave it) at `indice`,
  // counted from 0.
  virtual void Enlaza(int indice, const QVariant& valor) = 0;
  // Binds a program value at `indice`, as Database::AParametro converts it; a statement may
  // bind it without building the variant.
  virtual void EnlazaValor(int indice, const Valor& valor) {
    Enlaza(indice, Database::AParametro(valor));
  }
  // Runs the statement with the values bound; false on failure, said by Error().
  virtual bool Ejecuta() = 0;
  virtual QSqlError Error() const = 0;
  // The next row of the result; false after the last.
  virtual bool Siguiente() = 0;
  // Column `i` of the current row, as the engine stored it: whole numbers as qlonglong,
  // other numbers as double, texts as QString, Null as a null QString.
  virtual QVariant Columna(int i) const = 0;
  // The columns of the result: how many, and their names.
  virtual int NumColumnas() const = 0;
  virtual QString NombreColumna(int i) const = 0;
  // Rows the last run changed, and the identity of the row it added (invalid when the
  // engine does not say).
  virtual int FilasCambiadas() const = 0;
  virtual QVariant UltimaIdentidad() const = 0;
  // Done with the rows of the last run.
  virtual void Termina() = 0;
  // The next run tells `captura` the row it changes (see CapturaFila); false when the
  // engine cannot, and then nothing is told. For that run only.
  virtual bool Captura(CapturaFila* captura) {
    (void)captura;
    return false;
  }
};

// `sql` with each "?" outside quotes and brackets (a parameter's place) replaced by
// `nombre(n)`, n counted from 0; `cuantos`, when given, receives how many there are.
QString NombraParametros(const QString& sql, const std::function<QString(int)>& nombre,
                         int* cuantos = nullptr);

// A statement of the implementation `T`, built from `argumentos`, prepared from `sql`; null
// with `error` set when it cannot be prepared.
template <typename T, typename... A>
std::unique_ptr<Sentencia> Preparada(const QString& sql, QSqlError* error, A&&... argumentos) {
  auto s = std::make_unique<T>(std::forward<A>(argumentos)...);
  if (!s->Prepara(sql)) {
    if (error) *error = s->Error();
    return nullptr;
  }
  return s;
}

// True when binding `nuevo` where `enlazado` is bound would give the engine exactly what it
// already holds: the same type, the same nullness and the same value. Binding costs far
// more than this comparison, and most statements of a file repeat many of their values.
inline bool MismoEnlace(const QVariant& enlazado, const QVariant& nuevo) {
  const int tipo = enlazado.typeId();
  if (tipo == QMetaType::UnknownType || tipo != nuevo.typeId() ||
      enlazado.isNull() != nuevo.isNull())
    return false;
  // The program's values are texts and numbers: compared as what they are, without the
  // variant's search for a common type.
  const auto mismo = [&](auto* tipado) {
    using T = std::remove_pointer_t<decltype(tipado)>;
    return *static_cast<const T*>(enlazado.constData()) ==
           *static_cast<const T*>(nuevo.constData());
  };
  switch (tipo) {
    case QMetaType::QString:
      return mismo(static_cast<QString*>(nullptr));
    case QMetaType::LongLong:
      return mismo(static_cast<qlonglong*>(nullptr));
    case QMetaType::Int:
      return mismo(static_cast<int*>(nullptr));
    case QMetaType::Double:
      return mismo(static_cast<double*>(nullptr));
    default:
      return enlazado == nuevo;
  }
}

// A statement through Qt's driver for `db`; null with `error` set when it cannot be
// prepared.
std::unique_ptr<Sentencia> PreparaConDriver(QSqlDatabase& db, const QString& sql, QSqlError* error);
// Sets, before the process's first SQLite connection, what the engine does on every call:
// no lock of its own around each call (a connection is used by one thread at a time, as
// Qt's connections must be) and no count of the memory it holds. Later calls do nothing.
void AjustaMotorSqlite();
// A statement on the SQLite connection of `db` itself, without Qt's layer in between (the
// same connection: what one runs, the other sees); null with `error` set when it cannot be
// prepared.
std::unique_ptr<Sentencia> PreparaSqlite(QSqlDatabase& db, const QString& sql, QSqlError* error);
// A statement on the client connection to the PostgreSQL server that `db` holds, past Qt's
// layer (the same session); null with `error` set when it cannot be prepared.
std::unique_ptr<Sentencia> PreparaPostgres(QSqlDatabase& db, const QString& sql, QSqlError* error);

// An UPDATE of a row by its key (Recordset::GrabaColumnas): the columns as the caller named
// them, in order, where each one is in the result (-1 when the result lacks it), their
// names as a change record gives them, the text, and its statement once prepared.
struct EscrituraPorClave {
  QStringList nombres;
  std::vector<int> posiciones;
  QStringList mayusculas;
  QString sql;
  Sentencia* sentencia = nullptr;  // the connection's, which outlives the result's shape
};

// The columns of a query's result, by position and by upper-case name.
struct FormaResultado {
  QStringList nombres;
  QStringList mayusculas;  // the same names in upper case, as a change record gives them
  QHash<QString, int> indices;
  // The INSERT and UPDATE texts of rows stored through recordsets of this result, by the
  // set of columns assigned (one byte per column): the same line of a file stores the
  // same columns every time, and building the text cost as much as running it.
  struct Alta {
    QString sql;
    int claveAuto = -1;    // the key column the engine fills, -1 when none
    bool retorno = false;  // the text asks the engine for the row's identity back
    QStringList columnas;  // the assigned columns, in upper case, as a change names them
  };
  mutable QHash<QByteArray, Alta> sqlAlta;
  mutable QHash<QByteArray, QString> sqlEdicion;
  // A new row's values before any is assigned (the table's defaults as parameters), once.
  mutable std::optional<std::vector<QVariant>> nuevaFila;
  // The UPDATEs of rows stored by key: a file's lines write one or two lists of columns,
  // whose places in the result are worked out once.
  mutable std::vector<EscrituraPorClave> sqlPorClave;
  // Where the key of the table the rows are stored to is in the result, once found.
  mutable std::vector<int> posicionesClave;
  // Callers name columns in upper case almost always: that lookup needs no copy. Most
  // names come from the same texts in the program line after line: where a text was last
  // found is remembered by its address, and confirmed by comparing it (the address alone
  // could be a new text's), which costs less than hashing it again.
  int Indice(const QString& nombre) const {
    Atajo& a = atajos[(reinterpret_cast<quintptr>(nombre.constData()) >> 4) % kAtajos];
    if (a.datos == nombre.constData() && a.indice >= 0 && mayusculas[a.indice] == nombre)
      return a.indice;
    int i = -1;
    if (const auto it = indices.constFind(nombre); it != indices.constEnd())
      i = *it;
    else
      i = indices.value(nombre.toUpper(), -1);
    if (i >= 0 && mayusculas[i] == nombre) a = {nombre.constData(), i};
    return i;
  }

 private:
  struct Atajo {
    const QChar* datos = nullptr;
    int indice = -1;
  };
  static constexpr size_t kAtajos = 64;
  mutable std::array<Atajo, kAtajos> atajos{};
};

// What the layer's units do with a connection's statements.
struct Sentencias {
  // The statement of `sql`, prepared on first use. Throws DbError.
  static Sentencia& Prepara(Database& db, const QString& sql);
  // Runs `s`, the statement of `sql`; a failure throws naming the statement.
  static void Corre(const Database& db, Sentencia& s, const QString& sql);
  // Prepares, binds `parametros` and runs. Throws DbError.
  static Sentencia& Corre(Database& db, const QString& sql, const std::vector<Valor>& parametros);
  // Notes that a statement that may write is about to run: a savepoint taken before it no
  // longer marks the current state.
  static void MarcaEscritura(Database& db) { db.escritoDesdeSavepoint_ = true; }
  // Throws the DbError for a failed statement (a lock held too long gets its own message).
  [[noreturn]] static void Falla(const Database& db, const QSqlError& e, const QString& sql) {
    db.Falla(e, sql);
  }
};

}  // namespace relvano::store
