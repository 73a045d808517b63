#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "store/db/database.h"
#include "store/db/recordset.h"
#include "store/empresa.h"

namespace relvano::store {

// VAT treatment of a document series (TipoIvaSerie).
enum TipoIvaSerieCodigo : int {
  kSerieIvaNormal = 0,
  kSerieIvaPersonal = 1,  // personal VAT, or a special series: documents carry no VAT
  kSerieConRecargo = 2,
};

// EsSerieEspecial: a series whose first character is "$". The empty series is not special.
bool EsSerieEspecial(const QString& serie);

// ExisteSerie: opens the SERIES row of `tipoSerie` and `serie` (trimmed) into `rs`;
// true when it exists. Reads SERIES.TIPO_SERIE, CODIGO.
bool ExisteSerie(Database& bdd, Recordset& rs, const QString& tipoSerie, const QString& serie);

// TipoIvaSerie: 1 for a special series (SERIES is not read); otherwise, for a defined
// series, 2 when its RECARGO is true, else 1 when its IVA_PERSONAL is true, else 0.
// Either column may be missing from older store databases (counts as false), as may
// a Null value. An undefined series gives 0.
int TipoIvaSerie(Database& bdd, const QString& tipoSerie, const QString& serie);

// The database that holds a document, and its file name.
struct BaseDatosDocumento {
  std::shared_ptr<Database> bdd;
  QString ruta;
};

// Chooses the database of a document of `serie` owned by company `empresa` (nullopt:
// the selected company). Documents of special series would live in a database of
// their own, but no such database is configured for the shops: they are kept in the
// store database like every other document. This is the only place that decides it.
BaseDatosDocumento BaseDatosDeDocumento(const Empresa& empresa, const QString& serie,
                                        const std::optional<QString>& idEmpresa = std::nullopt);

}  // namespace relvano::store
