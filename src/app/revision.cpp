#include "app/revision.h"

#include <QHash>
#include <QJsonArray>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "base/conversion.h"
#include "base/regional.h"

namespace relvano {
namespace {

// The prices of the store that the chain's files set. For the articles' own prices, 0 is
// "no price yet" (the sale price file fills only those); an offer's price of 0 is a price.
// The chain's supplier record (ARTICULOS_PROV.COSTE) repeats the article's cost and is
// counted with the rows, not again as a price.
struct ColumnaPrecio {
  QLatin1String tabla;
  QLatin1String columna;
  QLatin1String clave;  // as the --json document names it
  QLatin1String nombre;
  bool ceroEsVacio;
};
constexpr QLatin1String kArticulos("ARTICULOS");
constexpr QLatin1String kCoste("COSTE");
constexpr QLatin1String kVenta("VENTA");
const ColumnaPrecio kPrecios[] = {
    {kArticulos, kCoste, QLatin1String("cost"), QLatin1String("precio de coste"), true},
    {kArticulos, kVenta, QLatin1String("sale"), QLatin1String("precio de venta"), true},
    {QLatin1String("PROM_ART_COMPRA"), QLatin1String("PRECIO_NETO"),
     QLatin1String("purchase_offer"), QLatin1String("precio de oferta de compra"), false},
    {QLatin1String("PROM_ART_VENTA"), QLatin1String("PRECIO_NETO"), QLatin1String("sale_offer"),
     QLatin1String("precio de oferta de venta"), false},
};

// Names equal but for case: a letter's case is one character either way, so names of
// different lengths differ without looking at their letters (most of a row's columns).
// The names of tables and columns are ASCII: compared here letter by letter, a tenth of
// what Qt's comparison without case costs (it folds each character through Unicode's
// tables), which ran for every column of every change of a run; anything else goes to Qt.
bool MismoNombre(const QString& a, QLatin1String b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    const char16_t x = a[i].unicode();
    const auto y = static_cast<unsigned char>(b[i].toLatin1());
    if (x >= 0x80 || y >= 0x80) return a.compare(b, Qt::CaseInsensitive) == 0;
    const auto minuscula = [](char16_t c) -> char16_t {
      return c >= u'A' && c <= u'Z' ? c + 32 : c;
    };
    if (minuscula(x) != minuscula(y)) return false;
  }
  return true;
}

// The prices of `tabla`: what a change of its rows may set. Most tables have none.
struct PreciosTabla {
  std::array<const ColumnaPrecio*, std::size(kPrecios)> columnas{};
  size_t cuantas = 0;
  const ColumnaPrecio* De(const QString& columna) const {
    for (size_t i = 0; i < cuantas; ++i)
      if (MismoNombre(columna, columnas[i]->columna)) return columnas[i];
    return nullptr;
  }
};

PreciosTabla PreciosDe(const QString& tabla) {
  PreciosTabla t;
  for (const ColumnaPrecio& p : kPrecios)
    if (MismoNombre(tabla, p.tabla)) t.columnas[t.cuantas++] = &p;
  return t;
}

// Where the prices are among the columns of a change, found once per statement's list of
// columns and table: the changes of one statement share their list (every change lives
// while a group is reviewed, so a list's address stands for its names), and a file's lines
// alternate between a few statements.
class PreciosDeCambios {
 public:
  using Precios = QVarLengthArray<std::pair<int, const ColumnaPrecio*>, 4>;
  // `precios`: those of the change's table.
  const Precios& De(const store::CambioFila& c, const PreciosTabla& precios) {
    for (const Vista& v : vistas_) {
      if (v.columnas && v.columnas == c.columnas.constData() && v.cuantas == c.columnas.size() &&
          v.tabla == c.tabla.constData())
        return v.precios;
    }
    Vista& v = vistas_[siguiente_++ % vistas_.size()];
    v = {c.columnas.constData(), c.columnas.size(), c.tabla.constData(), {}};
    for (int i = 0; i < c.columnas.size(); ++i)
      if (const ColumnaPrecio* p = precios.De(c.columnas[i])) v.precios.push_back({i, p});
    return v.precios;
  }

