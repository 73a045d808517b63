#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include "app/arranque.h"
#include "app/importacion.h"
#include "store/db/esquema.h"
#include "support/recording_operator.h"
#include "support/reloj_fijo.h"
#include "support/ajustes_memoria.h"

using relvano::testing::RelojFijo;
using relvano::testing::AjustesEnMemoria;

using relvano::Programa;
using relvano::Reloj;
using relvano::SettingsStore;
using relvano::Valor;
using relvano::testing::RecordingOperator;
using Resultado = relvano::Programa::Resultado;

namespace {

const char* NombreResultado(Resultado r) {
  switch (r) {
    case Resultado::Hecho: return "Hecho";
    case Resultado::Detenido: return "Detenido";
    case Resultado::NoAbierta: return "NoAbierta";
    case Resultado::Fatal: return "Fatal";
  }
  return "?";
}

// An installation in a temporary folder: BDD/ with the general database listing
// `empresas`, and the settings pointing at it.
class Instalacion {
 public:
  explicit Instalacion(QStringList empresas = {"001", "002"}) {
    bdd = dir.filePath("BDD");
    QDir().mkpath(bdd);
    ajustes.valores["VANTEL/BDD/RUTABDDEMPRESA"] = bdd;
    ajustes.valores["VANTEL/BDD/RUTABDDCONTABLE"] = bdd;
    ajustes.valores["VANTEL/BDD/RUTABDDCOMERCIAL"] = bdd;
    General("GENERAL.MDB", empresas);
  }
  void General(const QString& nombre, const QStringList& empresas) {
    auto db = Crea(nombre, {"general"});
    for (const QString& e : empresas)
      db->Ejecuta("INSERT INTO EMPRESAS (ID_EMPRESA, NOMBRE, DIVISA) VALUES (?, ?, ?)",
                  {Valor(e), Valor("Empresa " + e), Valor(e == "002" ? "PTA" : "EURO")});
  }
  std::shared_ptr<relvano::store::Database> Crea(const QString& nombre, const QStringList& esquemas) {
    QString error;
    const QString ruta = bdd + "/" + nombre;
    EXPECT_TRUE(relvano::store::CreaBaseDatos(ruta, esquemas, &error)) << error.toStdString();
    return relvano::store::Database::Abrir(ruta, {}, &error);
  }
  // The accounting (CNT<code><yy>) and store (CMC<code>00) databases of a company.
  void Empresa(const QString& codigo, const QString& anyo = "00", bool tienda = true) {
    Crea("CNT" + codigo + anyo + ".MDB", {"contable"});
    if (tienda) Crea("CMC" + codigo + "00.MDB", {"tienda"});
  }
  QString Ruta(const QString& nombre) const { return bdd + "/" + nombre; }

