#pragma once
// A till of the suite beside a measured import (relvano-bench --till).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "procesos.h"
#include "sqlite_raii.h"

namespace relvano::bench {

// A till of the suite beside an import: a connection of its own that stores a row every
// `ms` milliseconds, waiting up to 2 s for the database as the tills do. What it measures
// is how long the import keeps it out.
class Caja {
 public:
  Caja(const std::string& ruta, int ms) : db_(AbreSqlite(ruta)) {
    sqlite3_busy_timeout(db_.get(), 2000);
    Exec(db_.get(), "CREATE TABLE IF NOT EXISTS CAJA_BENCH (N INTEGER)");
    hilo_ = std::thread([this, ms] {
      while (!fin_) {
        const auto t = std::chrono::steady_clock::now();
        if (sqlite3_exec(db_.get(), "INSERT INTO CAJA_BENCH (N) VALUES (1)", nullptr, nullptr,
                         nullptr) == SQLITE_OK)
          ++escritas_;
        else
          ++fallos_;
        esperaMaxima_ = std::max(esperaMaxima_, Segundos(t));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }
    });
  }
  ~Caja() {
    if (hilo_.joinable()) Termina();
  }
  // Stops the till and says what it went through.
  std::string Termina() {
    fin_ = true;
    hilo_.join();
    return "caja: espera máxima " + std::to_string(std::lround(esperaMaxima_ * 1000)) + " ms, " +
           std::to_string(escritas_) + " escrituras, " + std::to_string(fallos_) + " fallidas";
  }

 private:
  BaseSqlite db_;
  std::thread hilo_;
  std::atomic<bool> fin_{false};
  int escritas_ = 0;
  int fallos_ = 0;
  double esperaMaxima_ = 0;
};

}  // namespace relvano::bench