 private:
  struct Vista {
    const QString* columnas = nullptr;
    qsizetype cuantas = 0;
    const QChar* tabla = nullptr;
    Precios precios;
  };
  std::array<Vista, 4> vistas_;
  size_t siguiente_ = 0;
};

QString NombrePrecio(const QString& clave) {
  for (const ColumnaPrecio& p : kPrecios)
    if (p.clave == clave) return p.nombre;
  return clave;
}

int Indice(const QStringList& columnas, QLatin1String columna) {
  for (int i = 0; i < columnas.size(); ++i)
    if (MismoNombre(columnas[i], columna)) return i;
  return -1;
}

// The row as the operator knows it: its article, else its key's values.
QString Fila(const store::CambioFila& c) {
  for (const QLatin1String columna :
       {QLatin1String("CODIGO"), QLatin1String("COD_ART"), QLatin1String("IDARTICULO")}) {
    const int k = Indice(c.clave, columna);
    if (k >= 0 && k < static_cast<int>(c.valoresClave.size()))
      return c.valoresClave[k].toString().trimmed();
    const int i = Indice(c.columnas, columna);
    const auto& valores = c.tipo == store::CambioFila::Tipo::Baja ? c.antes : c.despues;
    if (i >= 0 && i < static_cast<int>(valores.size())) return valores[i].toString().trimmed();
  }
  QStringList valores;
  for (const QVariant& v : c.valoresClave) valores << v.toString().trimmed();
  return valores.join(QStringLiteral(" / "));
}

std::optional<double> Numero(const QVariant& v) {
  if (v.isNull() || !v.isValid()) return std::nullopt;
  return ValorNumerico(Valor::FromVariant(v));
}

// The cost of each of `articulos` as the store holds it now, read a few hundred at a time;
// an article without a row or a cost is left out.
QHash<QString, double> CostesGuardados(store::Database& bdd, const QString& columnaClave,
                                       const QStringList& articulos) {
  constexpr int kPorConsulta = 200;
  QStringList listaMarcas;
  for (int i = 0; i < kPorConsulta; ++i) listaMarcas << QStringLiteral("?");
  const QString marcas = listaMarcas.join(u',');
  QHash<QString, double> costes;
  for (int desde = 0; desde < articulos.size(); desde += kPorConsulta) {
    // Always the same number of markers, the last article repeated to fill them, so that
    // one statement is prepared for every chunk.
    std::vector<Valor> parametros;
    for (int i = 0; i < kPorConsulta; ++i)
      parametros.emplace_back(articulos.at(std::min<qsizetype>(desde + i, articulos.size() - 1)));
    store::Filas q = bdd.Consulta(QStringLiteral("SELECT %1, COSTE FROM ARTICULOS WHERE %1 IN (%2)")
                                      .arg(columnaClave, marcas),
                                  parametros);
    while (q.Siguiente())
      if (!q.Columna(1).isNull())
        costes.insert(q.Columna(0).toString().trimmed(), q.Columna(1).toDouble());
  }
  return costes;
}

QString Importe(double x) { return regional::TextoNumero(x); }
QString Porcentaje(double p) {
  return (p > 0 ? QStringLiteral("+") : QString()) +
         regional::TextoNumero(std::round(p * 10) / 10) + QStringLiteral(" %");
}
QString Cambio(const QString& fila, bool teniaValor, double antes, double despues) {
  QString texto = QStringLiteral("Artículo ") + fila + QStringLiteral(": ");
  if (teniaValor) texto += Importe(antes) + QStringLiteral(" → ");
  texto += Importe(despues);
  if (teniaValor && antes != 0)
    texto += QStringLiteral(" (") + Porcentaje((despues - antes) / std::fabs(antes) * 100) + u')';
  return texto;
}

const char* MotivoJson(Revision::Motivo m) {
  switch (m) {
    case Revision::Motivo::CambioGrande:
      return "change_above_threshold";
    case Revision::Motivo::CeroOMenos:
      return "zero_or_below";
    case Revision::Motivo::VentaBajoCoste:
      return "sale_below_cost";
  }
  return "";
}

}  // namespace

struct Revision::VentaPorComparar {
  FueraDeLoNormal f;
  QString articulo;
};

double Revision::CambioPrecio::Porcentaje() const {
  return antes == 0 ? 0 : (despues - antes) / std::fabs(antes) * 100;
}

