#include "generador.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "datos.h"

namespace relvano::bench {

using namespace datos;

namespace {

constexpr int kFamiliasNuevas = 4;  // families that only files bring

// Brand names, in the chain's code page too.
const char* const kMarcas[] = {"NORVIA",
                               "CAMPOSOL",
                               "LA HUERTA DE ARAG\xD3N",
                               "DULCES AVI\xD1\xD3N",
                               "SERRAN\xCD"
                               "A DEL SUR",
                               "PESCADOS CANT\xC1"
                               "BRICO"};
const char kLetrasIva[] = {'A', 'A', 'M', 'M', 'M', 'B'};

std::string Relleno(int ancho, char c = '0') { return std::string(static_cast<size_t>(ancho), c); }

std::string Decimal(double n, int decimales) {
  char texto[32];
  std::snprintf(texto, sizeof texto, "%.*f", decimales, n);
  return texto;
}

// Fresh EANs, for the pairs a file adds.
std::string EanNuevo(std::int64_t n) { return Ean13(843000000000LL + n); }

// A chain file being written: CR LF after every line, fields each followed by "|".
class Escritor {
 public:
  explicit Escritor(const std::string& ruta) : f_(ruta, std::ios::binary) {}
  bool Bien() const { return static_cast<bool>(f_); }
  void Linea(const std::vector<std::string>& campos) {
    for (const auto& c : campos) {
      f_ << c;
      f_ << '|';
    }
    f_ << "\r\n";
    ++lineas_;
  }
  std::int64_t Lineas() const { return lineas_; }
  void Ide() {
    Linea({"IDE", "000012345", "000001", "001", "NORVIA TIENDAS - CENTRAL DE COMPRAS",
           kFechaFichero, "06:30:00", "000001", "000001"});
  }
  // The trailer counts every line of the file, itself included.
  void Chk() { Linea({"CHK", Digitos(lineas_ + 1, 6)}); }

