#include <gtest/gtest.h>

#include <QFile>
#include <functional>

#include "app/arranque.h"
#include "app/importacion.h"
#include "store/db/esquema.h"
#include "support/tienda.h"

namespace relvano {
namespace {

using testing::Instalacion;
using Resultado = Programa::Resultado;

struct Arranque : Instalacion {
  explicit Arranque(QStringList empresas = {"001", "002"}) {
    for (const QString& c : empresas) Lista(c, c == "002" ? "PTA" : "EURO");
  }
  // Another general database listing `empresas`.
  void General(const QString& nombre, const QStringList& empresas) {
    general.reset();
    QFile::remove(Ruta("GENERAL.MDB"));
    testing::BorraDelServidor(Ruta("GENERAL.MDB"), conexion);
    general = Crea(nombre, {"general"});
    for (const QString& c : empresas) Lista(c);
  }
  void Bases(const QString& codigo, const QString& anyo = "00", bool tienda = true) {
    Crea("CNT" + codigo + anyo + ".MDB", {"contable"});
    if (tienda) Crea("CMC" + codigo + "00.MDB", {"tienda"});
  }
  Programa Abre() { return Programa(ajustes, operador, &reloj); }
};

TEST(Startup, FailureTableMessagesAndOutcomes) {
  // The message names the databases folder as %1 (empty: the unreadable database's message).
  const struct {
    const char* nombre;
    std::function<void(Arranque&)> prepara;
    Resultado resultado;
    QString mensaje;
  } casos[] = {
      {"no settings", [](Arranque& i) { i.ajustes.valores.remove("VANTEL/BDD/RUTABDDEMPRESA"); },
       Resultado::Detenido, "No se ha encontrado la información del programa VANTEL"},
      {"unknown engine", [](Arranque& i) { i.ajustes.valores["RELVANO/BDD/MOTOR"] = "Oracle"; },
       Resultado::Detenido,
       "RELVANO.ini dice MOTOR=Oracle en [BDD], y ese motor de base de datos no se conoce. "
       "Escriba SQLite, ODBC o PostgreSQL."},
      {"no general database", [](Arranque& i) { QFile::remove(i.Ruta("GENERAL.MDB")); },
       Resultado::Detenido, "Falta el fichero: %1/CMC_GENERAL.MDB"},
      {"only DEM", [](Arranque& i) { i.General("GENERAL.MDB", {"DEM"}); }, Resultado::Detenido,
       "No se ha encontrado la información de la EMPRESA"},
      {"general database unreadable",
       [](Arranque& i) {
         i.general.reset();
         testing::EscribeLineas(i.Ruta("GENERAL.MDB"), {QString(4096, 'x')});
       },
       Resultado::Fatal, ""},
      {"no accounting database", [](Arranque& i) { i.Crea("CMC00100.MDB", {"tienda"}); },
       Resultado::Fatal, "Falta el fichero: %1/CNT00100.MDB"},
      {"no store database", [](Arranque& i) { i.Bases("001", "12", false); }, Resultado::NoAbierta,
       "Falta el fichero: %1/CMC00100.MDB"},
  };
  for (const auto& c : casos) {
    Arranque ins;
    c.prepara(ins);
    Programa p = ins.Abre();
    EXPECT_EQ(c.resultado, p.CargaEmpresas()) << c.nombre;
    const QString mensaje = c.mensaje.isEmpty()
                                ? store::MensajeErrorAbrirBaseDatos(ins.Ruta("GENERAL.MDB"))
                                : QString(c.mensaje).replace("%1", ins.bdd);
    EXPECT_EQ("Mensaje: " + mensaje + "\n", ins.operador.Transcripcion()) << c.nombre;
    EXPECT_FALSE(p.EmpresaAbierta()) << c.nombre;
    EXPECT_TRUE(ins.ajustes.escritos.isEmpty()) << c.nombre;
  }
}

TEST(Startup, OnlyDemListedKeepsLoadingSoAChoiceOpensNothingButIsRemembered) {
  Arranque ins({"DEM"});
  ins.Bases("DEM");
  Programa p = ins.Abre();
  EXPECT_EQ(Resultado::Detenido, p.CargaEmpresas());
  EXPECT_TRUE(p.Cargando());
  EXPECT_EQ(Resultado::Hecho, p.EligeEmpresa("DEM"));
  EXPECT_EQ(nullptr, p.Empresa().BddTienda);
  p.EligeEmpresa("005");  // while loading: shown, not opened
  p.Salir();
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=005", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=Si"}),
            ins.ajustes.escritos);
}

TEST(Startup, ListsCompaniesButDemFromEitherGeneralDatabaseAndOpensTheFirst) {
  Arranque ins;
  ins.General("CMC_GENERAL.MDB", {"003", "DEM", "001"});
  ins.Bases("003");
  Programa p = ins.Abre();
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  QStringList listadas = p.Empresas();
  listadas.sort();  // in the order the database returns them
  EXPECT_EQ(QStringList({"001", "003"}), listadas);
  EXPECT_EQ(p.Empresas().first(), p.Empresa().IdEmpresa);
  EXPECT_EQ(QString("2012"), p.Empresa().AnyoActual);

  // GENERAL.MDB is preferred over the old name; listing opens no company.
  Arranque dos({"001"});
  dos.Crea("CMC_GENERAL.MDB", {"general"})
      ->Ejecuta("INSERT INTO EMPRESAS (ID_EMPRESA) VALUES ('009')");
  Programa q = dos.Abre();
  ASSERT_EQ(Resultado::Hecho, q.ListaEmpresas());
  EXPECT_EQ(QStringList{"001"}, q.Empresas());
  EXPECT_EQ(nullptr, q.Empresa().BddContable);
}

