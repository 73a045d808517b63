#include <gtest/gtest.h>

#include <QFile>

#include "core/import_fixture.h"
#include "imports/unidad_trabajo.h"

namespace relvano::testing {
namespace {

QString DetEan(const QString& accion, const QString& ean, const QString& articulo) {
  return Linea({"DET", accion, ean, articulo, "R", "00000"});
}

class ImportRun : public ImportFixture {
 protected:
  void SetUp() override {
    for (const char* codigo : {"0000001", "0000002", "0000003", "0000004"})
      db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO) VALUES (?)"), {Valor(codigo)});
  }
  int Eans() {
    return static_cast<int>(Escalar(QStringLiteral("SELECT COUNT(*) FROM ARTICULOS_EAN")).Numero());
  }
};

TEST_F(ImportRun, ChecksStopBeforeAnyLogIsOpened) {
  const QString fichero = Escribe(QStringLiteral("vrceancto01.txt"), {kIde});
  struct Caso {
    const char* nombre;
    QString ruta;
    bool conOpcion;
    bool respuesta;
    QString transcripcion;
  };
  const QString falta = fichero + QStringLiteral(".no");
  const Caso casos[] = {
      {"no file", QString(), true, true,
       QStringLiteral("Mensaje: No ha seleccionado el fichero a importar.\n")},
      {"missing file", falta, true, true,
       QStringLiteral("Mensaje: El fichero ") + falta + QStringLiteral(" no existe.\n")},
      {"answered No", fichero, true, false,
       QStringLiteral("Pregunta: ¿Desea importar el fichero seleccionado?\n")},
      {"no option", fichero, false, true,
       QStringLiteral("Pregunta: ¿Desea importar el fichero seleccionado?\n"
                      "Mensaje: Seleccione la opción que desea realizar.\n")},
  };
  for (const auto& c : casos) {
    operador_.Limpia();
    operador_.RespuestaPorDefecto(c.respuesta);
    auto o = Opciones(OpcionImportacion::Ean, c.ruta);
    o.preguntar = true;
    if (!c.conOpcion) o.opcion.reset();
    const auto r = ImportaFichero(empresa_, o, operador_);
    EXPECT_EQ(ResultadoImportacion::Estado::NoIniciada, r.estado) << c.nombre;
    EXPECT_EQ(c.transcripcion, operador_.Transcripcion()) << c.nombre;
    EXPECT_FALSE(QFile::exists(RutaLog(QStringLiteral("EAN.LOG")))) << c.nombre;
  }
}

TEST_F(ImportRun, WindowRunAsksBeforeAndOffersTheSummaryAfter) {
  auto o = Opciones(OpcionImportacion::Ean,
                    Escribe(QStringLiteral("vrceancto01.txt"),
                            {kIde, DetEan("A", "1", "0000001"), Linea({"CHK", "000003"})}));
  o.preguntar = true;
  operador_.Responde({true, true});
  const auto r = ImportaFichero(empresa_, o, operador_);
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_TRUE(r.verResumen);
  EXPECT_EQ(RutaLog(QStringLiteral("EAN.LOG")), r.rutaLog);
  EXPECT_EQ(QStringLiteral("Pregunta: ¿Desea importar el fichero seleccionado?\n"
                           "Mensaje[i]: Se han leido: 3 lineas.\r\n\r\nEl fichero contiene 3 lineas.\n"
                           "Pregunta: Fichero resumen: ") +
                r.rutaLog + QStringLiteral("\r\n\r\n¿Desea ver el resumen de importación?\n"),
            operador_.Transcripcion());
  EXPECT_EQ(QStringLiteral("Abriendo fichero: ") + r.rutaLog +
                QStringLiteral("\r\n\r\n  Leyendo línea EAN: 2\r\n\r\nALTA EAN Artículo: 0000001 Ean: 1\r\n"
                               "Fin Actualización\r\n\r\n"),
            LeeLog(QStringLiteral("EAN.LOG")));
}

TEST_F(ImportRun, LineFailingInTheMiddleKeepsEarlierLinesAndNothingAfter) {
  db().EjecutaScript(QStringLiteral(
      "CREATE TRIGGER NO_EAN_MALO BEFORE INSERT ON ARTICULOS_EAN WHEN NEW.EAN = 'MALO'\n"
      "BEGIN SELECT RAISE(ABORT, 'EAN rechazado'); END;\n"));
  db().OlvidaEsquema();
  const auto r = Importa(OpcionImportacion::Ean, QStringLiteral("vrceancto01.txt"),
                         {kIde, DetEan("A", "1", "0000001"), DetEan("A", "2", "0000002"),
                          DetEan("A", "MALO", "0000003"), DetEan("A", "4", "0000004"),
                          Linea({"CHK", "000006"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
  EXPECT_EQ(2, Eans());
  EXPECT_EQ(Valor(), Escalar(QStringLiteral("SELECT EAN FROM ARTICULOS_EAN WHERE IDARTICULO = '0000003'")));
  const QString log = Cuerpo(QStringLiteral("EAN.LOG"));
  EXPECT_TRUE(log.startsWith(QStringLiteral(
      "  Leyendo línea EAN: 2\r\n\r\nALTA EAN Artículo: 0000001 Ean: 1\r\n"
      "  Leyendo línea EAN: 3\r\n\r\nALTA EAN Artículo: 0000002 Ean: 2\r\n"
      "  Leyendo línea EAN: 4\r\n\r\nERROR en la línea 4: ")))
      << log.toStdString();
  EXPECT_TRUE(log.endsWith(kCrLf)) << log.toStdString();
  EXPECT_EQ(1, log.count(QStringLiteral("ERROR")));
  EXPECT_TRUE(r.error.startsWith(QStringLiteral("ERROR en la línea 4: ")));
  EXPECT_TRUE(r.error.contains(QStringLiteral("EAN rechazado"))) << r.error.toStdString();
  ASSERT_EQ(1u, operador_.Eventos().size());
  EXPECT_EQ(Operador::Icono::Stop, operador_.Eventos()[0].icono);
  EXPECT_EQ(r.error, operador_.Eventos()[0].texto);
  // The run committed what it kept: a second run starts from it.
  EXPECT_FALSE(db().EnTransaccion());
}

// An article reference line (61 fields) with only what an addition uses.
QString DetArticulo(const QString& codigo, const QString& descripcion) {
  QStringList campos(61);
  campos[0] = "DET";
  campos[1] = "A";
  campos[2] = codigo;
  campos[3] = descripcion;
  campos[8] = "0001";
  campos[9] = "00001";
  return Linea(campos);
}

QString Com(const QString& articulo, const QString& coste) {
  return Linea({"COM", "0000000001", "PROMO", "N", articulo, "2012-08-01", "2012-08-31", coste});
}

TEST_F(ImportRun, FieldWithAControlCharacterEndsTheRunAtItsLine) {
  const QString aviso = QStringLiteral(
      ", que no se puede guardar; la línea no se ha aplicado. Corrija el fichero y vuelva a "
      "importarlo. La base de datos no tiene aplicada ninguna línea del fichero.");
  const struct {
    OpcionImportacion opcion;
    const char* log;
    QString linea;
    QString error;  // "" when the line is applied
  } casos[] = {
      {OpcionImportacion::Ean, "EAN.LOG",
       DetEan("A", QStringLiteral("12") + QChar(0) + "3", "0000001"),
       "el campo 3 contiene un carácter de control (código 0)"},
      {OpcionImportacion::Referencias, "ARTICULOS.LOG", DetArticulo("0000009", "LECHE\nENTERA"),
       "el campo 4 contiene un carácter de control (código 10)"},
      {OpcionImportacion::Ofertas, "OFERTAS.LOG",
       Com("0000001", QStringLiteral("1.5") + QChar(0x85)),
       "el campo 8 contiene un carácter de control (código 133)"},
      {OpcionImportacion::Ean, "EAN.LOG", DetEan("A", "\t4", "0000001"), ""},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.log);
    const QString antes = Volcado();
    const auto r =
        Importa(c.opcion, QStringLiteral("fichero.txt"), {kIde, c.linea, Linea({"CHK", "000003"})});
    if (c.error.isEmpty()) {
      EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
      EXPECT_EQ(Valor("\t4"), Escalar(QStringLiteral("SELECT EAN FROM ARTICULOS_EAN")));
      continue;
    }
    EXPECT_EQ(ResultadoImportacion::Estado::Error, r.estado);
    EXPECT_EQ(QStringLiteral("ERROR en la línea 2: ") + c.error + aviso, r.error);
    EXPECT_TRUE(LeeLog(QString::fromLatin1(c.log)).endsWith(r.error + kCrLf));
    EXPECT_EQ(antes, Volcado());
  }
}

TEST_F(ImportRun, LineWithoutArticleCodeIsNotAppliedAndTheRunGoesOn) {
  // A code left empty by a store that once took such a line: no other row may hang on it.
  db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS (CODIGO) VALUES ('')"));
  const struct {
    OpcionImportacion opcion;
    const char* log;
    QString linea;
    int campo;
  } casos[] = {
      {OpcionImportacion::Referencias, "ARTICULOS.LOG", DetArticulo("", "SIN CODIGO"), 3},
      {OpcionImportacion::Ofertas, "OFERTAS.LOG", Com(" ", "1.5"), 5},
      {OpcionImportacion::PreciosCoste, "PRECIOCOSTE.LOG",
       Linea({"DET", "M", "", "x", "000000", "0", "", "0", "0", "1.00", "1.00"}), 3},
      {OpcionImportacion::Ean, "EAN.LOG", DetEan("A", "5", ""), 4},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.log);
    const QString antes = Volcado();
    const auto r =
        Importa(c.opcion, QStringLiteral("fichero.txt"), {kIde, c.linea, Linea({"CHK", "000003"})});
    EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
    EXPECT_TRUE(LeeLog(QString::fromLatin1(c.log))
                    .contains(QStringLiteral("\r\nLÍNEA NO APLICADA: la línea 2 no tiene código de "
                                             "artículo (campo %1).\r\n")
                                  .arg(c.campo)));
    EXPECT_EQ(antes, Volcado());
  }
}

TEST_F(ImportRun, SimulationLeavesTheDatabaseAsItWas) {
  db().Ejecuta(QStringLiteral("INSERT INTO ARTICULOS_EAN (IDARTICULO, EAN) VALUES ('0000002', 'X')"));
  const QString antes = Volcado();
  const QStringList lineas{kIde,
                           Linea({"DET", "A", "0000001", "LECHE", "", "", "A", "", "0001", "00010"}),
                           Linea({"DET", "B", "0000002", "PAN", "", "", "A", "", "0001", "00010"}),
                           Linea({"CHK", "000004"})};
  const auto r = Importa(OpcionImportacion::Referencias, QStringLiteral("vrcrefcto01.txt"), lineas,
                         /*simular=*/true);
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(antes, Volcado());
  // Under its own name: the last real run's log stays.
  const QString log = LeeLog(QStringLiteral("SIMULACION_ARTICULOS.LOG"));
  EXPECT_TRUE(log.startsWith(
      QStringLiteral("SIMULACIÓN: no se ha guardado ningún cambio en la base de datos.\r\n"
                     "Abriendo fichero: ") +
      RutaLog(QStringLiteral("SIMULACION_ARTICULOS.LOG")) + QStringLiteral("\r\n\r\n")))
      << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("BAJA : Se ha dado de baja el artículo 0000002 - PAN")));
  EXPECT_EQ(1, operador_.Mensajes().size());  // the count message, shown all the same

  // The same file for real changes the database: the dump can tell.
  Importa(OpcionImportacion::Referencias, QStringLiteral("vrcrefcto01.txt"), lineas);
  EXPECT_NE(antes, Volcado());
}

// An operator that looks at the database from another connection while a message is
// shown: what the run applied must already be committed and the database free.
class OperadorQueMira : public RecordingOperator {
 public:
  explicit OperadorQueMira(QString ruta) : ruta_(std::move(ruta)) {}
  void Mensaje(const QString& texto, Icono icono) override {
    RecordingOperator::Mensaje(texto, icono);
    QString error;
    store::OpcionesConexion opciones;
    opciones.esperaBloqueoMs = 0;
    auto otra = store::Database::Abrir(ruta_, opciones, &error);
    if (!otra) {
      vistos.push_back(-1);
      return;
    }
    vistos.push_back(static_cast<int>(otra->Escalar("SELECT COUNT(*) FROM ARTICULOS_EAN").Numero()));
    try {
      otra->Begin();  // takes the write lock: fails while the run holds it
      otra->Rollback();
      libre.push_back(true);
    } catch (const store::DbError&) {
      libre.push_back(false);
    }
  }
  std::vector<int> vistos;
  std::vector<bool> libre;

