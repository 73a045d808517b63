#include "base_manual.h"

#include <memory>
#include <utility>
#include <vector>

#include "referencia.h"
#include "sqlite_raii.h"
#include "transacciones.h"

namespace relvano::bench {
namespace {

// SQLite's control statements, as the import's connection sends them: one at a time, a
// transaction begun for writing, each text prepared once (the texts are the run's few
// literals, known by their address).
struct ControlSqlite {
  static constexpr const char* kComienzo = "BEGIN IMMEDIATE";
  static constexpr bool kJuntaControles = false;
  void Control(const char* sql) const {
    for (auto& [texto, sentencia] : *preparadas)
      if (texto == sql) {
        sentencia.Ejecuta();
        return;
      }
    preparadas->emplace_back(sql, Sentencia(db, sql)).second.Ejecuta();
  }
  sqlite3* db;
  // Shared by the copies the transactions make; finalized before the connection closes.
  std::shared_ptr<std::vector<std::pair<const char*, Sentencia>>> preparadas =
      std::make_shared<std::vector<std::pair<const char*, Sentencia>>>();
};

}  // namespace

std::int64_t AplicaManual(Tipo tipo, const std::string& bd, const std::string& fichero,
                          const std::string& hoy, const Grupos* grupos) {
  // The import's engine settings, set before the first connection as the import sets them:
  // no lock around each call, no count of the memory in use.
  sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  BaseSqlite db = AbreSqlite(bd);
  // The import's connection settings: a transaction's changes kept in memory until it
  // commits, in a cache made room for them (with the engine's default cache a long
  // transaction writes its pages out again and again, slower than the import itself).
  Exec(db.get(), "PRAGMA cache_spill = OFF");
  Exec(db.get(), "PRAGMA cache_size = -16384");
  Transacciones<ControlSqlite> t(ControlSqlite{db.get()}, grupos);
  const std::int64_t lineas = referencia::Aplica<Sentencia>(
      tipo, db.get(), t, referencia::Clave{"\"CODIGO\"", "[CODIGO]"}, fichero, hoy);
  t.Confirma();
  return lineas;
}

}  // namespace relvano::bench
