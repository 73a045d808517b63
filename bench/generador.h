#pragma once
// Test data for the benchmark: store databases and chain files of any size, the same
// bytes for the same seed.

#include <cstdint>
#include <string>

namespace relvano::bench {

// The kinds of chain file, named as the run logs and the command line name them.
enum class Tipo { Articulos, Ean, PreciosCoste, PreciosVenta, Ofertas, Facturas };

inline constexpr Tipo kTipos[] = {Tipo::Articulos,    Tipo::Ean,     Tipo::PreciosCoste,
                                  Tipo::PreciosVenta, Tipo::Ofertas, Tipo::Facturas};

const char* Nombre(Tipo tipo);  // "articulos", "ean", ...
bool TipoDeNombre(const std::string& nombre, Tipo* tipo);
const char* NombreFichero(Tipo tipo);  // the chain's file name prefix, "vrcrefcto", ...

// The date of every generated file (its IDE header and its invoice).
inline constexpr const char* kFechaFichero = "2012-07-15";

// Article i (0-based) of a generated store database: 7 digits, 1000000 + i.
std::string CodigoArticulo(std::int64_t i);

// Whether article i of a generated store database has its link to supplier "1" in
// ARTICULOS_PROV (most have; a few are left without, as in real shops).
bool TieneProveedor(std::int64_t i);

// Writes a store database of `articulos` articles at `ruta` (which must not exist):
// the store schema, families, groups and subgroups, ARTICULOS, ARTICULOS_PROV links for
// supplier "1", one ARTICULOS_EAN row per article, LIN_COMPRAS purchase history,
// supplier "1", series "1", the program options row of company "001" and the six
// default VAT rows. One transaction over prepared inserts. False with `error` set.
bool GeneraBaseDatos(const std::string& ruta, std::int64_t articulos, std::uint64_t semilla,
                     std::string* error);

// Writes the accounting database of the company at `ruta` (which must not exist): its
// configuration row and the payment methods that supplier "1"'s terms name.
bool GeneraBaseContable(const std::string& ruta, std::string* error);

// Writes a chain file of `tipo` with `lineas` detail lines (IDE and CHK come on top)
// referring mostly to the articles of a store database of `articulos` articles:
// Windows-1252 text, CR LF line ends, the IDE header dated kFechaFichero, a CHK trailer
// that counts every line of the file. False with `error` set.
bool GeneraFichero(Tipo tipo, const std::string& ruta, std::int64_t lineas, std::int64_t articulos,
                   std::uint64_t semilla, std::string* error);

// Windows-1252 text to UTF-8, for the letters the generator writes (all in the Latin-1 range).
std::string Utf8(const std::string& s1252);

}  // namespace relvano::bench
