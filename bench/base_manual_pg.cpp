// The hand-written reference run on a PostgreSQL server (referencia.h) through libpq: each
// statement prepared once on the server, values bound as text, every statement a round
// trip; the whole file in one transaction, or the import's transactions.
#include "base_manual.h"
#include "pg_raii.h"
#include "referencia.h"
#include "servidor_pg.h"
#include "transacciones.h"

namespace relvano::bench {
namespace {

// The server's control statements, as the import's connection sends them: a plain BEGIN,
// and a savepoint's release sent with the next savepoint in one round trip.
struct ControlPg {
  static constexpr const char* kComienzo = "BEGIN";
  static constexpr bool kJuntaControles = true;
  void Control(const char* sql) const { EjecutaControlPg(db, sql); }
  std::int64_t Escrituras() const { return SentenciaPg::Escrituras(); }
  PGconn* db;
};

}  // namespace

std::int64_t AplicaManualPg(Tipo tipo, const std::string& conexion, const std::string& fichero,
                            const std::string& hoy, const Grupos* grupos, double* cpuServidor) {
  ConexionPg c = ConectaPg(conexion);
  PGconn* db = c.get();
  Transacciones<ControlPg> t(ControlPg{db}, grupos);
  const std::int64_t lineas = referencia::Aplica<SentenciaPg>(
      tipo, db, t, referencia::Clave{"CODIGO", "CODIGO"}, fichero, hoy);
  t.Confirma();
  if (cpuServidor) *cpuServidor = CpuProceso(PQbackendPID(db));
  return lineas;
}

}  // namespace relvano::bench
