#include <gtest/gtest.h>

#include <QFile>

#include "imports/import_fixture.h"
#include "imports/unidad_trabajo.h"

namespace relvano::testing {
namespace {

QString DetEan(const char* accion, const char* ean, const char* articulo) {
  return Linea({"DET", accion, ean, articulo, "R", "00000"});
}

QString Leida(int linea, const char* ean, const char* articulo) {
  return QString("  Leyendo línea EAN: %1\r\n\r\nALTA EAN Artículo: %3 Ean: %2\r\n")
      .arg(linea)
      .arg(ean, articulo);
}

class ImportRun : public ImportFixture {
 protected:
  void SetUp() override {
    db().Ejecuta("INSERT INTO ARTICULOS (CODIGO) VALUES ('0000001'), ('0000002'), ('0000003')");
  }
  const QString kPregunta = QStringLiteral("Pregunta: ¿Desea importar el fichero seleccionado?\n");
};

TEST_F(ImportRun, ChecksStopBeforeAnyLogIsOpened) {
  const QString fichero = Escribe("vrceancto01.txt", {kIde});
  const QString falta = fichero + ".no";
  const struct {
    QString ruta;
    bool conOpcion, respuesta;
    QString transcripcion;
  } casos[] = {
      {QString(), true, true, "Mensaje: No ha seleccionado el fichero a importar.\n"},
      {falta, true, true, "Mensaje: El fichero " + falta + " no existe.\n"},
      {fichero, true, false, kPregunta},
      {fichero, false, true, kPregunta + "Mensaje: Seleccione la opción que desea realizar.\n"},
  };
  for (const auto& c : casos) {
    op.Limpia();
    op.RespuestaPorDefecto(c.respuesta);
    auto o = Opciones(OpcionImportacion::Ean, c.ruta);
    o.preguntar = true;
    if (!c.conOpcion) o.opcion.reset();
    EXPECT_EQ(ResultadoImportacion::Estado::NoIniciada, ImportaFichero(e, o, op).estado);
    EXPECT_EQ(c.transcripcion, op.Transcripcion());
    EXPECT_FALSE(QFile::exists(RutaLog("EAN.LOG")));
  }
}

// An article reference line (61 fields) with only what an addition uses.
QString DetArticulo(const QString& codigo, const QString& descripcion) {
  QStringList campos(61);
  campos[0] = "DET", campos[1] = "A", campos[2] = codigo, campos[3] = descripcion;
  campos[8] = "0001", campos[9] = "00001";
  return Linea(campos);
}

QString Com(const QString& articulo, const QString& coste) {
  return Linea({"COM", "0000000001", "PROMO", "N", articulo, "2012-08-01", "2012-08-31", coste});
}

// A control character in a field ends the run at its line; a line without an article code
// is logged as not applied and the run goes on. Neither leaves a row.
TEST_F(ImportRun, ControlCharactersAndMissingArticleCodes) {
  db().Ejecuta("INSERT INTO ARTICULOS (CODIGO) VALUES ('')");  // no row may hang on it
  const QString aviso =
      ", que no se puede guardar; la línea no se ha aplicado. Corrija el fichero y vuelva a "
      "importarlo. La base de datos no tiene aplicada ninguna línea del fichero.";
  const struct {
    OpcionImportacion opcion;
    const char* log;
    QString linea, error;  // error: the control character, or the missing code's field
  } casos[] = {
      {OpcionImportacion::Ean, "EAN.LOG",
       DetEan("A",
              "12\x01"
              "3",
              "0000001"),
       "el campo 3 contiene un carácter de control (código 1)"},
      {OpcionImportacion::Ofertas, "OFERTAS.LOG", Com("0000001", "1.5" + QString(QChar(0x85))),
       "el campo 8 contiene un carácter de control (código 133)"},
      {OpcionImportacion::Referencias, "ARTICULOS.LOG", DetArticulo("", "SIN CODIGO"), "3"},
      {OpcionImportacion::Ofertas, "OFERTAS.LOG", Com(" ", "1.5"), "5"},
      {OpcionImportacion::PreciosCoste, "PRECIOCOSTE.LOG",
       Linea({"DET", "M", "", "x", "000000", "0", "", "0", "0", "1.00", "1.00"}), "3"},
      {OpcionImportacion::Ean, "EAN.LOG", DetEan("A", "5", ""), "4"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.linea.toStdString());
    const QString antes = Volcado();
    const auto r = Importa(c.opcion, "fichero.txt", {kIde, c.linea, Linea({"CHK", "000003"})});
    if (c.error.size() == 1) {
      EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
      EXPECT_TRUE(
          LeeLog(c.log).contains("\r\nLÍNEA NO APLICADA: la línea 2 no tiene código de "
                                 "artículo (campo " +
                                 c.error + ").\r\n"));
    } else {
      EXPECT_EQ("ERROR en la línea 2: " + c.error + aviso, r.error);
      EXPECT_TRUE(LeeLog(c.log).endsWith(r.error + kCrLf));
    }
    EXPECT_EQ(antes, Volcado());
  }
  // A tab is no control character for a field.
  Importa(OpcionImportacion::Ean, "fichero.txt", {kIde, DetEan("A", "\t4", "0000001")});
  EXPECT_EQ(Valor("\t4"), db().Escalar("SELECT EAN FROM ARTICULOS_EAN"));
}

TEST_F(ImportRun, SimulationLeavesTheDatabaseAsItWas) {
  db().Ejecuta("INSERT INTO ARTICULOS_EAN (IDARTICULO, EAN) VALUES ('0000002', 'X')");
  const QString antes = Volcado();
  const QStringList lineas{
      kIde, Linea({"DET", "A", "0000009", "LECHE", "", "", "A", "", "0001", "00010"}),
      Linea({"DET", "B", "0000002", "PAN", "", "", "A", "", "0001", "00010"}),
      Linea({"CHK", "000004"})};
  const auto r = Importa(OpcionImportacion::Referencias, "vrcrefcto01.txt", lineas, true);
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(antes, Volcado());
  const QString log = LeeLog("SIMULACION_ARTICULOS.LOG");  // the last real run's log stays
  EXPECT_TRUE(
      log.startsWith("SIMULACIÓN: no se ha guardado ningún cambio en la base de datos.\r\n"
                     "Abriendo fichero: " +
                     RutaLog("SIMULACION_ARTICULOS.LOG") + "\r\n\r\n"))
      << log.toStdString();
  EXPECT_TRUE(log.contains("BAJA : Se ha dado de baja el artículo 0000002 - PAN"));
  EXPECT_EQ(1, op.Mensajes().size());  // the count message, shown all the same
}

// No lock is held while the operator reads: another connection looks while each box is up
// and must see what the run applied and be free to write.
TEST_F(ImportRun, AppliedLinesAreCommittedBeforeEveryMessage) {
  QStringList vistos;
  op.alMostrar = [&](const QString&) {
    store::OpcionesConexion opciones = t.opciones();
    opciones.esperaBloqueoMs = 0;
    QString error;
    auto otra = store::Database::Abrir(t.ruta(), opciones, &error);
    ASSERT_TRUE(otra) << error.toStdString();
    QString visto = otra->Escalar("SELECT COUNT(*) FROM ARTICULOS_EAN").Describe();
    try {
      otra->Begin();
      otra->Rollback();
    } catch (const store::DbError&) {
      visto += " bloqueada";
    }
    vistos << visto;
  };
  const auto r = Importa(OpcionImportacion::Ean, "vrceancto01.txt",
                         {kIde, DetEan("A", "1", "0000001"), DetEan("S", "2", "0000002"),
                          DetEan("A", "3", "0000003"), Linea({"CHK", "000005"})});
  EXPECT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  EXPECT_EQ(QStringList({"1", "2"}), vistos);
}

TEST_F(ImportRun, CancelledRunKeepsTheLinesBeforeAndASecondRunReplacesTheLog) {
  ParaEnLinea progreso(3);
  auto o = Opciones(
      OpcionImportacion::Ean,
      Escribe("vrceancto01.txt", {kIde, DetEan("A", "1", "0000001"), DetEan("A", "2", "0000002"),
                                  DetEan("A", "3", "0000003")}));
  EXPECT_EQ(ResultadoImportacion::Estado::Cancelada, ImportaFichero(e, o, op, &progreso).estado);
  EXPECT_EQ(Leida(2, "1", "0000001") + Leida(3, "2", "0000002") +
                "Importación cancelada por el usuario tras la línea 3.\r\n",
            Cuerpo("EAN.LOG"));
  EXPECT_EQ(2, Cuenta("ARTICULOS_EAN"));

  Importa(OpcionImportacion::Ean, "b.txt", {kIde, DetEan("A", "4", "0000001")});
  EXPECT_EQ(Leida(2, "4", "0000001"), Cuerpo("EAN.LOG"));
}

}  // namespace
}  // namespace relvano::testing

