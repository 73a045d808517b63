#pragma once

#include <QString>

#include "store/empresa.h"

namespace relvano::store {

// CargaConfPrograma: opens the CONF_PROGRAMA row of empresa.IdEmpresa on the store
// database (empresa.BddComercial) into empresa.Conf.RsConfPrograma, adding a row with
// only IDEMPRESA set when there is none (the other columns take the table's defaults).
// ComprasActualizaPC = COMPRAS_ACTUALIZA_PC and ComprasActualizaPCM = COMPRAS_ACTUALIZA_PCM
// (0 when the table lacks that column, as older store databases do), both read with
// ValorNumerico and rounded halves to even (1.5 gives 2, 2.5 gives 2).
// Throws DbError when the table lacks COMPRAS_ACTUALIZA_PC.
void CargaConfPrograma(Empresa& empresa);

// AbreConfiguracion: the CONFIGURACION row of the accounting database; when the table
// has no row, an empty one is added and stored first, so a row is always there.
Recordset AbreConfiguracion(Database& bddContable);

// DimeConfiguracion: true when the option `nombre` (exact, case-sensitive name of the
// options of ART_CONFIGURACION) is on for the open company: the character at its position
// of the trimmed ART_CONFIGURACION equals the option's value. False for an unknown name,
// a text too short, a Null value, a table without ART_CONFIGURACION, or before
// CargaConfPrograma.
bool DimeConfiguracion(const Empresa& empresa, const QString& nombre);

}  // namespace relvano::store
