#include "demo/demo.h"

#include <QDir>
#include <QFile>
#include <QStringConverter>
#include <QStringEncoder>
#include <QStringList>
#include <tuple>
#include <type_traits>
#include <vector>

#include "app/ini_settings.h"
#include "imports/clases.h"
#include "store/db/database.h"
#include "store/db/esquema.h"

namespace relvano {

namespace {

struct ArticuloDemo {
  const char* codigo;
  const char* descripcion;
  const char* familia;
  const char* grupo;
  int iva;  // 1 general, 2 reduced, 3 super-reduced
  double coste;
  double venta;  // 0: the shop has no sale price yet
};

const ArticuloDemo kArticulos[] = {
    {"1000011", "ACEITE DE OLIVA VIRGEN EXTRA 1 L", "01", "002", 2, 4.35, 5.95},
    {"1000028", "ACEITE DE GIRASOL 1 L", "01", "002", 2, 1.52, 2.15},
    {"1000035", "ATÚN CLARO EN ACEITE PACK 3", "01", "001", 2, 2.48, 3.49},
    {"1000042", "MEJILLONES EN ESCABECHE 115 G", "01", "001", 2, 1.36, 1.95},
    {"1000059", "SARDINAS EN ACEITE DE OLIVA 120 G", "01", "001", 2, 1.10, 1.59},
    {"1000066", "TOMATE TRITURADO 800 G", "01", "001", 2, 0.78, 1.15},
    {"1000073", "GARBANZOS COCIDOS 570 G", "01", "001", 2, 0.69, 0.99},
    {"1000080", "ESPAGUETIS 500 G", "01", "003", 2, 0.62, 0.89},
    {"1000097", "MACARRONES 500 G", "01", "003", 2, 0.62, 0.89},
    {"1000103", "ARROZ REDONDO 1 KG", "01", "003", 2, 1.05, 1.49},
    {"1000110", "ARROZ BOMBA DE CALASPARRA 1 KG", "01", "003", 2, 3.20, 0},
    {"1000127", "AZÚCAR BLANCO 1 KG", "01", "004", 2, 0.88, 1.25},
    {"1000134", "CAFÉ MOLIDO NATURAL 250 G", "01", "004", 2, 2.15, 2.99},
    {"1000141", "GALLETAS MARÍA 800 G", "01", "004", 2, 1.40, 1.99},
    {"1000158", "CACAO SOLUBLE 500 G", "01", "004", 2, 2.30, 0},
    {"1000165", "PAN DE MOLDE INTEGRAL 460 G", "01", "005", 3, 1.12, 1.59},
    {"1000172", "HARINA DE TRIGO 1 KG", "01", "005", 3, 0.55, 0.79},
    {"1000189", "HUEVOS FRESCOS CLASE M DOCENA", "01", "005", 3, 1.65, 2.35},
    {"2000018", "AGUA MINERAL NATURAL 1,5 L", "02", "001", 1, 0.22, 0.35},
    {"2000025", "AGUA MINERAL PACK 6 X 1,5 L", "02", "001", 1, 1.25, 1.89},
    {"2000032", "REFRESCO DE COLA 2 L", "02", "002", 1, 1.15, 1.69},
    {"2000049", "REFRESCO DE NARANJA 2 L", "02", "002", 1, 0.98, 1.45},
    {"2000056", "ZUMO DE MELOCOTÓN 1 L", "02", "002", 1, 0.85, 1.25},
    {"2000063", "CERVEZA LATA PACK 6 X 33 CL", "02", "003", 1, 2.60, 3.79},
    {"2000070", "VINO TINTO RIOJA CRIANZA 75 CL", "02", "003", 1, 4.10, 5.95},
    {"2000087", "VINO BLANCO RUEDA VERDEJO 75 CL", "02", "003", 1, 3.40, 0},
    {"2000094", "CAVA BRUT NATURE 75 CL", "02", "003", 1, 3.95, 5.49},
    {"3000015", "DETERGENTE LÍQUIDO 40 LAVADOS", "03", "001", 1, 5.80, 7.95},
    {"3000022", "LAVAVAJILLAS A MANO 750 ML", "03", "001", 1, 0.95, 1.39},
    {"3000039", "LEJÍA CON DETERGENTE 2 L", "03", "001", 1, 0.72, 1.05},
    {"3000046", "LIMPIADOR MULTIUSOS 1 L", "03", "001", 1, 1.05, 1.55},
    {"3000053", "PAPEL HIGIÉNICO DOBLE CAPA 12 ROLLOS", "03", "002", 1, 2.90, 4.25},
    {"3000060", "GEL DE BAÑO 750 ML", "03", "002", 1, 1.45, 2.15},
    {"3000077", "CHAMPÚ ANTICASPA 400 ML", "03", "002", 1, 2.20, 0},
    {"4000012", "LECHE ENTERA BRIK 1 L", "04", "001", 3, 0.68, 0.95},
    {"4000029", "LECHE SEMIDESNATADA BRIK 1 L", "04", "001", 3, 0.66, 0.92},
    {"4000036", "YOGUR NATURAL PACK 4", "04", "002", 2, 0.82, 1.19},
    {"4000043", "QUESO MANCHEGO CURADO 250 G", "04", "003", 2, 3.75, 5.29},
    {"4000050", "MANTEQUILLA SIN SAL 250 G", "04", "003", 2, 1.70, 2.45},
    {"4000067", "NATA PARA COCINAR 200 ML", "04", "003", 2, 0.64, 0.95},
};

struct Clasificacion {
  const char* familia;
  const char* grupo;  // nullptr: the family's own row
  const char* descripcion;
};

const Clasificacion kClasificacion[] = {
    {"01", nullptr, "ALIMENTACIÓN"},
    {"01", "001", "CONSERVAS"},
    {"01", "002", "ACEITES"},
    {"01", "003", "PASTA Y ARROZ"},
    {"01", "004", "DESAYUNO Y DULCES"},
    {"01", "005", "PANADERÍA Y HUEVOS"},
    {"02", nullptr, "BEBIDAS"},
    {"02", "001", "AGUAS"},
    {"02", "002", "REFRESCOS Y ZUMOS"},
    {"02", "003", "CERVEZAS Y VINOS"},
    {"03", nullptr, "DROGUERÍA"},
    {"03", "001", "LIMPIEZA DEL HOGAR"},
    {"03", "002", "HIGIENE PERSONAL"},
    {"04", nullptr, "LÁCTEOS"},
    {"04", "001", "LECHE"},
    {"04", "002", "YOGURES Y POSTRES"},
    {"04", "003", "QUESOS Y MANTEQUILLAS"},
};

QString Dinero(qint64 centimos) {
  return QStringLiteral("%1.%2").arg(centimos / 100).arg(centimos % 100, 2, 10, QLatin1Char('0'));
}

// Half a cent away from zero, as the program rounds money (amounts here are positive).
qint64 PorcentajeCentimos(qint64 baseCentimos, int porcentaje) {
  return (baseCentimos * porcentaje + 50) / 100;
}

QString Linea(const QStringList& campos) {
  return campos.join(QLatin1Char('|')) + QLatin1Char('|');
}

// A chain file: the header, the detail lines and the trailer with the chain's line count.
QString FicheroCadena(const QString& tipo, const QString& titulo, QDate fecha,
                      const QStringList& detalle) {
  QStringList lineas;
  lineas << Linea({"IDE", "NORVIA001", tipo, "001", titulo, fecha.toString(Qt::ISODate), "08301215",
                   "000001", "000001"});
  lineas << detalle;
  lineas << Linea({"CHK", QStringLiteral("%1").arg(lineas.size() + 1, 6, 10, QLatin1Char('0'))});
  return lineas.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

bool EscribeAnsi(const QString& ruta, const QString& texto, QString* error) {
  QStringEncoder codificador("windows-1252");
  QByteArray bytes;
  if (codificador.isValid()) {
    bytes = codificador.encode(texto);
  } else {
    bytes = texto.toLatin1();  // the demo's letters are the same in both
  }
  QFile f(ruta);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
    *error =
        QStringLiteral("No se ha podido escribir el fichero %1: %2").arg(ruta, f.errorString());
    return false;
  }
  return true;
}

QStringList FicheroReferencias() {
  struct Nuevo {
    const char* op;
    const char* codigo;
    const char* descripcion;
    const char* iva;
    const char* familia;
    const char* grupo;
    const char* cajas;
  } nuevos[] = {
      {"A", "1000196", "LENTEJAS PARDINAS 1 KG", "M", "01", "003", "12"},
      {"A", "1000202", "MIEL DE ROMERO 500 G", "M", "01", "004", "6"},
      {"A", "2000100", "AGUA CON GAS 1 L", "A", "02", "001", "6"},
      {"A", "3000084", "SUAVIZANTE CONCENTRADO 2 L", "A", "03", "001", "8"},
      {"M", "1000110", "ARROZ BOMBA D.O. CALASPARRA 1 KG", "M", "01", "003", "10"},
      {"M", "4000043", "QUESO MANCHEGO CURADO CUÑA 250 G", "M", "04", "003", "12"},
  };
  QStringList lineas;
  for (const Nuevo& n : nuevos) {
    QStringList campos(61);
    campos[0] = "DET";
    campos[1] = n.op;
    campos[2] = n.codigo;
    campos[3] = n.descripcion;
    campos[6] = n.iva;
    campos[8] = n.familia;
    campos[9] = n.grupo;
    campos[24] = n.cajas;
    campos[41] = "U";
    lineas << Linea(campos);
  }
  return lineas;
}

QStringList FicheroEan() {
  const char* eans[][2] = {
      {"8412345000113", "1000011"}, {"8412345000281", "1000028"}, {"8412345001035", "1000103"},
      {"8412345010877", "2000087"}, {"8412345030776", "3000077"}, {"8412345000434", "4000043"},
  };
  QStringList lineas;
  for (const auto& e : eans) lineas << Linea({"DET", "A", e[0], e[1], "R", "00000"});
  return lineas;
}

QStringList FicheroCostes() {
  const char* costes[][2] = {
      {"1000011", "4.42"}, {"1000110", "3.25"}, {"2000070", "4.15"},
      {"3000015", "5.72"}, {"4000012", "0.69"},
  };
  QStringList lineas;
  for (const auto& c : costes)
    lineas << Linea({"DET", "M", c[0], "", "000001", "N", "000000000000000", "N", "N", c[1], c[1]});
  return lineas;
}

QStringList FicheroVentas() {
  const char* ventas[][2] = {
      {"1000110", "4.49"},
      {"1000158", "3.25"},
      {"2000087", "4.79"},
      {"3000077", "3.15"},
  };
  QStringList lineas;
  for (const auto& v : ventas) lineas << Linea({"DET", v[0], "0000000000", "0000000", v[1]});
  return lineas;
}

QStringList FicheroOfertas(QDate fecha) {
  const QString ini = fecha.addDays(1).toString(Qt::ISODate);
  const QString fin = fecha.addDays(15).toString(Qt::ISODate);
  return {
      Linea({"COM", "0000000001", "OFERTA ACEITES DICIEMBRE", "N", "1000011", ini, fin, "3.95"}),
      Linea({"COM", "0000000002", "OFERTA LIMPIEZA DICIEMBRE", "N", "3000015", ini, fin, "5.10"}),
      Linea({"VTA", "0000000001", "OFERTA ACEITES DICIEMBRE", "N", "1000011", ini, fin, "0000000",
             "5.45"}),
      Linea({"VTA", "0000000003", "OFERTA CAVA NAVIDAD", "N", "2000094", ini, fin, "0000000",
             "4.75"}),
  };
}

// The invoice: lines of the general (A, 18 %) and super-reduced (B, 4 %) classes, with the
// rates the program applies to a date that is not today in a store without dated VAT table.
QStringList FicheroFactura(QDate fecha) {
  struct LineaFactura {
    const char* codigo;
    const char* clase;
    int cantidad;
    qint64 precioCentimos;
  } lineas[] = {
      {"3000015", "A", 6, 572},  {"2000070", "A", 12, 415}, {"2000032", "A", 24, 115},
      {"3000053", "A", 5, 290},  {"4000012", "B", 36, 69},  {"4000029", "B", 24, 66},
      {"1000165", "B", 10, 112}, {"1000189", "B", 15, 165},
  };
  qint64 baseA = 0, baseB = 0;
  QStringList lin;
  for (const LineaFactura& l : lineas) {
    const qint64 base = l.cantidad * l.precioCentimos;
    (QLatin1String(l.clase) == QLatin1String("A") ? baseA : baseB) += base;
    lin << Linea({"LIN",       l.codigo,   l.codigo,
                  l.clase,     "N",        "0000000",
                  "0000000",   "N",        QStringLiteral("%1.000").arg(l.cantidad),
                  "000000000", "0000",     "0000",
                  "0000",      "0000",     "00",
                  "00000000",  "00000000", Dinero(l.precioCentimos),
                  "00000000",  "00000000", "N",
                  Dinero(base)});
  }
  const qint64 ivaA = PorcentajeCentimos(baseA, 18);
  const qint64 ivaB = PorcentajeCentimos(baseB, 4);
  const qint64 total = baseA + baseB + ivaA + ivaB;
  QStringList todas;
  todas << Linea({"CAB", "FRA00012345", fecha.toString(Qt::ISODate), "00001", "N", "N", "N",
                  "0000000000", "000001", "00000", "000000", "00000", "NORVIA DISTRIBUCION S.A.",
                  "00000000", Dinero(total), "0000000000"});
  todas << lin;
  todas << Linea({"ACU", "000000", Dinero(baseA + baseB)});
  todas << Linea({"IMP", "A", "1800", "0000", Dinero(baseA), Dinero(ivaA), "0.00"});
  todas << Linea({"IMP", "B", "0400", "0000", Dinero(baseB), Dinero(ivaB), "0.00"});
  return todas;
}

class Creador {
 public:
  Creador(const QString& carpeta, const store::OpcionesConexion& conexion, QString* error)
      : bdd_(QDir(carpeta).filePath("BDD")), conexion_(conexion), error_(error) {}