namespace relvano::imports {
namespace {

TEST(UnitOfWork, CommitsInGroupsAndUndoesOnlyTheFailedLine) {
  testing::TempDb t;
  const auto otra = [&] {
    auto db = store::Database::Abrir(t.ruta(), t.opciones(), nullptr);
    return testing::Filas(*db, "SELECT CODIGO FROM FAMILIAS ORDER BY CODIGO", {"CODIGO"});
  };
  UnidadTrabajo unidad(t.db(), /*simular=*/false, /*lineasPorGrupo=*/2);
  // The rows stored are handed over a committed group at a time.
  QStringList entregados;
  unidad.AnotaCambios([&](std::vector<store::CambioFila> grupo) {
    QStringList filas;
    for (const auto& c : grupo)
      filas << QString("%1 %2 %3=%4")
                   .arg(QChar(char(c.tipo)), c.tabla, c.clave.join(','),
                        c.valoresClave.at(0).toString());
    entregados << filas.join(';');
  });
  int linea = 0;
  const auto alta = [&](std::initializer_list<const char*> codigos) {
    unidad.Linea(++linea, [&] {
      for (const char* c : codigos) {
        auto rs = t.db().AbrirRecordsetVacio("SELECT * FROM FAMILIAS WHERE CODIGO = ?", {Valor(c)});
        rs.NuevoRegistro();
        rs.Asigna("CODIGO", Valor(c));
        rs.GrabarRegistro();
      }
    });
  };
  alta({"A"});
  EXPECT_EQ(QString(), otra());  // the group is not complete yet
  EXPECT_TRUE(entregados.isEmpty());
  alta({"B"});
  EXPECT_EQ(QString("CODIGO=\"A\"\nCODIGO=\"B\""), otra());
  EXPECT_EQ(QStringList{"A FAMILIAS CODIGO=A;A FAMILIAS CODIGO=B"}, entregados);
  alta({"C"});
  // A line that fails after writing leaves nothing of its own.
  EXPECT_THROW(alta({"D", "A"}), store::DbError);
  // A driver that undoes the whole transaction on an error takes the group's earlier
  // line (C) with it: nothing of the group is kept, nor counted as kept.
  EXPECT_EQ(2, unidad.LineaConfirmada());
  EXPECT_THROW(unidad.Linea(++linea,
                            [&] {
                              t.db().Ejecuta("ROLLBACK");
                              throw store::DbError("deshecha por el controlador");
                            }),
               store::DbError);
  unidad.Termina();
  EXPECT_EQ(2, unidad.LineaConfirmada());
  EXPECT_EQ(QString("CODIGO=\"A\"\nCODIGO=\"B\""), otra());
  EXPECT_EQ(1, entregados.size());  // neither D nor the lost group's C
}

// A simulation hands its changes over a group at a time too, while they can still be read,
// so that what it keeps in memory does not grow with the file; it keeps none of them.
TEST(UnitOfWork, ASimulationHandsItsChangesOverAGroupAtATime) {
  testing::TempDb t;
  UnidadTrabajo unidad(t.db(), /*simular=*/true, /*lineasPorGrupo=*/2);
  std::vector<int> grupos;
  unidad.AnotaCambios([&](std::vector<store::CambioFila> grupo) {
    grupos.push_back(static_cast<int>(grupo.size()));
    EXPECT_EQ(Valor(static_cast<double>(grupos.size() * 2 - 2 + grupo.size())),
              t.db().Escalar("SELECT COUNT(*) FROM FAMILIAS"));
  });
  for (int linea = 1; linea <= 5; ++linea)
    unidad.Linea(linea, [&] {
      auto rs = t.db().AbrirRecordsetVacio("SELECT * FROM FAMILIAS WHERE CODIGO = ?",
                                           {Valor(QString::number(linea))});
      rs.NuevoRegistro();
      rs.Asigna("CODIGO", Valor(QString::number(linea)));
      rs.GrabarRegistro();
    });
  unidad.Termina();
  EXPECT_EQ((std::vector<int>{2, 2, 1}), grupos);
  EXPECT_EQ(Valor(0.0), t.db().Escalar("SELECT COUNT(*) FROM FAMILIAS"));
}

}  // namespace
}  // namespace relvano::imports
