#include "base_manual.h"

#include <chrono>
#include <thread>

#include "referencia.h"
#include "sqlite_raii.h"

namespace relvano::bench {
namespace {

using Reloj = std::chrono::steady_clock;

// The transactions of a reference run. At the engine's limit: one transaction for the
// whole file. With the import's structure: every unit of work inside a savepoint, the
// units committed in groups ended as the import ends them (a number of lines, or a
// duration), and the next group begun only once the import's pause after a commit
// has passed.
class Transacciones {
 public:
  Transacciones(sqlite3* db, const Grupos* grupos) : db_(db), grupos_(grupos) {}

  // Runs `aplica` as one unit of work.
  template <typename F>
  void Unidad(F&& aplica) {
    Empieza();
    aplica();
    Termina();
  }
  // The same for a unit that spans lines: Empieza before its first, Termina after its last.
  void Empieza() {
    Abre();
    if (grupos_) Exec(db_, "SAVEPOINT RELVANO_LINEA");
  }
  void Termina() {
    if (!grupos_) return;
    Exec(db_, "RELEASE SAVEPOINT RELVANO_LINEA");
    ++pendientes_;
    if (pendientes_ >= grupos_->lineas ||
        (grupos_->duracionMs > 0 && Reloj::now() - inicio_ >= Ms(grupos_->duracionMs))) {
      Confirma();
    }
  }
  // With the import's structure, commits what is open (as the import commits a unit
  // that is kept whole).
  void ConfirmaUnidad() {
    if (grupos_) Confirma();
  }
  // Commits what is open (the end of the run).
  void Confirma() {
    if (!abierta_) return;
    Exec(db_, "COMMIT");
    abierta_ = false;
    pendientes_ = 0;
    libre_ = Reloj::now();
    pausa_ = grupos_ && grupos_->pausaMs > 0 && libre_ - retenido_ >= Ms(grupos_->duracionMs);
  }

 private:
  static std::chrono::milliseconds Ms(std::int64_t ms) { return std::chrono::milliseconds(ms); }
  void Abre() {
    if (abierta_) return;
    if (pausa_) {
      const auto hasta = libre_ + Ms(grupos_->pausaMs);
      if (Reloj::now() < hasta) std::this_thread::sleep_until(hasta);
      pausa_ = false;
      retenido_ = Reloj::now();
    } else if (!grupos_ || retenido_ == Reloj::time_point{}) {
      retenido_ = Reloj::now();
    }
    Exec(db_, "BEGIN IMMEDIATE");
    abierta_ = true;
    inicio_ = Reloj::now();
  }

  sqlite3* db_;
  const Grupos* grupos_;
  bool abierta_ = false;
  bool pausa_ = false;  // the next group waits for the pause after the commit
  int pendientes_ = 0;
  Reloj::time_point inicio_, libre_, retenido_;
};

}  // namespace

std::int64_t AplicaManual(Tipo tipo, const std::string& bd, const std::string& fichero,
                          const std::string& hoy, const Grupos* grupos) {
  BaseSqlite db = AbreSqlite(bd);
  // The import's connection settings: a transaction's changes kept in memory until it
  // commits, in a cache made room for them (with the engine's default cache a long
  // transaction writes its pages out again and again, slower than the import itself).
  Exec(db.get(), "PRAGMA cache_spill = OFF");
  Exec(db.get(), "PRAGMA cache_size = -16384");
  Transacciones t(db.get(), grupos);
  const std::int64_t lineas = referencia::Aplica<Sentencia>(
      tipo, db.get(), t, referencia::Clave{"\"CODIGO\"", "[CODIGO]"}, fichero, hoy);
  t.Confirma();
  return lineas;
}

}  // namespace relvano::bench