 private:
  QString ruta_;
};

TEST_F(ImportRun, AppliedLinesAreCommittedBeforeEveryMessage) {
  OperadorQueMira operador(t_.ruta());
  auto o = Opciones(OpcionImportacion::Ean,
                    Escribe(QStringLiteral("vrceancto01.txt"),
                            {kIde, DetEan("A", "1", "0000001"), DetEan("S", "2", "0000002"),
                             DetEan("A", "3", "0000003"), Linea({"CHK", "000005"})}));
  const auto r = ImportaFichero(empresa_, o, operador);
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ((std::vector<int>{1, 2}), operador.vistos);
  EXPECT_EQ((std::vector<bool>{true, true}), operador.libre);
  EXPECT_EQ(2, Eans());
}

class ParaTrasLinea : public Progreso {
 public:
  explicit ParaTrasLinea(int linea) : linea_(linea) {}
  bool Avance(qint64, qint64, int lineas) override { return lineas < linea_; }

 private:
  int linea_;
};

TEST_F(ImportRun, CancelledRunKeepsTheLinesBefore) {
  ParaTrasLinea progreso(3);
  auto o = Opciones(OpcionImportacion::Ean,
                    Escribe(QStringLiteral("vrceancto01.txt"),
                            {kIde, DetEan("A", "1", "0000001"), DetEan("A", "2", "0000002"),
                             DetEan("A", "3", "0000003")}));
  const auto r = ImportaFichero(empresa_, o, operador_, &progreso);
  EXPECT_EQ(ResultadoImportacion::Estado::Cancelada, r.estado);
  EXPECT_EQ(2, Eans());
  EXPECT_EQ(QStringLiteral("  Leyendo línea EAN: 2\r\n\r\nALTA EAN Artículo: 0000001 Ean: 1\r\n"
                           "  Leyendo línea EAN: 3\r\n\r\nALTA EAN Artículo: 0000002 Ean: 2\r\n"
                           "Importación cancelada por el usuario tras la línea 3.\r\n"),
            Cuerpo(QStringLiteral("EAN.LOG")));
}

TEST_F(ImportRun, SecondRunOfAnOptionReplacesItsLog) {
  Importa(OpcionImportacion::Ean, QStringLiteral("a.txt"), {kIde, DetEan("A", "1", "0000001")});
  Importa(OpcionImportacion::Ean, QStringLiteral("b.txt"), {kIde, DetEan("B", "1", "0000001")});
  EXPECT_EQ(QStringLiteral("  Leyendo línea EAN: 2\r\n\r\nBAJA EAN NO REALIZADA Artículo: 0000001 Ean: 1\r\n"),
            Cuerpo(QStringLiteral("EAN.LOG")));
}

}  // namespace
}  // namespace relvano::testing