  QTemporaryDir dir;
  QString bdd;
  AjustesEnMemoria ajustes;
  RecordingOperator operador;
  RelojFijo reloj{QDate(2012, 5, 10)};
};

TEST(Startup, FailureTableMessagesAndOutcomes) {
  struct Caso {
    const char* nombre;
    std::function<void(Instalacion&)> prepara;
    const char* resultado;
    std::function<QString(const Instalacion&)> mensaje;
  };
  const std::vector<Caso> casos = {
      {"no settings", [](Instalacion& i) { i.ajustes.valores.remove("VANTEL/BDD/RUTABDDEMPRESA"); }, "Detenido",
       [](const Instalacion&) { return QString("No se ha encontrado la información del programa VANTEL"); }},
      {"no general database", [](Instalacion& i) { QFile::remove(i.Ruta("GENERAL.MDB")); }, "Detenido",
       [](const Instalacion& i) { return "Falta el fichero: " + i.Ruta("CMC_GENERAL.MDB"); }},
      {"only DEM",
       [](Instalacion& i) {
         QFile::remove(i.Ruta("GENERAL.MDB"));
         i.General("GENERAL.MDB", {"DEM"});
       },
       "Detenido", [](const Instalacion&) { return QString("No se ha encontrado la información de la EMPRESA"); }},
      {"general database unreadable",
       [](Instalacion& i) {
         QFile::remove(i.Ruta("GENERAL.MDB"));
         QFile f(i.Ruta("GENERAL.MDB"));
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write(QByteArray(4096, 'x'));
       },
       "Fatal", [](const Instalacion& i) { return relvano::store::MensajeErrorAbrirBaseDatos(i.Ruta("GENERAL.MDB")); }},
      {"no accounting database", [](Instalacion& i) { i.Crea("CMC00100.MDB", {"tienda"}); }, "Fatal",
       [](const Instalacion& i) { return "Falta el fichero: " + i.Ruta("CNT00100.MDB"); }},
      {"no store database", [](Instalacion& i) { i.Empresa("001", "12", false); }, "NoAbierta",
       [](const Instalacion& i) { return "Falta el fichero: " + i.Ruta("CMC00100.MDB"); }},
  };
  for (const Caso& c : casos) {
    Instalacion ins;
    c.prepara(ins);
    Programa p(ins.ajustes, ins.operador, &ins.reloj);
    EXPECT_STREQ(c.resultado, NombreResultado(p.CargaEmpresas())) << c.nombre;
    EXPECT_EQ(QStringList{c.mensaje(ins)}, ins.operador.Mensajes()) << c.nombre;
    for (const auto& ev : ins.operador.Eventos()) EXPECT_EQ(relvano::Operador::Icono::Ninguno, ev.icono);
    EXPECT_FALSE(p.EmpresaAbierta()) << c.nombre;
    EXPECT_TRUE(ins.ajustes.escritos.isEmpty()) << c.nombre;
  }
}

TEST(Startup, OnlyDemListedKeepsLoadingSoAChoiceOpensNothing) {
  Instalacion ins({"DEM"});
  ins.Empresa("DEM");
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  EXPECT_EQ(Resultado::Detenido, p.CargaEmpresas());
  EXPECT_TRUE(p.Cargando());
  EXPECT_EQ(Resultado::Hecho, p.EligeEmpresa("DEM"));
  EXPECT_FALSE(p.EmpresaAbierta());
  EXPECT_EQ(nullptr, p.Empresa().BddTienda);
}

TEST(Startup, ListsCompaniesButDemAndOpensTheFirst) {
  Instalacion ins;
  QFile::remove(ins.Ruta("GENERAL.MDB"));
  ins.General("CMC_GENERAL.MDB", {"003", "DEM", "001"});
  ins.Empresa("003");
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  EXPECT_EQ(ins.Ruta("CMC_GENERAL.MDB"), p.RutaGeneral());
  QStringList listadas = p.Empresas();
  listadas.sort();  // in the order the database returns them
  EXPECT_EQ(QStringList({"001", "003"}), listadas);
  EXPECT_EQ(p.Empresas().first(), p.Empresa().IdEmpresa);
  EXPECT_EQ("2012", p.Empresa().AnyoActual);
  EXPECT_EQ("VANTEL", p.Empresa().CodigoPrograma);
}

TEST(Startup, GeneralDatabasePreferredOverTheOldName) {
  Instalacion ins({"001"});
  ins.General("CMC_GENERAL.MDB", {"009"});
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, p.ListaEmpresas());
  EXPECT_EQ(ins.Ruta("GENERAL.MDB"), p.RutaGeneral());
  EXPECT_EQ(QStringList{"001"}, p.Empresas());
  EXPECT_EQ(nullptr, p.Empresa().BddContable);  // listing opens no company
}

