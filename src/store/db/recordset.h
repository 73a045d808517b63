#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "base/valor.h"
#include "store/db/database.h"

namespace relvano::store {

// The rows of one SELECT, with a current row, as the suite's code uses them: read
// fields by name, move through the rows, add a row (NuevoRegistro) or edit the current
// one (EditarRegistro), assign fields and store (GrabarRegistro).
//
// - A field that the recordset does not have is an error (DbError), never an empty value.
// - A new row starts with the table's column defaults, readable before it is stored.
// - A stored row is found again by the table's primary key (as read), or by the
//   engine's row identity when the table has none; an edit writes only the columns
//   that were assigned.
// - Rows are loaded when the recordset is opened; storing updates the database at once.
struct EscrituraPorClave;

class Recordset {
 public:
  Recordset() = default;  // closed

  bool Abierto() const { return db_ != nullptr; }

  // HayRegistros: at least one row.
  bool HayRegistros() const { return !filas_.empty(); }
  int RecordCount() const { return static_cast<int>(filas_.size()); }
  bool Eof() const { return pos_ >= static_cast<int>(filas_.size()); }
  void MoveFirst() { pos_ = 0; }
  void MoveNext() {
    if (!Eof()) ++pos_;
  }
  void MoveLast() { pos_ = filas_.empty() ? 0 : static_cast<int>(filas_.size()) - 1; }

  // Value of a column of the current row (or of the row being added or edited).
  // Throws DbError when the recordset has no such column or no current row.
  Valor Campo(const QString& nombre) const;
  Valor operator[](const QString& nombre) const { return Campo(nombre); }
  // Number of columns of the result.
  int NumCampos() const;
  // Position of a column, for loops that read many rows; -1 when absent.
  int Indice(const QString& nombre) const;
  Valor Campo(int indice) const;

  // ExisteCampo: true when the recordset has the column (a Null value counts).
  bool ExisteCampo(const QString& nombre) const { return Indice(nombre) >= 0; }

  void NuevoRegistro();
  void EditarRegistro();  // throws DbError when there is no current row
  // Assigns a column of the row being added or edited; throws DbError when not
  // adding or editing, or when the column does not exist.
  void Asigna(const QString& nombre, const Valor& valor);
  void GrabarRegistro();
  // Stores `columnas` into the current row of the table, found by its key; the
  // columns need not be among those the query returns. Throws DbError when there is
  // no current row or the table has no key.
  void GrabaColumnas(const std::vector<std::pair<QString, Valor>>& columnas);
  // What GrabaColumnas does but the statement: the journal (Database::Diario) is told that
  // the current row's `columnas` are changed to these values, and the row keeps them, for a
  // caller that changes many rows with one statement of its own, run after this.
  void AnotaColumnas(const std::vector<std::pair<QString, Valor>>& columnas);
  // Removes the current row from the table, found as an edit finds it, and from the
  // recordset (the next row becomes the current one). Throws DbError when there is no
  // current row, a row is being added or edited, or the row is no longer there.
  void BorrarRegistro();
  bool Editando() const { return modo_ != Modo::Ninguno; }

  // CerrarRecordset: releases the rows; safe on a closed recordset.
  void Cerrar();

  // NombreRecordset: the SQL text the recordset was opened with.
  const QString& Sql() const { return sql_; }
  Database& BaseDatos() const { return *db_; }

 private:
  friend class Database;
  enum class Modo { Ninguno, Nuevo, Edicion };

  QVariant Crudo(int indice) const;
  void ExigeColumna(int indice, const QString& nombre) const;
  // GrabarRegistro of a new row and of an edited one; `crudos` are the assigned values in
  // column order, `mascara` which columns they are (the key of the statement's cache).
  void InsertaRegistro(std::vector<QVariant> crudos, const QByteArray& mascara);
  void ActualizaRegistro(const std::vector<QVariant>& crudos, const QByteArray& mascara);
  // The condition that finds the current row (its key, or the engine's row identity) and
  // its values; without `condiciones` only the values (a kept text holds the condition).
  // Throws DbError when the table has neither.
  QStringList DondeFila(std::vector<QVariant>& valores, bool condiciones = true) const;
  // The assigned columns as the engine spells them.
  QStringList ColumnasAsignadas() const;
  // GrabaColumnas (`corre`) and AnotaColumnas.
  void EscribeColumnas(const std::vector<std::pair<QString, Valor>>& columnas, bool corre);
  // The UPDATE by key of `columnas` for this result's rows, worked out on first use.
  EscrituraPorClave& EscrituraDe(const std::vector<std::pair<QString, Valor>>& columnas) const;
  // Where the table's key columns are in the result; throws DbError when one is missing.
  const std::vector<int>& PosicionesClave() const;
  // "<key column> = ?" for each key column, as the engine spells it.
  QStringList CondicionesClave() const;
  // A change of this recordset's table named by the row `fila` (see CambioFila), and the
  // journal it is told to (Database::Diario).
  CambioFila Cambio(CambioFila::Tipo tipo, const std::vector<QVariant>& fila) const;
  // The values the row of `fila` holds in `columnas` that the result does not have,
  // read by the row's key (what GrabaColumnas changes and a journal must know).
  std::vector<QVariant> LeeColumnas(const QStringList& columnas,
                                    const std::vector<QVariant>& fila) const;

  std::shared_ptr<Database> db_;
  QString sql_;
  QString tabla_;                                // table that adds and edits go to
  std::shared_ptr<const InfoTabla> info_;        // its columns, defaults and key
  std::shared_ptr<const FormaResultado> forma_;  // columns of the result
  std::vector<std::vector<QVariant>> filas_;
  int pos_ = 0;
  int rowidCol_ = -1;  // hidden row identity column, when the table has no key
  Modo modo_ = Modo::Ninguno;
  std::vector<QVariant> buffer_;
  std::vector<char> asignado_;
};

// AsignaCamposComunes: the control columns of a row being added ("A": FECHA_ALTA and
// ULTIMA_MODIFICACION to `hoy` when the recordset has FECHA_ALTA, then IDEMPRESA when it
// has that column) or changed ("M": ULTIMA_MODIFICACION). Any other tipo does nothing.
void AsignaCamposComunes(const QString& tipo, Recordset& rs, const QString& idEmpresa, QDate hoy);

// Boolean reading of a stored value: numbers other than 0, true, and the texts
// "-1", "1", "True", "Verdadero" are true; Null and everything else false.
bool EsVerdadero(const Valor& v);

}  // namespace relvano::store
