#include "store/documents/facturas_proveedor.h"

#include <cmath>

#include "base/conversion.h"
#include "base/regional.h"
#include "store/documents/albaranes.h"
#include "store/documents/pagos.h"
#include "store/documents/proveedores.h"
#include "store/documents/totales.h"

namespace relvano::store {

namespace {

Database& Contable(const Empresa& empresa) {
  if (!empresa.BddContable)
    throw DbError(QStringLiteral("La base de datos contable no está abierta."),
                  empresa.RutaContable);
  return *empresa.BddContable;
}

// The due date of a payment method: `fecha` plus its SUMA_DIAS, or `fecha` itself when
// the method is not defined.
QDate Vencimiento(const Empresa& empresa, const QDate& fecha, const QString& formaPago) {
  Recordset forma;
  if (!AbreFormaPago(Contable(empresa), forma, formaPago)) return fecha;
  const double dias = std::nearbyint(ValorNumerico(forma[QStringLiteral("SUMA_DIAS")]));
  const QString texto = SumaDias(regional::TextoFecha(fecha), Valor(dias), empresa.Hoy());
  return regional::LeeFecha(texto, empresa.Hoy()).value_or(fecha);
}

void NuevoPlazo(Recordset& rs, const Empresa& empresa, const NuevaFacturaProveedor& f, int numero,
                const Valor& tipo, const Valor& forma, const Valor& vencimiento,
                const Valor& porcentaje) {
  rs.NuevoRegistro();
  rs.Asigna(QStringLiteral("EJERCICIO"), Valor(empresa.AnyoActual));
  rs.Asigna(QStringLiteral("SERIE"), Valor(f.serie));
  rs.Asigna(QStringLiteral("NUMERO"), Valor(f.numero));
  rs.Asigna(QStringLiteral("CODIGO"), Valor(f.codigo));
  rs.Asigna(QStringLiteral("NUM_PAGCOBFACT"), Valor(numero));
  rs.Asigna(QStringLiteral("TIPO_PAGCOB"), tipo);
  rs.Asigna(QStringLiteral("FORMA_PAGCOB"), forma);
  rs.Asigna(QStringLiteral("VENCIMIENTO"), vencimiento);
  rs.Asigna(QStringLiteral("PORCENTAJE"), porcentaje);
  rs.Asigna(QStringLiteral("IMPORTE"), Valor(0));
  rs.Asigna(QStringLiteral("COBRADO"), Valor(false));
  rs.Asigna(QStringLiteral("IMPORTE_COBRADO"), Valor(0));
  rs.Asigna(QStringLiteral("IMPORTE_RESTANTE"), Valor(0));
  rs.GrabarRegistro();
}

// The invoice's payment and its instalments from the supplier's terms: none, cash on the
// invoice date; one, its own; several, "ML" with one instalment for each.
void AsignaPagos(Empresa& empresa, Database& tienda, const NuevaFacturaProveedor& f,
                 Recordset& rs) {
  Recordset terminos;
  const int n = NumeroFormasPagoProveedor(tienda, terminos, f.codigo);
  Valor tipoPago;
  Valor formaPago;
  Valor vencimiento;
  if (n == 0) {
    tipoPago = Valor("EF");
    formaPago = Valor("1");
    vencimiento = Valor(f.fecha);
  } else if (n == 1) {
    tipoPago = Valor(ValorTexto(terminos[QStringLiteral("TIPO_PAGCOB")]));
    formaPago = Valor(ValorTexto(terminos[QStringLiteral("FORMA_PAGCOB")]));
    vencimiento = Valor(Vencimiento(empresa, f.fecha, formaPago.Texto()));
  } else {
    tipoPago = Valor("ML");
    formaPago = Valor("ML");
  }
  rs.Asigna(QStringLiteral("TIPO_PAGO"), tipoPago);
  rs.Asigna(QStringLiteral("FORMA_PAGO"), formaPago);
  if (n <= 1) rs.Asigna(QStringLiteral("VENCIMIENTO"), vencimiento);

  Recordset plazos;
  AbreDesglosePagos(empresa, QStringLiteral("FACPR"), plazos, QString(), QString(), QString(),
                    QString(), f.idEmpresa);
  if (n <= 1) {
    NuevoPlazo(plazos, empresa, f, 1, tipoPago, formaPago, vencimiento, Valor(100));
  } else {
    int k = 0;
    for (terminos.MoveFirst(); !terminos.Eof(); terminos.MoveNext()) {
      const QString forma = ValorTexto(terminos[QStringLiteral("FORMA_PAGCOB")]);
      NuevoPlazo(plazos, empresa, f, ++k,
                 Valor(ValorTexto(terminos[QStringLiteral("TIPO_PAGCOB")])), Valor(forma),
                 Valor(Vencimiento(empresa, f.fecha, forma)),
                 Valor(ValorNumerico(terminos[QStringLiteral("PORCENTAJE")])));
    }
  }
}

}  // namespace

void CreaFacturaProveedor(Empresa& empresa, const NuevaFacturaProveedor& f) {
  const BaseDatosDocumento doc = BaseDatosDeDocumento(empresa, f.serie, f.idEmpresa);
  Database& bdd = *doc.bdd;
  Database& tienda = *BaseDatosDeDocumento(empresa, QString()).bdd;

  // The supplier's data fill most of the invoice: without it there is no invoice.
  Recordset prov;
  if (!ExisteProveedor(tienda, prov, f.codigo))
    throw DbError(QStringLiteral("No existe el proveedor %1 para crear su factura %2.")
                      .arg(f.codigo, f.numero),
                  doc.ruta);

  Recordset rs = bdd.AbrirRecordset(QStringLiteral("SELECT * FROM FACT_PROV WHERE 1=0"));
  rs.NuevoRegistro();
  AsignaCamposComunes(QStringLiteral("A"), rs, empresa.IdEmpresa, empresa.Hoy());
  rs.Asigna(QStringLiteral("ENTRADA"), Valor(0));
  rs.Asigna(QStringLiteral("FECHA_ENTRADA"), Valor(empresa.Hoy()));
  rs.Asigna(QStringLiteral("EJERCICIO"), Valor(empresa.AnyoActual));
  rs.Asigna(QStringLiteral("SERIE"), Valor(f.serie));
  rs.Asigna(QStringLiteral("NUMERO"), Valor(f.numero));
  rs.Asigna(QStringLiteral("CODIGO"), Valor(f.codigo));

  auto texto = [&prov](const char* columna) {
    return ValorTexto(prov[QString::fromLatin1(columna)]);
  };
  rs.Asigna(QStringLiteral("NOMBRE"), Valor(texto("NOMBRE")));
  rs.Asigna(QStringLiteral("DIRECCION_FACT"),
            Valor(QString(texto("DIR-TIPO") + u' ' + texto("DIRECCION")).trimmed()));
  rs.Asigna(QStringLiteral("CODPOST_FACT"), Valor(texto("CODPOST")));
  rs.Asigna(QStringLiteral("POBLACION_FACT"), Valor(texto("POBLACION")));
  rs.Asigna(QStringLiteral("PROVINCIA_FACT"), Valor(texto("PROVINCIA")));
  rs.Asigna(QStringLiteral("PAIS_FACT"), Valor(texto("PAIS")));
  rs.Asigna(QStringLiteral("NIF"), Valor(texto("NIF")));

  rs.Asigna(QStringLiteral("FECHA"), Valor(f.fecha));
  rs.Asigna(QStringLiteral("PAGADO"), Valor(false));
  rs.Asigna(QStringLiteral("DIVISA"), Valor(f.divisa));
  rs.Asigna(QStringLiteral("CAMBIO_DIVISA"), Valor(f.cambio));
  rs.Asigna(QStringLiteral("CON_RECARGO"), Valor(empresa.RecargoEquivalencia));

  AsignaPagos(empresa, tienda, f, rs);

  rs.Asigna(QStringLiteral("CUENTA_PROVEEDOR"), Valor(texto("CUENTA_PROVEEDOR")));
  const QString gastos = texto("CUENTA_GASTOS");
  rs.Asigna(QStringLiteral("CUENTA_GASTOS"),
            Valor(gastos.isEmpty() ? QStringLiteral("60000000") : gastos));
  rs.Asigna(QStringLiteral("DTO_COM"), Valor(ValorNumerico(prov[QStringLiteral("DTO_COM")])));
  rs.Asigna(QStringLiteral("ESPORCENTAJE_DTOCOM"), Valor(true));
  rs.Asigna(QStringLiteral("DTO_PP"), Valor(ValorNumerico(prov[QStringLiteral("DTO_PP")])));
  rs.Asigna(QStringLiteral("ESPORCENTAJE_DTOPP"), Valor(true));
  if (bdd.ExisteCampoTabla(QStringLiteral("FACT_PROV"), QStringLiteral("IDDEPARTAMENTO")))
    rs.Asigna(QStringLiteral("IDDEPARTAMENTO"), Valor(f.idDepartamento));
  if (bdd.ExisteCampoTabla(QStringLiteral("FACT_PROV"), QStringLiteral("REFERENCIA_DOC")))
    rs.Asigna(QStringLiteral("REFERENCIA_DOC"), Valor(f.referenciaDoc));
  rs.GrabarRegistro();
}

bool AbreFacturaProveedor(const Empresa& empresa, Recordset& rs, const QString& ejercicio,
                          const QString& serie, const QString& numero, const QString& codigo,
                          const std::optional<QString>& idEmpresa) {
  Database& bdd = *BaseDatosDeDocumento(empresa, serie, idEmpresa).bdd;
  rs = bdd.AbrirRecordset(
      QStringLiteral("SELECT * FROM FACT_PROV WHERE RTRIM(EJERCICIO) = ? AND SERIE = ?"
                     " AND NUMERO = ? AND CODIGO = ?"),
      {Valor(ejercicio), Valor(serie.trimmed()), Valor(numero.trimmed()), Valor(codigo.trimmed())});
  return rs.HayRegistros();
}

void RecalculaFacturaProveedor(Empresa& empresa, Operador& operador, const QString& ejercicio,
                               const QString& serie, const QString& numero, const QString& codigo,
                               const QString& idEmpresa) {
  RecalculaTotalesDocumento(empresa, operador, QStringLiteral("FACPR"), ejercicio, serie, numero,
                            codigo, idEmpresa);
}

bool AbreFactura(const Empresa& empresa, const QString& tipoDocumento, Recordset& rs,
                 const QString& ejercicio, const QString& serie, const QString& numero,
                 const QString& codigo) {
  if (tipoDocumento == u"FACPR" || tipoDocumento == u"PR")
    return AbreFacturaProveedor(empresa, rs, ejercicio, serie, numero, codigo);
  return false;
}

bool AbreAlbaran(const Empresa& empresa, const QString& tipoDocumento, Recordset& rs,
                 const QString& ejercicio, const QString& serie, const QString& numero,
                 const QString& codigo, const QString& idEmpresa) {
  if (tipoDocumento == u"ALBPR")
    return AbreAlbaranProveedor(empresa, rs, ejercicio, serie, numero, codigo, idEmpresa);
  return false;
}

BaseDatosDocumento AbreBaseDatosFactura(const Empresa& empresa, const QString& /*ejercicio*/,
                                        const QString& serie, const QString& /*numero*/,
                                        const QString& /*codigo*/, const QString& idEmpresa) {
  return BaseDatosDeDocumento(empresa, serie, idEmpresa);
}

}  // namespace relvano::store