TEST(Startup, RememberedCompanyAndRemovalsBox) {
  struct Caso {
    const char* recordada;
    const char* bajas;
    const char* abierta;
    bool marcado;
  } casos[] = {
      {"002", "No", "002", true},  {"002", "Si", "002", false}, {"002", "", "002", false},
      {"002", "no", "002", false}, {"002", "No ", "002", false}, {"", "No", "001", true},
      {"007", "No", "001", false},  // no longer listed: first company, box not restored
  };
  for (const Caso& c : casos) {
    Instalacion ins;
    ins.Empresa("001");
    ins.Empresa("002");
    ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = c.recordada;
    ins.ajustes.valores["RELVANO/IMPORTAR/ACTUALIZAR_BAJAS"] = c.bajas;
    Programa p(ins.ajustes, ins.operador, &ins.reloj);
    ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas()) << c.recordada;
    EXPECT_EQ(c.abierta, p.Empresa().IdEmpresa) << c.recordada << "/" << c.bajas;
    EXPECT_EQ(c.abierta, p.TextoEmpresa());
    EXPECT_EQ(ins.Ruta(QString("CMC") + c.abierta + "00.MDB"), p.Empresa().RutaComercial);
    EXPECT_EQ(c.marcado, p.NoActualizarBajas()) << c.recordada << "/" << c.bajas;
    EXPECT_TRUE(p.EmpresaAbierta());
    EXPECT_TRUE(ins.operador.Mensajes().isEmpty());
  }
}

TEST(Startup, AccountingDatabaseOfTheYearThenOfYearZero) {
  Instalacion ins({"001"});
  ins.Empresa("001", "12");
  ins.Crea("CNT00100.MDB", {"contable"});
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  EXPECT_EQ(ins.Ruta("CNT00112.MDB"), p.Empresa().RutaContable);
  EXPECT_EQ(ins.Ruta("CNT00112.MDB"), p.Empresa().BddContable->Ruta());

  QFile::remove(ins.Ruta("CNT00112.MDB"));
  Programa q(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, q.CargaEmpresas());
  EXPECT_EQ(ins.Ruta("CNT00100.MDB"), q.Empresa().RutaContable);
  EXPECT_EQ(ins.Ruta("CMC00100.MDB"), q.Empresa().RutaComercial);
}

TEST(Startup, OpeningLoadsTheCompanyValues) {
  Instalacion ins;
  ins.Empresa("001");
  ins.Empresa("002");
  {
    auto cnt = relvano::store::Database::Abrir(ins.Ruta("CNT00200.MDB"), {}, nullptr);
    cnt->Ejecuta("INSERT INTO CONFIGURACION (ID, RECARGO_EQ) VALUES (1, 1)");
  }
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  auto& e = p.Empresa();
  EXPECT_EQ("EURO", e.Divisa);
  EXPECT_FALSE(e.RecargoEquivalencia);
  // The accounting database had no CONFIGURACION row: one was added.
  EXPECT_EQ(Valor(1.0), e.BddContable->Escalar("select count(*) from CONFIGURACION"));
  EXPECT_EQ(Valor(6.0), e.BddTienda->Escalar("select count(*) from IVA"));
  EXPECT_EQ(16, e.IvaVigente.iva[0]);
  EXPECT_EQ(Valor("001"), e.Conf.RsConfPrograma["IDEMPRESA"]);
  EXPECT_EQ(e.BddTienda, e.BddComercial);
  EXPECT_EQ(Valor("001"), e.RsEmpresa["ID_EMPRESA"]);

  // Choosing another company opens it.
  ASSERT_EQ(Resultado::Hecho, p.EligeEmpresa("002"));
  EXPECT_EQ("002", e.IdEmpresa);
  EXPECT_EQ("PTA", e.Divisa);
  EXPECT_TRUE(e.RecargoEquivalencia);
  EXPECT_EQ(ins.Ruta("CMC00200.MDB"), e.BddTienda->Ruta());
  EXPECT_EQ(Valor("002"), e.Conf.RsConfPrograma["IDEMPRESA"]);
  EXPECT_EQ(Valor(1.0), e.BddTienda->Escalar("select count(*) from CONF_PROGRAMA"));
}

