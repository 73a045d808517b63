#include "servidor_pg.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "pg_raii.h"
#include "sqlite_raii.h"

namespace relvano::bench {
namespace {

std::string Minusculas(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return s;
}

// One value in COPY's text format.
void AnadeValor(std::string& fila, sqlite3_stmt* s, int c) {
  switch (sqlite3_column_type(s, c)) {
    case SQLITE_NULL:
      fila += "\\N";
      return;
    case SQLITE_INTEGER:
      fila += std::to_string(sqlite3_column_int64(s, c));
      return;
    case SQLITE_FLOAT: {
      // Whole numbers as such, so that they also fit an integer column.
      const double x = sqlite3_column_double(s, c);
      char t[40];
      if (x == std::floor(x) && std::fabs(x) < 1e15)
        std::snprintf(t, sizeof t, "%.0f", x);
      else
        std::snprintf(t, sizeof t, "%.17g", x);
      fila += t;
      return;
    }
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
      const int n = sqlite3_column_bytes(s, c);
      for (int i = 0; i < n; ++i) {
        switch (p[i]) {
          case '\\':
            fila += "\\\\";
            break;
          case '\t':
            fila += "\\t";
            break;
          case '\n':
            fila += "\\n";
            break;
          case '\r':
            fila += "\\r";
            break;
          default:
            fila += p[i];
        }
      }
      return;
    }
    default:
      throw std::runtime_error(std::string("valor binario en la columna ") +
                               sqlite3_column_name(s, c));
  }
}

void EnviaCopia(PGconn* c, const std::string& datos, const std::string& sql) {
  if (PQputCopyData(c, datos.data(), static_cast<int>(datos.size())) != 1)
    throw std::runtime_error(std::string(PQerrorMessage(c)) + " en: " + sql);
}

void CopiaTabla(sqlite3* origen, PGconn* destino, const std::string& tabla) {
  Sentencia filas(origen, ("SELECT * FROM \"" + tabla + "\"").c_str());
  const int columnas = sqlite3_column_count(filas.Crudo());
  // The server's table and columns of the same names, whatever their case there.
  ResultadoPg r = EjecutaPg(destino,
                            "SELECT table_name, column_name FROM information_schema.columns "
                            "WHERE table_schema = current_schema() AND lower(table_name) = $1",
                            {Minusculas(tabla)});
  if (PQntuples(r.get()) == 0) throw std::runtime_error("el servidor no tiene la tabla " + tabla);
  std::string sql = "COPY " + IdentificadorPg(destino, PQgetvalue(r.get(), 0, 0)) + " (";
  for (int c = 0; c < columnas; ++c) {
    const std::string columna = Minusculas(sqlite3_column_name(filas.Crudo(), c));
    int i = 0;
    while (i < PQntuples(r.get()) && Minusculas(PQgetvalue(r.get(), i, 1)) != columna) ++i;
    if (i == PQntuples(r.get()))
      throw std::runtime_error("el servidor no tiene la columna " + tabla + "." + columna);
    sql += (c ? ", " : "") + IdentificadorPg(destino, PQgetvalue(r.get(), i, 1));
  }
  sql += ") FROM STDIN";
  ResultadoPg inicio(PQexec(destino, sql.c_str()));
  if (PQresultStatus(inicio.get()) != PGRES_COPY_IN)
    throw std::runtime_error(std::string(PQerrorMessage(destino)) + " en: " + sql);
  std::string datos;
  while (filas.Paso()) {
    for (int c = 0; c < columnas; ++c) {
      if (c) datos += '\t';
      AnadeValor(datos, filas.Crudo(), c);
    }
    datos += '\n';
    if (datos.size() > (1 << 20)) {
      EnviaCopia(destino, datos, sql);
      datos.clear();
    }
  }
  if (!datos.empty()) EnviaCopia(destino, datos, sql);
  if (PQputCopyEnd(destino, nullptr) != 1)
    throw std::runtime_error(std::string(PQerrorMessage(destino)) + " en: " + sql);
  for (ResultadoPg fin(PQgetResult(destino)); fin; fin.reset(PQgetResult(destino)))
    if (PQresultStatus(fin.get()) != PGRES_COMMAND_OK)
      throw std::runtime_error(std::string(PQerrorMessage(destino)) + " en: " + sql);
}

}  // namespace