TEST(Startup, RememberedCompanyAndRemovalsBox) {
  for (const QStringList& c : testing::Casos("empresa_recordada.txt")) {
    SCOPED_TRACE(c.join(" | ").toStdString());
    Arranque ins;
    ins.Bases("001");
    ins.Bases("002");
    ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = c[0];
    ins.ajustes.valores["RELVANO/IMPORTAR/ACTUALIZAR_BAJAS"] = c[1];
    Programa p = ins.Abre();
    ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
    EXPECT_EQ(c[2], p.Empresa().IdEmpresa);
    EXPECT_EQ(ins.Ruta("CMC" + c[2] + "00.MDB"), p.Empresa().RutaComercial);
    EXPECT_EQ(c[3] == "on", p.NoActualizarBajas());
    EXPECT_EQ(c.value(4), p.RecordadaAusente());
    EXPECT_TRUE(p.EmpresaAbierta());
    EXPECT_TRUE(ins.operador.Mensajes().isEmpty());
  }
}

TEST(Startup, AccountingDatabaseOfTheYearThenOfYearZero) {
  Arranque ins({"001"});
  ins.Bases("001", "12");
  ins.Crea("CNT00100.MDB", {"contable"});
  Programa p = ins.Abre();
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  EXPECT_EQ(ins.Ruta("CNT00112.MDB"), p.Empresa().BddContable->Ruta());
  QFile::remove(ins.Ruta("CNT00112.MDB"));
  Programa q = ins.Abre();
  ASSERT_EQ(Resultado::Hecho, q.CargaEmpresas());
  EXPECT_EQ(ins.Ruta("CNT00100.MDB"), q.Empresa().RutaContable);
}

TEST(Startup, OpeningLoadsTheCompanyValues) {
  Arranque ins;
  ins.Bases("001");
  ins.Bases("002");
  store::Database::Abrir(ins.Ruta("CNT00200.MDB"), ins.conexion, nullptr)
      ->Ejecuta("INSERT INTO CONFIGURACION (ID, RECARGO_EQ) VALUES (1, 1)");
  Programa p = ins.Abre();
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  auto& e = p.Empresa();
  EXPECT_EQ(QString("EURO"), e.Divisa);
  EXPECT_FALSE(e.RecargoEquivalencia);
  // The accounting database had no CONFIGURACION row: one was added.
  EXPECT_EQ(Valor(1.0), e.BddContable->Escalar("select count(*) from CONFIGURACION"));
  EXPECT_EQ(16, e.IvaVigente.iva[0]);
  EXPECT_EQ(e.BddTienda, e.BddComercial);
  // Choosing another company opens it.
  ASSERT_EQ(Resultado::Hecho, p.EligeEmpresa("002"));
  EXPECT_EQ(QString("002 PTA 1"),
            e.IdEmpresa + ' ' + e.Divisa + ' ' + QString::number(e.RecargoEquivalencia));
  EXPECT_EQ(Valor("002"), e.Conf.RsConfPrograma["IDEMPRESA"]);
}

TEST(Startup, MissingStoreDatabaseKeepsThePreviousHandlesButNothingMayBeImported) {
  Arranque ins;
  ins.Bases("001");
  ins.Bases("002", "00", false);
  Programa p = ins.Abre();
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  auto tiendaAntes = p.Empresa().BddTienda;
  EXPECT_EQ(Resultado::NoAbierta, p.EligeEmpresa("002"));
  EXPECT_EQ(tiendaAntes, p.Empresa().BddTienda);
  // The handles no longer belong to IdEmpresa: no caller may import into them.
  OpcionesImportacion o;
  o.opcion = OpcionImportacion::Ofertas;
  o.fichero = ins.Fichero("vrcofecto01.txt", {"COM|1|PROMO|N|0000001|2012-08-01|2012-08-31|1.5|"});
  o.carpetaLogs = ins.logs;
  o.preguntar = false;
  ins.operador.Limpia();
  EXPECT_EQ(ResultadoImportacion::Estado::NoIniciada,
            ImportaFichero(p.Empresa(), o, ins.operador).estado);
  EXPECT_EQ(QStringList{"La empresa 002 no está abierta: no se ha importado el fichero. Elija una "
                        "empresa que se pueda abrir."},
            ins.operador.Mensajes());
  EXPECT_EQ(Valor(0.0), tiendaAntes->Escalar("select count(*) from PROM_ART_COMPRA"));
  EXPECT_FALSE(QFile::exists(ins.logs + "/OFERTAS.LOG"));
}

TEST(Startup, BrokenVatTableIsReportedAndLeavesTheCompanyClosed) {
  Arranque ins({"001"});
  ins.Bases("001");
  store::Database::Abrir(ins.Ruta("CMC00100.MDB"), ins.conexion, nullptr)
      ->Ejecuta("INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('1', 16, 4)");
  Programa p = ins.Abre();
  EXPECT_EQ(Resultado::NoAbierta, p.CargaEmpresas());
  ASSERT_EQ(1, ins.operador.Mensajes().size());
  EXPECT_TRUE(ins.operador.Mensajes()[0].startsWith("No se ha podido abrir la empresa 001\r\n"));
  EXPECT_FALSE(p.EmpresaAbierta());
}

}  // namespace
}  // namespace relvano
