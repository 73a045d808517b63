#pragma once
// The hand-written reference run: what the fastest straightforward program would do
// to apply a chain file, to measure the import against.

#include <cstdint>
#include <string>

#include "generador.h"

namespace relvano::bench {

// The import's commit groups, for a reference run with its transaction structure.
struct Grupos {
  int lineas = 0;               // units committed together at most
  std::int64_t duracionMs = 0;  // a group ends after the unit that ends this long after it began
  std::int64_t pausaMs = 0;     // the store left free after a group that lasted that long
};

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
// store database. When `cpuServidor` is given, it receives the processor seconds the
// server's process for the connection used. Returns the number of lines read.
std::int64_t AplicaManualPg(Tipo tipo, const std::string& conexion, const std::string& fichero,
                            const std::string& hoy, double* cpuServidor = nullptr);

}  // namespace relvano::bench
