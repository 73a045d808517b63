#pragma once
// The hand-written reference run: what the fastest straightforward program would do
// to apply a chain file, to measure the import against.

#include <cstdint>
#include <string>

#include "generador.h"
#include "transacciones.h"

namespace relvano::bench {

// Applies the chain file `fichero` of `tipo` to the SQLite store database `bd` with the
// C API: the same SELECTs, INSERTs and UPDATEs per line as the import (prepared once,
// values bound), the file read line by line and split on "|", no run log. Without
// `grupos`, everything inside one transaction (the engine's limit); with them, the
// import's transactions: a savepoint per unit of work (a detail line; the delivery
// note, the invoice), the units committed in those groups. `hoy` is today's date as YYYY-MM-DD.
// Returns the number of lines read. Throws std::runtime_error on a database error.
std::int64_t AplicaManual(Tipo tipo, const std::string& bd, const std::string& fichero,
                          const std::string& hoy, const Grupos* grupos = nullptr);

// The same on a PostgreSQL server through libpq (base_manual_pg.cpp): `conexion` names the
// store database; with `grupos`, the import's transactions as it runs them on a server (a
// plain BEGIN, a savepoint's release sent with the next savepoint, a savepoint kept where
// nothing was written since it was taken). When `cpuServidor` is
// given, it receives the processor seconds the server's process for the connection used.
// Returns the number of lines read.
std::int64_t AplicaManualPg(Tipo tipo, const std::string& conexion, const std::string& fichero,
                            const std::string& hoy, const Grupos* grupos = nullptr,
                            double* cpuServidor = nullptr);

}  // namespace relvano::bench
