#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace relvano::store {

// One row a run added, changed or removed, as the database layer stored it: enough to put
// the row back as it was, and to tell what a file changed.
//
// - The row is named by the values of its table's key columns as the run found them
//   (a table without a key: every column the run read, as it read them), never by the
//   engine's place for the row, which changes.
// - Values are those the engine was given or gave back (Database::AParametro's forms), so
//   that they go back to it unchanged.
struct CambioFila {
  enum class Tipo : char {
    Alta = 'A',          // a row added: `columnas` and `despues` are what it was stored with
    Modificacion = 'M',  // `columnas` changed from `antes` to `despues`
    Baja = 'B',          // a row removed: `columnas` and `antes` are the whole row
  };
  Tipo tipo = Tipo::Modificacion;
  QString tabla;  // in upper case
  QStringList clave;
  std::vector<QVariant> valoresClave;
  QStringList columnas;
  std::vector<QVariant> antes;
  std::vector<QVariant> despues;
  // The change of each column is a quantity added to what the row held (stock booked by
  // a delivery note): undone by taking it off again, whatever the row holds since.
  bool relativo = false;
};

// Where the changes of the statements a connection runs are told, while a run records
// them (Database::FijaDiario). Recordsets tell every row they store; code that writes with
// Database::Ejecuta tells its own.
class DiarioCambios {
 public:
  virtual ~DiarioCambios() = default;
  virtual void Anota(CambioFila cambio) = 0;
};

}  // namespace relvano::store
