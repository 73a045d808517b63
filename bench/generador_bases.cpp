// The generated store and accounting databases (generador.h): the store's schema and
// its rows, written with the same rules as the chain files (datos.h), so that the files
// find the articles, families and supplier links they name.
#include <QString>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "datos.h"
#include "generador.h"
#include "sqlite_raii.h"
#include "store/db/esquema.h"

namespace relvano::bench {

using namespace datos;

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

// Article i's delivered purchase line (`compra` has its constant values bound).
void InsertaCompra(Sentencia& compra, std::int64_t i, const std::string& codigo,
                   const std::string& descripcion, double coste, int iva, Azar& azar) {
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
    // Purchase history: one delivered line for every other article.
    if (i % 2 == 0) InsertaCompra(compra, i, codigo, descripcion, coste, iva, azar);
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

}  // namespace relvano::bench
