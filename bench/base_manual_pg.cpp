// The hand-written reference run on a PostgreSQL server (referencia.h) through libpq: each
// statement prepared once on the server, values bound as text, every statement a round
// trip, the whole file in one transaction.
#include "base_manual.h"
#include "pg_raii.h"
#include "referencia.h"
#include "servidor_pg.h"

namespace relvano::bench {

std::int64_t AplicaManualPg(Tipo tipo, const std::string& conexion, const std::string& fichero,
                            const std::string& hoy, double* cpuServidor) {
  ConexionPg c = ConectaPg(conexion);
  PGconn* db = c.get();
  EjecutaPg(db, "BEGIN");
  referencia::UnaTransaccion t;
  const std::int64_t lineas = referencia::Aplica<SentenciaPg>(
      tipo, db, t, referencia::Clave{"CODIGO", "CODIGO"}, fichero, hoy);
  EjecutaPg(db, "COMMIT");
  if (cpuServidor) *cpuServidor = CpuProceso(PQbackendPID(db));
  return lineas;
}

}  // namespace relvano::bench
