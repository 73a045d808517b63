// Undoing a run: what the run changed goes back, exactly, on every engine; rows changed
// since are left and listed; an invoice goes whole or not at all.

#include "app/deshacer.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "app/comprimido.h"
#include "imports/import_fixture.h"

namespace relvano::testing {
namespace {

using Estado = ResultadoDeshacer::Estado;
using imports::OpcionImportacion;

// A progress that cancels the run after a line.
class CortaTras final : public Progreso {
 public:
  explicit CortaTras(int linea) : linea_(linea) {}
  bool Avance(qint64, qint64, int lineas) override { return lineas < linea_; }

 private:
  int linea_;
};

class Deshacer : public DemoFixture {
 protected:
  ResultadoDeshacer Deshaz(qint64 id, bool forzar = false, bool simular = false) {
    OpcionesDeshacer o;
    o.id = id;
    o.forzar = forzar;
    o.simular = simular;
    o.carpetaLogs = Logs();
    o.historial = Ubicacion();
    return DeshazEjecucion(programa_->Empresa(), o, op_);
  }
  // Every table of the company's three databases. The engines' counters of the keys they
  // have given out are left aside: a key once given is never given again.
  QString Todo() {
    QString texto;
    for (const auto& bdd : {programa_->BddGeneral(), programa_->Empresa().BddContable,
                            programa_->Empresa().BddTienda})
      texto += VolcadoBaseDatos(*bdd);
    static const QRegularExpression contadores(
        QStringLiteral("SQLITE_SEQUENCE\n(?:[^\n]*;[^\n]*\n)*"));
    return texto.remove(contadores);
  }
  // Another program's connection to the store.
  std::shared_ptr<store::Database> Otra() {
    QString error;
    auto otra = store::Database::Abrir(programa_->Empresa().BddTienda->Ruta(), conexion_, &error);
    EXPECT_TRUE(otra) << error.toStdString();
    return otra;
  }
  // The first change run `id` made to `tabla` of the kind `tipo` (to `columna`, if given).
  store::CambioFila Cambio(qint64 id, const QString& tabla, store::CambioFila::Tipo tipo,
                           const QString& columna = {}) {
    QString error;
    auto historial = Historial::Abre(Ubicacion(), &error);
    for (const auto& grupo : historial->Cambios(id))
      for (const auto& c : grupo)
        if (c.tabla == tabla && c.tipo == tipo &&
            (columna.isEmpty() || c.columnas.contains(columna)))
          return c;
    ADD_FAILURE() << "no change of " << tabla.toStdString();
    return {};
  }
  void Aplica(OpcionImportacion k, const char* fichero) {
    ASSERT_EQ(ResultadoImportacion::Estado::Completa, Importa(k, In(fichero)).estado);
  }
};

// Each kind in the chain's order: the run undone leaves every table as before, the undo
// undone (a redo) leaves them as the run did, and the run is not undone twice.
TEST_F(Deshacer, EachKindUndoneAndRedoneExactly) {
  const struct {
    OpcionImportacion clase;
    const char* fichero;
  } casos[] = {
      {OpcionImportacion::Referencias, "vrcrefcto0001.txt"},
      {OpcionImportacion::Ean, "vrceancto0001.txt"},
      {OpcionImportacion::PreciosCoste, "vrcmllcto0001.txt"},
      {OpcionImportacion::PreciosVenta, "vrcprccto0001.txt"},
      {OpcionImportacion::Ofertas, "vrcofecto0001.txt"},
      {OpcionImportacion::Facturas, "envfradis0001.txt"},
  };
  for (const auto& caso : casos) {
    SCOPED_TRACE(caso.fichero);
    const QString antes = Todo();
    const ResultadoImportacion r = Importa(caso.clase, In(caso.fichero));
    ASSERT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
    const QString aplicado = Todo();
    ASSERT_NE(antes, aplicado);

    const ResultadoDeshacer u = Deshaz(r.idHistorial);
    ASSERT_EQ(Estado::Completa, u.estado) << u.motivo.toStdString();
    EXPECT_EQ(antes, Todo());
    EXPECT_TRUE(QFileInfo(u.rutaLog).fileName().startsWith(QLatin1String("DESHACER_")));
    EXPECT_EQ(Estado::Rechazada, Deshaz(r.idHistorial).estado);

    const ResultadoDeshacer rehecha = Deshaz(u.idHistorial);
    ASSERT_EQ(Estado::Completa, rehecha.estado) << rehecha.motivo.toStdString();
    EXPECT_EQ(aplicado, Todo());
  }
}

// A run cut after its third line and the re-run that applied the rest, each undone, newest
// first.
TEST_F(Deshacer, InterruptedRunAndItsReRun) {
  Aplica(OpcionImportacion::Referencias, "vrcrefcto0001.txt");
  const QString antes = Todo();
  CortaTras corta(3);
  const ResultadoImportacion cortada =
      Importa(OpcionImportacion::PreciosCoste, In("vrcmllcto0001.txt"), false, nullptr, &corta);
  ASSERT_EQ(ResultadoImportacion::Estado::Cancelada, cortada.estado);
  const ResultadoImportacion otra =
      Importa(OpcionImportacion::PreciosCoste, In("vrcmllcto0001.txt"));
  ASSERT_EQ(ResultadoImportacion::Estado::Completa, otra.estado);
  EXPECT_EQ(Estado::Completa, Deshaz(otra.idHistorial).estado);
  EXPECT_EQ(Estado::Completa, Deshaz(cortada.idHistorial).estado);
  EXPECT_EQ(antes, Todo());
}

// A price another program changed after the run is left and listed; --force puts it back.
TEST_F(Deshacer, RowChangedSinceLeftThenForced) {
  Aplica(OpcionImportacion::Referencias, "vrcrefcto0001.txt");
  const QString antes = Todo();
  const ResultadoImportacion r = Importa(OpcionImportacion::PreciosCoste, In("vrcmllcto0001.txt"));
  ASSERT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
  const store::CambioFila c =
      Cambio(r.idHistorial, QStringLiteral("ARTICULOS"), store::CambioFila::Tipo::Modificacion);
  const QString columna = c.columnas.value(0);
  const Valor codigo = store::Database::DesdeColumna(c.valoresClave.at(0));
  Otra()->Ejecuta(
      QStringLiteral("UPDATE ARTICULOS SET ") + columna + QStringLiteral(" = ? WHERE CODIGO = ?"),
      {Valor(123.45), codigo});

  const ResultadoDeshacer u = Deshaz(r.idHistorial);
  ASSERT_EQ(Estado::EnParte, u.estado) << u.motivo.toStdString();
  ASSERT_EQ(1, u.dejadas.size());
  EXPECT_TRUE(u.dejadas.front().contains(codigo.Texto())) << u.dejadas.front().toStdString();
  EXPECT_TRUE(Log(QStringLiteral("DESHACER_PRECIOCOSTE.LOG")).contains(u.dejadas.front()));
  EXPECT_EQ(123.45, db().Escalar(QStringLiteral("SELECT ") + columna +
                                     QStringLiteral(" FROM ARTICULOS WHERE CODIGO = ?"),
                                 {codigo})
                        .Numero());
  EXPECT_NE(antes, Todo());

  EXPECT_EQ(Estado::Rechazada, Deshaz(r.idHistorial).estado);  // in part: only with --force
  EXPECT_EQ(Estado::Completa, Deshaz(r.idHistorial, true).estado);
  EXPECT_EQ(antes, Todo());
}

// An invoice undone after others touched what it wrote: a till's sale is kept (the stock
// is given back by the bought quantity), a cost changed since is left, a changed
// instalment refuses the whole undo.
TEST_F(Deshacer, InvoiceAfterOthersChangedItsRows) {
  const struct {
    const char* nombre;
    const char* sql;  // run by another program after the invoice; ? is its first article
    Estado estado;
  } casos[] = {
      {"a till sells", "UPDATE ARTICULOS SET STOCKACTUAL = STOCKACTUAL - 2 WHERE CODIGO = ?",
       Estado::Completa},
      {"the cost edited", "UPDATE ARTICULOS SET COSTE = 9.5 WHERE CODIGO = ?", Estado::EnParte},
      {"an instalment paid", "UPDATE FACPR_DESGPAGCOB SET IMPORTE_RESTANTE = 0", Estado::Rechazada},
  };
  Aplica(OpcionImportacion::Referencias, "vrcrefcto0001.txt");
  for (const auto& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    const QString antes = Todo();
    const ResultadoImportacion r = Importa(OpcionImportacion::Facturas, In("envfradis0001.txt"));
    ASSERT_EQ(ResultadoImportacion::Estado::Completa, r.estado);
    // An article whose cost the invoice changed.
    const Valor articulo = store::Database::DesdeColumna(
        Cambio(r.idHistorial, QStringLiteral("ARTICULOS"), store::CambioFila::Tipo::Modificacion,
               QStringLiteral("COSTE"))
            .valoresClave.at(0));
    const QString sql = QString::fromLatin1(caso.sql);
    Otra()->Ejecuta(sql, sql.contains(u'?') ? std::vector<Valor>{articulo} : std::vector<Valor>{});
    const QString tocado = Todo();

    const ResultadoDeshacer u = Deshaz(r.idHistorial);
    ASSERT_EQ(caso.estado, u.estado) << u.motivo.toStdString();
    switch (caso.estado) {
      case Estado::Completa:
        // The sale's 2 units stay sold: given back, the store is as before.
        Otra()->Ejecuta(
            QStringLiteral("UPDATE ARTICULOS SET STOCKACTUAL = STOCKACTUAL + 2 WHERE CODIGO = ?"),
            {articulo});
        EXPECT_EQ(antes, Todo());
        break;
      case Estado::EnParte:
        ASSERT_EQ(1, u.dejadas.size());
        EXPECT_TRUE(u.dejadas.front().contains(QLatin1String("COSTE vale 9.5")))
            << u.dejadas.front().toStdString();
        EXPECT_EQ(Estado::Completa, Deshaz(r.idHistorial, true).estado);
        EXPECT_EQ(antes, Todo());
        break;
      default:
        EXPECT_EQ(tocado, Todo());
        EXPECT_TRUE(u.motivo.contains(QLatin1String("FACPR_DESGPAGCOB"))) << u.motivo.toStdString();
    }
  }
}

// Nothing to undo: a simulation, an unknown run; a simulated undo changes nothing and
// writes its own log.
TEST_F(Deshacer, NothingToUndoAndSimulation) {
  Aplica(OpcionImportacion::Referencias, "vrcrefcto0001.txt");
  OpcionesImportacion o;
  o.opcion = OpcionImportacion::Ean;
  o.fichero = In("vrceancto0001.txt");
  o.nombreFicheroImportado = QFileInfo(o.fichero).fileName();
  o.carpetaLogs = Logs();
  o.historial = Ubicacion();
  o.preguntar = false;
  o.simular = true;
  const ResultadoImportacion simulada = ImportaFichero(programa_->Empresa(), o, op_);
  EXPECT_EQ(Estado::Rechazada, Deshaz(simulada.idHistorial).estado);
  EXPECT_EQ(Estado::Rechazada, Deshaz(999).estado);

  const ResultadoImportacion r = Importa(OpcionImportacion::Ean, In("vrceancto0001.txt"));
  const QString aplicado = Todo();
  const ResultadoDeshacer s = Deshaz(r.idHistorial, false, true);
  EXPECT_EQ(Estado::Completa, s.estado);
  EXPECT_EQ(aplicado, Todo());
  EXPECT_TRUE(
      Log(QStringLiteral("SIMULACION_DESHACER_EAN.LOG")).contains(QLatin1String("SIMULACI")));
  EXPECT_EQ(Estado::Completa, Deshaz(r.idHistorial).estado);  // a simulation does not count
}

// Every kind of value a change holds comes back from the history as it was given (integers
// as the engine gives them back, qlonglong), and the names each group writes once are read
// back right, however the group's lists share them.
TEST_F(Deshacer, ChangesKeptAsTheyWereGiven) {
  using V = QVariant;
  const std::vector<std::pair<V, V>> valores{
      {V(), V()},
      {V(QString()), V(QString())},
      {V(QStringLiteral("")), V(QStringLiteral(""))},
      {V(QStringLiteral("AÑO 2012 · café €")), V(QStringLiteral("AÑO 2012 · café €"))},
      {V(QStringLiteral("0001234")), V(QStringLiteral("0001234"))},
      {V(-7), V(qlonglong{-7})},
      {V(4000000000u), V(qlonglong{4000000000})},
      {V(std::numeric_limits<qlonglong>::min()), V(std::numeric_limits<qlonglong>::min())},
      {V(-0.0), V(-0.0)},
      {V(1234.5678), V(1234.5678)},
      {V(true), V(true)},
      {V(QDate(2012, 7, 15)), V(QDate(2012, 7, 15))},
  };
  store::CambioFila c;
  c.tabla = QStringLiteral("ARTÍCULOS");
  c.clave = QStringList{QStringLiteral("ID")};
  c.columnas = QStringList{QStringLiteral("PVP"), QStringLiteral("AÑO"), QStringLiteral("ID")};
  c.despues = {V(1), V(), V()};
  std::vector<store::CambioFila> grupo;
  for (const auto& [dado, leido] : valores) {
    c.valoresClave = {dado};
    c.antes = {dado, V(), dado};
    grupo.push_back(c);  // the same lists, shared
    c.columnas = QStringList{QStringLiteral("ID"), QStringLiteral("AÑO")} << QStringLiteral("PVP");
    c.antes.pop_back();
    c.despues = {dado, dado, V(2)};
    c.tipo = store::CambioFila::Tipo::Baja;
    c.relativo = true;
    grupo.push_back(c);  // lists of their own
  }
  QString error;
  auto historial = Historial::Abre(Ubicacion(), &error);
  ASSERT_TRUE(historial) << error.toStdString();
  EjecucionHistorial e;
  e.inicio = QDateTime::currentDateTime();
  const qint64 id = historial->Anota(e);
  historial->GuardaCambios(id, 1, Historial::ComprimeCambios(grupo));
  // The same group as an earlier version kept it: zlib in Qt's layout.
  const QByteArray crudo = BytesDeTextoComprimido(Historial::ComprimeCambios(grupo));
  ASSERT_FALSE(crudo.isEmpty());
  historial->GuardaCambios(id, 2, QString::fromLatin1(qCompress(crudo, 1).toBase64()));

  const auto grupos = historial->Cambios(id);
  ASSERT_EQ(2u, grupos.size());
  for (const auto& leidos : grupos) {
    ASSERT_EQ(grupo.size(), leidos.size());
    for (size_t i = 0; i < grupo.size(); ++i) {
      const store::CambioFila& dado = grupo[i];
      const store::CambioFila& leido = leidos[i];
      EXPECT_EQ(dado.tipo, leido.tipo);
      EXPECT_EQ(dado.tabla, leido.tabla);
      EXPECT_EQ(dado.clave, leido.clave);
      EXPECT_EQ(dado.columnas, leido.columnas);
      EXPECT_EQ(dado.relativo, leido.relativo);
      const V& esperado = valores[i / 2].second;
      ASSERT_EQ(1u, leido.valoresClave.size());
      const V& v = leido.valoresClave[0];
      EXPECT_EQ(esperado.typeId(), v.typeId()) << i;
      EXPECT_EQ(esperado, v) << i;
      EXPECT_EQ(esperado.toString().isNull(), v.toString().isNull()) << i;
      if (esperado.typeId() == QMetaType::Double) {
        EXPECT_EQ(std::signbit(esperado.toDouble()), std::signbit(v.toDouble())) << i;
      }
      EXPECT_EQ(dado.antes.size(), leido.antes.size());
      EXPECT_EQ(dado.despues.size(), leido.despues.size());
    }
  }

  // A damaged group is refused, never read as no changes.
  const QString bueno = Historial::ComprimeCambios(grupo);
  for (const QString& danado :
       QStringList{bueno.left(bueno.size() / 2), bueno + QStringLiteral("AAAA"),
                   QStringLiteral("zstd:"), QStringLiteral("zstd:*no*"),
                   QString::fromLatin1(QByteArray("no es zlib").toBase64()), QString()}) {
    const qint64 otra = historial->Anota(e);
    historial->GuardaCambios(otra, 1, danado);
    EXPECT_THROW(historial->Cambios(otra), store::DbError) << danado.toStdString();
  }
}

TEST(TextoComprimido, EmptyAndLargeTextsComeBackAsTheyWentInEitherWay) {
  QByteArray grande;
  for (qint64 i = 0; grande.size() < 3'000'000; ++i)
    grande += QByteArray::number(i * 7919 % 100003);
  // Read back a block (128 KB) at a time: a text that fills its last block exactly too.
  const QByteArray bloques = grande.left(2 * 128 * 1024);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString ruta = dir.filePath(QStringLiteral("run.log"));
  for (const QByteArray& bytes : {QByteArray(""), QByteArray("AÑO\r\n"), grande, bloques}) {
    EXPECT_EQ(bytes, BytesDeTextoComprimido(TextoComprimido(bytes)));
    // A log file, compressed as it is read.
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(bytes.size(), f.write(bytes));
    f.close();
    const QByteArray deFichero = BytesDeTextoComprimido(TextoComprimidoDeFichero(ruta));
    EXPECT_EQ(bytes, deFichero);
    EXPECT_FALSE(deFichero.isNull());
    const QString anterior = QString::fromLatin1(qCompress(bytes, 1).toBase64());
    const QByteArray leido = BytesDeTextoComprimido(anterior);
    EXPECT_EQ(bytes, leido);
    EXPECT_FALSE(leido.isNull());
  }
  // No regular file there: nothing to keep.
  for (const QString& otra : {dir.path(), dir.filePath(QStringLiteral("missing.log")), QString()})
    EXPECT_TRUE(TextoComprimidoDeFichero(otra).isNull()) << otra.toStdString();
}

}  // namespace
}  // namespace relvano::testing