TEST(Startup, MissingStoreDatabaseKeepsThePreviousHandles) {
  Instalacion ins;
  ins.Empresa("001");
  ins.Empresa("002", "00", false);
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  auto tiendaAntes = p.Empresa().BddTienda;
  EXPECT_EQ(Resultado::NoAbierta, p.EligeEmpresa("002"));
  EXPECT_EQ(QStringList{"Falta el fichero: " + ins.Ruta("CMC00200.MDB")}, ins.operador.Mensajes());
  EXPECT_EQ("002", p.Empresa().IdEmpresa);
  EXPECT_EQ(tiendaAntes, p.Empresa().BddTienda);
  EXPECT_EQ(ins.Ruta("CMC00100.MDB"), p.Empresa().RutaComercial);
  // The handles no longer belong to IdEmpresa: nothing may be imported, by any caller.
  EXPECT_FALSE(p.EmpresaAbierta());
  QTemporaryDir logs;
  QFile oferta(logs.filePath("vrcofecto01.txt"));
  ASSERT_TRUE(oferta.open(QIODevice::WriteOnly));
  oferta.write("COM|1|PROMO|N|0000001|2012-08-01|2012-08-31|1.5|\r\n");
  oferta.close();
  relvano::OpcionesImportacion o;
  o.opcion = relvano::OpcionImportacion::Ofertas;
  o.fichero = oferta.fileName();
  o.carpetaLogs = logs.path();
  o.preguntar = false;
  ins.operador.Limpia();
  const auto r = relvano::ImportaFichero(p.Empresa(), o, ins.operador);
  EXPECT_EQ(relvano::ResultadoImportacion::Estado::NoIniciada, r.estado);
  EXPECT_EQ(QStringList{"La empresa 002 no está abierta: no se ha importado el fichero. Elija una "
                        "empresa que se pueda abrir."},
            ins.operador.Mensajes());
  EXPECT_EQ(Valor(0.0), tiendaAntes->Escalar("select count(*) from PROM_ART_COMPRA"));
  EXPECT_FALSE(QFile::exists(logs.filePath("OFERTAS.LOG")));
}

TEST(Startup, BrokenVatTableIsReportedAndLeavesTheCompanyClosed) {
  Instalacion ins({"001"});
  ins.Empresa("001");
  {
    auto cmc = relvano::store::Database::Abrir(ins.Ruta("CMC00100.MDB"), {}, nullptr);
    cmc->Ejecuta("INSERT INTO IVA (CODIGO, IVA, RECARGO) VALUES ('1', 16, 4)");
  }
  ins.operador.Limpia();
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  EXPECT_EQ(Resultado::NoAbierta, p.CargaEmpresas());
  ASSERT_EQ(1, ins.operador.Mensajes().size());
  EXPECT_TRUE(ins.operador.Mensajes()[0].startsWith("No se ha podido abrir la empresa 001\r\n"));
  EXPECT_FALSE(p.EmpresaAbierta());
}

TEST(Startup, ExitRemembersTheChosenCompanyAndTheRemovalsBox) {
  Instalacion ins;
  ins.Empresa("001");
  ins.Empresa("002");
  ins.ajustes.valores["RELVANO/IMPORTAR/IDEMPRESA"] = "002";
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  ASSERT_EQ(Resultado::Hecho, p.CargaEmpresas());
  p.Salir();
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=002", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=Si"}),
            ins.ajustes.escritos);

  ins.ajustes.escritos.clear();
  ASSERT_EQ(Resultado::Hecho, p.EligeEmpresa("001"));
  p.SetNoActualizarBajas(true);
  p.Salir();
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=001", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=No"}),
            ins.ajustes.escritos);
}

TEST(Startup, ExitRemembersTheShownCompanyWhenItWasNotOpened) {
  Instalacion ins({"DEM"});
  Programa p(ins.ajustes, ins.operador, &ins.reloj);
  EXPECT_EQ(Resultado::Detenido, p.CargaEmpresas());
  p.EligeEmpresa("005");  // while loading: shown, not opened
  p.Salir();
  EXPECT_EQ(QStringList({"RELVANO/IMPORTAR/IDEMPRESA=005", "RELVANO/IMPORTAR/ACTUALIZAR_BAJAS=Si"}),
            ins.ajustes.escritos);
}

}  // namespace
