#pragma once
// The transactions of a hand-written reference run, written once for both engines.

#include <chrono>
#include <cstdint>
#include <thread>

namespace relvano::bench {

// The import's commit groups, for a reference run with its transaction structure.
struct Grupos {
  int lineas = 0;               // units committed together at most
  std::int64_t duracionMs = 0;  // a group ends after the unit that ends this long after it began
  std::int64_t pausaMs = 0;     // the store left free after a group that lasted that long
};

// The transactions of a reference run. At the engine's limit (no `grupos`): one
// transaction for the whole file. With the import's structure: every unit of work inside
// a savepoint, the units committed in groups ended as the import ends them (a number of
// lines, or a duration), and the next group begun only once the import's pause after a
// commit has passed.
//
// `M` says how the engine takes its control statements, as the import's dialect does:
//   void Control(const char* sql)       runs one round trip of control statements;
//   static constexpr const char* kComienzo   the statement that starts a transaction;
//   static constexpr bool kJuntaControles    a savepoint's release travels with the next
//       savepoint (or is dropped by the COMMIT), and a savepoint taken when nothing was
//       written since the last one is kept as it is (it still marks the same state);
//   std::int64_t Escrituras() const     (with kJuntaControles) statements that may write
//       run so far on the connection.
template <class M>
class Transacciones {
 public:
  Transacciones(M motor, const Grupos* grupos) : motor_(motor), grupos_(grupos) {}

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
    if (!grupos_) return;
    if constexpr (M::kJuntaControles) {
      if (liberacion_) {
        liberacion_ = false;
        if (motor_.Escrituras() == escrituras_) return;
        motor_.Control("RELEASE SAVEPOINT RELVANO_LINEA; SAVEPOINT RELVANO_LINEA");
      } else {
        motor_.Control("SAVEPOINT RELVANO_LINEA");
      }
      escrituras_ = motor_.Escrituras();
    } else {
      motor_.Control("SAVEPOINT RELVANO_LINEA");
    }
  }
  void Termina() {
    if (!grupos_) return;
    if constexpr (M::kJuntaControles) {
      liberacion_ = true;
    } else {
      motor_.Control("RELEASE SAVEPOINT RELVANO_LINEA");
    }
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
    liberacion_ = false;  // the COMMIT releases every savepoint
    motor_.Control("COMMIT");
    abierta_ = false;
    pendientes_ = 0;
    libre_ = Reloj::now();
    pausa_ = grupos_ && grupos_->pausaMs > 0 && libre_ - retenido_ >= Ms(grupos_->duracionMs);
  }

 private:
  using Reloj = std::chrono::steady_clock;
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
    motor_.Control(M::kComienzo);
    abierta_ = true;
    inicio_ = Reloj::now();
  }

  M motor_;
  const Grupos* grupos_;
  bool abierta_ = false;
  bool pausa_ = false;           // the next group waits for the pause after the commit
  bool liberacion_ = false;      // the savepoint's release waits for the next savepoint
  std::int64_t escrituras_ = 0;  // the engine's count of writes when the savepoint was taken
  int pendientes_ = 0;
  Reloj::time_point inicio_, libre_, retenido_;
};

}  // namespace relvano::bench
