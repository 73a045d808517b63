#include "imports/articulos.h"

#include <QDir>
#include <memory>

#include "base/conversion.h"
#include "base/error.h"
#include "imports/cadena.h"

namespace relvano::imports {
namespace {

constexpr QLatin1String kCrLf("\r\n");

enum Campo {
  kOperacion = 2,
  kCodigo = 3,
  kDescripcion = 4,
  kLetraIva = 7,
  kFamilia = 9,
  kGrupo = 10,
  kUnidadesCaja = 25,
  kUnidad = 42,
};

void AsignaAlta(store::Recordset& rs, const QString& codigo, QDate hoy) {
  rs.Asigna(QStringLiteral("CODIGO"), Valor(codigo));
  rs.Asigna(QStringLiteral("FECHA_ALTA"), Valor(hoy));
  rs.Asigna(QStringLiteral("COSTE"), Valor(ValorNumerico(rs[QStringLiteral("COSTE")])));
  rs.Asigna(QStringLiteral("VENTA"), Valor(ValorNumerico(rs[QStringLiteral("VENTA")])));
  rs.Asigna(QStringLiteral("COSTEMEDIO"), Valor(0));
  rs.Asigna(QStringLiteral("STOCKINICIAL"), Valor(0));
  rs.Asigna(QStringLiteral("FECHA_STOCKINICIAL"), Valor(hoy));
  rs.Asigna(QStringLiteral("STOCKMAXIMO"), Valor(0));
  rs.Asigna(QStringLiteral("STOCKMINIMO"), Valor(0));
  rs.Asigna(QStringLiteral("STOCKACTUAL"), Valor(0));
  rs.Asigna(QStringLiteral("ULTIMA_VENTA"), Valor::Null());
  rs.Asigna(QStringLiteral("ULTIMA_COMPRA"), Valor::Null());
}

// The columns a change or a removal writes, stored together by the article's key; the
// row read is consulted only for a column not assigned.
class Cambios {
 public:
  explicit Cambios(const store::Recordset& fila) : fila_(fila) {}
  void Asigna(const QString& columna, const Valor& valor) {
    for (auto& c : columnas_)
      if (c.first == columna) {
        c.second = valor;
        return;
      }
    columnas_.emplace_back(columna, valor);
  }
  // As a recordset reads back what was assigned: through what the engine is given.
  Valor operator[](const QString& columna) const {
    for (const auto& c : columnas_)
      if (c.first == columna)
        return store::Database::DesdeColumna(store::Database::AParametro(c.second));
    return fila_[columna];
  }
  const std::vector<std::pair<QString, Valor>>& Columnas() const { return columnas_; }

