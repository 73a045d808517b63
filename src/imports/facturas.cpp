#include "imports/facturas.h"

#include <deque>
#include <exception>
#include <utility>

#include "base/conversion.h"
#include "base/moneda.h"
#include "base/regional.h"
#include "chainfile/conversion.h"
#include "chainfile/lector.h"
#include "imports/cadena.h"
#include "store/articles/busquedas.h"
#include "store/db/recordset.h"
#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/documents/proveedores.h"
#include "store/vat/iva.h"

namespace relvano::imports {
namespace {

constexpr QLatin1String kCrLf("\r\n");
using cadena::kAlmacen;
using cadena::kDivisa;
using cadena::kProveedor;
using cadena::kSerie;
const QString kTablaLineas = QStringLiteral("LIN_COMPRAS");

// The invoice file read line by line, with the line count, the run's progress and the
// splitting of a line into its record.
class LectorFactura {
 public:
  // Throws ErrorEnLinea(0) when the file cannot be opened.
  LectorFactura(const QString& ruta, Progreso* progreso) : progreso_(progreso) {
    chainfile::AbreFichero(lector_, ruta);
  }

  bool Eof() const { return lector_.Eof(); }
  // The next line, counted.
  QString Siguiente() {
    ++cuenta_;
    return lector_.LeeLinea();
  }
  // The line after the header: one empty line before it is tolerated and not counted.
  QString SiguienteSinVacia() {
    QString linea = Siguiente();
    if (linea.isEmpty()) linea = lector_.LeeLinea();
    return linea;
  }
  int Cuenta() const { return cuenta_; }
  // False when the operator asked to stop after the line in hand.
  bool Avanza() {
    return !progreso_ || progreso_->Avance(lector_.BytesLeidos(), lector_.BytesTotales(), cuenta_);
  }
  // Fills `registro` from `texto`; a field that cannot be stored ends the run at the line
  // in hand (inside a unit, the unit is undone with it).
  void Llena(chainfile::Registro& registro, QString texto) const {
    chainfile::LlenaLinea(registro, texto, cuenta_);
  }

 private:
  chainfile::LectorFichero lector_;
  Progreso* progreso_;
  int cuenta_ = 0;
};

// Runs `aplica` as one all-or-nothing unit that begins at line `primera` of the file and
// returns whether it is kept: stored, it shows its messages; undone (aplica returned
// false, or failed), its messages are dropped. A failure goes on as ErrorEnLinea of
// `linea()`. Nothing in a unit waits for the operator: the lock is held as
// long as the unit's own work takes.
template <typename F, typename L>
bool Unidad(ContextoImportacion& ctx, OperadorDiferido& diferido, int primera, L&& linea,
            F&& aplica) {
  bool guardada = false;
  try {
    guardada = ctx.unidad.LineaSiSeGuarda(primera, std::forward<F>(aplica));
    if (guardada) ctx.unidad.Confirma();
  } catch (const chainfile::ErrorEnLinea&) {
    diferido.Descarta();
    throw;
  } catch (const std::exception& e) {
    diferido.Descarta();
    throw chainfile::ErrorEnLinea(linea(), QString::fromUtf8(e.what()), SentenciaDe(e));
  }
  if (guardada)
    diferido.Muestra();
  else
    diferido.Descarta();
  return guardada;
}

double Importe(const chainfile::Registro& r, int campo) { return NumeroPuntoDec(r.Campo(campo)); }

bool AbreAlbaran(store::Database& bdd, const QString& ejercicio, const QString& numero,
                 store::Recordset& rs) {
  return store::AbreAlbaranProveedor(bdd, rs, ejercicio, kSerie, numero, kProveedor);
}

bool AbreAlbaran(ContextoFactura& f, store::Recordset& rs) {
  return AbreAlbaran(f.ctx.bdd, f.ejercicio, f.numero, rs);
}

bool Facturado(const store::Recordset& albaran) {
  const Valor facturado = albaran[QStringLiteral("FACTURADO")];
  return facturado.EsBooleano() ? facturado.Booleano() : ValorNumerico(facturado) != 0;
}

// The article of the chain's reference `ref` (ARTICULOS_PROV of supplier "1"); "0" when
// it is not listed.
QString ArticuloDeReferencia(store::Database& bdd, const QString& ref) {
  auto prov = bdd.AbrirRecordset(
      QStringLiteral(
          "SELECT IDARTICULO FROM ARTICULOS_PROV WHERE IDPROVEEDOR = ? AND REF_PROV = ?"),
      {Valor(kProveedor), Valor(ref)});
  return prov.HayRegistros() ? ValorTexto(prov[QStringLiteral("IDARTICULO")]) : QStringLiteral("0");
}

QString Referencia(const chainfile::Registro& lin) {
  return regional::TextoNumero(ValorNumerico(Valor(lin.Campo(2))));
}

// LIN_COMPRAS has PORC_DTO_COM (and then the line's net price is written as well).
bool PorcDtoCom(ContextoFactura& f) {
  if (!f.porcDtoCom)
    f.porcDtoCom = f.ctx.bdd.ExisteCampoTabla(kTablaLineas, QStringLiteral("PORC_DTO_COM"));
  return *f.porcDtoCom;
}

// "la factura 1234 del 15/07/2012, de 41,18": the invoice open in `rs`.
QString DescribeFactura(const store::Recordset& rs, const QString& divisa) {
  Valor total = rs[QStringLiteral("TOTAL")];
  const Valor fecha = rs[QStringLiteral("FECHA")];
  const QDate dia = fecha.EsFecha() ? fecha.Fecha() : QDate::fromString(fecha.Texto(), Qt::ISODate);
  return QStringLiteral("la factura ") + ValorTexto(rs[QStringLiteral("NUMERO")]) +
         (dia.isValid() ? QStringLiteral(" del ") + regional::TextoFecha(dia)
                        : QStringLiteral(" sin fecha")) +
         QStringLiteral(", de ") + FormateaMoneda(total, divisa);
}

// The year back in AnyoActual whatever way the invoice creation ends.
class AnyoDelEjercicio {
 public:
  AnyoDelEjercicio(store::Empresa& empresa, const QString& ejercicio) : empresa_(empresa) {
    empresa_.AnyoActual = ejercicio;
  }
  ~AnyoDelEjercicio() { empresa_.AnyoActual = QString::number(empresa_.Hoy().year()); }
  AnyoDelEjercicio(const AnyoDelEjercicio&) = delete;
  AnyoDelEjercicio& operator=(const AnyoDelEjercicio&) = delete;

