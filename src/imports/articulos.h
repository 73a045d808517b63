#pragma once

#include <QDate>
#include <QSet>
#include <QString>
#include <optional>

#include "base/run_log.h"
#include "chainfile/bucle_lectura.h"
#include "chainfile/registro.h"
#include "imports/contexto.h"
#include "store/db/database.h"
#include "store/db/recordset.h"

namespace relvano::imports {

// Widths of the article DET record (61 fields). Used: 2 operation, 3 code,
// 4 description, 7 VAT letter, 9 family, 10 group, 25 units per box, 42 unit.
const std::vector<int>& AnchosArticulo();

// Columns that older store databases lack, looked up once per run.
struct ColumnasArticulos {
  bool uniVenta = false;  // UNI_VENTA, UNI_COMPRA, UNI_ESTOC
  bool ivaVenta = false;  // IVA_VENTA, IVA_COMPRA
  // The columns that a change or a removal reads and writes (a new row needs them all).
  QStringList edicion;
  // When the table has a key, a change or a removal reads only these and writes the
  // others by that key.
  QStringList lectura;
  bool porClave = false;
  // The article read by a change or a removal: the columns it reads, or when the run
  // records its changes, those it may write (the record keeps them as they were).
  std::optional<LecturaArticulo> lecturaCambio;
  static ColumnasArticulos De(store::Database& bdd);
};

// The family/group pairs whose family, group and subgroup "00" a run has already found
// or added, so that later lines of the same pair skip the three lookups. Lives for one
// run only: a line that fails ends the run, so a row undone with its line is never
// remembered as present.
class ClasificacionesVistas {
 public:
  bool Contiene(const QString& familia, const QString& grupo) const {
    return pares_.contains(Clave(familia, grupo));
  }
  void Anota(const QString& familia, const QString& grupo) { pares_.insert(Clave(familia, grupo)); }

 private:
  static QString Clave(const QString& familia, const QString& grupo) {
    return familia + QChar(0x1F) + grupo;  // a separator no code holds
  }
  QSet<QString> pares_;
};

// ImportaReferencias: reads an article reference file ("DET" lines, log word
// "ARTICULO") and applies each line with ActualizaArticulo. Writes the removals log
// <carpetaLogs>/BAJAS_<nombreFicheroImportado>.LOG, closed on every path. Throws
// chainfile::ErrorEnLinea when the file cannot be read or a line fails, and
// relvano::Error when the removals log cannot be created.
chainfile::ResultadoLectura ImportaReferencias(const QString& ruta, ContextoImportacion& ctx);

// ActualizaArticulo: one DET line. "A" adds a missing article, "M" changes one (or adds
// it, logged), "B" marks it removed (BAJA, FECHA_BAJA; unless the option says not to);
// refusals go to both logs as the removals need. Whatever the operation, adds the
// family, group and subgroup "00" when missing (none when the family or the group is
// empty: logged) and the link to supplier "1" in ARTICULOS_PROV. Throws ErrorDatos when
// the link is to be created and the file's date is missing or invalid; DbError.
// `vistas`, when given, holds the classifications this run has made sure of already.
void ActualizaArticulo(const chainfile::Registro& det, const chainfile::Registro& ide,
                       const ColumnasArticulos& columnas, RunLog& bajas, ContextoImportacion& ctx,
                       ClasificacionesVistas* vistas = nullptr);

// Lookups that open the row into `rd` and answer whether it exists.
bool ExisteFamilia(store::Database& bdd, store::Recordset& rd, const QString& codigo);
bool ExisteGrupo(store::Database& bdd, store::Recordset& rd, const QString& familia,
                 const QString& codigo);
bool ExisteSubGrupo(store::Database& bdd, store::Recordset& rd, const QString& familia,
                    const QString& grupo, const QString& codigo);

}  // namespace relvano::imports
