// A line of a chain file must cost the same in a shop with ten thousand articles as in
// one with a million: every row a statement of the imports reads or writes is found
// through an index. This runs every import over the demo installation and asks the
// engine for the plan of each statement the imports prepared.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QTemporaryDir>
#include <memory>
#include <set>

#include "app/arranque.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "demo/demo.h"
#include "store/db/database.h"
#include "support/recording_operator.h"

namespace relvano {
namespace {

using testing::RecordingOperator;

// Tables that hold the installation's settings and never grow with the shop's trade:
// reading them whole is fine.
// The schema itself is read when the program asks whether a table exists.
const std::set<QString> kTablasDeConfiguracion = {
    "IVA", "IVA_FECHAS", "SERIES", "EMPRESAS", "FORMA_PAGCOB", "CONFIGURACION", "SQLITE_MASTER"};

struct Plan {
  QString sql;
  QString detalle;
};

// The lines of the plan that read a whole table or a whole index of one that grows.
std::vector<Plan> Recorridos(const QString& ruta, const QStringList& sentencias) {
  std::vector<Plan> malos;
  sqlite3* db = nullptr;
  EXPECT_EQ(SQLITE_OK,
            sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr));
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> cierra(db, sqlite3_close);
  for (const QString& sql : sentencias) {
    const QString s = sql.trimmed();
    // The engine tests a constant false condition once, before visiting any row: such a
    // statement only learns the shape of the table's rows.
    if (s.endsWith(" WHERE 1=0", Qt::CaseInsensitive)) continue;
    const QString orden = s.section(' ', 0, 0).toUpper();
    if (QStringList{"PRAGMA", "BEGIN", "COMMIT", "ROLLBACK", "SAVEPOINT", "RELEASE"}.contains(
            orden))
      continue;
    sqlite3_stmt* st = nullptr;
    const QByteArray texto = ("EXPLAIN QUERY PLAN " + s).toUtf8();
    if (sqlite3_prepare_v2(db, texto.constData(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db) << " in: " << s.toStdString();
      continue;
    }
    // The results of the statement's own subqueries: their reads have lines of their own.
    QStringList subconsultas;
    while (sqlite3_step(st) == SQLITE_ROW) {
      const QString detalle =
          QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
      if (detalle.startsWith("CO-ROUTINE ") || detalle.startsWith("MATERIALIZE "))
        subconsultas << detalle.section(' ', 1, 1).toUpper();
      // "SCAN T" and "SCAN T USING [COVERING] INDEX I" both visit every row of T.
      if (!detalle.startsWith("SCAN ")) continue;
      const QString tabla = detalle.section(' ', 1, 1).toUpper();
      if (tabla == "CONSTANT" || kTablasDeConfiguracion.count(tabla) ||
          subconsultas.contains(tabla))
        continue;
      malos.push_back({s, detalle});
    }
    sqlite3_finalize(st);
  }
  return malos;
}

TEST(QueryPlans, NoStatementOfAnyImportReadsAWholeTableThatGrowsWithTheShop) {
  QTemporaryDir dir;
  QString error;
  ASSERT_TRUE(CreaDemo(dir.path(), &error)) << error.toStdString();
  IniSettingsStore ajustes(dir.filePath("settings"));
  RecordingOperator operador;
  operador.RespuestaPorDefecto(true);
  Programa programa(ajustes, operador);
  ASSERT_EQ(Programa::Resultado::Hecho, programa.CargaEmpresas())
      << operador.Transcripcion().toStdString();

  const std::pair<OpcionImportacion, const char*> ficheros[] = {
      {OpcionImportacion::Referencias, "vrcrefcto0001.txt"},
      {OpcionImportacion::Ean, "vrceancto0001.txt"},
      {OpcionImportacion::PreciosCoste, "vrcmllcto0001.txt"},
      {OpcionImportacion::PreciosVenta, "vrcprccto0001.txt"},
      {OpcionImportacion::Ofertas, "vrcofecto0001.txt"},
      {OpcionImportacion::Facturas, "envfradis0001.txt"}};
  for (const auto& [opcion, nombre] : ficheros) {
    OpcionesImportacion o;
    o.opcion = opcion;
    o.fichero = dir.filePath(QStringLiteral("In/") + nombre);
    o.nombreFicheroImportado = nombre;
    o.carpetaLogs = dir.filePath("logs");
    QDir().mkpath(o.carpetaLogs);
    o.preguntar = false;
    const auto r = ImportaFichero(programa.Empresa(), o, operador);
    ASSERT_EQ(ResultadoImportacion::Estado::Completa, r.estado)
        << nombre << ": " << operador.Transcripcion().toStdString();
  }

  for (const auto& bdd : {programa.Empresa().BddTienda, programa.Empresa().BddContable}) {
    ASSERT_TRUE(bdd);
    const QStringList sentencias = bdd->SentenciasPreparadas();
    EXPECT_GE(sentencias.size(), 3) << bdd->Ruta().toStdString();
    for (const Plan& p : Recorridos(bdd->Ruta(), sentencias))
      ADD_FAILURE() << p.detalle.toStdString() << "\n  in: " << p.sql.toStdString();
  }
}

}  // namespace
}  // namespace relvano
