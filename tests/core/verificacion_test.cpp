// The checks before a run (the kind of file, the same content twice, an older file), the
// run history, and the invoice resumed after a run stopped between its two units.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "app/historial.h"
#include "core/import_fixture.h"
#include "support/cli.h"

namespace relvano::testing {
namespace {

using imports::ClaseFichero;
using Estado = ResultadoImportacion::Estado;

QByteArray Bytes(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Escribe(const QString& ruta, const QByteArray& bytes) {
  QFile f(ruta);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class FileChecks : public DemoFixture {
 protected:
  QString Demo(OpcionImportacion k) const {
    return In(QString::fromLatin1(imports::Clase(k).prefijo) + "0001.txt");
  }
  QStringList Resultados() {
    QString error;
    auto h = Historial::Abre(Logs(), &error);
    QStringList r;
    for (const auto& e : h ? h->Lista({}) : std::vector<EjecucionHistorial>{}) r << e.resultado;
    return r;
  }
};

TEST_F(FileChecks, EachDemoFileImportsAsItsKindAndEveryOtherKindRefusesIt) {
  for (const ClaseFichero& del : imports::ClasesFichero()) {
    const QString fichero = Demo(del.opcion);
    for (const ClaseFichero& como : imports::ClasesFichero()) {
      if (como.opcion == del.opcion) continue;
      const QString antes = Volcado(), logAntes = Log(como.log);
      op_.Limpia();
      // Not even --force applies a file whose lines are of another kind.
      const auto r = Importa(como.opcion, fichero, /*forzar=*/true);
      EXPECT_FALSE(r.forzable);
      EXPECT_EQ(QStringLiteral("Mensaje[stop]: El fichero %1 parece de %2, no de %3. No se ha "
                               "importado nada.\n")
                    .arg(QFileInfo(fichero).fileName(), del.titulo, como.titulo),
                op_.Transcripcion());
      EXPECT_EQ(antes, Volcado()) << del.nombre << " as " << como.nombre;
      EXPECT_EQ(logAntes, Log(como.log));
    }
    EXPECT_EQ(Estado::Completa, Importa(del.opcion, fichero).estado) << del.nombre;
  }
}

TEST_F(FileChecks, EmptyForeignMisnamedAndUnknownShapes) {
  // A file of the kind of another one under the name of this one: the demo EAN file.
  for (const QStringList& c : testing::Casos("formas_fichero.txt")) {
    SCOPED_TRACE(c[0].toStdString());
    const QByteArray contenido =
        c[1] == "EAN" ? Bytes(Demo(OpcionImportacion::Ean)) : c[1].toLatin1();
    const QString mensaje = c.value(2);  // empty: imported; ending in "?": refused unless forced
    Escribe(In(c[0]), contenido);
    op_.Limpia();
    const QString antes = Volcado();
    const auto r = Importa(OpcionImportacion::Ean, In(c[0]));
    if (mensaje.isEmpty()) {
      EXPECT_EQ(Estado::Completa, r.estado);
      continue;
    }
    EXPECT_EQ(QStringList{mensaje}, op_.Mensajes());
    EXPECT_EQ(antes, Volcado());
    EXPECT_EQ(mensaje.endsWith('?'), r.forzable);
    if (r.forzable)
      EXPECT_EQ(Estado::Completa, Importa(OpcionImportacion::Ean, In(c[0]), true).estado);
  }
}

TEST_F(FileChecks, SameContentTwiceAndOlderFilesAreRefusedUnlessForcedOrAccepted) {
  const auto coste = OpcionImportacion::PreciosCoste;
  const QString fichero = Demo(coste);
  ASSERT_EQ(Estado::Completa, Importa(coste, fichero).estado);
  op_.Limpia();
  const QString antes = Volcado();
  const auto repetido = Importa(coste, fichero);
  EXPECT_TRUE(repetido.forzable);
  EXPECT_TRUE(op_.Mensajes().value(0).contains(QRegularExpression(
      "^Este fichero ya se importó el \\d\\d/\\d\\d/\\d{4} a las \\d\\d:\\d\\d\\. "
      "¿Desea importarlo otra vez\\?$")))
      << op_.Transcripcion().toStdString();
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(Estado::Completa, Importa(coste, fichero, /*forzar=*/true).estado);

  // Last month's file after this month's: the window asks, No by default.
  const QString viejo = In("vrcmllcto0000.txt");
  Escribe(viejo, Bytes(fichero).replace("|2026-11-30|", "|2026-10-31|"));
  op_.Limpia();
  op_.Responde({true, false});
  OpcionesImportacion o;
  o.opcion = coste;
  o.fichero = viejo;
  o.carpetaLogs = o.carpetaHistorial = Logs();
  EXPECT_EQ(Estado::Rechazada, ImportaFichero(programa_->Empresa(), o, op_).estado);
  EXPECT_EQ(
      "Pregunta: ¿Desea importar el fichero seleccionado?\n"
      "Pregunta: El fichero vrcmllcto0000.txt es del 31/10/2026, anterior al último fichero "
      "de Variaciones de Precios de Coste importado, del 30/11/2026: aplicarlo pondría "
      "precios o datos más antiguos sobre los más nuevos. ¿Desea importarlo de todos modos?\n",
      op_.Transcripcion());
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(Estado::Completa, Importa(coste, viejo, /*forzar=*/true).estado);
  // Kinds that only add rows have no date order.
  EXPECT_EQ(Estado::Completa,
            Importa(OpcionImportacion::Ofertas, Demo(OpcionImportacion::Ofertas)).estado);
  EXPECT_EQ(QStringList({"completa", "completa", "rechazada", "completa", "rechazada", "completa"}),
            Resultados());
}

// Stops the program while the totals check is shown, as a kill or a power cut would.
struct Corte {};
class OperadorCortado : public RecordingOperator {
 public:
  void Informe(const QString&) override { throw Corte{}; }
};

TEST_F(FileChecks, InvoiceStoppedBetweenItsUnitsIsResumedOnce) {
  const auto facturas = OpcionImportacion::Facturas;
  const QString fichero = Demo(facturas);
  OperadorCortado cortado;
  EXPECT_THROW(Importa(facturas, fichero, false, &cortado), Corte);
  EXPECT_EQ("en curso", Resultados().value(0));
  EXPECT_EQ(1, Cuenta("ALB_PROV"));
  EXPECT_EQ(0, Cuenta("FACT_PROV"));
  const QString albaran = Volcado();

  // Other content with the same delivery note: no resume, the note is there.
  const QString otro = In("envfradis0002.txt");
  Escribe(otro, Bytes(fichero) + "\r\n");
  op_.Limpia();
  EXPECT_EQ(Estado::FacturaNoCreada, Importa(facturas, otro).estado);
  EXPECT_TRUE(op_.Mensajes().contains("El albarán 12345 ya existe."));
  EXPECT_EQ(albaran, Volcado());

  op_.Limpia();
  EXPECT_EQ(Estado::Completa, Importa(facturas, fichero).estado)
      << op_.Transcripcion().toStdString();
  EXPECT_TRUE(op_.Informes().value(0).endsWith(" CORRECTO\r\n"));
  EXPECT_EQ(1, Cuenta("ALB_PROV"));
  EXPECT_EQ(1, Cuenta("FACT_PROV"));
  EXPECT_EQ(8, Cuenta("LIN_COMPRAS"));
  EXPECT_EQ(Estado::Rechazada, Importa(facturas, fichero).estado);
}

TEST(History, CommandLineKeepsEveryRunAndItsLog) {
  QTemporaryDir dir;
  ASSERT_EQ(0, Cli({"demo", dir.filePath("d")}).codigo);
  const QString logs = dir.filePath("logs");
  const QStringList base{"--settings-dir", dir.filePath("d/settings"), "--log-dir", logs};
  const auto fichero = [&](const ClaseFichero& c) {
    return dir.filePath("d/In/" + QString::fromLatin1(c.prefijo) + "0001.txt");
  };
  QDir().mkpath(logs);
  const auto simulada = Cli(base + QStringList{"import", "--simulate", "articulos",
                                               fichero(imports::ClasesFichero()[0])});
  EXPECT_EQ("Fichero resumen: " + QDir(logs).filePath("SIMULACION_ARTICULOS.LOG") + "\n",
            simulada.out);
  for (const ClaseFichero& c : imports::ClasesFichero())
    EXPECT_EQ(0, Cli(base + QStringList{"import", c.nombre, fichero(c)}).codigo) << c.nombre;
  const auto otra = Cli(base + QStringList{"import", "ean", fichero(imports::ClasesFichero()[1])});
  EXPECT_EQ(2, otra.codigo);
  EXPECT_TRUE(otra.err.endsWith("\nUse --force para importarlo de todos modos.\n"));

  const auto lista = Cli(base + QStringList{"history", "--company", "001", "--limit", "3"});
  const QStringList lineas = lista.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(3, lineas.size()) << lista.out.toStdString();
  const char* esperadas[] = {"ean vrceancto0001.txt rechazada",
                             "facturas envfradis0001.txt completa",
                             "ofertas vrcofecto0001.txt completa"};
  for (int i = 0; i < 3; ++i) {
    const QStringList col = lineas[i].simplified().split(' ');
    ASSERT_EQ(9, col.size()) << lineas[i].toStdString();  // the start is a date and a time
    EXPECT_EQ(QString::number(8 - i) + " 001 " + esperadas[i],
              col[0] + ' ' + QStringList(col.mid(3, 4)).join(' '));
    EXPECT_EQ(lineas[0].size(), lineas[i].size()) << "aligned columns";
  }
  EXPECT_EQ(1, Cli(base + QStringList{"history", "--kind", "articulos"}).out.count("simulada"));

  const auto muestra = Cli(base + QStringList{"history", "--show", "2"});
  EXPECT_TRUE(muestra.out.contains("Resultado: completa\n"));
  QFile real(QDir(logs).filePath("ARTICULOS.LOG"));
  ASSERT_TRUE(real.open(QIODevice::ReadOnly));
  EXPECT_TRUE(
      muestra.out.endsWith("\n\n" + QString::fromUtf8(real.readAll()).replace("\r\n", "\n")));
  EXPECT_EQ(2, Cli(base + QStringList{"history", "--show", "99"}).codigo);
}

}  // namespace
}  // namespace relvano::testing