void CopiaAlServidor(const std::string& sqlite, const std::string& conexion) {
  BaseSqlite origen = AbreSqlite(sqlite);
  ConexionPg c = ConectaPg(conexion);
  EjecutaPg(c.get(), "BEGIN");
  Sentencia tablas(origen.get(),
                   "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                   "'sqlite\\_%' ESCAPE '\\' ORDER BY name");
  while (tablas.Paso()) CopiaTabla(origen.get(), c.get(), tablas.ColTexto(0));
  // The counters of generated keys start after the copied rows' keys.
  ResultadoPg contadores = EjecutaPg(
      c.get(),
      "SELECT t.relname, a.attname, pg_get_serial_sequence(quote_ident(t.relname), a.attname) "
      "FROM pg_attribute a JOIN pg_class t ON t.oid = a.attrelid "
      "JOIN pg_namespace n ON n.oid = t.relnamespace "
      "WHERE n.nspname = current_schema() AND t.relkind = 'r' AND a.attnum > 0 "
      "AND NOT a.attisdropped "
      "AND pg_get_serial_sequence(quote_ident(t.relname), a.attname) IS NOT NULL");
  for (int i = 0; i < PQntuples(contadores.get()); ++i) {
    const std::string tabla = IdentificadorPg(c.get(), PQgetvalue(contadores.get(), i, 0));
    const std::string columna = IdentificadorPg(c.get(), PQgetvalue(contadores.get(), i, 1));
    EjecutaPg(c.get(),
              "SELECT setval($1::regclass, coalesce((SELECT max(" + columna + ") FROM " + tabla +
                  "), 0) + 1, false)",
              {PQgetvalue(contadores.get(), i, 2)});
  }
  EjecutaPg(c.get(), "COMMIT");
  EjecutaPg(c.get(), "VACUUM (FREEZE, ANALYZE)");
}

void CopiaBase(PGconn* mantenimiento, const std::string& base, const std::string& plantilla) {
  const std::string nombre = IdentificadorPg(mantenimiento, base);
  EjecutaPg(mantenimiento, "DROP DATABASE IF EXISTS " + nombre);
  EjecutaPg(mantenimiento,
            "CREATE DATABASE " + nombre + " TEMPLATE " + IdentificadorPg(mantenimiento, plantilla));
}

void BorraBases(PGconn* mantenimiento, const std::string& prefijo) {
  ResultadoPg r =
      EjecutaPg(mantenimiento,
                "SELECT datname FROM pg_database WHERE left(datname, length($1)) = $1", {prefijo});
  for (int i = 0; i < PQntuples(r.get()); ++i)
    EjecutaPg(mantenimiento, "DROP DATABASE IF EXISTS " +
                                 IdentificadorPg(mantenimiento, PQgetvalue(r.get(), i, 0)) +
                                 " WITH (FORCE)");
}

std::string HuellaPg(const std::string& conexion) {
  ConexionPg c = ConectaPg(conexion);
  static const char* const kConsultas[] = {
      "SELECT count(*) FROM articulos",
      "SELECT count(*) FROM articulos WHERE baja::int <> 0",
      "SELECT round(sum(coste)::numeric, 2) FROM articulos",
      "SELECT round(sum(venta)::numeric, 2) FROM articulos",
      "SELECT round(sum(stockactual)::numeric, 2) FROM articulos",
      "SELECT count(*) FROM familias",
      "SELECT count(*) FROM grupos",
      "SELECT count(*) FROM subgrupos",
      "SELECT count(*) FROM articulos_prov",
      "SELECT round(sum(coste)::numeric, 2) FROM articulos_prov",
      "SELECT count(*) FROM articulos_ean",
      "SELECT count(*) FROM prom_art_compra",
      "SELECT count(*) FROM prom_art_venta",
      "SELECT count(*) FROM lin_compras",
      "SELECT count(*) FROM alb_prov"};
  std::string huella;
  for (const char* sql : kConsultas) {
    ResultadoPg r = EjecutaPg(c.get(), sql);
    huella += PQntuples(r.get()) && !PQgetisnull(r.get(), 0, 0) ? PQgetvalue(r.get(), 0, 0) : "-";
    huella += ' ';
  }
  return huella;
}

double CpuProceso(long pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string linea;
  if (pid <= 0 || !std::getline(f, linea)) return -1;
  // After the command name in parentheses: state, then fields 4 to 13, then utime, stime.
  const size_t fin = linea.rfind(')');
  if (fin == std::string::npos) return -1;
  std::istringstream in(linea.substr(fin + 2));
  std::string campo;
  for (int i = 3; i <= 13; ++i) in >> campo;
  double utime = 0, stime = 0;
  if (!(in >> utime >> stime)) return -1;
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::int64_t SentenciasEnBase(PGconn* mantenimiento, const std::string& base, int n, double lineas,
                              std::string* detalle) {
  try {
    ResultadoPg r = EjecutaPg(mantenimiento,
                              "SELECT coalesce(sum(s.calls), 0) FROM pg_stat_statements s "
                              "JOIN pg_database d ON d.oid = s.dbid WHERE d.datname = $1",
                              {base});
    const std::int64_t total = std::stoll(PQgetvalue(r.get(), 0, 0));
    if (detalle && n > 0) {
      ResultadoPg top = EjecutaPg(
          mantenimiento,
          "SELECT s.calls, round((s.total_exec_time + s.total_plan_time)::numeric, 1), "
          "left(regexp_replace(s.query, '\\s+', ' ', 'g'), 150) FROM pg_stat_statements s "
          "JOIN pg_database d ON d.oid = s.dbid WHERE d.datname = $1 "
          "ORDER BY s.calls DESC, s.total_exec_time DESC LIMIT $2",
          {base, std::to_string(n)});
      for (int i = 0; i < PQntuples(top.get()); ++i) {
        char t[64];
        std::snprintf(t, sizeof t, "  %8.3f/línea %9s ms  ",
                      std::stod(PQgetvalue(top.get(), i, 0)) / lineas, PQgetvalue(top.get(), i, 1));
        *detalle += t;
        *detalle += PQgetvalue(top.get(), i, 2);
        *detalle += '\n';
      }
    }
    return total;
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace relvano::bench
