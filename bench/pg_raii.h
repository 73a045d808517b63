#pragma once
// Owning handles over libpq for the benchmark's work on a PostgreSQL server, and a
// prepared statement with the same one-line binding helpers as the SQLite one.

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace relvano::bench {

struct CierraPg {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct LiberaResultado {
  void operator()(PGresult* r) const { PQclear(r); }
};
using ConexionPg = std::unique_ptr<PGconn, CierraPg>;
using ResultadoPg = std::unique_ptr<PGresult, LiberaResultado>;

// `servidor` (a connection string without dbname) with the database `base` added.
std::string ConexionABase(const std::string& servidor, const std::string& base);

// Connects (UTF-8 client encoding); throws std::runtime_error.
ConexionPg ConectaPg(const std::string& conexion);

// Runs `sql` with text parameters (types left to the server); throws on failure.
ResultadoPg EjecutaPg(PGconn* c, const std::string& sql,
                      const std::vector<std::string>& parametros = {});

// Runs the control statements `sql` (several may be separated by ";") as they are, in one
// round trip without parameters; throws on failure.
void EjecutaControlPg(PGconn* c, const char* sql);

// A name as an SQL identifier, quoted.
std::string IdentificadorPg(PGconn* c, const std::string& nombre);

// One statement prepared on the server (PQprepare) and run with PQexecPrepared, its
// values bound as text. The SQL is written as for SQLite: "?" and "?N" parameters, a
// value bound once by its number even where the text uses it several times (each use
// becomes a parameter of its own on the server, so that uses in columns of different
// types do not clash).
class SentenciaPg {
 public:
  SentenciaPg(PGconn* c, const char* sql);

  SentenciaPg& Texto(int i, const std::string& v);
  SentenciaPg& Real(int i, double v);
  SentenciaPg& Entero(int i, std::int64_t v);
  SentenciaPg& Nulo(int i);

  // The first call runs the statement; each call moves to the next row: true when there
  // is one (read it with the column helpers, then call Reinicia), false when the rows
  // are done (and the statement is ready to run again).
  bool Paso();
  // Runs a statement that returns no rows.
  void Ejecuta();
  void Reinicia() {
    resultado_.reset();
    fila_ = -1;
  }

  double ColReal(int c) const;
  std::string ColTexto(int c) const;
  int Columna(const char* nombre) const;

  // Statements run on the server by this program so far (every SentenciaPg and EjecutaPg).
  static std::int64_t Ejecuciones();
  // Runs so far of the statements that may write (every one but a SELECT).
  static std::int64_t Escrituras();

 private:
  PGconn* c_;
  std::string nombre_;
  bool escribe_ = true;
  std::vector<int> usos_;  // number of the bound value at each parameter of the server
  std::vector<std::string> valores_;
  std::vector<bool> nulos_;
  ResultadoPg resultado_;
  int fila_ = -1;
};

}  // namespace relvano::bench
