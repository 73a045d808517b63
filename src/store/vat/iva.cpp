#include "store/vat/iva.h"

#include <utility>

#include "base/conversion.h"
#include "base/regional.h"

namespace relvano::store {

namespace {

struct FilaDefecto {
  const char* codigo;
  const char* descripcion;
  double iva;
  double recargo;
  const char* cuentaIvaV;
  const char* cuentaRecargoV;
  const char* cuentaIvaC;
  const char* cuentaRecargoC;
};

constexpr FilaDefecto kFilasDefecto[] = {
    {"0", "EXENTO", 0, 0, "", "", "", ""},
    {"1", "IVA 16%", 16, 4, "47700011", "47700021", "47200011", "47200021"},
    {"2", "IVA 7 %", 7, 1, "47700012", "47700022", "47200012", "47200022"},
    {"3", "IVA 4 %", 4, 0.5, "47700013", "47700023", "47200013", "47200023"},
    {"4", "VACIO", 0, 0, "", "", "", ""},
    {"5", "VACIO", 0, 0, "", "", "", ""},
};

// The rates of slots 1 to 3 around the change of 1 July 2010, for stores without IVA_FECHAS.
constexpr double kIvaDesdeJulio2010[] = {18, 8, 4};
constexpr double kIvaAntesJulio2010[] = {16, 7, 4};
constexpr double kRecargo2010[] = {4, 1, 0.5};

// The rates of table IVA are read as plain numbers: a Null there is a broken VAT table,
// not a zero rate.
double Porcentaje(const Recordset& rs, const QString& columna, const QString& codigo) {
  const Valor v = rs[columna];
  if (v.EsNull())
    throw DbError(
        QStringLiteral("La columna %1 del tipo de IVA %2 está vacía").arg(columna, codigo),
        rs.BaseDatos().Nombre(), rs.Sql());
  return ValorNumerico(v);
}

// Loads one slot from its IVA row; false when the row does not exist.
bool CargaTipo(Database& bdd, Empresa& empresa, int slot) {
  const QString codigo = QString::number(slot);
  Recordset rs =
      bdd.AbrirRecordset(QStringLiteral("select * from IVA WHERE CODIGO = ?"), {Valor(codigo)});
  if (!rs.HayRegistros()) return false;
  empresa.IvaVigente.codigo[slot - 1] = ValorTexto(rs["CODIGO"]);
  empresa.IvaVigente.iva[slot - 1] = Porcentaje(rs, QStringLiteral("IVA"), codigo);
  empresa.IvaVigente.recargo[slot - 1] = Porcentaje(rs, QStringLiteral("RECARGO"), codigo);
  if (slot == 1) {
    const QString descripcion = ValorTexto(rs["DESCRIPCION"]);
    if (!descripcion.isEmpty()) {
      if (descripcion.contains(QLatin1String("IVA"))) {
        empresa.NombreImpuesto.clear();
      } else {
        const int blanco = descripcion.indexOf(QLatin1Char(' '));
        empresa.NombreImpuesto = (blanco < 0 ? descripcion : descripcion.left(blanco)).trimmed();
      }
    }
  }
  return true;
}

Database& BddComercial(const Empresa& empresa) {
  if (!empresa.BddComercial) throw DbError(QStringLiteral("No hay ninguna empresa abierta"));
  return *empresa.BddComercial;
}

}  // namespace

void CargaTablaIva(Empresa& empresa) {
  Database& bdd = BddComercial(empresa);
  Recordset rs = bdd.AbrirRecordset(QStringLiteral("select * from IVA"));
  if (!rs.HayRegistros()) {
    for (const FilaDefecto& f : kFilasDefecto) {
      rs.NuevoRegistro();
      rs.Asigna(QStringLiteral("CODIGO"), Valor(f.codigo));
      rs.Asigna(QStringLiteral("DESCRIPCION"), Valor(f.descripcion));
      rs.Asigna(QStringLiteral("IVA"), Valor(f.iva));
      rs.Asigna(QStringLiteral("RECARGO"), Valor(f.recargo));
      rs.Asigna(QStringLiteral("CUENTA_IVA_V"), Valor(f.cuentaIvaV));
      rs.Asigna(QStringLiteral("CUENTA_RECARGO_V"), Valor(f.cuentaRecargoV));
      rs.Asigna(QStringLiteral("CUENTA_IVA_C"), Valor(f.cuentaIvaC));
      rs.Asigna(QStringLiteral("CUENTA_RECARGO_C"), Valor(f.cuentaRecargoC));
      rs.GrabarRegistro();
    }
  }
  rs.Cerrar();
  for (int slot = 1; slot <= 5; ++slot) {
    if (!CargaTipo(bdd, empresa, slot) && slot <= 3)
      throw DbError(QStringLiteral("Falta el tipo de IVA %1 en la tabla IVA").arg(slot),
                    bdd.Nombre(), QStringLiteral("select * from IVA WHERE CODIGO = ?"));
  }
}

void CargaIvaFecha(const Empresa& empresa, TiposIva& t, QDate fecha) {
  const QDate hoy = empresa.Hoy();
  if (!fecha.isValid()) fecha = hoy;
  t = empresa.IvaVigente;
  if (!empresa.NombreImpuesto.isEmpty() || fecha == hoy) return;

  Database& bdd = BddComercial(empresa);
  if (bdd.ExisteTabla(QStringLiteral("IVA_FECHAS"))) {
    // A stored date may carry a time after the day (also through ODBC): a rate runs from
    // the start of its first day to the end of its last, so compare with the next day.
    const QString sql = QStringLiteral(
        "SELECT * FROM IVA_FECHAS WHERE TIPO_IVA = ? AND FECHA_INI < ? AND FECHA_FIN >= ?");
    for (int slot = 1; slot <= 5; ++slot) {
      Recordset rs = bdd.AbrirRecordset(
          sql, {Valor(QString::number(slot)), Valor(fecha.addDays(1)), Valor(fecha)});
      if (rs.HayRegistros()) {
        t.iva[slot - 1] = ValorNumerico(rs["VALOR_IVA"]);
        t.recargo[slot - 1] = ValorNumerico(rs["VALOR_RECARGO"]);
      }
    }
    return;
  }
  const bool nuevo = fecha >= QDate(2010, 7, 1);
  for (int i = 0; i < 3; ++i) {
    t.iva[i] = nuevo ? kIvaDesdeJulio2010[i] : kIvaAntesJulio2010[i];
    t.recargo[i] = kRecargo2010[i];
  }
}

PorcentajesIva DimeIvaFecha(const Empresa& empresa, QDate fecha, const QString& codigo) {
  TiposIva t;
  CargaIvaFecha(empresa, t, fecha);
  static const QStringList kSlots = {"1", "2", "3", "4", "5"};
  const int i = kSlots.indexOf(codigo);
  if (i < 0) return {};
  return {.iva = t.iva[i], .recargo = t.recargo[i]};
}

IvaLinea IvaDeLinea(const Empresa& empresa, QDate fecha, QString codigo) {
  if (codigo.isEmpty()) codigo = QStringLiteral("1");
  const PorcentajesIva p = DimeIvaFecha(empresa, fecha, codigo);
  return {.tipo = std::move(codigo), .iva = p.iva, .recargo = p.recargo};
}

void AsignaIva(Recordset& rs, const IvaLinea& iva) {
  rs.Asigna(QStringLiteral("TIPO_IVA"), Valor(iva.tipo));
  rs.Asigna(QStringLiteral("VALOR_IVA"), Valor(iva.iva));
  rs.Asigna(QStringLiteral("VALOR_RECARGO"), Valor(iva.recargo));
}

void AsignaIvaLinea(const Empresa& empresa, const QString& tabla, Recordset& rs, QDate fecha,
                    QString codigo) {
  if (tabla == QLatin1String("LIN_VENTAS") || tabla == QLatin1String("LIN_COMPRAS"))
    AsignaIva(rs, IvaDeLinea(empresa, fecha, std::move(codigo)));
}

}  // namespace relvano::store