  std::shared_ptr<store::Database> Crea(const QString& nombre, const QStringList& esquemas) {
    const QString ruta = QDir(bdd_).filePath(nombre);
    if (!store::CreaBaseDatos(ruta, esquemas, conexion_, error_)) return nullptr;
    return store::Database::Abrir(ruta, conexion_, error_);
  }

 private:
  QString bdd_;
  const store::OpcionesConexion& conexion_;
  QString* error_;
};

void LlenaGeneral(store::Database& db) {
  const char* sql =
      "INSERT INTO EMPRESAS (ID_EMPRESA, NOMBRE, NIF, DIRECCION, CODPOST, POBLACION, PROVINCIA, "
      "PAIS, "
      "TELEFONO, DIVISA) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
  db.Ejecuta(sql, {Valor("DEM"), Valor("Empresa de demostración"), Valor("B00000000"),
                   Valor("Calle Mayor, 1"), Valor("28001"), Valor("Madrid"), Valor("Madrid"),
                   Valor("España"), Valor("910000000"), Valor("EURO")});
  db.Ejecuta(sql, {Valor("001"), Valor("Supermercado Norvia Centro"), Valor("B47123456"),
                   Valor("Avenida de la Constitución, 24"), Valor("47001"), Valor("Valladolid"),
                   Valor("Valladolid"), Valor("España"), Valor("983456789"), Valor("EURO")});
}

void LlenaContable(store::Database& db) {
  db.Ejecuta(
      "INSERT INTO CONFIGURACION (ID, NOMBRE_EMPRESA, NIF, EJERCICIO, DIVISA, RECARGO_EQ) "
      "VALUES (?, ?, ?, ?, ?, ?)",
      {Valor(1), Valor("Supermercado Norvia Centro"), Valor("B47123456"), Valor("2026"),
       Valor("EURO"), Valor(false)});
  const char* sql = "INSERT INTO FORMA_PAGCOB (CODIGO, DESCRIPCION, SUMA_DIAS) VALUES (?, ?, ?)";
  db.Ejecuta(sql, {Valor("01"), Valor("Contado"), Valor(0)});
  db.Ejecuta(sql, {Valor("30"), Valor("Transferencia a 30 días"), Valor(30)});
  db.Ejecuta(sql, {Valor("60"), Valor("Transferencia a 60 días"), Valor(60)});
}

void LlenaTienda(store::Database& db, QDate fecha) {
  for (const Clasificacion& c : kClasificacion) {
    if (!c.grupo) {
      db.Ejecuta("INSERT INTO FAMILIAS (CODIGO, DESCRIPCION) VALUES (?, ?)",
                 {Valor(c.familia), Valor(c.descripcion)});
    } else {
      db.Ejecuta("INSERT INTO GRUPOS (FAMILIA, CODIGO, DESCRIPCION) VALUES (?, ?, ?)",
                 {Valor(c.familia), Valor(c.grupo), Valor(c.descripcion)});
      db.Ejecuta("INSERT INTO SUBGRUPOS (FAMILIA, GRUPO, CODIGO, DESCRIPCION) VALUES (?, ?, ?, ?)",
                 {Valor(c.familia), Valor(c.grupo), Valor("00"), Valor("GENERAL")});
    }
  }
  const QDate alta = fecha.addYears(-1);
  for (const ArticuloDemo& a : kArticulos) {
    const QString descripcion = QString::fromUtf8(a.descripcion);
    db.Ejecuta(
        "INSERT INTO ARTICULOS (CODIGO, DESCRIPCION, DESCRIPCIONTICKET, FECHA_ALTA, "
        "ULTIMA_MODIFICACION, COSTE, "
        "VENTA, COSTEMEDIO, STOCKINICIAL, FECHA_STOCKINICIAL, STOCKACTUAL, UNIDAD, UNI_VENTA, "
        "UNI_COMPRA, "
        "UNI_ESTOC, IVA, IVA_VENTA, IVA_COMPRA, FAMILIA, GRUPO, SUBGRUPO, UNI_CAJA, UNI_FRACCION, "
        "BAJA) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Valor(a.codigo),  Valor(descripcion), Valor(descripcion.left(30)),
         Valor(alta),      Valor(alta),        Valor(a.coste),
         Valor(a.venta),   Valor(a.coste),     Valor(24),
         Valor(alta),      Valor(24),          Valor("U"),
         Valor("U"),       Valor("U"),         Valor("U"),
         Valor(a.iva),     Valor(a.iva),       Valor(a.iva),
         Valor(a.familia), Valor(a.grupo),     Valor("00"),
         Valor(12),        Valor(0),           Valor(false)});
    db.Ejecuta(
        "INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV, DESC_PROV, ES_DESC_IGUAL, "
        "COSTE, "
        "FECHA_INI, DEFECTO_PROV) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        {Valor("1"), Valor(a.codigo), Valor(a.codigo), Valor(""), Valor(true), Valor(a.coste),
         Valor(alta), Valor(true)});
  }
  db.Ejecuta(
      "INSERT INTO PROVEEDORES (CODIGO, NOMBRE, \"DIR-TIPO\", DIRECCION, CODPOST, POBLACION, "
      "PROVINCIA, "
      "PAIS, NIF, CUENTA_PROVEEDOR, CUENTA_GASTOS, DTO_COM, DTO_PP, TIPO_IVA) "
      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {Valor("1"), Valor("NORVIA DISTRIBUCIÓN S.A."), Valor("CL"),
       Valor("Polígono Industrial Las Arenas, nave 7"), Valor("47012"), Valor("Valladolid"),
       Valor("Valladolid"), Valor("España"), Valor("A47000001"), Valor("40000001"),
       Valor("60000001"), Valor(0), Valor(0), Valor(0)});
  const char* pagos =
      "INSERT INTO PROVEEDORES_PAGCOB (ID_PROVEEDOR, TIPO_PAGCOB, FORMA_PAGCOB, PORCENTAJE) "
      "VALUES (?, ?, ?, ?)";
  db.Ejecuta(pagos, {Valor("1"), Valor("TR"), Valor("30"), Valor(50)});
  db.Ejecuta(pagos, {Valor("1"), Valor("TR"), Valor("60"), Valor(50)});
  const char* series =
      "INSERT INTO SERIES (TIPO_SERIE, CODIGO, DESCRIPCION, RECARGO, IVA_PERSONAL) VALUES (?, ?, "
      "?, ?, ?)";
  db.Ejecuta(series, {Valor("ALBPR"), Valor("1"), Valor("Albaranes de proveedor"), Valor(false),
                      Valor(false)});
  db.Ejecuta(series, {Valor("FACPR"), Valor("1"), Valor("Facturas de proveedor"), Valor(false),
                      Valor(false)});
  db.Ejecuta(
      "INSERT INTO CONF_PROGRAMA (IDEMPRESA, COMPRAS_ACTUALIZA_PC, COMPRAS_ACTUALIZA_PCM, "
      "ART_CONFIGURACION) "
      "VALUES (?, ?, ?, ?)",
      {Valor("001"), Valor(1), Valor(1), Valor("100000000000")});
}

}  // namespace

