#pragma once
// Shared ground of the import tests: a store database, a log folder, a fixed "today",
// chain files written from lines, and the run driven headless as the command line does.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

#include "app/importacion.h"
#include "store/db/database.h"
#include "store/db/recordset.h"
#include "store/empresa.h"
#include "support/recording_operator.h"
#include "support/volcado.h"
#include "support/temp_db.h"
#include "support/reloj_fijo.h"

// Readable failures for QString comparisons.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace relvano::testing {

inline const QString kIde =
    QStringLiteral("IDE|000000001|000001|001|NORVIA TIENDAS|2012-07-15|10:00:00|000001|000001|");
inline const QString kCrLf = QStringLiteral("\r\n");

// One chain file line from its fields: every field followed by "|".
inline QString Linea(const QStringList& campos) { return campos.join(u'|') + u'|'; }

class ImportFixture : public ::testing::Test {
 protected:
  ImportFixture() : reloj_(QDate(2012, 8, 1)) {
    empresa_.IdEmpresa = QStringLiteral("001");
    empresa_.BddTienda = t_.compartida();
    empresa_.Abierta = true;
    empresa_.BddComercial = t_.compartida();
    empresa_.reloj = &reloj_;
  }

  store::Database& db() { return t_.db(); }

  QString Escribe(const QString& nombre, const QStringList& lineas) {
    const QString ruta = QDir(entrada_.path()).filePath(nombre);
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((lineas.join(kCrLf) + kCrLf).toUtf8());
    return ruta;
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
    return ImportaFichero(empresa_, o, operador_);
  }

  QString RutaLog(const QString& nombre) const { return QDir(logs_.path()).filePath(nombre); }

  QString LeeLog(const QString& nombre) const {
    QFile f(RutaLog(nombre));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no log>");
    return QString::fromUtf8(f.readAll());
  }

  // The log's lines between "Abriendo fichero" and the end, one text per write.
  QString Cuerpo(const QString& nombre) const {
    const QString log = LeeLog(nombre);
    const QString cabecera = QStringLiteral("Abriendo fichero: ") + RutaLog(nombre) + kCrLf + kCrLf;
    EXPECT_TRUE(log.startsWith(cabecera)) << log.toStdString();
    return log.mid(cabecera.size());
  }

  // Every row of every table, in key order, as text: compares databases whole.
  QString Volcado() { return VolcadoBaseDatos(db()); }

  // The first row of a query as "COL=value ..." (values as Valor::describe), or "<none>".
  QString Fila(const QString& sql, const std::vector<Valor>& p, const QStringList& columnas) {
    auto rs = db().AbrirRecordset(sql, p);
    if (!rs.HayRegistros()) return QStringLiteral("<none>");
    QStringList out;
    for (const auto& c : columnas) out << c + u'=' + rs[c].Describe();
    return out.join(u' ');
  }

  Valor Escalar(const QString& sql, const std::vector<Valor>& p = {}) {
    return db().Escalar(sql, p);
  }

  TempDb t_;
  QTemporaryDir entrada_;
  QTemporaryDir logs_;
  RelojFijo reloj_;
  store::Empresa empresa_;
  RecordingOperator operador_;
};

}  // namespace relvano::testing
