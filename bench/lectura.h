#pragma once
// What both hand-written reference runs share: the chain file read line by line and
// split on "|", and the few conversions of its fields.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace relvano::bench::lectura {

// Fields of one line, 1-based, blanks trimmed; a missing field reads as "".
class Campos {
 public:
  void Parte(std::string_view linea) {
    campos_.clear();
    size_t inicio = 0;
    for (size_t p; (p = linea.find('|', inicio)) != std::string_view::npos; inicio = p + 1)
      campos_.push_back(Recorta(linea.substr(inicio, p - inicio)));
  }
  std::string operator()(size_t n) const {
    return n >= 1 && n <= campos_.size() ? std::string(campos_[n - 1]) : std::string();
  }

 private:
  static std::string_view Recorta(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  }
  std::vector<std::string_view> campos_;
};

inline double Numero(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

// Year-first date fields ("2012-07-15" or "2012/07/15") as stored: YYYY-MM-DD.
inline std::string Fecha(const std::string& s) {
  return s.size() >= 10 ? s.substr(0, 4) + '-' + s.substr(5, 2) + '-' + s.substr(8, 2)
                        : std::string();
}

// Shared frame of every kind: the file read line by line, the IDE line first, each
// line handed to `aplica` with its fields.
template <typename F>
std::int64_t Recorre(const std::string& fichero, F&& aplica) {
  std::ifstream f(fichero, std::ios::binary);
  if (!f) throw std::runtime_error("no se puede abrir " + fichero);
  std::string linea, fechaIde;
  Campos campos;
  std::int64_t n = 0;
  while (std::getline(f, linea)) {
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    if (linea.empty()) continue;
    ++n;
    campos.Parte(linea);
    if (n == 1 && linea.compare(0, 3, "IDE") == 0) {
      fechaIde = Fecha(campos(6));
      continue;
    }
    aplica(std::string_view(linea).substr(0, 3), campos, fechaIde);
  }
  return n;
}

// The later of a stored ULTIMA_MODIFICACION and the file's date.
inline std::string UltimaModificacion(const std::string& actual, const std::string& fecha) {
  return actual.size() < 10 || actual.substr(0, 10) < fecha ? fecha : actual;
}

}  // namespace relvano::bench::lectura