namespace {

// False with `error` set when the folder, or the server for its prefix, already holds an
// installation: a demo never overwrites one.
bool InstalacionLibre(const QDir& raiz, const QString& bdd, const QString& ajustes,
                      const store::OpcionesConexion& conexion, QString* error) {
  const QStringList existentes = QDir(bdd).entryList({"*.MDB", "*.mdb"}, QDir::Files);
  if (!existentes.isEmpty() || QFile::exists(QDir(ajustes).filePath("VANTEL.ini")) ||
      QFile::exists(QDir(ajustes).filePath("RELVANO.ini"))) {
    *error = QStringLiteral(
                 "La carpeta %1 ya contiene una instalación (bases de datos o ajustes); "
                 "elija una carpeta nueva o vacía.")
                 .arg(QDir::toNativeSeparators(raiz.absolutePath()));
    return false;
  }
  if (conexion.motor == store::Motor::Postgres) {
    for (const char* nombre : {"GENERAL.MDB", "CNT00100.MDB", "CMC00100.MDB"}) {
      const QString ruta = QDir(bdd).filePath(QLatin1String(nombre));
      QString fallo;
      if (store::ExisteBaseDatos(ruta, conexion, &fallo)) {
        *error = QStringLiteral(
                     "El servidor ya tiene la base de datos %1; elija otro prefijo o "
                     "bórrela antes.")
                     .arg(store::NombreEnServidor(ruta, conexion));
        return false;
      }
      if (!fallo.isEmpty()) {
        *error = fallo;
        return false;
      }
    }
  }
  return true;
}

bool CreaBasesDatos(const QString& carpeta, const store::OpcionesConexion& conexion,
                    QDate fechaFicheros, QString* error) {
  try {
    Creador creador(carpeta, conexion, error);
    auto general = creador.Crea("GENERAL.MDB", {"general"});
    if (!general) return false;
    LlenaGeneral(*general);
    auto contable = creador.Crea("CNT00100.MDB", {"contable"});
    if (!contable) return false;
    LlenaContable(*contable);
    auto tienda = creador.Crea("CMC00100.MDB", {"tienda"});
    if (!tienda) return false;
    LlenaTienda(*tienda, fechaFicheros);
  } catch (const store::DbError& e) {
    *error =
        QStringLiteral("No se ha podido crear la base de datos de demostración: ") + e.Mensaje();
    return false;
  }
  return true;
}

// The demo file of each kind, in the order of the kinds.
bool EscribeFicheros(const QString& entrada, QDate fechaFicheros, QString* error) {
  const QDir in(entrada);
  struct Fichero {
    const char* tipo;
    const char* titulo;
    QStringList detalle;
  } ficheros[] = {
      {"REFCTO", "ACTUALIZACIÓN DE REFERENCIAS", FicheroReferencias()},
      {"EANCTO", "ACTUALIZACIÓN DE CÓDIGOS EAN", FicheroEan()},
      {"MLLCTO", "ACTUALIZACIÓN DE PRECIOS DE COSTE", FicheroCostes()},
      {"PRCCTO", "PRECIOS DE VENTA RECOMENDADOS", FicheroVentas()},
      {"OFECTO", "OFERTAS DE COMPRA Y VENTA", FicheroOfertas(fechaFicheros)},
      {"FRADIS", "FACTURA DE DISTRIBUCIÓN", FicheroFactura(fechaFicheros)},
  };
  static_assert(std::extent_v<decltype(ficheros)> ==
                std::tuple_size_v<std::remove_cvref_t<decltype(imports::ClasesFichero())>>);
  for (const imports::ClaseFichero& clase : imports::ClasesFichero()) {
    const Fichero& f = ficheros[static_cast<size_t>(clase.opcion)];
    const QString texto =
        FicheroCadena(f.tipo, QString::fromUtf8(f.titulo), fechaFicheros, f.detalle);
    const QString nombre = QString::fromLatin1(clase.prefijo) + QStringLiteral("0001.txt");
    if (!EscribeAnsi(in.filePath(nombre), texto, error)) return false;
  }
  return true;
}

bool EscribeAjustes(const QString& ajustes, const QString& bdd, const QString& entrada,
                    const store::OpcionesConexion& conexion, QString* error) {
  const QDir in(entrada);
  IniSettingsStore store(ajustes);
  const QString rutaBdd = QDir::toNativeSeparators(QDir(bdd).absolutePath());
  for (const char* clave :
       {"RUTABDDEMPRESA", "RUTABDDCONTABLE", "RUTABDDCOMERCIAL", "RUTALISTADOS", "RUTABDDAUX"})
    store.SaveSetting("VANTEL", "BDD", clave, rutaBdd);
  if (conexion.motor == store::Motor::Postgres) {
    store.SaveSetting("RELVANO", "BDD", "MOTOR", "PostgreSQL");
    // The password never goes into a settings file: RELVANO_CLAVE_BDD or ~/.pgpass give it.
    store.SaveSetting("RELVANO", "BDD", "SERVIDOR", store::ConexionSinClave(conexion.servidor));
    if (!conexion.prefijo.isEmpty())
      store.SaveSetting("RELVANO", "BDD", "PREFIJO", conexion.prefijo.toLower());
  } else if (conexion.motor == store::Motor::Odbc) {
    store.SaveSetting("RELVANO", "BDD", "CONEXION_ODBC", conexion.conexionOdbc);
  }
  store.SaveSetting("RELVANO", "IMPORTAR", "IDEMPRESA", "001");
  store.SaveSetting("RELVANO", "IMPORTAR", "ACTUALIZAR_BAJAS", "Si");
  store.SaveSetting("RELVANO", "IMPORTAR", "CARPETA_ENTRADA",
                    QDir::toNativeSeparators(in.absolutePath()));
  if (store.GetSetting("VANTEL", "BDD", "RUTABDDEMPRESA") != rutaBdd) {
    *error = QStringLiteral("No se han podido escribir los ajustes en %1")
                 .arg(QDir::toNativeSeparators(ajustes));
    return false;
  }
  return true;
}

}  // namespace

bool CreaDemo(const QString& carpeta, QString* error, QDate fechaFicheros,
              const store::OpcionesConexion& conexion) {
  const QDir raiz(carpeta);
  const QString bdd = raiz.filePath("BDD");
  const QString entrada = raiz.filePath("In");
  const QString ajustes = raiz.filePath("settings");
  if (!InstalacionLibre(raiz, bdd, ajustes, conexion, error)) return false;
  for (const QString& sub : {bdd, entrada, ajustes}) {
    if (!QDir().mkpath(sub)) {
      *error =
          QStringLiteral("No se ha podido crear la carpeta %1").arg(QDir::toNativeSeparators(sub));
      return false;
    }
  }
  return CreaBasesDatos(carpeta, conexion, fechaFicheros, error) &&
         EscribeFicheros(entrada, fechaFicheros, error) &&
         EscribeAjustes(ajustes, bdd, entrada, conexion, error);
}

}  // namespace relvano