void Revision::Anota(store::Database& bdd, const std::vector<store::CambioFila>& cambios) {
  using Tipo = store::CambioFila::Tipo;
  QString columnaClave;  // of ARTICULOS, as the changes name it
  std::vector<VentaPorComparar> porComparar;
  // A group's changes come table after table, most of them of the table before: its
  // counts and prices are found again only when the name changes.
  const QString* ultimaTabla = nullptr;
  Tabla* t = nullptr;
  PreciosTabla precios;
  PreciosDeCambios preciosDe;
  for (const store::CambioFila& c : cambios) {
    if (!ultimaTabla || c.tabla != *ultimaTabla) {
      ultimaTabla = &c.tabla;
      t = &tablas_[c.tabla.toUpper()];
      precios = PreciosDe(c.tabla);
    }
    if (c.tipo == Tipo::Alta)
      ++t->altas;
    else if (c.tipo == Tipo::Baja)
      ++t->bajas;
    else
      ++t->modificaciones;
    if (c.tipo == Tipo::Baja) continue;  // a row removed whole sets no price
    if (precios.cuantas == 0) continue;

    for (const auto& [i, p] : preciosDe.De(c, precios)) {
      if (i >= static_cast<int>(c.despues.size())) continue;
      const bool hayAntes = c.tipo != Tipo::Alta && i < static_cast<int>(c.antes.size()) &&
                            Numero(c.antes[i]).has_value();
      const double antes = hayAntes ? *Numero(c.antes[i]) : 0;
      const double despues = Numero(c.despues[i]).value_or(0);
      const bool teniaValor = hayAntes && (antes != 0 || !p->ceroEsVacio);
      if (teniaValor && antes == despues) continue;
      // A first price above zero (a new offer, an article's first cost) is counted with its
      // rows and compared with nothing, unless it is a sale price (against the cost).
      const bool venta = p->columna == kVenta && p->tabla == kArticulos;
      if (!teniaValor && despues > 0 && !venta) continue;
      const QString fila = Fila(c);
      FueraDeLoNormal f{p->clave, fila, teniaValor, antes, despues, Motivo::CambioGrande, 0};
      if (teniaValor) AnotaPrecio(p->clave, CambioPrecio{fila, antes, despues});
      if (despues <= 0) {
        // An empty price left empty is no change; one the file made negative is.
        if (teniaValor || !p->ceroEsVacio || despues < 0) {
          f.motivo = Motivo::CeroOMenos;
          AnotaFuera(f);
        }
        continue;
      }
      if (teniaValor && antes != 0 &&
          std::fabs(CambioPrecio{fila, antes, despues}.Porcentaje()) > umbral_) {
        AnotaFuera(f);
      }
      if (!venta) continue;
      f.motivo = Motivo::VentaBajoCoste;
      const int columnaCoste = Indice(c.columnas, kCoste);
      if (columnaCoste >= 0 && columnaCoste < static_cast<int>(c.despues.size())) {
        f.coste = Numero(c.despues[columnaCoste]).value_or(0);
        if (f.coste > 0 && despues < f.coste) AnotaFuera(f);
      } else if (c.clave.size() == 1 && !c.valoresClave.empty()) {
        if (columnaClave.isEmpty()) columnaClave = c.clave.front();
        if (columnaClave == c.clave.front())
          porComparar.push_back({f, c.valoresClave.front().toString().trimmed()});
      }
    }
  }
  ComparaConElCoste(bdd, columnaClave, porComparar);
  for (auto& [clave, p] : precios_) CalculaMediana(p);
}

void Revision::ComparaConElCoste(store::Database& bdd, const QString& columnaClave,
                                 std::vector<VentaPorComparar>& ventas) {
  if (ventas.empty()) return;
  QStringList articulos;
  for (const VentaPorComparar& v : ventas) articulos << v.articulo;
  QHash<QString, double> costes;
  try {
    costes = CostesGuardados(bdd, columnaClave, articulos);
  } catch (const store::DbError& e) {
    if (aviso_.isEmpty())
      aviso_ = QStringLiteral(
                   "No se ha podido leer el coste de los artículos para compararlo con su "
                   "precio de venta: ") +
               e.Mensaje();
    return;
  }
  for (VentaPorComparar& v : ventas) {
    const double coste = costes.value(v.articulo, 0);
    if (coste > 0 && v.f.despues < coste) {
      v.f.coste = coste;
      AnotaFuera(std::move(v.f));
    }
  }
}

void Revision::AnotaPrecio(const QString& clave, CambioPrecio cambio) {
  Precio& p = precios_[clave];
  (cambio.despues > cambio.antes ? p.suben : p.bajan)++;
  const double porcentaje = cambio.Porcentaje();
  ++p.centesimas[std::llround(porcentaje * 100)];

  const auto mayor = [](const CambioPrecio& a, const CambioPrecio& b) {
    return std::fabs(a.Porcentaje()) > std::fabs(b.Porcentaje());
  };
  if (static_cast<int>(p.mayores.size()) < kMayores || mayor(cambio, p.mayores.back())) {
    p.mayores.insert(std::upper_bound(p.mayores.begin(), p.mayores.end(), cambio, mayor),
                     std::move(cambio));
    if (static_cast<int>(p.mayores.size()) > kMayores) p.mayores.pop_back();
  }
}

