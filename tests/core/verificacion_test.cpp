// The checks before a run (the kind of file, the same content twice, an older file), the
// run history, and the invoice resumed after a run stopped between its two units: on the
// demo installation, as the shops run it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>

#include "app/arranque.h"
#include "app/historial.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "demo/demo.h"
#include "support/cli.h"
#include "support/recording_operator.h"
#include "support/volcado.h"

namespace relvano {
namespace {

using imports::ClaseFichero;
using Estado = ResultadoImportacion::Estado;

QString Lee(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

void Escribe(const QString& ruta, const QByteArray& bytes) {
  QFile f(ruta);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray Bytes(const QString& ruta) {
  QFile f(ruta);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FileChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(CreaDemo(dir_.path(), &error)) << error.toStdString();
    ajustes_ = std::make_unique<IniSettingsStore>(dir_.filePath("settings"));
    programa_ = std::make_unique<Programa>(*ajustes_, operador_);
    ASSERT_EQ(Programa::Resultado::Hecho, programa_->CargaEmpresas());
    QDir().mkpath(Logs());
  }

  QString Logs() const { return dir_.filePath("logs"); }
  QString In(const QString& nombre) const { return dir_.filePath("In/" + nombre); }
  QString Demo(const ClaseFichero& c) const {
    return In(QString::fromLatin1(c.prefijo) + "0001.txt");
  }
  QString Volcado() { return testing::VolcadoBaseDatos(*programa_->Empresa().BddTienda); }
  int Cuenta(const char* tabla) {
    return static_cast<int>(programa_->Empresa()
                                .BddTienda->Escalar(QStringLiteral("SELECT COUNT(*) FROM ") + tabla)
                                .Numero());
  }

  ResultadoImportacion Importa(imports::OpcionImportacion k, const QString& ruta,
                               bool forzar = false, Operador* operador = nullptr) {
    OpcionesImportacion o;
    o.opcion = k;
    o.fichero = ruta;
    o.nombreFicheroImportado = QFileInfo(ruta).fileName();
    o.carpetaLogs = Logs();
    o.carpetaHistorial = Logs();
    o.preguntar = false;
    o.forzar = forzar;
    return ImportaFichero(programa_->Empresa(), o, operador ? *operador : operador_);
  }

  std::vector<EjecucionHistorial> Historia() {
    QString error;
    auto h = Historial::Abre(Logs(), &error);
    EXPECT_TRUE(h) << error.toStdString();
    return h ? h->Lista({}) : std::vector<EjecucionHistorial>{};
  }

  QTemporaryDir dir_;
  testing::RecordingOperator operador_;
  std::unique_ptr<IniSettingsStore> ajustes_;
  std::unique_ptr<Programa> programa_;
};

TEST_F(FileChecks, EachDemoFileImportsAsItsKindAndEveryOtherKindRefusesIt) {
  for (const ClaseFichero& del : imports::ClasesFichero()) {
    const QString fichero = Demo(del);
    for (const ClaseFichero& como : imports::ClasesFichero()) {
      if (como.opcion == del.opcion) continue;
      const QString antes = Volcado();
      const QString log = QDir(Logs()).filePath(QString::fromLatin1(como.log));
      const QString logAntes = Lee(log);
      operador_.Limpia();
      // Not even --force applies a file whose lines are of another kind.
      const auto r = Importa(como.opcion, fichero, /*forzar=*/true);
      EXPECT_EQ(Estado::Rechazada, r.estado) << del.nombre << " as " << como.nombre;
      EXPECT_FALSE(r.forzable);
      EXPECT_EQ(
          QStringLiteral("Mensaje[stop]: El fichero %1 parece de %2, no de %3. No se ha importado "
                         "nada.\n")
              .arg(QFileInfo(fichero).fileName(), QString::fromUtf8(del.titulo),
                   QString::fromUtf8(como.titulo)),
          operador_.Transcripcion());
      EXPECT_EQ(antes, Volcado()) << del.nombre << " as " << como.nombre;
      EXPECT_EQ(logAntes, Lee(log)) << "no log written";
    }
    EXPECT_EQ(Estado::Completa, Importa(del.opcion, fichero).estado) << del.nombre;
  }
  const auto historia = Historia();
  ASSERT_EQ(36u, historia.size());
  EXPECT_EQ("completa", historia.front().resultado);
  EXPECT_EQ("facturas", historia.front().clase);
  EXPECT_EQ("rechazada", historia[1].resultado);
}

TEST_F(FileChecks, EmptyForeignMisnamedAndUnknownShapes) {
  const QString ean =
      QString::fromLatin1(Bytes(Demo(imports::Clase(imports::OpcionImportacion::Ean))));
  struct Caso {
    const char* nombre;
    QByteArray contenido;
    QString mensaje;  // empty: imported
    bool forzable;
  };
  const Caso casos[] = {
      {"vrceancto1.txt", "", "El fichero vrceancto1.txt está vacío.", false},
      {"vrceancto2.txt", "\r\n  \r\n", "El fichero vrceancto2.txt está vacío.", false},
      {"vrceancto3.txt",
       QByteArray("\x7f"
                  "ELF\x02\x01\x00\x00|x",
                  10),
       "El fichero vrceancto3.txt no es un fichero de la cadena.", false},
      {"VRCREFCTO4.TXT", ean.toLatin1(),
       "El nombre del fichero VRCREFCTO4.TXT es de Variaciones de referencias, no de "
       "Variaciones de EANs. ¿Desea importarlo de todos modos?",
       true},
      // A layout the chain extended with a trailing field fits no kind: accepted.
      {"vrceancto5.txt", "IDE|1|2|3|4|2026-11-30|\r\nDET|A|8412345000999|1000011|R|00000|X|\r\n",
       "", false},
  };
  for (const Caso& c : casos) {
    const QString ruta = In(QString::fromLatin1(c.nombre));
    Escribe(ruta, c.contenido);
    operador_.Limpia();
    const QString antes = Volcado();
    const auto r = Importa(imports::OpcionImportacion::Ean, ruta);
    if (c.mensaje.isEmpty()) {
      EXPECT_EQ(Estado::Completa, r.estado) << c.nombre << operador_.Transcripcion().toStdString();
      continue;
    }
    EXPECT_EQ(Estado::Rechazada, r.estado) << c.nombre;
    EXPECT_EQ(c.forzable, r.forzable) << c.nombre;
    EXPECT_EQ(QStringList{c.mensaje}, operador_.Mensajes()) << c.nombre;
    EXPECT_EQ(antes, Volcado()) << c.nombre;
    if (c.forzable) {
      EXPECT_EQ(Estado::Completa, Importa(imports::OpcionImportacion::Ean, ruta, true).estado);
    }
  }
}

TEST_F(FileChecks, SameContentTwiceAndOlderFilesAreRefusedUnlessForcedOrAccepted) {
  const auto coste = imports::OpcionImportacion::PreciosCoste;
  const QString fichero = Demo(imports::Clase(coste));
  ASSERT_EQ(Estado::Completa, Importa(coste, fichero).estado);

  operador_.Limpia();
  const QString antes = Volcado();
  const auto repetido = Importa(coste, fichero);
  EXPECT_EQ(Estado::Rechazada, repetido.estado);
  EXPECT_TRUE(repetido.forzable);
  ASSERT_EQ(1, operador_.Mensajes().size());
  EXPECT_TRUE(operador_.Mensajes()[0].contains(QRegularExpression(
      "^Este fichero ya se importó el \\d\\d/\\d\\d/\\d{4} a las \\d\\d:\\d\\d\\. "
      "¿Desea importarlo otra vez\\?$")))
      << operador_.Mensajes()[0].toStdString();
  EXPECT_EQ(antes, Volcado());
  EXPECT_EQ(Estado::Completa, Importa(coste, fichero, /*forzar=*/true).estado);

  // Last month's file after this month's: the window asks, No by default.
  const QString viejo = In("vrcmllcto0000.txt");
  Escribe(viejo, Bytes(fichero).replace("|2026-11-30|", "|2026-10-31|"));
  operador_.Limpia();
  operador_.Responde({true, false});
  const QString antesViejo = Volcado();
  OpcionesImportacion o;
  o.opcion = coste;
  o.fichero = viejo;
  o.carpetaLogs = o.carpetaHistorial = Logs();
  EXPECT_EQ(Estado::Rechazada, ImportaFichero(programa_->Empresa(), o, operador_).estado);
  EXPECT_EQ(QStringList({"¿Desea importar el fichero seleccionado?",
                         "El fichero vrcmllcto0000.txt es del 31/10/2026, anterior al último "
                         "fichero de Variaciones de Precios de Coste importado, del 30/11/2026: "
                         "aplicarlo pondría precios o datos más antiguos sobre los más nuevos. "
                         "¿Desea importarlo de todos modos?"}),
            operador_.Preguntas());
  EXPECT_TRUE(operador_.Mensajes().isEmpty());
  EXPECT_EQ(antesViejo, Volcado());
  EXPECT_EQ(Estado::Completa, Importa(coste, viejo, /*forzar=*/true).estado);
  // Kinds that only add rows have no date order.
  const auto ofertas = imports::OpcionImportacion::Ofertas;
  EXPECT_EQ(Estado::Completa, Importa(ofertas, Demo(imports::Clase(ofertas))).estado);

  QStringList resultados;
  for (const auto& e : Historia()) resultados << e.resultado;
  EXPECT_EQ(QStringList({"completa", "completa", "rechazada", "completa", "rechazada", "completa"}),
            resultados);
}

TEST_F(FileChecks, DamagedHistoryOnlyWarnsThatTheHistoryChecksWereNotMade) {
  Escribe(Historial::RutaBaseDatos(Logs()), QByteArray(4096, 'x'));
  const auto ean = imports::OpcionImportacion::Ean;
  EXPECT_EQ(Estado::Completa, Importa(ean, Demo(imports::Clase(ean))).estado);
  ASSERT_FALSE(operador_.Mensajes().isEmpty());
  EXPECT_TRUE(operador_.Mensajes()[0].endsWith(
      "No se ha comprobado si el fichero ya se importó ni si es anterior al último importado."))
      << operador_.Mensajes()[0].toStdString();
}

// Stops the program while the totals check is shown, as a kill or a power cut would.
struct Corte {};
class OperadorCortado : public testing::RecordingOperator {
 public:
  void Informe(const QString&) override { throw Corte{}; }
};

TEST_F(FileChecks, InvoiceStoppedBetweenItsUnitsStaysEnCursoAndIsResumedOnce) {
  const auto facturas = imports::OpcionImportacion::Facturas;
  const QString fichero = Demo(imports::Clase(facturas));
  OperadorCortado cortado;
  EXPECT_THROW(Importa(facturas, fichero, false, &cortado), Corte);
  const auto cortada = Historia().front();
  EXPECT_EQ("en curso", cortada.resultado);
  EXPECT_EQ("12345", cortada.albaran);
  EXPECT_EQ(1, Cuenta("ALB_PROV"));
  EXPECT_EQ(0, Cuenta("FACT_PROV"));
  const QString albaran = Volcado();

  // Other content with the same delivery note: no resume, the note is there.
  const QString otro = In("envfradis0002.txt");
  Escribe(otro, Bytes(fichero) + "\r\n");
  operador_.Limpia();
  EXPECT_EQ(Estado::FacturaNoCreada, Importa(facturas, otro).estado);
  EXPECT_TRUE(operador_.Mensajes().contains("El albarán 12345 ya existe."))
      << operador_.Transcripcion().toStdString();
  EXPECT_EQ(albaran, Volcado());

  operador_.Limpia();
  EXPECT_EQ(Estado::Completa, Importa(facturas, fichero).estado)
      << operador_.Transcripcion().toStdString();
  ASSERT_EQ(1, operador_.Informes().size());
  EXPECT_TRUE(operador_.Informes()[0].endsWith(" CORRECTO\r\n"));
  EXPECT_EQ(1, Cuenta("ALB_PROV"));
  EXPECT_EQ(1, Cuenta("FACT_PROV"));
  EXPECT_EQ(8, Cuenta("LIN_COMPRAS"));
  EXPECT_EQ(Estado::Rechazada, Importa(facturas, fichero).estado);
}

TEST(History, CommandLineKeepsEveryRunAndItsLog) {
  using testing::Cli;
  QTemporaryDir dir;
  ASSERT_EQ(0, Cli({"demo", dir.filePath("d")}).codigo);
  const QString logs = dir.filePath("logs");
  QDir().mkpath(logs);
  const QStringList base{"--settings-dir", dir.filePath("d/settings"), "--log-dir", logs};
  const auto fichero = [&](const ClaseFichero& c) {
    return dir.filePath("d/In/" + QString::fromLatin1(c.prefijo) + "0001.txt");
  };
  const ClaseFichero& articulos = imports::ClasesFichero()[0];

  const auto simulada =
      Cli(base + QStringList{"import", "--simulate", "articulos", fichero(articulos)});
  EXPECT_EQ(0, simulada.codigo) << simulada.err.toStdString();
  EXPECT_EQ("Fichero resumen: " + QDir(logs).filePath("SIMULACION_ARTICULOS.LOG") + "\n",
            simulada.out);
  EXPECT_TRUE(Lee(QDir(logs).filePath("SIMULACION_BAJAS_vrcrefcto0001.txt.LOG"))
                  .startsWith("SIMULACIÓN: "));
  for (const ClaseFichero& c : imports::ClasesFichero()) {
    const auto r = Cli(base + QStringList{"import", c.nombre, fichero(c)});
    EXPECT_EQ(0, r.codigo) << c.nombre << r.err.toStdString();
  }
  const auto otra = Cli(base + QStringList{"import", "ean", fichero(imports::ClasesFichero()[1])});
  EXPECT_EQ(2, otra.codigo);
  EXPECT_TRUE(otra.out.isEmpty());
  EXPECT_TRUE(otra.err.contains(QRegularExpression(
      "Este fichero ya se importó el [0-9/]{10} a las [0-9:]{5}\\. ¿Desea importarlo otra "
      "vez\\?\nUse --force para importarlo de todos modos\\.\n$")))
      << otra.err.toStdString();

  const auto lista = Cli(base + QStringList{"history", "--company", "001", "--limit", "7"});
  ASSERT_EQ(0, lista.codigo) << lista.err.toStdString();
  const QStringList lineas = lista.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(7, lineas.size()) << lista.out.toStdString();
  const QStringList esperadas{
      "ean vrceancto0001.txt rechazada",        "facturas envfradis0001.txt completa",
      "ofertas vrcofecto0001.txt completa",     "precioventa vrcprccto0001.txt completa",
      "preciocoste vrcmllcto0001.txt completa", "ean vrceancto0001.txt completa",
      "articulos vrcrefcto0001.txt completa"};
  for (int i = 0; i < 7; ++i) {
    const QStringList col = lineas[i].simplified().split(' ');
    ASSERT_EQ(9, col.size()) << lineas[i].toStdString();  // the start is a date and a time
    EXPECT_EQ(QString::number(8 - i), col[0]);
    EXPECT_EQ("001", col[3]);
    EXPECT_EQ(esperadas[i], QStringList(col.mid(4, 3)).join(' '));
    EXPECT_EQ(lineas[0].size(), lineas[i].size()) << "aligned columns";
  }
  EXPECT_EQ(1, Cli(base + QStringList{"history", "--kind", "articulos"}).out.count("simulada"));
  EXPECT_EQ("", Cli(base + QStringList{"history", "--company", "DEM"}).out);

  const auto muestra = Cli(base + QStringList{"history", "--show", "2"});
  ASSERT_EQ(0, muestra.codigo) << muestra.err.toStdString();
  EXPECT_TRUE(muestra.out.contains("Resultado: completa\n"));
  const QString real = Lee(QDir(logs).filePath("ARTICULOS.LOG"));
  EXPECT_TRUE(muestra.out.endsWith("\n\n" + QString(real).replace("\r\n", "\n")));
  EXPECT_EQ(1, QDir(logs + "/historial").entryList({"*-ARTICULOS.LOG"}).size());
  EXPECT_EQ(2, Cli(base + QStringList{"history", "--show", "99"}).codigo);
}

}  // namespace
}  // namespace relvano
