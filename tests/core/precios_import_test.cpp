#include <gtest/gtest.h>

#include "core/import_fixture.h"

namespace relvano::testing {
namespace {

QString DetCoste(const QString& accion, const QString& articulo, const QString& costeValStk,
                 const QString& costeMarg) {
  return Linea({"DET", accion, articulo, "x", "000000", "0", "", "0", "0", costeValStk, costeMarg});
}

QString DetVenta(const QString& articulo, const QString& precio) {
  return Linea({"DET", articulo, "0000000000", "0000000", precio});
}

QString LeePrecio(int n) { return QStringLiteral("  Leyendo línea PRECIO: %1\r\n\r\n").arg(n); }

class PriceImport : public ImportFixture {
 protected:
  void Articulo(const QString& codigo, const Valor& ultimaModificacion, const Valor& venta = Valor(0)) {
    db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO, COSTE, VENTA, ULTIMA_MODIFICACION) "
                                "VALUES (?, 1, ?, ?)"),
                 {Valor(codigo), venta, ultimaModificacion});
  }
  QString CosteYFecha(const QString& codigo) {
    return Fila(QStringLiteral("SELECT * FROM ARTICULOS WHERE CODIGO = ?"), {Valor(codigo)},
                {"COSTE", "VENTA", "ULTIMA_MODIFICACION"});
  }
  QString Enlace(const QString& codigo) {
    return Fila(QStringLiteral("SELECT * FROM ARTICULOS_PROV WHERE IDARTICULO = ?"), {Valor(codigo)},
                {"IDPROVEEDOR", "REF_PROV", "DESC_PROV", "ES_DESC_IGUAL", "COSTE", "FECHA_INI",
                 "DEFECTO_PROV"});
  }
};