void Revision::CalculaMediana(Precio& p) {
  // The mean of the two middle changes for an even count.
  const int n = p.suben + p.bajan;
  const int bajo = (n - 1) / 2, alto = n / 2;
  std::optional<qint64> valorBajo;
  int visto = 0;
  for (const auto& [centesima, veces] : p.centesimas) {
    visto += veces;
    if (!valorBajo && visto > bajo) valorBajo = centesima;
    if (visto > alto) {
      p.mediana = static_cast<double>(*valorBajo + centesima) / 200.0;
      break;
    }
  }
}

void Revision::AnotaFuera(FueraDeLoNormal f) {
  ++totalFuera_;
  if (static_cast<int>(fuera_.size()) < kListados) fuera_.push_back(std::move(f));
}

QStringList Revision::LineasFueraDeLoNormal() const {
  QStringList lineas;
  for (const FueraDeLoNormal& f : fuera_) {
    QString linea = QStringLiteral("  ") + Cambio(f.fila, f.teniaValor, f.antes, f.despues) +
                    QStringLiteral(", ") + NombrePrecio(f.precio) + QStringLiteral(": ");
    switch (f.motivo) {
      case Motivo::CambioGrande:
        linea += QStringLiteral("cambia más del ") + Importe(umbral_) + QStringLiteral(" %");
        break;
      case Motivo::CeroOMenos:
        linea += QStringLiteral("queda a cero o menos");
        break;
      case Motivo::VentaBajoCoste:
        linea += QStringLiteral("por debajo de su coste (") + Importe(f.coste) + u')';
        break;
    }
    lineas << linea;
  }
  if (totalFuera_ > static_cast<int>(fuera_.size()))
    lineas << QStringLiteral("  ... y %1 más.").arg(totalFuera_ - static_cast<int>(fuera_.size()));
  return lineas;
}

QStringList Revision::Lineas() const {
  QStringList lineas{QStringLiteral("Revisión de los cambios:")};
  if (tablas_.empty()) lineas << QStringLiteral("  No ha cambiado ninguna fila.");
  for (const auto& [tabla, t] : tablas_)
    lineas << QStringLiteral("  %1: %2 añadidas, %3 modificadas, %4 borradas")
                  .arg(tabla)
                  .arg(t.altas)
                  .arg(t.modificaciones)
                  .arg(t.bajas);
  for (const auto& [clave, p] : precios_) {
    QString nombre = NombrePrecio(clave);
    nombre[0] = nombre[0].toUpper();
    lineas << QStringLiteral("  %1: %2 suben, %3 bajan; cambio mediano %4")
                  .arg(nombre)
                  .arg(p.suben)
                  .arg(p.bajan)
                  .arg(Porcentaje(p.mediana));
    lineas << QStringLiteral("    Mayores cambios:");
    for (const CambioPrecio& c : p.mayores)
      lineas << QStringLiteral("      ") + Cambio(c.fila, true, c.antes, c.despues);
  }
  if (totalFuera_ == 0) {
    lineas << QStringLiteral("  Nada fuera de lo normal.");
  } else {
    lineas << QStringLiteral("  Fuera de lo normal (%1):").arg(totalFuera_);
    for (const QString& l : LineasFueraDeLoNormal()) lineas << QStringLiteral("  ") + l;
  }
  if (!aviso_.isEmpty()) lineas << QStringLiteral("  ") + aviso_;
  return lineas;
}

QString Revision::Resumen() const {
  Tabla total;
  for (const auto& [tabla, t] : tablas_) {
    total.altas += t.altas;
    total.modificaciones += t.modificaciones;
    total.bajas += t.bajas;
  }
  QString texto = QStringLiteral("Filas: %1 añadidas, %2 modificadas, %3 borradas; ")
                      .arg(total.altas)
                      .arg(total.modificaciones)
                      .arg(total.bajas);
  texto +=
      totalFuera_ == 0
          ? QStringLiteral("nada fuera de lo normal.")
          : QStringLiteral("%1 precios fuera de lo normal (vea la revisión).").arg(totalFuera_);
  return texto;
}