 private:
  const store::Recordset& fila_;
  std::vector<std::pair<QString, Valor>> columnas_;
};

template <typename Destino>
void AsignaDatos(Destino& rs, const chainfile::Registro& det, const ColumnasArticulos& columnas,
                 QDate hoy) {
  const QString descripcion = det.Texto(kDescripcion);
  const Valor unidad(det.Texto(kUnidad));
  rs.Asigna(QStringLiteral("DESCRIPCION"), Valor(descripcion));
  rs.Asigna(QStringLiteral("DESCRIPCIONTICKET"), Valor(descripcion.left(30)));
  rs.Asigna(QStringLiteral("UNIDAD"), unidad);
  if (columnas.uniVenta) {
    rs.Asigna(QStringLiteral("UNI_VENTA"), unidad);
    rs.Asigna(QStringLiteral("UNI_COMPRA"), unidad);
    rs.Asigna(QStringLiteral("UNI_ESTOC"), unidad);
  }
  rs.Asigna(QStringLiteral("ULTIMA_MODIFICACION"), Valor(hoy));
  const QString letra = det.Texto(kLetraIva);
  if (letra == QLatin1String("A")) {
    rs.Asigna(QStringLiteral("IVA"), Valor(1));
  } else if (letra == QLatin1String("M")) {
    rs.Asigna(QStringLiteral("IVA"), Valor(2));
  } else if (letra == QLatin1String("B")) {
    rs.Asigna(QStringLiteral("IVA"), Valor(3));
  }
  if (columnas.ivaVenta) {
    const Valor iva = rs[QStringLiteral("IVA")];
    rs.Asigna(QStringLiteral("IVA_VENTA"), iva);
    rs.Asigna(QStringLiteral("IVA_COMPRA"), iva);
  }
  rs.Asigna(QStringLiteral("FAMILIA"), Valor(det.Texto(kFamilia)));
  rs.Asigna(QStringLiteral("GRUPO"), Valor(det.Texto(kGrupo)));
  rs.Asigna(QStringLiteral("SUBGRUPO"), Valor("00"));
  // Units per box are whole numbers on the chain's files: read as any stored value.
  rs.Asigna(QStringLiteral("UNI_CAJA"), Valor(ValorNumerico(Valor(det.Campo(kUnidadesCaja)))));
  rs.Asigna(QStringLiteral("UNI_FRACCION"), Valor(0));
}

void AseguraClasificacion(const QString& codigo, const QString& familia, const QString& grupo,
                          ContextoImportacion& ctx, ClasificacionesVistas* vistas) {
  if (familia.isEmpty() || grupo.isEmpty()) {
    ctx.log.Escribe(
        QStringLiteral("FAMILIA/GRUPO VACÍO: no se crean la familia, el grupo ni el subgrupo "
                       "del artículo ") +
        codigo + kCrLf);
    return;
  }
  if (vistas && vistas->Contiene(familia, grupo)) return;
  store::Recordset rd;
  if (!ExisteFamilia(ctx.bdd, rd, familia)) {
    rd.NuevoRegistro();
    rd.Asigna(QStringLiteral("CODIGO"), Valor(familia));
    rd.Asigna(QStringLiteral("DESCRIPCION"), Valor(QStringLiteral("FAMILIA ") + familia));
    rd.GrabarRegistro();
  }
  if (!ExisteGrupo(ctx.bdd, rd, familia, grupo)) {
    rd.NuevoRegistro();
    rd.Asigna(QStringLiteral("CODIGO"), Valor(grupo));
    rd.Asigna(QStringLiteral("DESCRIPCION"), Valor(QStringLiteral("GRUPO ") + grupo +
                                                   QStringLiteral(" DE LA FAMILIA ") + familia));
    rd.Asigna(QStringLiteral("FAMILIA"), Valor(familia));
    rd.GrabarRegistro();
  }
  const QString subgrupo = QStringLiteral("00");
  if (!ExisteSubGrupo(ctx.bdd, rd, familia, grupo, subgrupo)) {
    rd.NuevoRegistro();
    rd.Asigna(QStringLiteral("CODIGO"), Valor(subgrupo));
    rd.Asigna(QStringLiteral("DESCRIPCION"), Valor(QStringLiteral("SUBGRUPO 00 - FAMILIA ") +
                                                   familia + QStringLiteral(" - GRUPO ") + grupo));
    rd.Asigna(QStringLiteral("FAMILIA"), Valor(familia));
    rd.Asigna(QStringLiteral("GRUPO"), Valor(grupo));
    rd.GrabarRegistro();
  }
  if (vistas) vistas->Anota(familia, grupo);
}

void AseguraProveedor(const QString& codigo, const chainfile::Registro& ide,
                      ContextoImportacion& ctx) {
  // Nearly every article has its link already: test with one column, and open the
  // whole row only to add it.
  if (!ctx.bdd
           .Escalar(QStringLiteral(
                        "SELECT 1 FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND IDARTICULO = ?"),
                    {Valor(cadena::kProveedor), Valor(codigo)})
           .EsNull())
    return;
  auto rs = ctx.bdd.AbrirRecordset(
      QStringLiteral("SELECT * FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND IDARTICULO = ?"),
      {Valor(cadena::kProveedor), Valor(codigo)});
  if (rs.HayRegistros()) return;
  const QDate fechaFichero = FechaCabecera(ide);
  rs.NuevoRegistro();
  rs.Asigna(QStringLiteral("IDPROVEEDOR"), Valor(cadena::kProveedor));
  rs.Asigna(QStringLiteral("IDARTICULO"), Valor(codigo));
  rs.Asigna(QStringLiteral("REF_PROV"), Valor(codigo));
  rs.Asigna(QStringLiteral("DESC_PROV"), Valor(QStringLiteral("")));
  rs.Asigna(QStringLiteral("ES_DESC_IGUAL"), Valor(true));
  rs.Asigna(QStringLiteral("COSTE"), Valor(0));
  rs.Asigna(QStringLiteral("FECHA_INI"), Valor(fechaFichero));
  rs.Asigna(QStringLiteral("DEFECTO_PROV"), Valor(true));
  rs.GrabarRegistro();
}

}  // namespace

const std::vector<int>& AnchosArticulo() {
  using chainfile::kLibre;
  static const std::vector<int> anchos{
      3,     1,      7,      50,     1,      kLibre, 1,      kLibre, 4,      5,       // 1-10
      7,     7,      7,      5,      5,      5,      5,      5,      1,      1,       // 11-20
      1,     7,      7,      7,      7,      kLibre, 5,      7,      7,      7,       // 21-30
      9,     9,      9,      4,      4,      5,      11,     5,      7,      2,       // 31-40
      2,     1,      10,     50,     30,     6,      kLibre, 5,      5,      5,       // 41-50
      9,     kLibre, kLibre, kLibre, kLibre, kLibre, kLibre, kLibre, kLibre, kLibre,  // 51-60
      kLibre};                                                                        // 61
  return anchos;
}

ColumnasArticulos ColumnasArticulos::De(store::Database& bdd) {
  ColumnasArticulos c;
  c.uniVenta = bdd.ExisteCampoTabla(QStringLiteral("ARTICULOS"), QStringLiteral("UNI_VENTA"));
  c.ivaVenta = bdd.ExisteCampoTabla(QStringLiteral("ARTICULOS"), QStringLiteral("IVA_VENTA"));
  c.edicion = QStringList{QStringLiteral("DESCRIPCION"), QStringLiteral("DESCRIPCIONTICKET"),
                          QStringLiteral("UNIDAD"),      QStringLiteral("ULTIMA_MODIFICACION"),
                          QStringLiteral("IVA"),         QStringLiteral("FAMILIA"),
                          QStringLiteral("GRUPO"),       QStringLiteral("SUBGRUPO"),
                          QStringLiteral("UNI_CAJA"),    QStringLiteral("UNI_FRACCION"),
                          QStringLiteral("BAJA"),        QStringLiteral("FECHA_BAJA")};
  if (c.uniVenta)
    c.edicion << QStringLiteral("UNI_VENTA") << QStringLiteral("UNI_COMPRA")
              << QStringLiteral("UNI_ESTOC");
  if (c.ivaVenta) c.edicion << QStringLiteral("IVA_VENTA") << QStringLiteral("IVA_COMPRA");
  const auto tabla = bdd.Tabla(QStringLiteral("ARTICULOS"));
  c.porClave = tabla && !tabla->clave.isEmpty();
  c.lectura = QStringList{QStringLiteral("IVA")};
  c.lecturaCambio.emplace(bdd, c.porClave && !bdd.Diario() ? c.lectura : c.edicion);
  return c;
}

bool ExisteFamilia(store::Database& bdd, store::Recordset& rd, const QString& codigo) {
  rd = bdd.AbrirRecordset(QStringLiteral("SELECT * FROM FAMILIAS WHERE CODIGO = ?"),
                          {Valor(codigo.trimmed())});
  return rd.HayRegistros();
}

bool ExisteGrupo(store::Database& bdd, store::Recordset& rd, const QString& familia,
                 const QString& codigo) {
  rd = bdd.AbrirRecordset(QStringLiteral("SELECT * FROM GRUPOS WHERE CODIGO = ? AND FAMILIA = ?"),
                          {Valor(codigo.trimmed()), Valor(familia.trimmed())});
  return rd.HayRegistros();
}

bool ExisteSubGrupo(store::Database& bdd, store::Recordset& rd, const QString& familia,
                    const QString& grupo, const QString& codigo) {
  rd = bdd.AbrirRecordset(
      QStringLiteral("SELECT * FROM SUBGRUPOS WHERE CODIGO = ? AND FAMILIA = ? AND GRUPO = ?"),
      {Valor(codigo.trimmed()), Valor(familia.trimmed()), Valor(grupo.trimmed())});
  return rd.HayRegistros();
}

chainfile::ResultadoLectura ImportaReferencias(const QString& ruta, ContextoImportacion& ctx) {
  auto registro = std::make_unique<RunLog>();
  QString error;
  // A simulation keeps its own removals log: a real run's stays as that run left it.
  const QString rutaBajas =
      QDir(ctx.carpetaLogs)
          .filePath(QLatin1String(ctx.unidad.Simulando() ? "SIMULACION_BAJAS_" : "BAJAS_") +
                    ctx.nombreFicheroImportado + QStringLiteral(".LOG"));
  if (!registro->Abre(rutaBajas, &error))
    throw Error(QStringLiteral("No se puede crear el fichero ") + rutaBajas + QStringLiteral(": ") +
                error);
  // The removals are told as the run log tells them, once committed: the unit keeps the
  // log until its last commit.
  RunLog& bajas = *registro;
  ctx.unidad.Adopta(std::move(registro));
  if (ctx.unidad.Simulando())
    bajas.Escribe(
        QStringLiteral("SIMULACIÓN: no se ha guardado ningún cambio en la base de datos."));
  bajas.Escribe(QStringLiteral("BAJAS REALIZADAS CON EL FICHERO ") + ctx.nombreFicheroImportado);
  bajas.Escribe(QString());

  const ColumnasArticulos columnas = ColumnasArticulos::De(ctx.bdd);
  ClasificacionesVistas vistas;
  const std::vector<chainfile::TipoDetalle> tipos{
      {QStringLiteral("DET"), QStringLiteral("ARTICULO"), AnchosArticulo(), 3}};
  const auto resultado = ImportaCatalogo(
      ruta, tipos,
      [&](int, const chainfile::Registro& det, const chainfile::Registro& ide, int) {
        ActualizaArticulo(det, ide, columnas, bajas, ctx, &vistas);
      },
      ctx);
  bajas.Escribe(QString());
  bajas.Escribe(QStringLiteral("FINAL FICHERO BAJAS"));
  return resultado;
}

namespace {

// A removal line: the article marked as removed (BAJA, FECHA_BAJA), unless it is missing
// or the operator asked not to apply removals; each case is told in both logs.
void DaDeBaja(store::Recordset& rs, bool encontrado, const QString& articulo,
              const ColumnasArticulos& columnas, RunLog& bajas, ContextoImportacion& ctx) {
  if (!encontrado) {
    const QString texto = QStringLiteral("BAJA NO REALIZADA: El artículo ") + articulo +
                          QStringLiteral(" no se ha encontrado.");
    ctx.log.Escribe(texto + kCrLf);
    bajas.Escribe(texto);
    ++ctx.recuento.rechazadas;
  } else if (ctx.noActualizarBajas) {
    ctx.log.Escribe(QStringLiteral("BAJA NO REALIZADA (OPCION NO ACTUALIZAR BAJAS) : Artículo ") +
                    articulo + kCrLf);
    bajas.Escribe(QStringLiteral("BAJA NO REALIZADA (OPCION NO ACTUALIZAR BAJAS): ") + articulo);
    ++ctx.recuento.rechazadas;
  } else {
    ctx.log.Escribe(QStringLiteral("BAJA : Se ha dado de baja el artículo ") + articulo + kCrLf);
    bajas.Escribe(QStringLiteral("BAJA : ") + articulo);
    ++ctx.recuento.bajas;
    if (columnas.porClave) {
      rs.GrabaColumnas(
          {{QStringLiteral("BAJA"), Valor(true)}, {QStringLiteral("FECHA_BAJA"), Valor(ctx.hoy)}});
    } else {
      rs.EditarRegistro();
      rs.Asigna(QStringLiteral("BAJA"), Valor(true));
      rs.Asigna(QStringLiteral("FECHA_BAJA"), Valor(ctx.hoy));
      rs.GrabarRegistro();
    }
  }
}

}  // namespace

void ActualizaArticulo(const chainfile::Registro& det, const chainfile::Registro& ide,
                       const ColumnasArticulos& columnas, RunLog& bajas, ContextoImportacion& ctx,
                       ClasificacionesVistas* vistas) {
  const QString codigo = det.Texto(kCodigo);
  const QString descripcion = det.Texto(kDescripcion);
  const QString operacion = det.Campo(kOperacion);
  const QString articulo = codigo + QStringLiteral(" - ") + descripcion;

  // Most lines change an article: read only what a change or a removal uses, and the
  // whole row (for its defaults) only when one is added. A run that records its changes
  // reads what a change may write, which the record keeps as it was.
  store::Recordset rs;
  const bool encontrado = columnas.lecturaCambio->Abre(rs, codigo);
  bool nuevo = false;
  bool editado = false;

  if (operacion == QLatin1String("A")) {
    if (encontrado) {
      ctx.log.Escribe(QStringLiteral("ALTA NO REALIZADA: El artículo ") + articulo +
                      QStringLiteral(" ya existe.") + kCrLf);
      ++ctx.recuento.rechazadas;
    } else {
      nuevo = true;
    }
  } else if (operacion == QLatin1String("M")) {
    if (encontrado) {
      editado = true;
    } else {
      ctx.log.Escribe(QStringLiteral("MOFIFICACION NO REALIZADA: El artículo ") + articulo +
                      QStringLiteral(" no existe.") + kCrLf);
      ctx.log.Escribe(QStringLiteral("REALIZANDO EL ALTA SOBRE LA MODIFICACION: El artículo ") +
                      articulo + QStringLiteral(" no existe.") + kCrLf);
      nuevo = true;
    }
  } else if (operacion == QLatin1String("B")) {
    DaDeBaja(rs, encontrado, articulo, columnas, bajas, ctx);
  }

  ctx.recuento.altas += nuevo;
  ctx.recuento.modificaciones += editado;
  if (nuevo) {
    // The article was just looked for and is not there: the query gives the columns only.
    rs = ctx.bdd.AbrirRecordsetVacio(QStringLiteral("SELECT * FROM ARTICULOS WHERE CODIGO = ?"),
                                     {Valor(codigo)});
    rs.NuevoRegistro();
    AsignaAlta(rs, codigo, ctx.hoy);
    AsignaDatos(rs, det, columnas, ctx.hoy);
    rs.GrabarRegistro();
  } else if (editado && columnas.porClave) {
    Cambios cambios(rs);
    AsignaDatos(cambios, det, columnas, ctx.hoy);
    rs.GrabaColumnas(cambios.Columnas());
  } else if (editado) {
    rs.EditarRegistro();
    AsignaDatos(rs, det, columnas, ctx.hoy);
    rs.GrabarRegistro();
  }

  AseguraClasificacion(codigo, det.Texto(kFamilia), det.Texto(kGrupo), ctx, vistas);
  AseguraProveedor(codigo, ide, ctx);
}

}  // namespace relvano::imports
