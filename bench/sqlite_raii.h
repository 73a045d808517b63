#pragma once
// Owning handles over the SQLite C API for the benchmark's own database work, and a
// prepared statement with one-line binding helpers.

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace relvano::bench {

struct CierraSqlite {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizaSentencia {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using BaseSqlite = std::unique_ptr<sqlite3, CierraSqlite>;

// Opens `ruta` read-write (creating it when `crear`); throws std::runtime_error.
inline BaseSqlite AbreSqlite(const std::string& ruta, bool crear = false) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (crear ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(ruta.c_str(), &db, flags, nullptr);
  BaseSqlite propia(db);
  if (rc != SQLITE_OK)
    throw std::runtime_error("no se puede abrir " + ruta + ": " +
                             (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
  return propia;
}

inline void Exec(sqlite3* db, const std::string& sql) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
    std::string texto = msg ? msg : "?";
    sqlite3_free(msg);
    throw std::runtime_error(texto + " en: " + sql.substr(0, 120));
  }
}

// One prepared statement, reset after every run. Parameters are bound by position
// (1-based), always: no value is ever pasted into the SQL text.
class Sentencia {
 public:
  Sentencia(sqlite3* db, const char* sql) : db_(db) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(db)) + " en: " + sql);
    s_.reset(s);
  }

  Sentencia& Texto(int i, const std::string& v) {
    sqlite3_bind_text(s_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Sentencia& Real(int i, double v) {
    sqlite3_bind_double(s_.get(), i, v);
    return *this;
  }
  Sentencia& Entero(int i, sqlite3_int64 v) {
    sqlite3_bind_int64(s_.get(), i, v);
    return *this;
  }
  Sentencia& Nulo(int i) {
    sqlite3_bind_null(s_.get(), i);
    return *this;
  }

  // Steps once: true when a row came back (read it with the column helpers, then
  // call Reinicia), false when the statement is done (already reset).
  bool Paso() {
    const int rc = sqlite3_step(s_.get());
    if (rc == SQLITE_ROW) return true;
    sqlite3_reset(s_.get());
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    return false;
  }
  // Runs a statement that returns no rows.
  void Ejecuta() {
    if (Paso()) Reinicia();
  }
  void Reinicia() { sqlite3_reset(s_.get()); }

  double ColReal(int c) const { return sqlite3_column_double(s_.get(), c); }
  bool ColNula(int c) const { return sqlite3_column_type(s_.get(), c) == SQLITE_NULL; }
  std::string ColTexto(int c) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_.get(), c));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_.get(), c)))
             : std::string();
  }
  sqlite3_stmt* Crudo() const { return s_.get(); }
  // Position of a result column by name, looked up once by the caller.
  int Columna(const char* nombre) const {
    for (int c = 0; c < sqlite3_column_count(s_.get()); ++c)
      if (sqlite3_stricmp(sqlite3_column_name(s_.get(), c), nombre) == 0) return c;
    throw std::runtime_error(std::string("no existe la columna ") + nombre);
  }

 private:
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, FinalizaSentencia> s_;
};

}  // namespace relvano::bench