QJsonObject Revision::AJson() const {
  QJsonArray tablas;
  for (const auto& [tabla, t] : tablas_)
    tablas.append(QJsonObject{{QStringLiteral("table"), tabla},
                              {QStringLiteral("added"), t.altas},
                              {QStringLiteral("changed"), t.modificaciones},
                              {QStringLiteral("removed"), t.bajas}});
  QJsonArray precios;
  for (const auto& [clave, p] : precios_) {
    QJsonArray mayores;
    for (const CambioPrecio& c : p.mayores)
      mayores.append(QJsonObject{{QStringLiteral("row"), c.fila},
                                 {QStringLiteral("before"), c.antes},
                                 {QStringLiteral("after"), c.despues}});
    precios.append(QJsonObject{{QStringLiteral("price"), clave},
                               {QStringLiteral("up"), p.suben},
                               {QStringLiteral("down"), p.bajan},
                               {QStringLiteral("median_change_percent"), p.mediana},
                               {QStringLiteral("largest"), mayores}});
  }
  QJsonArray fuera;
  for (const FueraDeLoNormal& f : fuera_) {
    QJsonObject o{{QStringLiteral("price"), f.precio},
                  {QStringLiteral("row"), f.fila},
                  {QStringLiteral("before"), f.teniaValor ? QJsonValue(f.antes) : QJsonValue()},
                  {QStringLiteral("after"), f.despues},
                  {QStringLiteral("reason"), QLatin1String(MotivoJson(f.motivo))}};
    if (f.motivo == Motivo::VentaBajoCoste) o.insert(QStringLiteral("cost"), f.coste);
    fuera.append(o);
  }
  return QJsonObject{
      {QStringLiteral("tables"), tablas},
      {QStringLiteral("prices"), precios},
      {QStringLiteral("threshold_percent"), umbral_},
      {QStringLiteral("out_of_range_count"), totalFuera_},
      {QStringLiteral("out_of_range"), fuera},
      {QStringLiteral("warning"), aviso_.isEmpty() ? QJsonValue() : QJsonValue(aviso_)},
  };
}

Revision Revision::DeJson(const QJsonObject& o) {
  Revision r(
      o.value(QStringLiteral("threshold_percent")).toDouble(AjustesRevision{}.umbralCambioPrecio));
  for (const QJsonValue& v : o.value(QStringLiteral("tables")).toArray()) {
    const QJsonObject t = v.toObject();
    r.tablas_[t.value(QStringLiteral("table")).toString()] =
        Tabla{t.value(QStringLiteral("added")).toInt(), t.value(QStringLiteral("changed")).toInt(),
              t.value(QStringLiteral("removed")).toInt()};
  }
  for (const QJsonValue& v : o.value(QStringLiteral("prices")).toArray()) {
    const QJsonObject j = v.toObject();
    Precio& p = r.precios_[j.value(QStringLiteral("price")).toString()];
    p.suben = j.value(QStringLiteral("up")).toInt();
    p.bajan = j.value(QStringLiteral("down")).toInt();
    p.mediana = j.value(QStringLiteral("median_change_percent")).toDouble();
    for (const QJsonValue& m : j.value(QStringLiteral("largest")).toArray())
      p.mayores.push_back(CambioPrecio{m[QStringLiteral("row")].toString(),
                                       m[QStringLiteral("before")].toDouble(),
                                       m[QStringLiteral("after")].toDouble()});
  }
  for (const QJsonValue& v : o.value(QStringLiteral("out_of_range")).toArray()) {
    const QJsonObject j = v.toObject();
    FueraDeLoNormal f;
    f.precio = j.value(QStringLiteral("price")).toString();
    f.fila = j.value(QStringLiteral("row")).toString();
    f.teniaValor = !j.value(QStringLiteral("before")).isNull();
    f.antes = j.value(QStringLiteral("before")).toDouble();
    f.despues = j.value(QStringLiteral("after")).toDouble();
    const QString motivo = j.value(QStringLiteral("reason")).toString();
    for (Motivo m : {Motivo::CambioGrande, Motivo::CeroOMenos, Motivo::VentaBajoCoste})
      if (motivo == QLatin1String(MotivoJson(m))) f.motivo = m;
    f.coste = j.value(QStringLiteral("cost")).toDouble();
    r.fuera_.push_back(f);
  }
  r.totalFuera_ = o.value(QStringLiteral("out_of_range_count")).toInt();
  r.aviso_ = o.value(QStringLiteral("warning")).toString();
  return r;
}

}  // namespace relvano
