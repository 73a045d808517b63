#include "support/temp_db.h"

#include <gtest/gtest.h>

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <stdexcept>

#include "store/db/esquema.h"

namespace relvano::testing {

namespace {

// The tests on a server are skipped when no server was given.
class EntornoMotor : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qgetenv("RELVANO_TEST_MOTOR") == "postgresql" && qgetenv("RELVANO_TEST_SERVIDOR").isEmpty())
      GTEST_SKIP() << "RELVANO_TEST_SERVIDOR no dice qué servidor usar";
  }
};
[[maybe_unused]] const auto* const kEntorno = ::testing::AddGlobalTestEnvironment(new EntornoMotor);

}  // namespace

store::OpcionesConexion ConexionPrueba() {
  store::OpcionesConexion o;
  const QByteArray motor = qgetenv("RELVANO_TEST_MOTOR");
  if (motor == "postgresql") {
    static QAtomicInteger<int> contador;
    o.motor = store::Motor::Postgres;
    o.servidor = QString::fromUtf8(qgetenv("RELVANO_TEST_SERVIDOR"));
    o.prefijo = QStringLiteral("t%1_%2_")
                    .arg(QCoreApplication::applicationPid())
                    .arg(contador.fetchAndAddRelaxed(1));
  } else if (motor == "odbc") {
    o.motor = store::Motor::Odbc;
    o.conexionOdbc = QStringLiteral("Driver=SQLite3;Database={ruta}");
  }
  return o;
}

void BorraDelServidor(const QString& ruta, const store::OpcionesConexion& opciones) {
  if (opciones.motor != store::Motor::Postgres) return;
  const QString conexion = QStringLiteral("pruebas-borrado");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
    db.setDatabaseName(QStringLiteral("postgres"));
    db.setConnectOptions(opciones.servidor);
    if (db.open()) {
      // The name is the test's own prefix and file name; DROP DATABASE takes no parameters.
      QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)")
                             .arg(store::NombreEnServidor(ruta, opciones)));
      db.close();
    }
  }
  QSqlDatabase::removeDatabase(conexion);
}

TempDb::TempDb(const QStringList& esquemas, const QString& nombre)
    : ruta_(dir_.filePath(nombre)), opciones_(ConexionPrueba()) {
  QString error;
  if (!store::CreaBaseDatos(ruta_, esquemas, opciones_, &error))
    throw std::runtime_error(error.toStdString());
  db_ = store::Database::Abrir(ruta_, opciones_, &error);
  if (!db_) throw std::runtime_error(error.toStdString());
}

TempDb::~TempDb() {
  db_.reset();
  BorraDelServidor(ruta_, opciones_);
}

}  // namespace relvano::testing
