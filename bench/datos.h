#pragma once
// The rules of the generated data that the store databases and the chain files share,
// so that both agree on every article: its family and group, description, EAN, cost, and
// the random draws that pick them.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace relvano::bench::datos {

inline constexpr int kFamilias = 40;         // families of a generated store
inline constexpr int kGruposPorFamilia = 5;  // groups of each family

// Description words in the chain's code page (Windows-1252). Literals are split
// after each escape so that a following hex letter is not read into it.
inline constexpr const char* kProductos[] = {
    "AZ\xDA"
    "CAR BLANCO",
    "CAF\xC9 MOLIDO",
    "JAM\xD3N SERRANO",
    "LIM\xD3N",
    "PI\xD1"
    "A EN ALM\xCD"
    "BAR",
    "ACEITE DE OLIVA",
    "AT\xDAN CLARO",
    "GALLETAS MAR\xCD"
    "A",
    "CHAMP\xDA SUAVE",
    "MAHONESA",
    "PAN DE MOLDE",
    "BACALAO",
    "JUD\xCD"
    "AS VERDES",
    "CHAMPI\xD1\xD3N LAMINADO",
    "PL\xC1TANO",
    "Caf\xE9 soluble",
    "Az\xFA"
    "car moreno",
    "Jam\xF3n cocido",
    "Pi\xF1"
    "ones",
    "Ma\xED"
    "z dulce",
    "Pat\xE9 de h\xED"
    "gado",
    "Turr\xF3n de Jijona",
    "Salm\xF3n ahumado",
    "Limpiador ba\xF1o",
    "Espinacas",
    "Leche semidesnatada",
    "Garbanzos cocidos",
    "Queso manchego",
    "Yogur natural"};
inline constexpr const char* kCalificativos[] = {
    "ECOL\xD3GICO", "EXTRA",           "TRADICIONAL", "R\xC1PIDO",  "CL\xC1SICO",   "PEQUE\xD1O",
    "INTEGRAL",     "MEDITERR\xC1NEO", "ligero",      "cl\xE1sico", "econ\xF3mico", "s\xFAper"};
inline constexpr const char* kFormatos[] = {"500 G",     "1 L",         "250 ML", "PACK 6",
                                            "1 KG",      "BOTE 400 G",  "200 g",  "6 x 1 l",
                                            "LATA 80 G", "BOLSA 1,5 KG"};
inline constexpr char kUnidades[] = {'U', 'U', 'U', 'K', 'L'};

// Draws from a seeded engine the same way on every platform (the standard
// distributions are not required to).
class Azar {
 public:
  explicit Azar(std::uint64_t semilla) : motor_(semilla) {}
  std::int64_t Entre(std::int64_t desde, std::int64_t hasta) {  // [desde, hasta)
    return desde + static_cast<std::int64_t>(motor_() % static_cast<std::uint64_t>(hasta - desde));
  }
  bool Probabilidad(int porMil) { return Entre(0, 1000) < porMil; }
  template <typename T, size_t N>
  const T& De(const T (&lista)[N]) {
    return lista[static_cast<size_t>(Entre(0, static_cast<std::int64_t>(N)))];
  }

 private:
  std::mt19937_64 motor_;
};

inline std::string Digitos(std::int64_t n, int ancho) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < ancho) s.insert(0, static_cast<size_t>(ancho) - s.size(), '0');
  return s;
}

inline std::string CodigoFamilia(int f) { return Digitos(100 + f, 4); }
inline std::string CodigoGrupo(int f, int g) { return Digitos((100 + f) * 10 + g, 5); }

// The family and group of article i: fixed, so that files and databases agree.
inline int FamiliaDe(std::int64_t i) { return static_cast<int>(i % kFamilias); }
inline int GrupoDe(std::int64_t i) { return static_cast<int>((i / kFamilias) % kGruposPorFamilia); }

inline std::string Descripcion(Azar& azar) {
  std::string d = azar.De(kProductos);
  d += ' ';
  d += azar.De(kCalificativos);
  d += ' ';
  d += azar.De(kFormatos);
  if (d.size() > 50) d.resize(50);
  return d;
}

// A valid EAN-13 from a 12-digit body: the check digit weighs odd positions 1, even 3.
inline std::string Ean13(std::int64_t cuerpo) {
  std::string s = Digitos(cuerpo, 12);
  int suma = 0;
  for (int i = 0; i < 12; ++i) suma += (s[static_cast<size_t>(i)] - '0') * (i % 2 ? 3 : 1);
  s += static_cast<char>('0' + (10 - suma % 10) % 10);
  return s;
}
// The EAN a generated store database already holds for article i.
inline std::string EanDeArticulo(std::int64_t i) { return Ean13(840000000000LL + i); }

inline double Coste(std::int64_t i) {
  return 0.35 + static_cast<double>((i * 7919) % 4000) / 100.0;
}

// Days since 2011-01-01 to an ISO date, for offers spread over two years.
inline std::string FechaDia(int dia) {
  static const int kDiasMes[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int anyo = 2011;
  for (;;) {
    const bool bisiesto = anyo % 4 == 0;
    const int dias = bisiesto ? 366 : 365;
    if (dia < dias) break;
    dia -= dias;
    ++anyo;
  }
  int mes = 0;
  for (;; ++mes) {
    const int dias = kDiasMes[mes] + (mes == 1 && anyo % 4 == 0 ? 1 : 0);
    if (dia < dias) break;
    dia -= dias;
  }
  return Digitos(anyo, 4) + '-' + Digitos(mes + 1, 2) + '-' + Digitos(dia + 1, 2);
}

}  // namespace relvano::bench::datos
