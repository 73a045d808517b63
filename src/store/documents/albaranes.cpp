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

// Marks the lines told to the journal (`anotadas`) with `sql`: the values of `marcas`, then
// those of `condicion`. The lines stored by themselves no longer match it. A count other
// than the lines told is an error (DbError), which undoes the invoice's unit.
void MarcaAnotadas(Database& bdd, int anotadas, const QString& sql,
                   const std::vector<std::pair<QString, Valor>>& marcas,
                   std::vector<Valor> condicion, const QString& albaran) {
  if (anotadas == 0) return;
  std::vector<Valor> parametros;
  for (const auto& [columna, valor] : marcas) parametros.push_back(valor);
  parametros.insert(parametros.end(), condicion.begin(), condicion.end());
  const int hechas = bdd.Ejecuta(sql, parametros);
  if (hechas >= 0 && hechas != anotadas)
    throw DbError(QStringLiteral("Las líneas del albarán %1 han cambiado mientras se facturaba: "
                                 "se esperaban %2 y se han marcado %3.")
                      .arg(albaran, QString::number(anotadas), QString::number(hechas)),
                  bdd.Nombre(), sql);
}

// What marking a line reads of it: its key, its identity (the blocks follow it), the
// invoice's columns (what they held goes to the journal) and its VAT, in the table's order,
// so that a line stored by itself is written and journalled as a whole row's read would
// have it; not every column of thousands of lines, to look at a few. A table without a key
// is read whole, as before (its rows are named by their identity).
QString ColumnasParaFacturar(Database& bdd) {
  const auto tabla = bdd.Tabla(QStringLiteral("LIN_COMPRAS"));
  if (!tabla || tabla->clave.isEmpty()) return QStringLiteral("*");
  static const QStringList kLeidas{QStringLiteral("ID"),         QStringLiteral("EJER_FACT"),
                                   QStringLiteral("SERIE_FACT"), QStringLiteral("NUM_FACT"),
                                   QStringLiteral("FACTURADO"),  QStringLiteral("TIPO_IVA"),
                                   QStringLiteral("VALOR_IVA"),  QStringLiteral("VALOR_RECARGO")};
  QStringList columnas;
  for (const QString& c : tabla->columnas)
    if (tabla->clave.contains(c, Qt::CaseInsensitive) || kLeidas.contains(c, Qt::CaseInsensitive))
      columnas << bdd.Identificador(c);
  return columnas.join(QStringLiteral(", "));
}

// Marks the lines of the delivery note open in `albaran` as invoiced by the invoice
// `ejercicio`/`serie`/`numero`, with the VAT of the invoice date. A line whose VAT is
// written again is stored by itself; the others are marked with one statement per block
// of lines (each told to the journal first, as its own store would tell it).
void FacturaLineasAlbaran(Empresa& empresa, Database& bdd, const Recordset& albaran,
                          const QString& ejercicio, const QString& serie, const QString& numero,
                          QDate fechaFactura) {
  const std::vector<Valor> clave{
      albaran[QStringLiteral("EJERCICIO")], albaran[QStringLiteral("SERIE")],
      albaran[QStringLiteral("NUMERO")], albaran[QStringLiteral("CODIGO")]};
  // The note's open lines: those the SELECT reads and the UPDATE marks.
  const QString abiertas = QStringLiteral(
      " WHERE EJER_ALB = ? AND SERIE_ALB = ? AND NUM_ALB = ? AND IDPROVEEDOR = ?"
      " AND FACTURADO = 0");
  const QString filtro = QStringLiteral("SELECT ") + ColumnasParaFacturar(bdd) +
                         QStringLiteral(" FROM LIN_COMPRAS") + abiertas;
  // A delivery note may have any number of lines: they are taken a block at a time, in
  // the order of their identity, so that memory does not grow with the note.
  constexpr int kBloque = 500;
  const QString porBloques =
      filtro + QStringLiteral(" AND ID > ? ORDER BY ID LIMIT %1").arg(kBloque);
  const std::vector<std::pair<QString, Valor>> marcas{
      {QStringLiteral("EJER_FACT"), Valor(ejercicio)},
      {QStringLiteral("SERIE_FACT"), Valor(serie)},
      {QStringLiteral("NUM_FACT"), Valor(numero)},
      {QStringLiteral("FACTURADO"), Valor(true)}};
  QStringList asignaciones;
  for (const auto& [columna, valor] : marcas) asignaciones << columna + QStringLiteral(" = ?");
  const QString marcaTodas = QStringLiteral("UPDATE LIN_COMPRAS SET ") +
                             asignaciones.join(QStringLiteral(", ")) + abiertas;
  // The VAT of each code on the invoice date, read once: the lines of a note share a few.
  QHash<QString, double> ivaDeTipo;
  // The lines of `lineas` marked; true for those left to the statement.
  const auto marca = [&](Recordset& lineas) {
    const QString tipoIva = ValorTexto(lineas[QStringLiteral("TIPO_IVA")]);
    auto iva = ivaDeTipo.constFind(tipoIva);
    if (iva == ivaDeTipo.constEnd())
      iva = ivaDeTipo.insert(tipoIva, DimeIvaFecha(empresa, fechaFactura, tipoIva).iva);
    // The invoice may fall after a change of rates that the delivery note predates.
    if (ValorNumerico(lineas[QStringLiteral("VALOR_IVA")]) == *iva) {
      lineas.AnotaColumnas(marcas);
      return true;
    }
    lineas.EditarRegistro();
    for (const auto& [columna, valor] : marcas) lineas.Asigna(columna, valor);
    AsignaIvaLinea(empresa, QStringLiteral("LIN_COMPRAS"), lineas, fechaFactura, tipoIva);
    lineas.GrabarRegistro();
    return false;
  };
  const auto marcaAnotadas = [&](int anotadas, const QString& sql, std::vector<Valor> condicion) {
    MarcaAnotadas(bdd, anotadas, sql, marcas, std::move(condicion), ValorTexto(clave[2]));
  };
  if (bdd.EsSqlite() && bdd.ExisteCampoTabla(QStringLiteral("LIN_COMPRAS"), QStringLiteral("ID"))) {
    std::vector<Valor> parametros = clave;
    parametros.emplace_back(0);
    const QString sqlBloque = marcaTodas + QStringLiteral(" AND ID > ? AND ID <= ?");
    for (;;) {
      Recordset lineas = bdd.AbrirRecordset(porBloques, parametros);
      if (!lineas.HayRegistros()) break;
      const Valor desde = parametros.back();
      int anotadas = 0;
      for (lineas.MoveFirst(); !lineas.Eof(); lineas.MoveNext()) {
        parametros.back() = lineas[QStringLiteral("ID")];
        if (marca(lineas)) ++anotadas;
      }
      std::vector<Valor> bloque = clave;
      bloque.push_back(desde);
      bloque.push_back(parametros.back());
      marcaAnotadas(anotadas, sqlBloque, std::move(bloque));
      if (lineas.RecordCount() < kBloque) break;
    }
  } else {
    Recordset lineas = bdd.AbrirRecordset(filtro, clave);
    int anotadas = 0;
    for (lineas.MoveFirst(); !lineas.Eof(); lineas.MoveNext())
      if (marca(lineas)) ++anotadas;
    marcaAnotadas(anotadas, marcaTodas, clave);
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
