#pragma once
// Shared ground of the import tests: a store database, a log folder, a fixed "today",
// chain files written from lines, and the run driven headless as the command line does.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/arranque.h"
#include "app/importacion.h"
#include "app/ini_settings.h"
#include "demo/demo.h"
#include "support/tienda.h"

namespace relvano::testing {

inline const QString kIde =
    QStringLiteral("IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|");
inline const QString kCrLf = QStringLiteral("\r\n");

// One chain file line from its fields: every field followed by "|".
inline QString Linea(const QStringList& campos) { return campos.join(u'|') + u'|'; }

// The rows of `tabla` (a table, perhaps with a WHERE clause).
inline int Cuenta(store::Database& db, const QString& tabla) {
  return static_cast<int>(db.Escalar(QStringLiteral("SELECT COUNT(*) FROM ") + tabla).Numero());
}

class ImportFixture : public ::testing::Test, public Tienda {
 protected:
  ImportFixture() : Tienda({QStringLiteral("tienda")}, QDate(2012, 8, 1)) {}

  QString Escribe(const QString& nombre, const QStringList& lineas) {
    return EscribeLineas(QDir(entrada_.path()).filePath(nombre), lineas);
  }

  OpcionesImportacion Opciones(OpcionImportacion opcion, const QString& ruta) {
    OpcionesImportacion o;
    o.opcion = opcion;
    o.fichero = ruta;
    o.nombreFicheroImportado = QFileInfo(ruta).fileName();
    o.carpetaLogs = logs_.path();
    o.preguntar = false;
    return o;
  }

  ResultadoImportacion Importa(OpcionImportacion opcion, const QString& nombre,
                               const QStringList& lineas, bool simular = false,
                               bool noBajas = false) {
    auto o = Opciones(opcion, Escribe(nombre, lineas));
    o.simular = simular;
    o.noActualizarBajas = noBajas;
    return ImportaFichero(e, o, op);
  }

  QString RutaLog(const QString& nombre) const { return QDir(logs_.path()).filePath(nombre); }

  QString LeeLog(const QString& nombre) const {
    QFile f(RutaLog(nombre));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no log>");
    return QString::fromUtf8(f.readAll());
  }

  // The log after its "Abriendo fichero" line and the blank line that follows it.
  QString Cuerpo(const QString& nombre) const {
    const QString log = LeeLog(nombre);
    const QString cabecera = QStringLiteral("Abriendo fichero: ") + RutaLog(nombre) + kCrLf + kCrLf;
    EXPECT_TRUE(log.startsWith(cabecera)) << log.toStdString();
    return log.mid(cabecera.size());
  }

  QString Volcado() { return VolcadoBaseDatos(db()); }
  int Cuenta(const QString& tabla) { return testing::Cuenta(db(), tabla); }

  QTemporaryDir entrada_;
  QTemporaryDir logs_;
};

// The demo installation as the shops run it, its company open; runs log under logs/ and
// keep their history there.
class DemoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(CreaDemo(dir_.path(), &error, QDate(2026, 11, 30), conexion_))
        << error.toStdString();
    ajustes_ = std::make_unique<IniSettingsStore>(dir_.filePath("settings"));
    programa_ = std::make_unique<Programa>(*ajustes_, arranque_, &reloj_);
    ASSERT_EQ(Programa::Resultado::Hecho, programa_->CargaEmpresas());
    QDir().mkpath(Logs());
  }
  ~DemoFixture() override {
    programa_.reset();
    for (const char* nombre :
         {"GENERAL.MDB", "CNT00100.MDB", "CMC00100.MDB", "RELVANO_HISTORIAL.sqlite"})
      BorraDelServidor(dir_.filePath(QStringLiteral("BDD/") + QLatin1String(nombre)), conexion_);
  }
  store::Database& db() { return *programa_->Empresa().BddTienda; }
  QString Logs() const { return dir_.filePath("logs"); }
  // The installation's history, taking in what `logs` (default: Logs()) held before.
  UbicacionHistorial Ubicacion(const QString& logs = {}) const {
    return UbicacionHistorial::De(programa_->RutaGeneral(), conexion_,
                                  logs.isEmpty() ? Logs() : logs);
  }
  QString In(const QString& nombre) const { return dir_.filePath("In/" + nombre); }
  QString Log(const QString& nombre) const {
    QFile f(QDir(Logs()).filePath(nombre));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : "<no log>";
  }
  QString Volcado() { return VolcadoBaseDatos(db()); }
  int Cuenta(const QString& tabla) { return testing::Cuenta(db(), tabla); }
  ResultadoImportacion Importa(OpcionImportacion k, const QString& ruta, bool forzar = false,
                               Operador* operador = nullptr, Progreso* progreso = nullptr) {
    OpcionesImportacion o;
    o.opcion = k;
    o.fichero = ruta;
    o.nombreFicheroImportado = QFileInfo(ruta).fileName();
    o.carpetaLogs = Logs();
    if (historial_) o.historial = Ubicacion();
    o.preguntar = false;
    o.forzar = forzar;
    return ImportaFichero(programa_->Empresa(), o, operador ? *operador : op_, progreso);
  }

  QTemporaryDir dir_;
  store::OpcionesConexion conexion_ = ConexionPrueba();
  bool historial_ = true;
  RelojFijo reloj_{QDate(2027, 1, 15)};
  RecordingOperator arranque_, op_;
  std::unique_ptr<IniSettingsStore> ajustes_;
  std::unique_ptr<Programa> programa_;
};

}  // namespace relvano::testing