 private:
  std::ofstream f_;
  std::int64_t lineas_ = 0;
};

std::vector<std::string> LineaArticulo(Azar& azar, char operacion, std::int64_t indice,
                                       bool familiaNueva) {
  const int f = familiaNueva ? kFamilias + static_cast<int>(azar.Entre(0, kFamiliasNuevas))
                             : FamiliaDe(indice);
  const int g = familiaNueva ? static_cast<int>(azar.Entre(0, kGruposPorFamilia)) : GrupoDe(indice);
  std::vector<std::string> c;
  c.reserve(61);
  c.push_back("DET");                                // 1
  c.push_back(std::string(1, operacion));            // 2
  c.push_back(CodigoArticulo(indice));               // 3
  c.push_back(Descripcion(azar));                    // 4
  c.push_back("1");                                  // 5
  c.push_back(azar.De(kMarcas));                     // 6
  c.push_back(std::string(1, azar.De(kLetrasIva)));  // 7
  c.push_back("");                                   // 8
  c.push_back(CodigoFamilia(f));                     // 9
  c.push_back(CodigoGrupo(f, g));                    // 10
  for (int i = 11; i <= 13; ++i) c.push_back(Digitos(azar.Entre(0, 10000000), 7));
  for (int i = 14; i <= 18; ++i) c.push_back(Digitos(azar.Entre(0, 100000), 5));
  for (int i = 19; i <= 21; ++i) c.push_back(azar.Probabilidad(200) ? "S" : "N");
  for (int i = 22; i <= 24; ++i) c.push_back(Digitos(0, 7));
  c.push_back(std::to_string(azar.De({1, 6, 6, 12, 12, 24})));  // 25 units per box
  c.push_back("");                                              // 26
  c.push_back(Relleno(5));                                      // 27
  for (int i = 28; i <= 30; ++i) c.push_back(Digitos(azar.Entre(0, 10000), 7));
  for (int i = 31; i <= 33; ++i) c.push_back(Decimal(Coste(indice) * 1.3, 2));
  c.push_back("0000");                              // 34
  c.push_back("0000");                              // 35
  c.push_back(Relleno(5));                          // 36
  c.push_back(EanDeArticulo(indice));               // 37
  c.push_back(Relleno(5));                          // 38
  c.push_back(Relleno(7));                          // 39
  c.push_back("01");                                // 40
  c.push_back("00");                                // 41
  c.push_back(std::string(1, azar.De(kUnidades)));  // 42
  c.push_back(kFechaFichero);                       // 43
  c.push_back(azar.De(kMarcas));                    // 44
  c.push_back("DISTRIBUCI\xD3N ALIMENTACI\xD3N");   // 45
  c.push_back(Relleno(6));                          // 46
  c.push_back("");                                  // 47
  for (int i = 48; i <= 50; ++i) c.push_back(Relleno(5));
  c.push_back(Relleno(9));  // 51
  for (int i = 52; i <= 61; ++i)
    c.push_back(i == 52 ? "Espa\xF1"
                          "a"
                        : "");
  return c;
}

void EscribeArticulos(Escritor& w, Azar& azar, std::int64_t n, std::int64_t m) {
  std::int64_t nuevo = m;  // new articles get codes after the database's last one
  for (std::int64_t k = 0; k < n; ++k) {
    const int r = static_cast<int>(azar.Entre(0, 100));
    if (m > 0 && r < 80) {  // change of an existing article
      w.Linea(LineaArticulo(azar, 'M', azar.Entre(0, m), azar.Probabilidad(5)));
    } else if (m > 0 && r < 83) {  // removal
      w.Linea(LineaArticulo(azar, 'B', azar.Entre(0, m), false));
    } else if (m > 0 && r < 85) {  // addition of an article the shop has: refused
      w.Linea(LineaArticulo(azar, 'A', azar.Entre(0, m), false));
    } else if (r < 87) {  // change of an article the shop lacks: becomes an addition
      w.Linea(LineaArticulo(azar, 'M', nuevo++, azar.Probabilidad(20)));
    } else {
      w.Linea(LineaArticulo(azar, 'A', nuevo++, azar.Probabilidad(20)));
    }
  }
}

void EscribeEan(Escritor& w, Azar& azar, std::int64_t n, std::int64_t m) {
  std::int64_t nuevo = 0;
  for (std::int64_t k = 0; k < n; ++k) {
    const std::int64_t i = m > 0 ? azar.Entre(0, m) : 0;
    const int r = static_cast<int>(azar.Entre(0, 100));
    std::string accion = "A", ean = EanNuevo(nuevo), tipo = "R", articulo = CodigoArticulo(i);
    if (r < 85) {
      ++nuevo;
    } else if (r < 90) {
      ean = EanDeArticulo(i);  // the pair exists already: refused
    } else if (r < 94) {
      accion = "M";
      ++nuevo;
    } else if (r < 96) {
      accion = "B";
    } else if (r < 98) {
      articulo = CodigoArticulo(m + azar.Entre(0, 1000));  // not in the shop
    } else {
      tipo = "I";  // a type the shop does not import
      ++nuevo;
    }
    w.Linea({"DET", accion, ean, articulo, tipo, Relleno(5)});
  }
}

void EscribePreciosCoste(Escritor& w, Azar& azar, std::int64_t n, std::int64_t m) {
  for (std::int64_t k = 0; k < n; ++k) {
    const int r = static_cast<int>(azar.Entre(0, 100));
    const std::int64_t i =
        r < 98 ? azar.Entre(0, std::max<std::int64_t>(m, 1)) : m + azar.Entre(0, 1000);
    const std::string precio =
        Decimal(Coste(i) * (0.9 + static_cast<double>(azar.Entre(0, 200)) / 1000.0), 2);
    // Both cost fields agree, as they do in the chain's files: no warning halts the run.
    w.Linea({"DET", r < 95 ? "M" : "A", CodigoArticulo(i), Descripcion(azar),
             Digitos(k % 1000000, 6), "1", Digitos(azar.Entre(0, 1000000000), 15), "N", "S", precio,
             precio});
  }
}

void EscribePreciosVenta(Escritor& w, Azar& azar, std::int64_t n, std::int64_t m) {
  for (std::int64_t k = 0; k < n; ++k) {
    const bool existe = m > 0 && !azar.Probabilidad(20);
    const std::int64_t i = existe ? azar.Entre(0, m) : m + azar.Entre(0, 1000);
    w.Linea({"DET", CodigoArticulo(i), Digitos(k, 10), Digitos(azar.Entre(0, 10000000), 7),
             Decimal(Coste(i) * 1.45, 2)});
  }
}

void EscribeOfertas(Escritor& w, Azar& azar, std::int64_t n, std::int64_t m) {
  std::vector<std::string> anterior;
  for (std::int64_t k = 0; k < n; ++k) {
    if (!anterior.empty() && azar.Probabilidad(30)) {  // the same offer again: refused
      w.Linea(anterior);
      continue;
    }
    const std::int64_t i = azar.Entre(0, std::max<std::int64_t>(m, 1));
    const int inicio = static_cast<int>(azar.Entre(0, 700));
    const std::string desde = FechaDia(inicio);
    const std::string hasta = FechaDia(inicio + static_cast<int>(azar.Entre(6, 30)));
    if (k % 2 == 0) {
      anterior = {"COM",
                  Digitos(azar.Entre(0, 10000000000LL), 10),
                  Descripcion(azar),
                  "1",
                  CodigoArticulo(i),
                  desde,
                  hasta,
                  Decimal(Coste(i) * 0.85, 3)};
    } else {
      anterior = {"VTA",
                  Digitos(azar.Entre(0, 10000000000LL), 10),
                  Descripcion(azar),
                  "1",
                  CodigoArticulo(i),
                  desde,
                  hasta,
                  Digitos(azar.Entre(0, 10000000), 7),
                  Decimal(Coste(i) * 1.25, 2)};
    }
    w.Linea(anterior);
  }
}

// The chain's invoice: one CAB, the LIN lines, one ACU and an IMP line per VAT class
// with the bases and the VAT of the lines at the rates of the invoice's date.
void EscribeFactura(Escritor& w, Azar& azar, std::int64_t n, std::int64_t m,
                    std::uint64_t semilla) {
  struct Clase {
    char letra;
    double iva;
    double base = 0;
  };
  Clase clases[] = {{'A', 18.0}, {'M', 8.0}, {'B', 4.0}};
  const std::string numero = "FAC" + Digitos(static_cast<std::int64_t>(semilla % 100000000ULL), 8);
  double total = 0;
  // The lines are written after CAB, whose total needs them all: compute them first
  // with the engine, then replay the same draws for writing (no list of N lines kept).
  auto linea = [&](Azar& a, bool escribe) {
    std::int64_t i = a.Entre(0, std::max<std::int64_t>(m, 1));
    if (!TieneProveedor(i) && !a.Probabilidad(100)) i = (i + 1) % std::max<std::int64_t>(m, 1);
    const int c = static_cast<int>(a.Entre(0, 3));
    const double cantidad = static_cast<double>(a.Entre(1, 48));
    const double precio = std::round(Coste(i) * 100.0) / 100.0;
    const double base = std::round(cantidad * precio * 100.0) / 100.0;
    if (!escribe) {
      clases[c].base += base;
      return;
    }
    w.Linea({"LIN",
             CodigoArticulo(i),
             Relleno(7),
             std::string(1, clases[c].letra),
             "N",
             Relleno(7),
             Relleno(7),
             "N",
             Decimal(cantidad, 3),
             Relleno(9),
             "0000",
             "0000",
             "0000",
             "0000",
             "00",
             Relleno(8),
             Relleno(8),
             Decimal(precio, 2),
             Relleno(8),
             Relleno(8),
             "N",
             Decimal(base, 2)});
  };
  const std::uint64_t semillaLineas = semilla ^ 0x5eed1u;
  {
    Azar a(semillaLineas);
    for (std::int64_t k = 0; k < n; ++k) linea(a, false);
  }
  for (auto& c : clases) {
    c.base = std::round(c.base * 100.0) / 100.0;
    total += c.base + std::round(c.base * c.iva) / 100.0;
  }
  w.Linea({"CAB", numero, kFechaFichero, "00001", "N", "N", "N", Relleno(10), Relleno(6),
           Relleno(5), Relleno(6), Relleno(5), "NORVIA DISTRIBUCI\xD3N", Relleno(8),
           Decimal(total, 2), Relleno(10)});
  {
    Azar a(semillaLineas);
    for (std::int64_t k = 0; k < n; ++k) linea(a, true);
  }
  (void)azar;
  w.Linea({"ACU", Relleno(11)});
  for (const auto& c : clases)
    w.Linea({"IMP", std::string(1, c.letra), "0000", "0000", Decimal(c.base, 2),
             Decimal(std::round(c.base * c.iva) / 100.0, 2), Decimal(0, 2)});
}

}  // namespace

std::string Utf8(const std::string& s1252) {
  std::string out;
  out.reserve(s1252.size() + 8);
  for (unsigned char c : s1252) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

const char* Nombre(Tipo tipo) {
  switch (tipo) {
    case Tipo::Articulos:
      return "articulos";
    case Tipo::Ean:
      return "ean";
    case Tipo::PreciosCoste:
      return "preciocoste";
    case Tipo::PreciosVenta:
      return "precioventa";
    case Tipo::Ofertas:
      return "ofertas";
    case Tipo::Facturas:
      return "facturas";
  }
  return "?";
}

bool TipoDeNombre(const std::string& nombre, Tipo* tipo) {
  for (Tipo t : kTipos) {
    if (nombre == Nombre(t)) {
      *tipo = t;
      return true;
    }
  }
  return false;
}

const char* NombreFichero(Tipo tipo) {
  switch (tipo) {
    case Tipo::Articulos:
      return "vrcrefcto";
    case Tipo::Ean:
      return "vrceancto";
    case Tipo::PreciosCoste:
      return "vrcmllcto";
    case Tipo::PreciosVenta:
      return "vrcprccto";
    case Tipo::Ofertas:
      return "vrcofecto";
    case Tipo::Facturas:
      return "envfradis";
  }
  return "?";
}

std::string CodigoArticulo(std::int64_t i) { return Digitos(1000000 + i, 7); }

bool TieneProveedor(std::int64_t i) { return i % 20 != 19; }

bool GeneraFichero(Tipo tipo, const std::string& ruta, std::int64_t lineas, std::int64_t articulos,
                   std::uint64_t semilla, std::string* error) {
  Escritor w(ruta);
  if (!w.Bien()) {
    if (error) *error = "no se puede escribir " + ruta;
    return false;
  }
  // Each kind draws from its own stream, so that one file does not depend on which
  // others were written before it.
  Azar azar(semilla * 31 + static_cast<std::uint64_t>(tipo) + 1);
  w.Ide();
  switch (tipo) {
    case Tipo::Articulos:
      EscribeArticulos(w, azar, lineas, articulos);
      break;
    case Tipo::Ean:
      EscribeEan(w, azar, lineas, articulos);
      break;
    case Tipo::PreciosCoste:
      EscribePreciosCoste(w, azar, lineas, articulos);
      break;
    case Tipo::PreciosVenta:
      EscribePreciosVenta(w, azar, lineas, articulos);
      break;
    case Tipo::Ofertas:
      EscribeOfertas(w, azar, lineas, articulos);
      break;
    case Tipo::Facturas:
      EscribeFactura(w, azar, lineas, articulos, semilla);
      break;
  }
  w.Chk();
  if (!w.Bien()) {
    if (error) *error = "error al escribir " + ruta;
    return false;
  }
  return true;
}

}  // namespace relvano::bench
