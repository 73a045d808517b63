#include "generador.h"

#include <QString>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "sqlite_raii.h"
#include "store/db/esquema.h"

namespace relvano::bench {
namespace {

constexpr int kFamilias = 40;         // families of a generated store
constexpr int kGruposPorFamilia = 5;  // groups of each family
constexpr int kFamiliasNuevas = 4;    // families that only files bring

// Description words in the chain's code page (Windows-1252). Literals are split
// after each escape so that a following hex letter is not read into it.
const char* const kProductos[] = {
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
const char* const kCalificativos[] = {
    "ECOL\xD3GICO", "EXTRA",           "TRADICIONAL", "R\xC1PIDO",  "CL\xC1SICO",   "PEQUE\xD1O",
    "INTEGRAL",     "MEDITERR\xC1NEO", "ligero",      "cl\xE1sico", "econ\xF3mico", "s\xFAper"};
const char* const kFormatos[] = {"500 G",      "1 L",   "250 ML",  "PACK 6",    "1 KG",
                                 "BOTE 400 G", "200 g", "6 x 1 l", "LATA 80 G", "BOLSA 1,5 KG"};
const char* const kMarcas[] = {"NORVIA",
                               "CAMPOSOL",
                               "LA HUERTA DE ARAG\xD3N",
                               "DULCES AVI\xD1\xD3N",
                               "SERRAN\xCD"
                               "A DEL SUR",
                               "PESCADOS CANT\xC1"
                               "BRICO"};
const char kUnidades[] = {'U', 'U', 'U', 'K', 'L'};
const char kLetrasIva[] = {'A', 'A', 'M', 'M', 'M', 'B'};

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

std::string Relleno(int ancho, char c = '0') { return std::string(static_cast<size_t>(ancho), c); }

std::string Digitos(std::int64_t n, int ancho) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < ancho) s.insert(0, static_cast<size_t>(ancho) - s.size(), '0');
  return s;
}

std::string Decimal(double n, int decimales) {
  char texto[32];
  std::snprintf(texto, sizeof texto, "%.*f", decimales, n);
  return texto;
}

std::string CodigoFamilia(int f) { return Digitos(100 + f, 4); }
std::string CodigoGrupo(int f, int g) { return Digitos((100 + f) * 10 + g, 5); }

// The family and group of article i: fixed, so that files and databases agree.
int FamiliaDe(std::int64_t i) { return static_cast<int>(i % kFamilias); }
int GrupoDe(std::int64_t i) { return static_cast<int>((i / kFamilias) % kGruposPorFamilia); }

std::string Descripcion(Azar& azar) {
  std::string d = azar.De(kProductos);
  d += ' ';
  d += azar.De(kCalificativos);
  d += ' ';
  d += azar.De(kFormatos);
  if (d.size() > 50) d.resize(50);
  return d;
}

// A valid EAN-13 from a 12-digit body: the check digit weighs odd positions 1, even 3.
std::string Ean13(std::int64_t cuerpo) {
  std::string s = Digitos(cuerpo, 12);
  int suma = 0;
  for (int i = 0; i < 12; ++i) suma += (s[static_cast<size_t>(i)] - '0') * (i % 2 ? 3 : 1);
  s += static_cast<char>('0' + (10 - suma % 10) % 10);
  return s;
}
// The EAN a generated store database already holds for article i, and fresh ones.
std::string EanDeArticulo(std::int64_t i) { return Ean13(840000000000LL + i); }
std::string EanNuevo(std::int64_t n) { return Ean13(843000000000LL + n); }

double Coste(std::int64_t i) { return 0.35 + static_cast<double>((i * 7919) % 4000) / 100.0; }

// Days since 2011-01-01 to an ISO date, for offers spread over two years.
std::string FechaDia(int dia) {
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

namespace {

// The families, each with its groups and every group's subgroup "00".
void InsertaClasificaciones(sqlite3* bd) {
  Sentencia familia(bd, "INSERT INTO FAMILIAS (CODIGO, DESCRIPCION) VALUES (?, ?)");
  Sentencia grupo(bd, "INSERT INTO GRUPOS (FAMILIA, CODIGO, DESCRIPCION) VALUES (?, ?, ?)");
  Sentencia subgrupo(
      bd, "INSERT INTO SUBGRUPOS (FAMILIA, GRUPO, CODIGO, DESCRIPCION) VALUES (?, ?, ?, ?)");
  for (int f = 0; f < kFamilias; ++f) {
    familia.Texto(1, CodigoFamilia(f)).Texto(2, "FAMILIA " + CodigoFamilia(f)).Ejecuta();
    for (int g = 0; g < kGruposPorFamilia; ++g) {
      grupo.Texto(1, CodigoFamilia(f))
          .Texto(2, CodigoGrupo(f, g))
          .Texto(3, "GRUPO " + CodigoGrupo(f, g) + " DE LA FAMILIA " + CodigoFamilia(f))
          .Ejecuta();
      subgrupo.Texto(1, CodigoFamilia(f))
          .Texto(2, CodigoGrupo(f, g))
          .Texto(3, "00")
          .Texto(4, "SUBGRUPO 00 - FAMILIA " + CodigoFamilia(f) + " - GRUPO " + CodigoGrupo(f, g))
          .Ejecuta();
    }
  }
}

// The articles, with their supplier links, EANs and a purchase history.
void InsertaArticulos(sqlite3* bd, std::int64_t articulos, Azar& azar) {
  // Every value goes in as a bound parameter, constants included.
  Sentencia articulo(
      bd,
      "INSERT INTO ARTICULOS (CODIGO, DESCRIPCION, DESCRIPCIONTICKET, FECHA_ALTA, "
      "ULTIMA_MODIFICACION, COSTE, VENTA, COSTEMEDIO, STOCKINICIAL, FECHA_STOCKINICIAL, "
      "STOCKMAXIMO, STOCKMINIMO, STOCKACTUAL, UNIDAD, UNI_VENTA, UNI_COMPRA, UNI_ESTOC, "
      "IVA, IVA_VENTA, IVA_COMPRA, FAMILIA, GRUPO, SUBGRUPO, UNI_CAJA, UNI_FRACCION, BAJA) "
      "VALUES (?1, ?2, ?3, ?19, ?4, ?5, ?6, ?7, ?20, ?19, ?20, ?20, ?8, ?9, ?10, ?11, ?12, "
      "?13, ?14, ?15, ?16, ?17, ?21, ?18, ?20, ?20)");
  Sentencia prov(
      bd,
      "INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV, DESC_PROV, "
      "ES_DESC_IGUAL, COSTE, FECHA_INI, DEFECTO_PROV) VALUES (?4, ?1, ?2, ?5, ?6, ?3, ?7, ?6)");
  Sentencia ean(bd, "INSERT INTO ARTICULOS_EAN (IDARTICULO, EAN) VALUES (?, ?)");
  Sentencia compra(
      bd,
      "INSERT INTO LIN_COMPRAS (EJER_ALB, SERIE_ALB, NUM_ALB, IDPROVEEDOR, FACTURADO, "
      "ENTREGADO, FECHA_REAL, TIPO_IVA, VALOR_IVA, VALOR_RECARGO, CODIGO_ART, "
      "DESCRIPCION_ART, UNI, TIPO, CANTIDAD_ALB, PRECIO_ALB, BASE_ALB, DTO_ART, "
      "PRECIO_SIVA_NETO) VALUES (?11, ?12, ?1, ?12, ?13, ?14, ?2, ?3, ?4, ?13, ?5, ?6, ?15, "
      "?16, ?7, ?8, ?9, ?13, ?10)");
  articulo.Texto(19, "2010-03-01").Entero(20, 0).Texto(21, "00");
  prov.Texto(4, "1").Texto(5, "").Entero(6, 1).Texto(7, "2011-09-01");
  compra.Texto(11, "2012")
      .Texto(12, "1")
      .Entero(13, 0)
      .Entero(14, 1)
      .Texto(15, "UNI")
      .Texto(16, "");
  static const char* const kModificaciones[] = {nullptr, "2011-11-30", "2012-05-02", "2012-09-01"};
  for (std::int64_t i = 0; i < articulos; ++i) {
    const std::string codigo = CodigoArticulo(i);
    const std::string descripcion1252 = Descripcion(azar);
    const std::string descripcion = Utf8(descripcion1252);
    const double coste = Coste(i);
    const std::string unidad(1, azar.De(kUnidades));
    const int iva = static_cast<int>(azar.Entre(1, 4));
    const char* modificada = kModificaciones[azar.Entre(0, 4)];
    const double stock = static_cast<double>(azar.Entre(0, 120));
    // The ticket's text is the first 30 letters (cut before the conversion, so that no
    // letter is cut in half: a server refuses text that is not UTF-8).
    articulo.Texto(1, codigo).Texto(2, descripcion).Texto(3, Utf8(descripcion1252.substr(0, 30)));
    if (modificada) {
      articulo.Texto(4, modificada);
    } else {
      articulo.Nulo(4);
    }
    // Half the shop's articles still have no sale price, so that a sale price file
    // both sets prices and leaves them.
    articulo.Real(5, coste)
        .Real(6, azar.Probabilidad(500) ? 0.0 : std::round(coste * 140.0) / 100.0)
        .Real(7, coste)
        .Real(8, stock)
        .Texto(9, unidad)
        .Texto(10, unidad)
        .Texto(11, unidad)
        .Texto(12, unidad)
        .Entero(13, iva)
        .Entero(14, iva)
        .Entero(15, iva)
        .Texto(16, CodigoFamilia(FamiliaDe(i)))
        .Texto(17, CodigoGrupo(FamiliaDe(i), GrupoDe(i)))
        .Real(18, static_cast<double>(azar.De({1, 6, 12, 24})))
        .Ejecuta();
    if (TieneProveedor(i)) prov.Texto(1, codigo).Texto(2, codigo).Real(3, coste).Ejecuta();
    ean.Texto(1, codigo).Texto(2, EanDeArticulo(i)).Ejecuta();
    if (i % 2 == 0) {  // purchase history: one delivered line for every other article
      const double cantidad = static_cast<double>(azar.Entre(1, 24));
      compra.Texto(1, std::to_string(1000 + i / 50))
          .Texto(2, FechaDia(static_cast<int>(300 + i % 180)))
          .Texto(3, std::to_string(iva))
          .Real(4, iva == 1   ? 18.0
                   : iva == 2 ? 8.0
                              : 4.0)
          .Texto(5, codigo)
          .Texto(6, descripcion)
          .Real(7, cantidad)
          .Real(8, coste)
          .Real(9, std::round(cantidad * coste * 100.0) / 100.0)
          .Real(10, coste)
          .Ejecuta();
    }
  }
}

// The chain as the store's supplier, its payment, the series and the program's settings.
void InsertaProveedorYSeries(sqlite3* bd) {
  Sentencia proveedor(
      bd,
      "INSERT INTO PROVEEDORES (CODIGO, NOMBRE, DIRECCION, CODPOST, POBLACION, "
      "PROVINCIA, PAIS, NIF, CUENTA_PROVEEDOR, CUENTA_GASTOS, DTO_COM, DTO_PP, TIPO_IVA) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  proveedor.Texto(1, "1")
      .Texto(2, "NORVIA DISTRIBUCIÓN S.A.")
      .Texto(3, "Polígono Industrial La Estación, 14")
      .Texto(4, "50197")
      .Texto(5, "Zaragoza")
      .Texto(6, "Zaragoza")
      .Texto(7, "España")
      .Texto(8, "A50123456")
      .Texto(9, "40000001")
      .Texto(10, "60000001")
      .Real(11, 0)
      .Real(12, 0)
      .Entero(13, 0)
      .Ejecuta();
  Sentencia pago(
      bd,
      "INSERT INTO PROVEEDORES_PAGCOB (ID_PROVEEDOR, TIPO_PAGCOB, FORMA_PAGCOB, PORCENTAJE) "
      "VALUES (?, ?, ?, ?)");
  pago.Texto(1, "1").Texto(2, "TR").Texto(3, "30").Real(4, 100).Ejecuta();
  Sentencia serie(bd,
                  "INSERT INTO SERIES (TIPO_SERIE, CODIGO, DESCRIPCION, RECARGO, IVA_PERSONAL) "
                  "VALUES (?, ?, ?, ?, ?)");
  for (const char* tipo : {"ALBPR", "FACPR", "PEDPR", "PRECL", "PEDCL", "ALBCL", "FACCL"})
    serie.Texto(1, tipo)
        .Texto(2, "1")
        .Texto(3, "SERIE GENERAL")
        .Entero(4, 0)
        .Entero(5, 0)
        .Ejecuta();
  Sentencia conf(
      bd,
      "INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC, COMPRAS_ACTUALIZA_PCM, "
      "ART_CONFIGURACION) VALUES (?, ?, ?, ?)");
  conf.Texto(1, "001").Entero(2, 1).Entero(3, 1).Texto(4, "").Ejecuta();
}

void InsertaIva(sqlite3* bd) {
  // The six rows a new store gets by default.
  struct FilaIva {
    const char* codigo;
    const char* descripcion;
    double iva, recargo;
    const char *ivaV, *recargoV, *ivaC, *recargoC;
  };
  static const FilaIva kIva[] = {
      {"0", "EXENTO", 0, 0, "", "", "", ""},
      {"1", "IVA 16%", 16, 4, "47700011", "47700021", "47200011", "47200021"},
      {"2", "IVA 7 %", 7, 1, "47700012", "47700022", "47200012", "47200022"},
      {"3", "IVA 4 %", 4, 0.5, "47700013", "47700023", "47200013", "47200023"},
      {"4", "VACIO", 0, 0, "", "", "", ""},
      {"5", "VACIO", 0, 0, "", "", "", ""}};
  Sentencia iva(
      bd,
      "INSERT INTO IVA (CODIGO, DESCRIPCION, IVA, RECARGO, CUENTA_IVA_V, CUENTA_RECARGO_V, "
      "CUENTA_IVA_C, CUENTA_RECARGO_C) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  for (const auto& f : kIva)
    iva.Texto(1, f.codigo)
        .Texto(2, f.descripcion)
        .Real(3, f.iva)
        .Real(4, f.recargo)
        .Texto(5, f.ivaV)
        .Texto(6, f.recargoV)
        .Texto(7, f.ivaC)
        .Texto(8, f.recargoC)
        .Ejecuta();
}

}  // namespace

bool GeneraBaseDatos(const std::string& ruta, std::int64_t articulos, std::uint64_t semilla,
                     std::string* error) {
  try {
    if (std::filesystem::exists(ruta)) throw std::runtime_error(ruta + " ya existe");
    const std::string esquema = store::TextoEsquema(QStringLiteral("tienda")).toStdString();
    if (esquema.empty()) throw std::runtime_error("no se encuentra el esquema de la tienda");
    BaseSqlite db = AbreSqlite(ruta, true);
    // A scratch file being filled: nothing to protect until it is complete.
    Exec(db.get(), "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;");
    Exec(db.get(), esquema);
    Exec(db.get(), "BEGIN");
    Azar azar(semilla);

    InsertaClasificaciones(db.get());
    InsertaArticulos(db.get(), articulos, azar);
    InsertaProveedorYSeries(db.get());
    InsertaIva(db.get());
    Exec(db.get(), "COMMIT");
    Exec(db.get(), "ANALYZE");
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

bool GeneraBaseContable(const std::string& ruta, std::string* error) {
  try {
    if (std::filesystem::exists(ruta)) throw std::runtime_error(ruta + " ya existe");
    const std::string esquema = store::TextoEsquema(QStringLiteral("contable")).toStdString();
    if (esquema.empty()) throw std::runtime_error("no se encuentra el esquema contable");
    BaseSqlite db = AbreSqlite(ruta, true);
    Exec(db.get(), esquema);
    Sentencia conf(
        db.get(),
        "INSERT INTO CONFIGURACION (ID, NOMBRE_EMPRESA, NIF, EJERCICIO, DIVISA, RECARGO_EQ) "
        "VALUES (?, ?, ?, ?, ?, ?)");
    conf.Entero(1, 1)
        .Texto(2, "Supermercado Norvia Plaza")
        .Texto(3, "B50999888")
        .Texto(4, "2012")
        .Texto(5, "EURO")
        .Entero(6, 0)
        .Ejecuta();
    Sentencia forma(db.get(),
                    "INSERT INTO FORMA_PAGCOB (CODIGO, DESCRIPCION, SUMA_DIAS) VALUES (?, ?, ?)");
    forma.Texto(1, "01").Texto(2, "Contado").Entero(3, 0).Ejecuta();
    forma.Texto(1, "30").Texto(2, "Transferencia a 30 días").Entero(3, 30).Ejecuta();
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

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
