#pragma once

// The shared ground of the tests: a company over one store database, an installation in
// a folder as the shops have it, rows of a query as text, and the expected texts kept
// under tests/golden.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "base/operador.h"
#include "store/db/database.h"
#include "store/empresa.h"
#include "support/ajustes_memoria.h"
#include "support/impresion.h"
#include "support/recording_operator.h"
#include "support/reloj_fijo.h"
#include "support/temp_db.h"

namespace relvano::testing {

// The columns `cols` of every row of `sql`, as "COL=value ..." (values as Valor::describe),
// one line per row.
QString Filas(store::Database& db, const QString& sql, const QStringList& cols,
              const std::vector<Valor>& parametros = {});

// Every row of every table of `db` as text, tables by name and rows sorted, so that two
// states of a database can be compared whole (a simulation must leave it unchanged).
QString VolcadoBaseDatos(store::Database& db);

// The text of tests/golden/<nombre>, byte for byte (UTF-8, line ends as stored).
QString Golden(const QString& nombre);

// The cases of the table tests/golden/<nombre>: one a line, fields split by " | ", with
// "\r", "\n", "\t" and "\xNN" (the character NN of Latin-1) written as escapes; empty lines and
// lines that begin with "#" left out.
std::vector<QStringList> Casos(const QString& nombre);

// A value written as Valor::Describe writes it: Null, "text", 2012-07-15, true, or a number.
Valor ValorDe(const QString& texto);

// Writes `lineas` to `ruta`, each ended by CR LF as the chain writes its files.
QString EscribeLineas(const QString& ruta, const QStringList& lineas);

// The company "001", working in euros in the year 2012, whose every database handle is
// one temporary database built from `esquemas`, and whose today is `hoy`.
struct Tienda {
  explicit Tienda(const QStringList& esquemas = {QStringLiteral("tienda")},
                  QDate hoy = QDate(2012, 7, 15));
  store::Database& db() { return t.db(); }
  QString Filas(const QString& sql, const QStringList& cols, const std::vector<Valor>& p = {}) {
    return relvano::testing::Filas(db(), sql, cols, p);
  }
  TempDb t;
  RelojFijo reloj;
  store::Empresa e;
  RecordingOperator op;
};

// An installation in a temporary folder: BDD/ with the general database (GENERAL.MDB) and
// the companies' databases, In/ for chain files, logs/ for run logs, and the settings.
class Instalacion {
 public:
  Instalacion();
  ~Instalacion();
  std::shared_ptr<store::Database> Crea(const QString& nombre, const QStringList& esquemas);
  // Lists `codigo` in the general database `general`.
  void Lista(const QString& codigo, const QString& divisa = QStringLiteral("EURO"));
  // A listed company with its accounting (CNT<code><anyo>) and store (CMC<code>00) databases.
  void Empresa(const QString& codigo, bool contable = true, bool tienda = true,
               const QString& anyo = QStringLiteral("00"));
  QString Ruta(const QString& nombre) const { return bdd + u'/' + nombre; }
  QString Fichero(const QString& nombre, const QStringList& lineas) {
    return EscribeLineas(entrada + u'/' + nombre, lineas);
  }
  // "CODE DESCRIPTION" of each article of a company's store database, by code.
  QStringList Articulos(const QString& empresa);

  QTemporaryDir dir;
  QString bdd, entrada, logs;
  store::OpcionesConexion conexion = ConexionPrueba();
  QStringList creadas;
  std::shared_ptr<store::Database> general;
  AjustesEnMemoria ajustes;
  RecordingOperator operador;
  RelojFijo reloj{QDate(2012, 8, 1)};
};

// Records every call and asks to stop once line `pararEn` has been read.
class ParaEnLinea : public Progreso {
 public:
  struct Llamada {
    qint64 leidos, total;
    int lineas;
  };
  explicit ParaEnLinea(int pararEn = -1) : pararEn_(pararEn) {}
  bool Avance(qint64 leidos, qint64 total, int lineas) override {
    llamadas.push_back({leidos, total, lineas});
    return lineas != pararEn_;
  }
  std::vector<Llamada> llamadas;

 private:
  int pararEn_;
};

}  // namespace relvano::testing