namespace relvano::imports {
namespace {

int CuentaDesdeOtraConexion(const QString& ruta) {
  QString error;
  auto otra = store::Database::Abrir(ruta, store::OpcionesConexion{}, &error);
  return otra ? static_cast<int>(otra->Escalar("SELECT COUNT(*) FROM FAMILIAS").Numero()) : -1;
}

TEST(UnitOfWork, CommitsInGroupsAndUndoesOnlyTheFailedLine) {
  testing::TempDb t;
  UnidadTrabajo unidad(t.db(), /*simular=*/false, /*lineasPorGrupo=*/2);
  const auto alta = [&](const char* codigo) {
    unidad.Linea([&] {
      t.db().Ejecuta("INSERT INTO FAMILIAS (CODIGO) VALUES (?)", {Valor(codigo)});
    });
  };
  alta("A");
  EXPECT_EQ(0, CuentaDesdeOtraConexion(t.ruta()));  // the group is not complete yet
  alta("B");
  EXPECT_EQ(2, CuentaDesdeOtraConexion(t.ruta()));
  alta("C");
  // A line that fails after writing leaves nothing of its own.
  EXPECT_THROW(unidad.Linea([&] {
    t.db().Ejecuta("INSERT INTO FAMILIAS (CODIGO) VALUES (?)", {Valor("D")});
    t.db().Ejecuta("INSERT INTO FAMILIAS (CODIGO) VALUES (?)", {Valor("A")});
  }),
               store::DbError);
  unidad.Termina();
  EXPECT_EQ(Valor("A,B,C"), t.db().Escalar("SELECT group_concat(CODIGO) FROM "
                                           "(SELECT CODIGO FROM FAMILIAS ORDER BY CODIGO)"));
}

TEST(UnitOfWork, SimulationRollsEverythingBack) {
  testing::TempDb t;
  {
    UnidadTrabajo unidad(t.db(), /*simular=*/true, /*lineasPorGrupo=*/1);
    unidad.Linea([&] { t.db().Ejecuta("INSERT INTO FAMILIAS (CODIGO) VALUES ('A')"); });
    unidad.Confirma();
    unidad.Linea([&] { t.db().Ejecuta("INSERT INTO FAMILIAS (CODIGO) VALUES ('B')"); });
    unidad.Termina();
  }
  EXPECT_EQ(Valor(0), t.db().Escalar("SELECT COUNT(*) FROM FAMILIAS"));
}

}  // namespace
}  // namespace relvano::imports