 private:
  store::Empresa& empresa_;
};

// The file's delivery note is stored and not invoiced.
bool AlbaranSinFactura(ContextoFactura& f) {
  store::Recordset rs;
  return AbreAlbaran(f, rs) && !Facturado(rs);
}

// The invoice of the checked delivery note, with the note and its lines invoiced and the
// invoice's totals computed, as one unit.
void CreaFactura(ContextoFactura& f, int linea) {
  OperadorDiferido diferido(f.ctx.operador);
  Unidad(
      f.ctx, diferido, linea, [linea] { return linea; },
      [&] {
        {
          AnyoDelEjercicio anyo(f.empresa, f.ejercicio);
          store::NuevaFacturaProveedor nueva;
          nueva.serie = kSerie;
          nueva.numero = f.numero;
          nueva.codigo = kProveedor;
          nueva.fecha = f.fecha;
          nueva.divisa = kDivisa;
          nueva.cambio = 1;
          nueva.idEmpresa = f.empresa.IdEmpresa;
          store::CreaFacturaProveedor(f.empresa, nueva);
        }
        store::Recordset alb;
        if (!AbreAlbaran(f, alb))
          throw chainfile::ErrorEnLinea(linea, QStringLiteral("el albarán ") + f.numero +
                                                   QStringLiteral(" no está en la base de datos."));
        store::FacturaAlbaranProveedor(f.empresa, alb, f.ejercicio, kSerie, f.numero, kProveedor);
        store::RecalculaFacturaProveedor(f.empresa, diferido, f.ejercicio, kSerie, f.numero,
                                         kProveedor, f.empresa.IdEmpresa);
        return true;
      });
}

}  // namespace

chainfile::Registro CabeceraFactura() {
  return chainfile::Registro{3, 11, 10, 5, 1, 1, 1, 10, 6, 5, 6, 5, 30, 8, 12, 10};
}

chainfile::Registro LineaFactura() {
  return chainfile::Registro{3, 7, 7, 1, 1, 7, 7, 1, 9, 9, 4, 4, 4, 4, 2, 8, 8, 8, 8, 8, 1, 10};
}

chainfile::Registro FilaPieFactura() { return chainfile::Registro{3, 1, 4, 4, 11, 11, 11}; }

chainfile::Registro ControlFichero() { return chainfile::RegistroCHK(); }

QString NumeroAlbaran(const QString& campoNumero) {
  return regional::TextoNumero(ValorNumerico(Valor(campoNumero.right(8))));
}

bool CreaAlbaranProveedor(ContextoFactura& f) {
  store::Recordset rs;
  if (AbreAlbaran(f, rs)) {
    f.avisosUnidad.Mensaje(QStringLiteral("El albarán ") + f.numero +
                           QStringLiteral(" ya existe."));
    return false;
  }
  store::Recordset proveedor;
  if (!store::ExisteProveedor(f.ctx.bdd, proveedor, kProveedor))
    throw ErrorDatos(QStringLiteral("el proveedor ") + kProveedor +
                     QStringLiteral(" (la cadena) no existe en la tabla de proveedores; no se ha "
                                    "creado el albarán ") +
                     f.numero + QStringLiteral(". Dé de alta el proveedor ") + kProveedor +
                     QStringLiteral(" y vuelva a importar el fichero."));
  rs.NuevoRegistro();
  rs.Asigna(QStringLiteral("EJERCICIO"), Valor(f.ejercicio));
  rs.Asigna(QStringLiteral("SERIE"), Valor(kSerie));
  rs.Asigna(QStringLiteral("NUMERO"), Valor(f.numero));
  rs.Asigna(QStringLiteral("DIVISA"), Valor(kDivisa));
  rs.Asigna(QStringLiteral("CAMBIO_DIVISA"), Valor(1));
  rs.Asigna(QStringLiteral("COMPRADOR"), Valor(QString()));
  rs.Asigna(QStringLiteral("FECHA"), Valor(f.fecha));
  rs.Asigna(QStringLiteral("CODIGO"), Valor(kProveedor));
  rs.Asigna(QStringLiteral("NOMBRE"), proveedor[QStringLiteral("NOMBRE")]);
  rs.Asigna(QStringLiteral("NIF"), Valor(ValorTexto(proveedor[QStringLiteral("NIF")])));
  rs.Asigna(QStringLiteral("DIRECCION_ALB"),
            Valor(ValorTexto(proveedor[QStringLiteral("DIRECCION")])));
  rs.Asigna(QStringLiteral("CODPOST_ALB"), Valor(ValorTexto(proveedor[QStringLiteral("CODPOST")])));
  rs.Asigna(QStringLiteral("POBLACION_ALB"),
            Valor(ValorTexto(proveedor[QStringLiteral("POBLACION")])));
  rs.Asigna(QStringLiteral("PROVINCIA_ALB"),
            Valor(ValorTexto(proveedor[QStringLiteral("PROVINCIA")])));
  rs.Asigna(QStringLiteral("PAIS_ALB"), Valor(ValorTexto(proveedor[QStringLiteral("PAIS")])));
  rs.Asigna(QStringLiteral("DTO_COM"), Valor(0));
  rs.Asigna(QStringLiteral("ESPORCENTAJE_DTOCOM"), Valor(true));
  rs.Asigna(QStringLiteral("ALMACEN_ENT"), Valor(kAlmacen));
  rs.Asigna(QStringLiteral("CON_RECARGO"), Valor(f.empresa.RecargoEquivalencia));
  rs.GrabarRegistro();
  return true;
}

LineaAlbaran LeeLineaAlbaran(ContextoFactura& f, const chainfile::Registro& lin, int numero) {
  store::Database& bdd = f.ctx.bdd;
  LineaAlbaran l;
  l.numero = numero;
  l.ref = Referencia(lin);
  auto ref = f.articuloDeReferencia.constFind(l.ref);
  if (ref == f.articuloDeReferencia.constEnd())
    ref = f.articuloDeReferencia.insert(l.ref, ArticuloDeReferencia(bdd, l.ref));
  l.idArticulo = *ref;

  const QString clase = lin.Texto(4);
  static const QHash<QString, QString> kTipoDeClase{{QStringLiteral("A"), QStringLiteral("1")},
                                                    {QStringLiteral("M"), QStringLiteral("2")},
                                                    {QStringLiteral("B"), QStringLiteral("3")}};
  if (const auto tipo = kTipoDeClase.constFind(clase); tipo != kTipoDeClase.constEnd()) {
    auto iva = f.ivaDeClase.constFind(clase);
    if (iva == f.ivaDeClase.constEnd())
      iva = f.ivaDeClase.insert(clase, store::IvaDeLinea(f.empresa, f.fecha, *tipo));
    l.iva = *iva;
  } else {
    l.multiimpuesto = clase == QLatin1String("D");
  }
  l.cantidad = Importe(lin, 9);
  l.precio = Importe(lin, 18);
  l.base = Importe(lin, 22);

  const store::ColumnasLinCompras& columnas = f.columnas.De(bdd);
  auto art = f.articulos.constFind(l.idArticulo);
  if (art == f.articulos.constEnd()) {
    ContextoFactura::ArticuloLeido leido;
    auto rs = bdd.AbrirRecordset(
        QStringLiteral("select CODIGO, DESCRIPCION from ARTICULOS where CODIGO = ?"),
        {Valor(l.idArticulo.trimmed())});
    leido.existe = rs.HayRegistros();
    if (leido.existe) {
      leido.descripcion = rs[QStringLiteral("DESCRIPCION")];
      leido.posterior = store::UltimaCompraArticulo(bdd, columnas, l.idArticulo, f.fecha);
    }
    art = f.articulos.insert(l.idArticulo, leido);
  }
  l.existe = art->existe;
  l.descripcion = l.existe && l.idArticulo != QLatin1String("0")
                      ? art->descripcion
                      : Valor(QStringLiteral("ARTICULO DEL PROVEEDOR ") + l.ref +
                              QStringLiteral(" NO CREADO "));
  if (l.existe) {
    // The line about to be stored is the article's latest purchase unless a delivered
    // one is dated after it; unassigned columns take the table's defaults.
    l.compra = art->posterior;
    if (!l.compra) {
      const auto tabla = bdd.Tabla(kTablaLineas);
      l.compra = store::PreciosCompra(columnas, [&](const QString& columna) {
        if (columna == QLatin1String("CANTIDAD_ALB")) return Valor(l.cantidad);
        if (columna == QLatin1String("PRECIO_ALB")) return Valor(l.precio);
        if (columna == QLatin1String("DTO_ART")) return Valor(0);
        if (columna == QLatin1String("PRECIO_SIVA_NETO") && PorcDtoCom(f)) return Valor(l.precio);
        const int i = tabla ? tabla->Indice(columna) : -1;
        return i < 0 ? Valor() : tabla->defectos[static_cast<size_t>(i)];
      });
    }
  }
  return l;
}

void CreaLineaAlbaran(ContextoFactura& f, const LineaAlbaran& l) {
  auto rs = f.ctx.bdd.AbrirRecordsetVacio(QStringLiteral("SELECT * FROM LIN_COMPRAS WHERE ID = 0"));
  rs.NuevoRegistro();
  rs.Asigna(QStringLiteral("EJER_ALB"), Valor(f.ejercicio));
  rs.Asigna(QStringLiteral("SERIE_ALB"), Valor(kSerie));
  rs.Asigna(QStringLiteral("NUM_ALB"), Valor(f.numero));
  rs.Asigna(QStringLiteral("IDPROVEEDOR"), Valor(kProveedor));
  rs.Asigna(QStringLiteral("ENTREGADO"), Valor(true));
  rs.Asigna(QStringLiteral("FECHA_REAL"), Valor(f.fecha));
  rs.Asigna(QStringLiteral("DIVISA"), Valor(kDivisa));
  rs.Asigna(QStringLiteral("CAMBIO_DIVISA"), Valor(1));
  if (l.iva)
    store::AsignaIva(rs, *l.iva);
  else if (l.multiimpuesto)
    f.avisosUnidad.Mensaje(QStringLiteral("EL IMPUESTO MULTIIMPUESTO NO ESTA IMPLEMENTADO"));
  rs.Asigna(QStringLiteral("CODIGO_ART"), Valor(l.idArticulo));
  rs.Asigna(QStringLiteral("DESCRIPCION_ART"), l.descripcion);
  rs.Asigna(QStringLiteral("UNI"), Valor(QStringLiteral("UNI")));
  rs.Asigna(QStringLiteral("TIPO"), Valor(QString()));
  rs.Asigna(QStringLiteral("CANTIDAD_ALB"), Valor(l.cantidad));
  rs.Asigna(QStringLiteral("PRECIO_ALB"), Valor(l.precio));
  rs.Asigna(QStringLiteral("BASE_ALB"), Valor(l.base));
  rs.Asigna(QStringLiteral("DTO_ART"), Valor(0));
  if (PorcDtoCom(f)) {
    rs.Asigna(QStringLiteral("PORC_DTO_COM"), Valor(0));
    rs.Asigna(QStringLiteral("PRECIO_SIVA_NETO"), Valor(l.precio));
  }
  rs.GrabarRegistro();

  // Stock of warehouse "1", costs and last purchase date, from the article's row as the
  // statement finds it.
  if (!(l.compra && store::AplicaCompraArticulo(f.empresa, QString(), l.idArticulo,
                                                {l.cantidad, f.fecha}, *l.compra)) &&
      l.idArticulo != QLatin1String("0"))
    f.avisosUnidad.Mensaje(QStringLiteral("El artículo ") + l.idArticulo +
                           QStringLiteral(" no existe para actualizar su stock"));
}

bool CuadraFactura(ContextoFactura& f, const chainfile::Registro& cab, const PieFactura& pie,
                   int linea) {
  store::Recordset albaran;
  if (!AbreAlbaran(f, albaran))
    throw chainfile::ErrorEnLinea(linea, QStringLiteral("el albarán ") + f.numero +
                                             QStringLiteral(" no está en la base de datos."));
  f.ctx.operador.Informe(InformeCuadre(cab, pie, albaran, f.empresa.Divisa));
  if (!TotalesCuadran(Importe(cab, 15), ValorNumerico(albaran[QStringLiteral("TOTAL")]))) {
    f.ctx.operador.Mensaje(QStringLiteral("No se ha podido crear la factura: ") + f.numero +
                           QStringLiteral(" porque está descuadrada."));
    return false;
  }

  // An invoice of this key keyed by hand (or by another program) is never stored twice.
  if (store::Recordset existente; store::AbreFacturaProveedor(f.empresa, existente, f.ejercicio,
                                                              kSerie, f.numero, kProveedor)) {
    const QString texto =
        QStringLiteral("No se ha podido crear la factura: ") + f.numero +
        QStringLiteral(" porque ya existe ") + DescribeFactura(existente, f.empresa.Divisa) +
        QStringLiteral(" (serie ") + kSerie + QStringLiteral(", proveedor ") + kProveedor +
        QStringLiteral(", ejercicio ") + f.ejercicio + QStringLiteral("). El albarán ") + f.numero +
        QStringLiteral(" queda sin facturar.");
    f.ctx.log.Escribe(texto);
    f.ctx.operador.Mensaje(texto, Operador::Icono::Stop);
    return false;
  }

  CreaFactura(f, linea);
  return true;
}

namespace {

// The invoice's header: the CAB record, its number field rewritten to the delivery note's.
struct CabeceraLeida {
  chainfile::Registro cab;
  QDate fecha;
};

// Reads the IDE and CAB lines. Throws ErrorEnLinea (nothing imported) when the line after
// the header is not a CAB line, its number gives delivery note "0" or its date is not a date.
CabeceraLeida LeeCabecera(LectorFactura& lector) {
  chainfile::Registro ide = chainfile::RegistroIDE();
  QString linea = lector.Siguiente();
  if (linea.startsWith(QLatin1String("IDE"))) lector.Llena(ide, linea);

  linea = lector.SiguienteSinVacia();
  if (!linea.startsWith(QLatin1String("CAB")))
    throw chainfile::ErrorEnLinea(
        lector.Cuenta(),
        QStringLiteral("la línea siguiente a la cabecera del fichero no es la cabecera "
                       "de la factura (CAB); no se ha importado nada. Compruebe que "
                       "el fichero es una factura de la cadena."));
  chainfile::Registro cab = CabeceraFactura();
  lector.Llena(cab, linea);
  const QString numeroFactura = cab.Texto(2);
  cab.Asigna(2, NumeroAlbaran(cab.Campo(2)));
  if (cab.Texto(2) == QLatin1String("0"))
    throw chainfile::ErrorEnLinea(
        lector.Cuenta(), QStringLiteral("el número de factura (\"") + numeroFactura +
                             QStringLiteral("\") no termina en un número de albarán (sus 8 "
                                            "últimos caracteres, con los blancos de la "
                                            "derecha); no se ha importado nada."));
  const auto fecha = chainfile::DimeFechaCorrecta(cab.Campo(3));
  if (!fecha)
    throw chainfile::ErrorEnLinea(lector.Cuenta(),
                                  QStringLiteral("la fecha de la factura (\"") + cab.Texto(3) +
                                      QStringLiteral("\") no es una fecha válida; no se ha "
                                                     "importado nada."));
  return {std::move(cab), *fecha};
}

// How the delivery note's unit ended when it did not reach the CHK line.
enum class FinAlbaran { Control, YaExiste, Cancelada, SinControl };

// The file up to its CHK line, read and worked out before anything is written: the store
// is held only while the delivery note is stored.
struct AlbaranLeido {
  std::vector<LineaAlbaran> lineas;
  // The log's lines, each with the file line it tells of: written as the delivery note
  // is stored, so that a failure leaves in the log what it left before.
  std::deque<std::pair<int, QString>> log;
  int control = 0;  // the CHK line
  FinAlbaran fin = FinAlbaran::SinControl;

