#pragma once
// The benchmark's store databases on a PostgreSQL server: the generated SQLite files'
// rows copied in, fresh copies for every run, what each run left, and what it cost the
// server.

#include <libpq-fe.h>

#include <cstdint>
#include <string>

namespace relvano::bench {

// Copies every row of every table of the SQLite database `sqlite` into the database of
// connection string `conexion`, whose tables (same names in lower case, the same columns)
// exist and are empty; then moves the key counters past the copied keys and leaves the
// database vacuumed and analysed, as a shop's database at rest. Throws std::runtime_error.
void CopiaAlServidor(const std::string& sqlite, const std::string& conexion);

// Replaces the database `base` by a copy of `plantilla` (which nobody may be connected
// to). `mantenimiento` is a connection to another database of the server.
void CopiaBase(PGconn* mantenimiento, const std::string& base, const std::string& plantilla);

// Drops every database whose name begins with `prefijo`.
void BorraBases(PGconn* mantenimiento, const std::string& prefijo);

// What a run left in a store database on the server: the same counts and rounded totals
// as the SQLite side compares.
std::string HuellaPg(const std::string& conexion);

// Processor seconds (user and system) the server process `pid` has used so far (this
// machine's /proc); -1 when unknown.
double CpuProceso(long pid);

// Statements the server ran in the database `base`, from pg_stat_statements; -1 when
// the server does not keep them (the module is not loaded). With `detalle`, the `n`
// statements run most often, with their count per line and their time.
std::int64_t SentenciasEnBase(PGconn* mantenimiento, const std::string& base, int n = 0,
                              double lineas = 1, std::string* detalle = nullptr);

}  // namespace relvano::bench
