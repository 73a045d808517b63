#include "pg_raii.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace relvano::bench {
namespace {

std::int64_t ejecuciones = 0;
std::int64_t escrituras = 0;

std::string ErrorDe(PGconn* c, const std::string& sql) {
  std::string e = PQerrorMessage(c);
  while (!e.empty() && (e.back() == '\n' || e.back() == ' ')) e.pop_back();
  return e + " en: " + sql.substr(0, 160);
}

void Comprueba(PGconn* c, const PGresult* r, const std::string& sql) {
  const ExecStatusType s = PQresultStatus(r);
  if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) throw std::runtime_error(ErrorDe(c, sql));
}

}  // namespace

std::string ConexionABase(const std::string& servidor, const std::string& base) {
  std::string v;
  for (char ch : base) {
    if (ch == '\'' || ch == '\\') v += '\\';
    v += ch;
  }
  return servidor + " dbname='" + v + "'";
}

ConexionPg ConectaPg(const std::string& conexion) {
  ConexionPg c(PQconnectdb(conexion.c_str()));
  if (!c || PQstatus(c.get()) != CONNECTION_OK)
    throw std::runtime_error("no se puede conectar (" + conexion +
                             "): " + (c ? PQerrorMessage(c.get()) : "sin memoria"));
  // The server's notices ("does not exist, skipping") are nobody's business here.
  PQsetNoticeProcessor(
      c.get(), [](void*, const char*) {}, nullptr);
  if (PQsetClientEncoding(c.get(), "UTF8") != 0)
    throw std::runtime_error("el servidor no acepta UTF8");
  return c;
}

ResultadoPg EjecutaPg(PGconn* c, const std::string& sql,
                      const std::vector<std::string>& parametros) {
  std::vector<const char*> v;
  for (const auto& p : parametros) v.push_back(p.c_str());
  ++ejecuciones;
  ResultadoPg r(PQexecParams(c, sql.c_str(), static_cast<int>(v.size()), nullptr, v.data(), nullptr,
                             nullptr, 0));
  Comprueba(c, r.get(), sql);
  return r;
}

void EjecutaControlPg(PGconn* c, const char* sql) {
  ++ejecuciones;
  const ResultadoPg r(PQexec(c, sql));
  Comprueba(c, r.get(), sql);
}

std::string IdentificadorPg(PGconn* c, const std::string& nombre) {
  char* q = PQescapeIdentifier(c, nombre.data(), nombre.size());
  if (!q) throw std::runtime_error(ErrorDe(c, nombre));
  std::string s = q;
  PQfreemem(q);
  return s;
}

SentenciaPg::SentenciaPg(PGconn* c, const char* sql) : c_(c) {
  static int siguiente = 0;
  nombre_ = "s" + std::to_string(++siguiente);
  // Anything but a SELECT may write.
  const char* inicio = sql;
  while (std::isspace(static_cast<unsigned char>(*inicio))) ++inicio;
  const char* k = "SELECT";
  while (*k && std::toupper(static_cast<unsigned char>(*inicio)) == *k) {
    ++k;
    ++inicio;
  }
  escribe_ = *k != '\0';
  // "?N" keeps its number; a bare "?" takes the next one after the largest so far.
  std::string texto;
  int mayor = 0;
  char comilla = 0;
  for (const char* p = sql; *p; ++p) {
    if (comilla) {
      if (*p == comilla) comilla = 0;
      texto += *p;
      continue;
    }
    if (*p == '\'' || *p == '"') {
      comilla = *p;
      texto += *p;
      continue;
    }
    if (*p != '?') {
      texto += *p;
      continue;
    }
    int n = 0;
    while (std::isdigit(static_cast<unsigned char>(p[1]))) n = n * 10 + (*++p - '0');
    if (n == 0) n = mayor + 1;
    if (n > mayor) mayor = n;
    usos_.push_back(n);
    texto += '$' + std::to_string(usos_.size());
  }
  valores_.resize(static_cast<size_t>(mayor) + 1);
  nulos_.assign(static_cast<size_t>(mayor) + 1, true);
  ++ejecuciones;
  ResultadoPg r(
      PQprepare(c_, nombre_.c_str(), texto.c_str(), static_cast<int>(usos_.size()), nullptr));
  Comprueba(c_, r.get(), texto);
}

SentenciaPg& SentenciaPg::Texto(int i, const std::string& v) {
  valores_.at(static_cast<size_t>(i)) = v;
  nulos_[static_cast<size_t>(i)] = false;
  return *this;
}

SentenciaPg& SentenciaPg::Real(int i, double v) {
  char t[40];
  std::snprintf(t, sizeof t, "%.17g", v);
  return Texto(i, t);
}

SentenciaPg& SentenciaPg::Entero(int i, std::int64_t v) { return Texto(i, std::to_string(v)); }

SentenciaPg& SentenciaPg::Nulo(int i) {
  nulos_.at(static_cast<size_t>(i)) = true;
  return *this;
}

bool SentenciaPg::Paso() {
  if (!resultado_) {
    std::vector<const char*> v;
    v.reserve(usos_.size());
    for (int n : usos_)
      v.push_back(nulos_[static_cast<size_t>(n)] ? nullptr
                                                 : valores_[static_cast<size_t>(n)].c_str());
    ++ejecuciones;
    if (escribe_) ++escrituras;
    resultado_.reset(PQexecPrepared(c_, nombre_.c_str(), static_cast<int>(v.size()), v.data(),
                                    nullptr, nullptr, 0));
    try {
      Comprueba(c_, resultado_.get(), nombre_);
    } catch (...) {
      Reinicia();
      throw;
    }
    fila_ = -1;
  }
  if (++fila_ < PQntuples(resultado_.get())) return true;
  Reinicia();
  return false;
}

void SentenciaPg::Ejecuta() {
  if (Paso()) Reinicia();
}

double SentenciaPg::ColReal(int c) const {
  return std::strtod(PQgetvalue(resultado_.get(), fila_, c), nullptr);
}

std::string SentenciaPg::ColTexto(int c) const {
  return std::string(PQgetvalue(resultado_.get(), fila_, c),
                     static_cast<size_t>(PQgetlength(resultado_.get(), fila_, c)));
}

int SentenciaPg::Columna(const char* nombre) const {
  const int c = PQfnumber(resultado_.get(), nombre);  // folds the name to lower case
  if (c < 0) throw std::runtime_error(std::string("no existe la columna ") + nombre);
  return c;
}

std::int64_t SentenciaPg::Ejecuciones() { return ejecuciones; }

std::int64_t SentenciaPg::Escrituras() { return escrituras; }

}  // namespace relvano::bench