  // Writes the held log lines of the file up to line `linea`.
  void EscribeLog(RunLog& destino, int linea) {
    while (!log.empty() && log.front().first <= linea) {
      destino.Escribe(log.front().second);
      log.pop_front();
    }
  }
};

// Reads the lines up to the CHK line, which fills `pie` and `chk`, working out the delivery
// note's lines (not when the stored note is resumed: `reanuda`). No transaction is open.
void LeeAlbaran(ContextoFactura& f, LectorFactura& lector, bool reanuda, PieFactura& pie,
                chainfile::Registro& chk, AlbaranLeido& leido) {
  const auto anota = [&](const QString& texto) { leido.log.emplace_back(lector.Cuenta(), texto); };
  chainfile::Registro lin = LineaFactura();  // filled again line after line
  while (!lector.Eof()) {
    const QString linea = lector.Siguiente();
    const QString tipo = linea.left(3);
    if (tipo == QLatin1String("LIN")) {
      anota(QStringLiteral("  Leyendo Línea Factura: ") + QString::number(lector.Cuenta()) + kCrLf);
      lector.Llena(lin, linea);
      if (!reanuda) leido.lineas.push_back(LeeLineaAlbaran(f, lin, lector.Cuenta()));
    } else if (tipo == QLatin1String("IMP")) {
      anota(QStringLiteral("  Leyendo Pie Factura: ") + QString::number(lector.Cuenta()) + kCrLf);
      const QString clase = linea.mid(4, 1);
      const int fila = clase == QLatin1String("A")   ? 0
                       : clase == QLatin1String("M") ? 1
                       : clase == QLatin1String("B") ? 2
                                                     : -1;
      if (fila < 0) {
        anota(QStringLiteral("  Pie de factura rechazado (clase ") + clase +
              QStringLiteral("): línea ") + QString::number(lector.Cuenta()) + kCrLf);
      } else {
        lector.Llena(pie[static_cast<size_t>(fila)], linea);
      }
    } else if (tipo == QLatin1String("CHK")) {
      lector.Llena(chk, linea);
      leido.control = lector.Cuenta();
      leido.fin = FinAlbaran::Control;
      return;
    }
    if (!lector.Avanza()) {
      leido.fin = FinAlbaran::Cancelada;
      return;
    }
  }
  // A cut file must not leave a delivery note that would make the whole file, sent
  // again, be refused as already booked.
  leido.fin = FinAlbaran::SinControl;
}

// The delivery note, its lines and its totals as one unit, read up to the CHK line, which
// fills `pie` and `chk`. Resumed (`reanuda`): the lines are read for the footer only, the
// stored note is what is checked.
FinAlbaran GrabaAlbaran(ContextoFactura& f, OperadorDiferido& diferido, LectorFactura& lector,
                        bool reanuda, PieFactura& pie, chainfile::Registro& chk) {
  ContextoImportacion& ctx = f.ctx;
  const int primera = lector.Cuenta();
  if (!lector.Avanza()) return FinAlbaran::Cancelada;
  AlbaranLeido leido;
  // A delivery note already there is told by its creation below, without reading the file.
  if (store::Recordset existente; reanuda || !AbreAlbaran(f, existente)) {
    try {
      LeeAlbaran(f, lector, reanuda, pie, chk, leido);
    } catch (const chainfile::ErrorEnLinea&) {
      leido.EscribeLog(ctx.log, lector.Cuenta());
      throw;
    } catch (const std::exception& e) {
      leido.EscribeLog(ctx.log, lector.Cuenta());
      throw chainfile::ErrorEnLinea(lector.Cuenta(), QString::fromUtf8(e.what()));
    }
    if (leido.fin != FinAlbaran::Control) {
      leido.EscribeLog(ctx.log, lector.Cuenta());
      return leido.fin;
    }
  }

  FinAlbaran fin = FinAlbaran::Control;
  int enCurso = primera;
  Unidad(
      ctx, diferido, primera, [&enCurso] { return enCurso; },
      [&] {
        if (!reanuda && !CreaAlbaranProveedor(f)) {
          fin = FinAlbaran::YaExiste;
          return true;  // nothing was written; its message is shown
        }
        for (const LineaAlbaran& l : leido.lineas) {
          enCurso = l.numero;
          leido.EscribeLog(ctx.log, l.numero);
          CreaLineaAlbaran(f, l);
        }
        enCurso = leido.control;
        leido.EscribeLog(ctx.log, leido.control);
        if (reanuda) return true;
        store::RecalculaAlbaranProveedor(f.empresa, diferido, f.ejercicio, kSerie, f.numero,
                                         kProveedor, f.empresa.IdEmpresa);
        // The CHK line is applied once its invoice is created as well.
        ctx.unidad.Hecha(leido.control - 1);
        return true;
      });
  return fin;
}

// The lines after the CHK line: the delivery note is checked (and maybe invoiced), so
// what would change it is refused in the log. False when the operator cancelled.
bool RechazaLineasFinales(LectorFactura& lector, ContextoImportacion& ctx) {
  while (!lector.Eof()) {
    const QString linea = lector.Siguiente();
    const QString tipo = linea.left(3);
    if (tipo == QLatin1String("LIN") || tipo == QLatin1String("IMP") ||
        tipo == QLatin1String("CHK"))
      ctx.log.Escribe(QStringLiteral("  Línea ") + tipo +
                      QStringLiteral(" rechazada tras la línea de control de la factura: línea ") +
                      QString::number(lector.Cuenta()) + kCrLf);
    if (!lector.Avanza()) return false;
  }
  return true;
}

}  // namespace

ResultadoFactura ImportaFacturas(const QString& ruta, store::Empresa& empresa,
                                 ContextoImportacion& ctx) {
  ResultadoFactura resultado;
  LectorFactura lector(ruta, ctx.progreso);
  const CabeceraLeida cabecera = LeeCabecera(lector);
  const chainfile::Registro& cab = cabecera.cab;

  OperadorDiferido diferido(ctx.operador);
  ContextoFactura f{.empresa = empresa,
                    .ctx = ctx,
                    .avisosUnidad = diferido,
                    .ejercicio = cab.Campo(3).left(4),
                    .numero = cab.Texto(2),
                    .fecha = cabecera.fecha,
                    .columnas = {},
                    .porcDtoCom = {},
                    .articuloDeReferencia = {},
                    .articulos = {},
                    .ivaDeClase = {}};
  PieFactura pie{FilaPieFactura(), FilaPieFactura(), FilaPieFactura()};
  chainfile::Registro chk = ControlFichero();
  const bool reanuda = ctx.reanudaFactura && AlbaranSinFactura(f);
  if (reanuda)
    ctx.log.Escribe(QStringLiteral("El albarán ") + f.numero +
                    QStringLiteral(" ya se grabó con este fichero en una importación que no llegó "
                                   "a crear la factura: se comprueba y se crea la factura.") +
                    kCrLf);

  const FinAlbaran fin = GrabaAlbaran(f, diferido, lector, reanuda, pie, chk);
  resultado.lectura.lineas = lector.Cuenta();
  switch (fin) {
    case FinAlbaran::Control:
      break;
    case FinAlbaran::YaExiste:
      return resultado;
    case FinAlbaran::Cancelada:
      resultado.lectura.cancelado = true;
      return resultado;
    case FinAlbaran::SinControl: {
      const QString texto = QStringLiteral(
                                "El fichero termina sin su línea de control (CHK): "
                                "no se ha guardado el albarán ") +
                            f.numero + QStringLiteral(" ni se ha creado la factura.");
      ctx.log.Escribe(texto);
      ctx.operador.Mensaje(texto, Operador::Icono::Stop);
      return resultado;
    }
  }
  if (!reanuda && ctx.albaranGrabado) ctx.albaranGrabado(f.numero);

  // The CHK line in hand: the delivery note is stored with its totals.
  resultado.lectura.vioTrailer = true;
  resultado.facturaCreada = CuadraFactura(f, cab, pie, lector.Cuenta());
  ctx.log.Escribe(QStringLiteral("Fin Actualización") + kCrLf);
  ctx.operador.Mensaje(
      chainfile::MensajeCuenta(lector.Cuenta(), chk) + kCrLf + kCrLf +
          (resultado.facturaCreada ? QStringLiteral("Se ha creado la factura: ") + cab.Campo(2)
                                   : QStringLiteral("No se ha creado la factura: ") + f.numero),
      Operador::Icono::Informacion);

  resultado.lectura.cancelado = !RechazaLineasFinales(lector, ctx);
  resultado.lectura.lineas = lector.Cuenta();
  return resultado;
}

AlbaranEnTienda BuscaAlbaranDelFichero(const QString& ruta, const store::Empresa& empresa) {
  AlbaranEnTienda resultado;
  struct Linea {
    QString referencia;  // the chain's, looked up only when the store holds a note
    double cantidad, precio;
  };
  std::vector<Linea> lineas;
  QString ejercicio;
  store::Database& bdd = *empresa.BddTienda;
  store::Recordset albaran;
  // A file that fails to read is none of this check's business: the import itself tells
  // what is wrong with it.
  try {
    LectorFactura lector(ruta, nullptr);
    lector.Siguiente();
    const QString linea = lector.SiguienteSinVacia();
    if (!linea.startsWith(QLatin1String("CAB"))) return resultado;
    chainfile::Registro cab = CabeceraFactura();
    lector.Llena(cab, linea);
    resultado.numero = NumeroAlbaran(cab.Campo(2));
    ejercicio = cab.Campo(3).left(4);
    // The lines are read only when the store holds the note: most files are new ones.
    if (resultado.numero == QLatin1String("0") ||
        !AbreAlbaran(bdd, ejercicio, resultado.numero, albaran))
      return AlbaranEnTienda{};
    chainfile::Registro lin = LineaFactura();
    while (!lector.Eof()) {
      const QString texto = lector.Siguiente();
      if (texto.startsWith(QLatin1String("CHK"))) break;
      if (!texto.startsWith(QLatin1String("LIN"))) continue;
      lector.Llena(lin, texto);
      lineas.push_back({Referencia(lin), Importe(lin, 9), Importe(lin, 18)});
    }
  } catch (const chainfile::ErrorEnLinea&) {
    return AlbaranEnTienda{};
  }
  auto guardadas = bdd.AbrirRecordset(
      QStringLiteral("SELECT CODIGO_ART, CANTIDAD_ALB, PRECIO_ALB FROM LIN_COMPRAS WHERE "
                     "EJER_ALB = ? AND SERIE_ALB = ? AND NUM_ALB = ? AND IDPROVEEDOR = ? "
                     "ORDER BY ID"),
      {Valor(ejercicio), Valor(kSerie), Valor(resultado.numero), Valor(kProveedor)});
  bool iguales = guardadas.RecordCount() == static_cast<int>(lineas.size());
  QHash<QString, QString> articuloDeReferencia;
  for (size_t i = 0; iguales && i < lineas.size(); ++i, guardadas.MoveNext()) {
    auto articulo = articuloDeReferencia.constFind(lineas[i].referencia);
    if (articulo == articuloDeReferencia.constEnd())
      articulo = articuloDeReferencia.insert(lineas[i].referencia,
                                             ArticuloDeReferencia(bdd, lineas[i].referencia));
    // Both sides went through the same conversions: equal amounts are equal numbers.
    iguales =
        ValorTexto(guardadas[QStringLiteral("CODIGO_ART")]).trimmed() == articulo->trimmed() &&
        ValorNumerico(guardadas[QStringLiteral("CANTIDAD_ALB")]) == lineas[i].cantidad &&
        ValorNumerico(guardadas[QStringLiteral("PRECIO_ALB")]) == lineas[i].precio;
  }
  if (!iguales) {
    resultado.estado = AlbaranEnTienda::Estado::OtrasLineas;
    return resultado;
  }
  if (!Facturado(albaran)) {
    resultado.estado = AlbaranEnTienda::Estado::SinFactura;
    return resultado;
  }
  resultado.estado = AlbaranEnTienda::Estado::Facturado;
  store::Recordset factura;
  resultado.factura =
      store::AbreFacturaProveedor(empresa, factura, ejercicio, kSerie, resultado.numero, kProveedor)
          ? DescribeFactura(factura, empresa.Divisa)
          : QStringLiteral("la factura ") + resultado.numero;
  return resultado;
}

}  // namespace relvano::imports