TEST_F(PriceImport, CostSetsPriceDateAndChainSupplierRecord) {
  // Header date 15/07/2012: empty, later and earlier last changes.
  Articulo("0000001", Valor());
  Articulo("0000002", Valor(QDate(2012, 9, 1)));
  Articulo("0000003", Valor(QDate(2012, 1, 1)));
  Articulo("0000004", Valor(QDate(2012, 1, 1)));
  db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, REF_PROV, "
                              "DESC_PROV, ES_DESC_IGUAL, COSTE, DEFECTO_PROV) VALUES "
                              "('1', '0000003', 'OTRA', 'DESC', 0, 9, 0)"));
  const auto r = Importa(OpcionImportacion::PreciosCoste, QStringLiteral("vrcmllcto01.txt"),
                         {kIde, DetCoste("A", "0000001", "12.5", "12.5"),
                          DetCoste("M", "0000002", "7.25", "7.25"),
                          DetCoste("M", "0000003", "12.50", "12.5"),
                          DetCoste("B", "0000004", "3", "3"), DetCoste("A", "0000099", "3", "3"),
                          DetCoste("Z", "0000004", "3", "3"), Linea({"CHK", "000008"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(LeePrecio(2) + "CAMBIO PRECIO COSTE REALIZADO - Artículo: 0000001\r\n" + LeePrecio(3) +
                "CAMBIO PRECIO COSTE REALIZADO - Artículo: 0000002\r\n" + LeePrecio(4) +
                "CAMBIO PRECIO COSTE REALIZADO - Artículo: 0000003\r\n" + LeePrecio(5) +
                "BAJA PRECIO COSTE NO REALIZADA Artículo: 0000004\r\n" + LeePrecio(6) +
                "ARTICULO NO ENCONTRADO - Artículo: 0000099\r\n" + LeePrecio(7) +
                "Fin Actualización\r\n\r\n",
            Cuerpo(QStringLiteral("PRECIOCOSTE.LOG")));
  // Equal amounts written differently still differ as text; the fields as read, padded.
  EXPECT_EQ(QStringLiteral("Mensaje[i]: Hay diferencia de precios en el fichero: \r\n\r\n"
                           "Artículo: 0000003\r\n\r\nCosteValStk = 12.50   \r\n\r\n"
                           "CosteMarg = 12.5    \n"
                           "Mensaje[i]: Se han leido: 8 lineas.\r\n\r\nEl fichero contiene 8 "
                           "lineas.\n"),
            operador_.Transcripcion());

  EXPECT_EQ(QStringLiteral("COSTE=12.5 VENTA=0 ULTIMA_MODIFICACION=2012-07-15"), CosteYFecha("0000001"));
  EXPECT_EQ(QStringLiteral("COSTE=7.25 VENTA=0 ULTIMA_MODIFICACION=2012-09-01"), CosteYFecha("0000002"));
  EXPECT_EQ(QStringLiteral("COSTE=12.5 VENTA=0 ULTIMA_MODIFICACION=2012-07-15"), CosteYFecha("0000003"));
  EXPECT_EQ(QStringLiteral("COSTE=1 VENTA=0 ULTIMA_MODIFICACION=2012-01-01"), CosteYFecha("0000004"));

  EXPECT_EQ(QStringLiteral("IDPROVEEDOR=\"1\" REF_PROV=\"0000001\" DESC_PROV=\"\" ES_DESC_IGUAL=1 "
                           "COSTE=12.5 FECHA_INI=2012-07-15 DEFECTO_PROV=1"),
            Enlace("0000001"));
  // An existing record is brought in step; DEFECTO_PROV is left as it was.
  EXPECT_EQ(QStringLiteral("IDPROVEEDOR=\"1\" REF_PROV=\"0000003\" DESC_PROV=\"\" ES_DESC_IGUAL=1 "
                           "COSTE=12.5 FECHA_INI=2012-07-15 DEFECTO_PROV=0"),
            Enlace("0000003"));
  EXPECT_EQ(QStringLiteral("<none>"), Enlace("0000004"));
}

TEST_F(PriceImport, SalePriceOnlyWhereTheShopHasNone) {
  Articulo("0000001", Valor(QDate(2012, 1, 1)), Valor(0));
  Articulo("0000002", Valor(QDate(2012, 1, 1)), Valor(3.95));
  db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO, VENTA) VALUES ('0000003', NULL)"));
  const auto r = Importa(OpcionImportacion::PreciosVenta, QStringLiteral("vrcprccto01.txt"),
                         {kIde, DetVenta("0000001", "1.5"), DetVenta("0000002", "4.10"),
                          DetVenta("0000099", "2"), DetVenta("0000003", "12.50")});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(LeePrecio(2) +
                "CAMBIO REALIZADO - Artículo: 0000001\r\n"
                "PVP Anterior: 0\r\n"
                "PVP Actual  : 1,5\r\n"
                "\r\n" +
                LeePrecio(3) +
                "CAMBIO PRECIO VENTA NO REALIZADO - Artículo: 0000002\r\n"
                "PVP Actual       : 3,95\r\n"
                "PVP Recomendado  : 4,1\r\n"
                "\r\n" +
                LeePrecio(4) +
                "ARTICULO NO ENCONTRADO - Artículo: 0000099\r\n"
                "\r\n" +
                LeePrecio(5) +
                "CAMBIO REALIZADO - Artículo: 0000003\r\n"
                "PVP Anterior: 0\r\n"
                "PVP Actual  : 12,5\r\n"
                "\r\n",
            Cuerpo(QStringLiteral("PRECIOVENTA.LOG")));
  EXPECT_EQ(QStringLiteral("COSTE=1 VENTA=1.5 ULTIMA_MODIFICACION=2012-07-15"), CosteYFecha("0000001"));
  EXPECT_EQ(QStringLiteral("COSTE=1 VENTA=3.95 ULTIMA_MODIFICACION=2012-01-01"), CosteYFecha("0000002"));
  EXPECT_EQ(QStringLiteral("VENTA=12.5 ULTIMA_MODIFICACION=2012-07-15"),
            Fila("SELECT * FROM ARTICULOS WHERE CODIGO = '0000003'", {}, {"VENTA", "ULTIMA_MODIFICACION"}));
}

TEST_F(PriceImport, InvalidHeaderDateEndsTheRunAtTheFirstLineThatNeedsIt) {
  Articulo("0000001", Valor(QDate(2012, 1, 1)), Valor(2.0));
  Articulo("0000002", Valor(QDate(2012, 1, 1)), Valor(0));
  QString ide = kIde;
  ide.replace(QStringLiteral("2012-07-15"), QStringLiteral("2012-02-31"));
  const auto r = Importa(OpcionImportacion::PreciosVenta, QStringLiteral("vrcprccto02.txt"),
                         {ide, DetVenta("0000001", "1.5"), DetVenta("0000002", "1.5"),
                          DetVenta("0000002", "1.5")});
  EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
  // The article with a price needs no date and is logged; the next line fails whole.
  EXPECT_EQ(
      LeePrecio(2) +
          "CAMBIO PRECIO VENTA NO REALIZADO - Artículo: 0000001\r\n"
          "PVP Actual       : 2\r\n"
          "PVP Recomendado  : 1,5\r\n"
          "\r\n" +
          LeePrecio(3) +
          "ERROR en la línea 3: la fecha de la cabecera del fichero (\"2012-02-31\") no es "
          "una fecha válida. La base de datos tiene aplicado el fichero hasta la línea 2.\r\n",
      Cuerpo(QStringLiteral("PRECIOVENTA.LOG")));
  EXPECT_EQ(QStringLiteral("COSTE=1 VENTA=0 ULTIMA_MODIFICACION=2012-01-01"), CosteYFecha("0000002"));
}

}  // namespace
}  // namespace relvano::testing
