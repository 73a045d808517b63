// The review of what a run changed, against the database's own changes, and the hold of a
// file whose prices look wrong.

#include "app/revision.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <map>

#include "base/conversion.h"
#include "imports/import_fixture.h"
#include "store/db/recordset.h"
#include "support/cli.h"

namespace relvano::testing {
namespace {

struct Precios {
  double coste = 0, venta = 0;
  QString fecha;
};

class Review : public ImportFixture {
 protected:
  std::map<QString, Precios> Articulos() {
    std::map<QString, Precios> filas;
    store::Recordset rs = db().AbrirRecordset(
        "SELECT CODIGO, COSTE, VENTA, ULTIMA_MODIFICACION FROM ARTICULOS ORDER BY CODIGO");
    for (; !rs.Eof(); rs.MoveNext())
      filas[ValorTexto(rs["CODIGO"])] = {ValorNumerico(rs["COSTE"]), ValorNumerico(rs["VENTA"]),
                                         ValorTexto(rs["ULTIMA_MODIFICACION"])};
    return filas;
  }
  static QString Codigo(int n) { return QString::number(n).rightJustified(7, u'0'); }
};

// A generated store and files with known changes: the review counts what the database
// shows changed, row by row.
TEST_F(Review, CountsEqualTheDatabaseChanges) {
  for (int n = 1; n <= 30; ++n)
    db().Ejecuta(
        "INSERT INTO ARTICULOS (CODIGO, COSTE, VENTA, ULTIMA_MODIFICACION) VALUES (?, ?, ?, "
        "'2012-01-01')",
        {Valor(Codigo(n)), Valor(n), Valor(n % 2 ? 0.0 : n * 2.0)});
  for (int n = 1; n <= 10; ++n)
    db().Ejecuta("INSERT INTO ARTICULOS_PROV (IDPROVEEDOR, IDARTICULO, COSTE) VALUES ('1', ?, ?)",
                 {Valor(Codigo(n)), Valor(n)});

  // Costs up by 25 % and 5 %, down by 10 %, unchanged, and one ten times higher.
  QStringList coste{kIde};
  for (int n = 1; n <= 24; ++n) {
    const double factor = n == 23 ? 10 : std::array{1.25, 0.9, 1.0, 1.05}[n % 4];
    const QString precio = QString::number(n * factor, 'f', 2);
    coste << Linea({"DET", "M", Codigo(n), "", "000001", "N", "0", "N", "N", precio, precio});
  }
  const auto antes = Articulos();
  const int provAntes = Cuenta("ARTICULOS_PROV");
  auto r = Importa(OpcionImportacion::PreciosCoste, "vrcmllcto01.txt", coste);
  ASSERT_EQ(ResultadoImportacion::Estado::Completa, r.estado) << r.error.toStdString();
  ASSERT_TRUE(r.revision);
  const auto despues = Articulos();

  int modificados = 0, suben = 0, bajan = 0;
  std::vector<double> cambios;
  for (const auto& [codigo, a] : antes) {
    const Precios& d = despues.at(codigo);
    modificados += a.coste != d.coste || a.venta != d.venta || a.fecha != d.fecha;
    if (a.coste == d.coste) continue;
    (d.coste > a.coste ? suben : bajan)++;
    cambios.push_back((d.coste - a.coste) / a.coste * 100);
  }
  std::sort(cambios.begin(), cambios.end());
  const double mediana = (cambios[(cambios.size() - 1) / 2] + cambios[cambios.size() / 2]) / 2;
  const Revision& rev = *r.revision;
  EXPECT_EQ(modificados, rev.Tablas().at("ARTICULOS").modificaciones);
  EXPECT_EQ(Cuenta("ARTICULOS_PROV") - provAntes, rev.Tablas().at("ARTICULOS_PROV").altas);
  EXPECT_EQ(10, rev.Tablas().at("ARTICULOS_PROV").modificaciones);
  const Revision::Precio& p = rev.Precios().at("cost");
  EXPECT_EQ(suben, p.suben);
  EXPECT_EQ(bajan, p.bajan);
  EXPECT_NEAR(mediana, p.mediana, 0.01);
  ASSERT_EQ(Revision::kMayores, static_cast<int>(p.mayores.size()));
  EXPECT_EQ(Codigo(23), p.mayores.front().fila);
  EXPECT_NEAR(900, p.mayores.front().Porcentaje(), 0.01);
  ASSERT_EQ(1, rev.TotalFueraDeLoNormal());
  EXPECT_EQ(Revision::Motivo::CambioGrande, rev.ListaFueraDeLoNormal()[0].motivo);
  // Kept in the history as JSON and read back the same.
  EXPECT_EQ(rev.Lineas(), Revision::DeJson(rev.AJson()).Lineas());

  // Sale prices fill only the empty ones (odd articles): half again their cost, one below
  // it, and one negative; an article with a price keeps it.
  QStringList venta{kIde};
  for (int n = 1; n <= 29; n += 2) {
    const double precio = n == 5   ? despues.at(Codigo(n)).coste / 2
                          : n == 7 ? -1
                                   : despues.at(Codigo(n)).coste * 1.5;
    venta << Linea({"DET", Codigo(n), "0", "0", QString::number(precio, 'f', 2)});
  }
  venta << Linea({"DET", Codigo(2), "0", "0", "1.00"});
  r = Importa(OpcionImportacion::PreciosVenta, "vrcprccto01.txt", venta);
  ASSERT_EQ(ResultadoImportacion::Estado::Completa, r.estado) << r.error.toStdString();
  const auto tras = Articulos();
  modificados = 0;
  for (const auto& [codigo, d] : despues)
    modificados += d.venta != tras.at(codigo).venta || d.fecha != tras.at(codigo).fecha;
  EXPECT_EQ(modificados, r.revision->Tablas().at("ARTICULOS").modificaciones);
  EXPECT_EQ(15, modificados);
  EXPECT_TRUE(r.revision->Precios().empty());  // no sale price had a value
  ASSERT_EQ(2, r.revision->TotalFueraDeLoNormal()) << r.revision->Lineas().join('\n').toStdString();
  std::map<Revision::Motivo, Revision::FueraDeLoNormal> fuera;
  for (const auto& f : r.revision->ListaFueraDeLoNormal()) fuera[f.motivo] = f;
  EXPECT_EQ(Codigo(5), fuera[Revision::Motivo::VentaBajoCoste].fila);
  EXPECT_DOUBLE_EQ(despues.at(Codigo(5)).coste, fuera[Revision::Motivo::VentaBajoCoste].coste);
  EXPECT_EQ(Codigo(7), fuera[Revision::Motivo::CeroOMenos].fila);
}

// A cost file with a price ten times its cost, held by the command line as the shop's
// settings say: nothing applied and exit 2 until --force; the run log stays as it is.
class Hold : public DemoFixture {};

TEST_F(Hold, AFileWithAPriceTenTimesItsCostUntilForced) {
  ajustes_->SaveSetting("RELVANO", "IMPORTAR", "RETENER_FUERA_DE_LO_NORMAL", "1");
  const double coste =
      ValorNumerico(db().Escalar("SELECT COSTE FROM ARTICULOS WHERE CODIGO = '1000011'"));
  ASSERT_GT(coste, 0);
  const QString decuplo = QString::number(coste * 10, 'f', 2);
  QFile f(In("vrcmllcto0001.txt"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray bytes = f.readAll();
  f.close();
  bytes.replace("|4.42|4.42|",
                QByteArray("|" + decuplo.toLatin1() + "|" + decuplo.toLatin1() + "|"));
  const QString fichero = In("vrcmllcto0002.txt");
  QFile g(fichero);
  ASSERT_TRUE(g.open(QIODevice::WriteOnly) && g.write(bytes) == bytes.size());
  g.close();

  const QStringList base{"--settings-dir", dir_.filePath("settings"), "--log-dir", Logs()};
  const QString volcado = Volcado();
  const auto retenido = Cli(base + QStringList{"import", "preciocoste", fichero});
  EXPECT_EQ(2, retenido.codigo);
  EXPECT_TRUE(retenido.err.contains("tiene precios fuera de lo normal (1):"))
      << retenido.err.toStdString();
  EXPECT_TRUE(retenido.err.contains("Artículo 1000011: ")) << retenido.err.toStdString();
  EXPECT_TRUE(retenido.err.contains("Use --force")) << retenido.err.toStdString();
  EXPECT_EQ(volcado, Volcado());
  EXPECT_FALSE(QFile::exists(QDir(Logs()).filePath("PRECIOCOSTE.LOG")));
  const QString simulado = Log("SIMULACION_PRECIOCOSTE.LOG");

  const auto forzado =
      Cli(base + QStringList{"--json", "import", "--force", "preciocoste", fichero});
  EXPECT_EQ(0, forzado.codigo) << forzado.err.toStdString();
  EXPECT_DOUBLE_EQ(
      coste * 10,
      ValorNumerico(db().Escalar("SELECT COSTE FROM ARTICULOS WHERE CODIGO = '1000011'")));
  const QJsonObject json =
      QJsonDocument::fromJson(forzado.out.toUtf8()).object()["files"].toArray()[0].toObject();
  EXPECT_EQ(1, json["review"]["out_of_range_count"].toInt()) << forzado.out.toStdString();
  // The real run's log is the simulation's but for the simulation's first line and name:
  // the review adds nothing to either.
  QString real = Log("PRECIOCOSTE.LOG");
  real.replace("PRECIOCOSTE.LOG", "SIMULACION_PRECIOCOSTE.LOG");
  EXPECT_EQ(simulado.section("\r\n", 1), real);

  // The history keeps the review of the run.
  const auto mostrado =
      Cli(base + QStringList{"history", "--show", QString::number(json["history_id"].toInt())});
  EXPECT_TRUE(
      mostrado.out.contains("Revisión de los cambios:\n  ARTICULOS: 0 añadidas, 5 modificadas"))
      << mostrado.out.toStdString();
}

}  // namespace
}  // namespace relvano::testing
