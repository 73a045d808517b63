#include "store/documents/totales.h"

#include <algorithm>
#include <cmath>

#include "base/conversion.h"
#include "base/moneda.h"
#include "store/documents/albaranes.h"
#include "store/documents/facturas_proveedor.h"
#include "store/documents/pagos.h"
#include "store/documents/proveedores.h"
#include "store/documents/series.h"
#include "store/vat/iva.h"

namespace relvano::store {

namespace {

const QString kFijoComercial = QStringLiteral(
    "Se ha borrar el descuento fijo comercial. \r\rNo se puede aplicar si hay más de un tipo "
    "de iva.");
const QString kFijoProntoPago = QStringLiteral(
    "Se ha borrar el descuento fijo P.P. \r\rNo se puede aplicar si hay más de un tipo de iva.");

double Redondea(const Empresa& empresa, double x) {
  return RedondeaMoneda(Valor(x), empresa.Divisa).ToDouble();
}

// Sums of rounded amounts are exact in the currency type, as the header stores them.
double Suma(std::initializer_list<double> sumandos) {
  Moneda m;
  for (double x : sumandos) m = m + Moneda::DesdeDouble(x);
  return m.ToDouble();
}
double Suma(const std::array<double, 5>& a) { return Suma({a[0], a[1], a[2], a[3], a[4]}); }

// Slots with a gross base, plus the exempt part: a fixed discount fits only one.
int TiposEnUso(const TotalesDocumento& t) {
  int n = static_cast<int>(
      std::count_if(t.Base.begin(), t.Base.end(), [](double b) { return b != 0; }));
  return t.Exento != 0 ? n + 1 : n;
}

QString Columna(const char* nombre, int slot) { return QString::fromLatin1(nombre).arg(slot + 1); }

}  // namespace

void InicializaTotales(const Empresa& empresa, TotalesDocumento& t, QDate fecha) {
  t = TotalesDocumento{};
  TiposIva tipos;
  CargaIvaFecha(empresa, tipos, fecha);
  for (int n = 0; n < 5; ++n) {
    t.TipoIva[n] = empresa.IvaVigente.codigo[n];
    t.ValorIva[n] = tipos.iva[n];
    t.ValorRecargo[n] = tipos.recargo[n];
  }
}

void CargaDatosCabecera(const Empresa& empresa, TotalesDocumento& t, const Recordset& cabecera) {
  InicializaTotales(empresa, t, cabecera[QStringLiteral("FECHA")].Fecha());
  t.EsPorcentajeDtoCom = EsVerdadero(cabecera[QStringLiteral("ESPORCENTAJE_DTOCOM")]);
  t.ValorDtoCom = ValorNumerico(cabecera[QStringLiteral("VALOR_DTO_COM")]);
  t.DtoCom = ValorNumerico(cabecera[QStringLiteral("DTO_COM")]);
  t.EsPorcentajeDtoPP = ValorNumerico(cabecera[QStringLiteral("ESPORCENTAJE_DTOPP")]) != 0;
  t.ValorDtoPP = ValorNumerico(cabecera[QStringLiteral("VALOR_DTO_PP")]);
  t.DtoPP = ValorNumerico(cabecera[QStringLiteral("DTO_PP")]);
}

void CalculaTotales(const Empresa& empresa, Operador& operador, const QString& tipo,
                    TotalesDocumento& t, const Recordset& cabecera, const Recordset& proveedor,
                    int modoIvaSerie) {
  auto R = [&empresa](double x) { return Redondea(empresa, x); };

  // Commercial discount.
  if (t.EsPorcentajeDtoCom) {
    for (int n = 0; n < 5; ++n) t.BaseNeta[n] = R(t.Base[n] - t.DtoCom * t.Base[n] / 100);
    t.Exento = R(t.ExentoBruto - t.DtoCom * t.ExentoBruto / 100);
    t.ValorDtoCom = Suma({Suma(t.Base), t.ExentoBruto, -Suma(t.BaseNeta), -t.Exento});
  } else if (t.ValorDtoCom != 0) {
    if (TiposEnUso(t) > 1) {
      operador.Mensaje(kFijoComercial, Operador::Icono::Informacion);
      t.ValorDtoCom = 0;
    }
    for (int n = 0; n < 5; ++n)
      if (t.Base[n] != 0) t.BaseNeta[n] = R(t.Base[n] - t.ValorDtoCom);
    if (t.Exento != 0) t.Exento = R(t.Exento - t.ValorDtoCom);
  }

  // Prompt-payment discount: invoices only.
  if (tipo == u"FACPR") {
    if (t.EsPorcentajeDtoPP) {
      // The exempt part starts after the commercial discount, as the bases do.
      const double antes = Suma({Suma(t.BaseNeta), t.Exento});
      for (int n = 0; n < 5; ++n) t.BaseNeta[n] = R(t.BaseNeta[n] - t.DtoPP * t.BaseNeta[n] / 100);
      t.Exento = R(t.Exento - t.DtoPP * t.Exento / 100);
      t.ValorDtoPP = Suma({antes, -Suma(t.BaseNeta), -t.Exento});
    } else if (t.ValorDtoPP != 0) {
      if (TiposEnUso(t) > 1) {
        operador.Mensaje(kFijoProntoPago, Operador::Icono::Informacion);
        t.ValorDtoPP = 0;
      }
      for (int n = 0; n < 5; ++n)
        if (t.BaseNeta[n] != 0) t.BaseNeta[n] = R(t.BaseNeta[n] - t.ValorDtoPP);
      if (t.Exento != 0) t.Exento = R(t.Exento - t.ValorDtoPP);
    }
  }

  const double regimen = std::nearbyint(ValorNumerico(proveedor[QStringLiteral("TIPO_IVA")]));
  t.IvaTercero = static_cast<quint8>(std::clamp(regimen, 0.0, 255.0));

  t.ConRecargo = EsVerdadero(cabecera[QStringLiteral("CON_RECARGO")]);
  for (int n = 0; n < 5; ++n) {
    t.Iva[n] = R(t.ValorIva[n] * t.BaseNeta[n] / 100);
    t.Recargo[n] = t.ConRecargo ? R(t.ValorRecargo[n] * t.BaseNeta[n] / 100) : 0;
  }
  if (t.IvaTercero == 2 || t.IvaTercero == 4 || modoIvaSerie == kSerieIvaPersonal) {
    t.Iva.fill(0);
    t.Recargo.fill(0);
  }

  t.Importe = Suma({Suma(t.Base), t.ExentoBruto});
  t.BaseTotal = Suma({Suma(t.BaseNeta), t.Exento});
  t.IvaTotal = Suma(t.Iva);
  t.RecargoTotal = Suma(t.Recargo);
  t.Total = Suma({t.BaseTotal, t.IvaTotal, t.RecargoTotal});
}

void GrabaTotales(Database& bdd, const TotalesDocumento& t, Recordset& cab, const QString& tipo) {
  const QString tabla = tipo == u"FACPR" ? QStringLiteral("FACT_PROV") : QStringLiteral("ALB_PROV");
  auto ranuras = [&](int desde, int hasta) {
    for (int n = desde; n < hasta; ++n) cab.Asigna(Columna("BASE%1", n), Valor(t.Base[n]));
    for (int n = desde; n < hasta; ++n) cab.Asigna(Columna("BASE%1_NETA", n), Valor(t.BaseNeta[n]));
    if (desde == 0) cab.Asigna(QStringLiteral("IVA_TERCERO"), Valor(int(t.IvaTercero)));
    for (int n = desde; n < hasta; ++n) cab.Asigna(Columna("TIPO_IVA%1", n), Valor(t.TipoIva[n]));
    for (int n = desde; n < hasta; ++n) cab.Asigna(Columna("VALOR_IVA%1", n), Valor(t.ValorIva[n]));
    for (int n = desde; n < hasta; ++n)
      cab.Asigna(Columna("VALOR_RECARGO%1", n), Valor(t.ValorRecargo[n]));
    for (int n = desde; n < hasta; ++n) cab.Asigna(Columna("IVA%1", n), Valor(t.Iva[n]));
    for (int n = desde; n < hasta; ++n) cab.Asigna(Columna("RECARGO%1", n), Valor(t.Recargo[n]));
  };
  cab.EditarRegistro();
  ranuras(0, 3);
  cab.Asigna(QStringLiteral("CON_RECARGO"), Valor(t.ConRecargo));
  if (bdd.ExisteCampoTabla(tabla, QStringLiteral("IVA4"))) ranuras(3, 5);
  cab.Asigna(QStringLiteral("ESPORCENTAJE_DTOCOM"), Valor(t.EsPorcentajeDtoCom));
  cab.Asigna(QStringLiteral("VALOR_DTO_COM"), Valor(t.ValorDtoCom));
  cab.Asigna(QStringLiteral("DTO_COM"), Valor(t.DtoCom));
  cab.Asigna(QStringLiteral("ESPORCENTAJE_DTOPP"), Valor(t.EsPorcentajeDtoPP));
  cab.Asigna(QStringLiteral("VALOR_DTO_PP"), Valor(t.ValorDtoPP));
  cab.Asigna(QStringLiteral("DTO_PP"), Valor(t.DtoPP));
  cab.Asigna(QStringLiteral("IMPORTE"), Valor(t.Importe));
  if (bdd.ExisteCampoTabla(tabla, QStringLiteral("EXENTO_BRUTO")))
    cab.Asigna(QStringLiteral("EXENTO_BRUTO"), Valor(t.ExentoBruto));
  if (bdd.ExisteCampoTabla(tabla, QStringLiteral("EXENTO")))
    cab.Asigna(QStringLiteral("EXENTO"), Valor(t.Exento));
  cab.Asigna(QStringLiteral("BASE"), Valor(t.BaseTotal));
  cab.Asigna(QStringLiteral("IVA"), Valor(t.IvaTotal));
  cab.Asigna(QStringLiteral("RECARGO"), Valor(t.RecargoTotal));
  cab.Asigna(QStringLiteral("TOTAL"), Valor(t.Total));
  cab.GrabarRegistro();
  cab.Cerrar();
}

void RecalculaTotalesDocumento(Empresa& empresa, Operador& operador, const QString& tipo,
                               const QString& ejercicio, const QString& serie,
                               const QString& numero, const QString& codigo,
                               const QString& idEmpresa) {
  const bool esFactura = tipo == u"FACPR";
  if (!esFactura && tipo != u"ALBPR") return;
  Recordset cab;
  const bool existe =
      esFactura ? AbreFacturaProveedor(empresa, cab, ejercicio, serie, numero, codigo, idEmpresa)
                : AbreAlbaran(empresa, tipo, cab, ejercicio, serie, numero, codigo, idEmpresa);
  if (!existe) return;

  const BaseDatosDocumento doc =
      esFactura ? AbreBaseDatosFactura(empresa, ejercicio, serie, numero, codigo, idEmpresa)
                : AbreBaseDatosAlbaran(empresa, ejercicio, serie, numero, codigo, idEmpresa);
  Database& tienda = *BaseDatosDeDocumento(empresa, QString()).bdd;
  const int modoIva = TipoIvaSerie(tienda, tipo, serie);

  Recordset prov;
  const QString proveedor = ValorTexto(cab[QStringLiteral("CODIGO")]);
  if (!ExisteProveedor(tienda, prov, proveedor))
    throw DbError(QStringLiteral("No existe el proveedor %1 del documento %2/%3/%4.")
                      .arg(proveedor, ejercicio, serie, numero),
                  doc.ruta);

  TotalesDocumento t;
  CargaDatosCabecera(empresa, t, cab);

  const QString filtro = esFactura ? QStringLiteral(
                                         " from LIN_COMPRAS where EJER_FACT = ? and SERIE_FACT = ?"
                                         " and NUM_FACT = ? and IDPROVEEDOR = ?")
                                   : QStringLiteral(
                                         " from LIN_COMPRAS where EJER_ALB = ? and SERIE_ALB = ?"
                                         " and NUM_ALB = ? and IDPROVEEDOR = ?");
  const std::vector<Valor> clave{Valor(ejercicio), Valor(serie), Valor(numero), Valor(codigo)};
  if (modoIva != kSerieIvaPersonal) {
    Recordset sumas = doc.bdd->AbrirRecordset(QStringLiteral("select sum(BASE_ALB), TIPO_IVA") +
                                                  filtro + QStringLiteral(" GROUP BY TIPO_IVA"),
                                              clave);
    for (sumas.MoveFirst(); !sumas.Eof(); sumas.MoveNext()) {
      const double suma = Redondea(empresa, ValorNumerico(sumas.Campo(0)));
      const Valor codigoIva = sumas.Campo(1);
      const QString c = codigoIva.EsNull() ? QString() : ValorTexto(codigoIva);
      if (c == u"0") {
        t.ExentoBruto = t.Exento = suma;
      } else if (c.size() == 1 && c.at(0) >= u'1' && c.at(0) <= u'5') {
        const int n = c.at(0).unicode() - u'1';
        t.Base[n] = t.BaseNeta[n] = suma;
      } else {
        operador.Mensaje(QStringLiteral("Tipo de iva no encontrado."));
      }
    }
  } else {
    const Valor suma = doc.bdd->Escalar(QStringLiteral("select sum(BASE_ALB)") + filtro, clave);
    t.Base[0] = t.BaseNeta[0] = Redondea(empresa, ValorNumerico(suma));
  }

  CalculaTotales(empresa, operador, tipo, t, cab, prov, modoIva);
  GrabaTotales(*doc.bdd, t, cab, tipo);

  if (!esFactura) return;
  Recordset plazos;
  AbreDesglosePagos(empresa, tipo, plazos, ejercicio, serie, numero, codigo, idEmpresa);
  const int k = plazos.RecordCount();
  Moneda acumulado;
  int i = 0;
  for (plazos.MoveFirst(); !plazos.Eof(); plazos.MoveNext()) {
    ++i;
    const double importe =
        i == k ? (Moneda::DesdeDouble(t.Total) - acumulado).ToDouble()
               : t.Total * ValorNumerico(plazos[QStringLiteral("PORCENTAJE")]) / 100;
    const Moneda redondeado = RedondeaMoneda(Valor(importe), empresa.Divisa);
    plazos.EditarRegistro();
    plazos.Asigna(QStringLiteral("IMPORTE"), Valor(redondeado.ToDouble()));
    plazos.Asigna(QStringLiteral("IMPORTE_RESTANTE"), Valor(redondeado.ToDouble()));
    plazos.GrabarRegistro();
    acumulado = acumulado + redondeado;
  }
}

}  // namespace relvano::store
