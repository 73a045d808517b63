#include "store/documents/albaranes.h"

#include <QHash>
#include <vector>

#include "base/conversion.h"
#include "store/documents/facturas_proveedor.h"
#include "store/documents/totales.h"
#include "store/vat/iva.h"

namespace relvano::store {

namespace {
bool Vacio(const Valor& v) { return ValorTexto(v).isEmpty(); }

// Marks the lines of the delivery note open in `albaran` as invoiced by the invoice
// `ejercicio`/`serie`/`numero`, with the VAT of the invoice date.
void FacturaLineasAlbaran(Empresa& empresa, Database& bdd, const Recordset& albaran,
                          const QString& ejercicio, const QString& serie, const QString& numero,
                          QDate fechaFactura) {
  const std::vector<Valor> clave{
      albaran[QStringLiteral("EJERCICIO")], albaran[QStringLiteral("SERIE")],
      albaran[QStringLiteral("NUMERO")], albaran[QStringLiteral("CODIGO")]};
  const QString filtro = QStringLiteral(
      "SELECT * FROM LIN_COMPRAS WHERE EJER_ALB = ? AND SERIE_ALB = ?"
      " AND NUM_ALB = ? AND IDPROVEEDOR = ? AND FACTURADO = 0");
  // A delivery note may have any number of lines: they are taken a block at a time, in
  // the order of their identity, so that memory does not grow with the note.
  constexpr int kBloque = 500;
  const QString porBloques =
      filtro + QStringLiteral(" AND ID > ? ORDER BY ID LIMIT %1").arg(kBloque);
  // The VAT of each code on the invoice date, read once: the lines of a note share a few.
  QHash<QString, double> ivaDeTipo;
  const auto marca = [&](Recordset& lineas) {
    lineas.EditarRegistro();
    lineas.Asigna(QStringLiteral("EJER_FACT"), Valor(ejercicio));
    lineas.Asigna(QStringLiteral("SERIE_FACT"), Valor(serie));
    lineas.Asigna(QStringLiteral("NUM_FACT"), Valor(numero));
    lineas.Asigna(QStringLiteral("FACTURADO"), Valor(true));
    const QString tipoIva = ValorTexto(lineas[QStringLiteral("TIPO_IVA")]);
    auto iva = ivaDeTipo.constFind(tipoIva);
    if (iva == ivaDeTipo.constEnd())
      iva = ivaDeTipo.insert(tipoIva, DimeIvaFecha(empresa, fechaFactura, tipoIva).iva);
    // The invoice may fall after a change of rates that the delivery note predates.
    if (ValorNumerico(lineas[QStringLiteral("VALOR_IVA")]) != *iva)
      AsignaIvaLinea(empresa, QStringLiteral("LIN_COMPRAS"), lineas, fechaFactura, tipoIva);
    lineas.GrabarRegistro();
  };
  if (bdd.EsSqlite() && bdd.ExisteCampoTabla(QStringLiteral("LIN_COMPRAS"), QStringLiteral("ID"))) {
    std::vector<Valor> parametros = clave;
    parametros.emplace_back(0);
    for (;;) {
      Recordset lineas = bdd.AbrirRecordset(porBloques, parametros);
      if (!lineas.HayRegistros()) break;
      for (lineas.MoveFirst(); !lineas.Eof(); lineas.MoveNext()) {
        parametros.back() = lineas[QStringLiteral("ID")];
        marca(lineas);
      }
      if (lineas.RecordCount() < kBloque) break;
    }
  } else {
    Recordset lineas = bdd.AbrirRecordset(filtro, clave);
    for (lineas.MoveFirst(); !lineas.Eof(); lineas.MoveNext()) marca(lineas);
  }
}
}  // namespace

bool AbreAlbaranProveedor(const Empresa& empresa, Recordset& rs, const QString& ejercicio,
                          const QString& serie, const QString& numero, const QString& codigo,
                          const std::optional<QString>& idEmpresa) {
  return AbreAlbaranProveedor(*BaseDatosDeDocumento(empresa, serie, idEmpresa).bdd, rs,
                              ejercicio.trimmed(), serie.trimmed(), numero.trimmed(),
                              codigo.trimmed());
}

bool AbreAlbaranProveedor(Database& bdd, Recordset& rs, const QString& ejercicio,
                          const QString& serie, const QString& numero, const QString& codigo) {
  rs = bdd.AbrirRecordset(QStringLiteral("SELECT * FROM ALB_PROV WHERE EJERCICIO = ? AND SERIE = ?"
                                         " AND NUMERO = ? AND CODIGO = ?"),
                          {Valor(ejercicio), Valor(serie), Valor(numero), Valor(codigo)});
  return rs.HayRegistros();
}

void FacturaAlbaranProveedor(Empresa& empresa, Recordset& albaran, const QString& ejercicio,
                             const QString& serie, const QString& numero, const QString& codigo) {
  Recordset factura;
  if (!AbreFactura(empresa, QStringLiteral("FACPR"), factura, ejercicio, serie, numero, codigo))
    throw DbError(QStringLiteral("No existe la factura de proveedor %1/%2/%3 del proveedor %4.")
                      .arg(ejercicio, serie, numero, codigo),
                  empresa.RutaComercial);
  const QDate fechaFactura = factura[QStringLiteral("FECHA")].Fecha();
  const bool conRecargo = EsVerdadero(albaran[QStringLiteral("CON_RECARGO")]);

  albaran.EditarRegistro();
  albaran.Asigna(QStringLiteral("EJER_FACT"), Valor(ejercicio));
  albaran.Asigna(QStringLiteral("SERIE_FACT"), Valor(serie));
  albaran.Asigna(QStringLiteral("NUM_FACT"), Valor(numero));

  const QString serieAlb = ValorTexto(albaran[QStringLiteral("SERIE")]);
  Database& bdd = *BaseDatosDeDocumento(empresa, serieAlb).bdd;
  FacturaLineasAlbaran(empresa, bdd, albaran, ejercicio, serie, numero, fechaFactura);

  factura.EditarRegistro();
  for (const char* columna : {"IDDEPARTAMENTO", "REFERENCIA_DOC"}) {
    const QString c = QString::fromLatin1(columna);
    if (bdd.ExisteCampoTabla(QStringLiteral("ALB_PROV"), c) && factura.ExisteCampo(c) &&
        Vacio(factura[c]))
      factura.Asigna(c, albaran[c]);
  }
  if (Vacio(factura[QStringLiteral("OBSERVACIONES")]))
    factura.Asigna(QStringLiteral("OBSERVACIONES"), albaran[QStringLiteral("OBSERVACIONES")]);
  if (ValorNumerico(albaran[QStringLiteral("VALOR_DTO_COM")]) != 0) {
    for (const char* columna : {"VALOR_DTO_COM", "ESPORCENTAJE_DTOCOM", "DTO_COM"})
      factura.Asigna(QString::fromLatin1(columna), albaran[QString::fromLatin1(columna)]);
  }
  if (EsVerdadero(factura[QStringLiteral("CON_RECARGO")]) != conRecargo)
    factura.Asigna(QStringLiteral("CON_RECARGO"), Valor(conRecargo));
  factura.GrabarRegistro();

  albaran.Asigna(QStringLiteral("FACTURADO"), Valor(true));
  albaran.Asigna(QStringLiteral("CERRADO"), Valor(true));
  albaran.GrabarRegistro();
}

BaseDatosDocumento AbreBaseDatosAlbaran(const Empresa& empresa, const QString& /*ejercicio*/,
                                        const QString& serie, const QString& /*numero*/,
                                        const QString& /*codigo*/, const QString& idEmpresa) {
  return BaseDatosDeDocumento(empresa, serie, idEmpresa);
}

void RecalculaAlbaranProveedor(Empresa& empresa, Operador& operador, const QString& ejercicio,
                               const QString& serie, const QString& numero, const QString& codigo,
                               const QString& idEmpresa) {
  RecalculaTotalesDocumento(empresa, operador, QStringLiteral("ALBPR"), ejercicio, serie, numero,
                            codigo, idEmpresa);
}

}  // namespace relvano::store
