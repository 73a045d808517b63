// Statements on SQLite's own connection. Qt's driver rebuilds the description of a
// statement's columns on every run (a field per column and three look-ups each), binds
// every value again, and passes every text through UTF-16 both ways: for a file's lines,
// which run the same few statements thousands of times, that was as much work as the
// engine's own. The connection is Qt's (opened, configured and closed by the driver), so
// what a statement here writes, the driver's statements see, and the other way round;
// values go in and come out exactly as the driver would have bound and read them.
#include "base/utf8.h"
#include "store/db/sentencia.h"

#ifndef RELVANO_SQLITE_DIRECTO

namespace relvano::store {
// Built without it (Qt's driver has a SQLite of its own): the engine as the driver sets it.
void AjustaMotorSqlite() {}
// Built without it: the driver's statements.
std::unique_ptr<Sentencia> PreparaSqlite(QSqlDatabase& db, const QString& sql, QSqlError* error) {
  return PreparaConDriver(db, sql, error);
}
}  // namespace relvano::store

#else

#ifdef RELVANO_SQLITE_CAPTURA
// The engine's declarations of what it tells of each row it changes.
#define SQLITE_ENABLE_PREUPDATE_HOOK
#endif
#include <sqlite3.h>

#include <QSqlDriver>
#include <QSqlQuery>
#include <algorithm>
#include <cstring>
#include <optional>

namespace relvano::store {

namespace {

// The driver's words for its failures, kept so that a failed statement reads the same.
const QString kNoEjecuta = QStringLiteral("Unable to execute statement");
const QString kNoLee = QStringLiteral("Unable to fetch row");
const QString kVarias = QStringLiteral("Unable to execute multiple statements at a time");
const QString kNoEnlaza = QStringLiteral("Unable to bind parameters");

class SentenciaSqlite final : public Sentencia {
 public:
  explicit SentenciaSqlite(sqlite3* db) : db_(db) {}
  ~SentenciaSqlite() override { sqlite3_finalize(st_); }
  SentenciaSqlite(const SentenciaSqlite&) = delete;
  SentenciaSqlite& operator=(const SentenciaSqlite&) = delete;

  bool Prepara(const QString& sql) {
    const QByteArray texto = sql.toUtf8();
    const char* resto = nullptr;
    const int rc = sqlite3_prepare_v3(db_, texto.constData(), static_cast<int>(texto.size()),
                                      SQLITE_PREPARE_PERSISTENT, &st_, &resto);
    if (rc != SQLITE_OK) {
      error_ = ErrorDelMotor(kNoEjecuta, QSqlError::StatementError, rc);
      return false;
    }
    if (resto && !QByteArray(resto).trimmed().isEmpty()) {
      error_ = ErrorDelMotor(kVarias, QSqlError::StatementError, SQLITE_MISUSE);
      return false;
    }
    const int n = st_ ? sqlite3_bind_parameter_count(st_) : 0;
    textoLigado_.resize(static_cast<size_t>(n));
    textos_.resize(static_cast<size_t>(n));
    return true;
  }

  void Enlaza(int indice, const QVariant& valor) override {
    if (indice < 0 || indice >= static_cast<int>(textoLigado_.size())) {
      // More values than the statement has places for: refused when it runs.
      if (!errorEnlace_) errorEnlace_ = SQLITE_RANGE;
      return;
    }
    // A text bound again where the same text is bound is left as it is (the engine keeps
    // a binding until it is replaced); anything else costs the engine less to bind again
    // than a comparison through the variant.
    std::optional<QString>& ligado = textoLigado_[static_cast<size_t>(indice)];
    int rc = SQLITE_OK;
    if (valor.isNull()) {
      ligado.reset();
      rc = sqlite3_bind_null(st_, indice + 1);
    } else if (valor.typeId() == QMetaType::QString) {
      const QString& texto = *static_cast<const QString*>(valor.constData());
      if (ligado == texto) return;
      ligado = texto;
      rc = LigaTexto(indice, texto);
    } else {
      ligado.reset();
      rc = Liga(indice, valor);
    }
    if (rc != SQLITE_OK && !errorEnlace_) errorEnlace_ = rc;
  }

  // Numbers, booleans and nulls straight to the engine, as AParametro would have converted
  // them; texts and days through their variant, as Enlaza binds them.
  void EnlazaValor(int indice, const Valor& valor) override {
    if (indice < 0 || indice >= static_cast<int>(textoLigado_.size())) {
      Enlaza(indice, QVariant());  // refused when it runs
      return;
    }
    int rc = SQLITE_OK;
    switch (valor.TipoValor()) {
      case Valor::Tipo::Null:
        rc = sqlite3_bind_null(st_, indice + 1);
        break;
      case Valor::Tipo::Booleano:
        rc = sqlite3_bind_int(st_, indice + 1, valor.Booleano() ? 1 : 0);
        break;
      case Valor::Tipo::Numero: {
        const double n = valor.Numero();
        const auto entero = Database::Entero(n);
        rc = entero ? sqlite3_bind_int64(st_, indice + 1, *entero)
                    : sqlite3_bind_double(st_, indice + 1, n);
        break;
      }
      case Valor::Tipo::Fecha: {
        // The stored day, into the parameter's buffer (left alone for a day the engine
        // gets as the driver writes it: what it holds may be bound still).
        char dia[10];
        if (!Database::EscribeDia(valor.Fecha(), dia)) {
          Enlaza(indice, Database::AParametro(valor));
          return;
        }
        QByteArray& bytes = textos_[static_cast<size_t>(indice)];
        if (!bytes.isDetached()) bytes = QByteArray();
        bytes.resize(10);
        std::copy_n(dia, 10, bytes.data());
        rc = sqlite3_bind_text(st_, indice + 1, bytes.constData(), 10, SQLITE_STATIC);
        break;
      }
      default:
        Enlaza(indice, Database::AParametro(valor));
        return;
    }
    textoLigado_[static_cast<size_t>(indice)].reset();
    if (rc != SQLITE_OK && !errorEnlace_) errorEnlace_ = rc;
  }

  bool Ejecuta() override {
#ifdef RELVANO_SQLITE_CAPTURA
    // Asked for this run only, whether it steps or not.
    CapturaFila* const captura = std::exchange(captura_, nullptr);
#else
    CapturaFila* const captura = nullptr;
#endif
    Termina();
    filaPendiente_ = false;
    if (errorEnlace_) {
      error_ = QSqlError(kNoEnlaza, QString::fromUtf8(sqlite3_errstr(errorEnlace_)),
                         QSqlError::StatementError, QString::number(errorEnlace_));
      errorEnlace_ = 0;
      // Bound again in full on the next run: which one failed is not known.
      for (auto& ligado : textoLigado_) ligado.reset();
      return false;
    }
    if (!st_) return true;  // a text with no statement in it
    const int rc = Paso(captura);
    if (rc == SQLITE_ROW) {
      activa_ = true;
      filaPendiente_ = true;
      return true;
    }
    if (rc == SQLITE_DONE) {
      cambiadas_ = sqlite3_changes(db_);
      sqlite3_reset(st_);
      return true;
    }
    error_ = ErrorDelMotor(kNoLee, QSqlError::ConnectionError, rc);
    sqlite3_reset(st_);
    return false;
  }

  QSqlError Error() const override { return error_; }

  bool Siguiente() override {
    if (filaPendiente_) {
      filaPendiente_ = false;
      return true;
    }
    if (!activa_) return false;
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) cambiadas_ = sqlite3_changes(db_);
    Termina();
    return false;
  }

  // A column read through its value, as the change capture reads the engine's values: one
  // conversion for both. The value is used at once, on the statement's own thread.
  QVariant Columna(int i) const override {
    if (!activa_ || i < 0 || i >= sqlite3_column_count(st_)) return {};
    return ValorDe(sqlite3_column_value(st_, i));
  }

#ifdef RELVANO_SQLITE_CAPTURA
  bool Captura(CapturaFila* captura) override {
    captura_ = captura;
    return true;
  }
#endif

  int NumColumnas() const override { return st_ ? sqlite3_column_count(st_) : 0; }
  QString NombreColumna(int i) const override {
    return QString::fromUtf8(sqlite3_column_name(st_, i)).remove(QLatin1Char('"'));
  }
  int FilasCambiadas() const override { return cambiadas_; }
  QVariant UltimaIdentidad() const override {
    const qint64 id = sqlite3_last_insert_rowid(db_);
    return id ? QVariant::fromValue<qlonglong>(id) : QVariant();
  }
  void Termina() override {
    if (activa_) sqlite3_reset(st_);
    activa_ = false;
    filaPendiente_ = false;
  }

 private:
  // A value the engine gives: a column read, or a row's value before or after a change.
  static QVariant ValorDe(sqlite3_value* v) {
    if (!v) return {};
    switch (sqlite3_value_type(v)) {
      case SQLITE_INTEGER:
        return QVariant::fromValue<qlonglong>(sqlite3_value_int64(v));
      case SQLITE_FLOAT:
        return sqlite3_value_double(v);
      case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
      case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
      default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    }
  }

  // The statement's first step, its changes told to `captura` (Captura) when there is one.
  int Paso([[maybe_unused]] CapturaFila* captura) {
#ifdef RELVANO_SQLITE_CAPTURA
    if (captura) {
      sqlite3_preupdate_hook(db_, &AnotaFila, captura);
      const int rc = sqlite3_step(st_);
      sqlite3_preupdate_hook(db_, nullptr, nullptr);
      return rc;
    }
#endif
    return sqlite3_step(st_);
  }

#ifdef RELVANO_SQLITE_CAPTURA
  // The engine's word, before each row it changes, that it changes it.
  static void AnotaFila(void* datos, sqlite3* db, int operacion, const char* base,
                        const char* tabla, sqlite3_int64, sqlite3_int64) {
    auto* c = static_cast<CapturaFila*>(datos);
    if (operacion != SQLITE_UPDATE || sqlite3_preupdate_depth(db) != 0 ||
        qstricmp(base, "main") != 0 || qstricmp(tabla, c->tabla.constData()) != 0)
      return;
    ++c->filas;
    c->antes.clear();
    c->despues.clear();
    if (sqlite3_preupdate_count(db) != c->columnas) {
      c->otra = true;
      return;
    }
    c->antes.reserve(c->posiciones.size());
    c->despues.reserve(c->posiciones.size());
    for (const int i : c->posiciones) {
      sqlite3_value* antes = nullptr;
      sqlite3_value* despues = nullptr;
      if (sqlite3_preupdate_old(db, i, &antes) != SQLITE_OK) antes = nullptr;
      if (sqlite3_preupdate_new(db, i, &despues) != SQLITE_OK) despues = nullptr;
      // A column the statement left as it was is told as two empty values, which compare
      // equal as the values themselves would: most columns are, and each value read costs.
      if (Mismo(antes, despues)) {
        c->antes.emplace_back();
        c->despues.emplace_back();
      } else {
        c->antes.push_back(ValorDe(antes));
        c->despues.push_back(ValorDe(despues));
      }
    }
  }

  // The same value: the same type, and the same number or the same bytes.
  static bool Mismo(sqlite3_value* a, sqlite3_value* b) {
    if (!a || !b) return false;
    const int tipo = sqlite3_value_type(a);
    if (tipo != sqlite3_value_type(b)) return false;
    switch (tipo) {
      case SQLITE_NULL:
        return true;
      case SQLITE_INTEGER:
        return sqlite3_value_int64(a) == sqlite3_value_int64(b);
      case SQLITE_FLOAT:
        return sqlite3_value_double(a) == sqlite3_value_double(b);
      case SQLITE_TEXT: {
        const unsigned char* x = sqlite3_value_text(a);
        const unsigned char* y = sqlite3_value_text(b);
        const int n = sqlite3_value_bytes(a);
        return n == sqlite3_value_bytes(b) && std::memcmp(x, y, static_cast<size_t>(n)) == 0;
      }
      default: {
        const void* x = sqlite3_value_blob(a);
        const void* y = sqlite3_value_blob(b);
        const int n = sqlite3_value_bytes(a);
        return n == sqlite3_value_bytes(b) &&
               (n == 0 || std::memcmp(x, y, static_cast<size_t>(n)) == 0);
      }
    }
  }

  CapturaFila* captura_ = nullptr;
#endif

  // Binds a value that is not Null as the driver would: whole numbers, numbers, booleans
  // as 1/0, bytes as a blob, everything else as its text (UTF-8: what the database keeps).
  int Liga(int indice, const QVariant& valor) {
    const int n = indice + 1;
    switch (valor.typeId()) {
      case QMetaType::Int:
        return sqlite3_bind_int(st_, n, *static_cast<const int*>(valor.constData()));
      case QMetaType::Bool:
        return sqlite3_bind_int(st_, n, *static_cast<const bool*>(valor.constData()) ? 1 : 0);
      case QMetaType::UInt:
        return sqlite3_bind_int64(st_, n, *static_cast<const uint*>(valor.constData()));
      case QMetaType::LongLong:
        return sqlite3_bind_int64(st_, n, *static_cast<const qlonglong*>(valor.constData()));
      case QMetaType::Double:
        return sqlite3_bind_double(st_, n, *static_cast<const double*>(valor.constData()));
      case QMetaType::QByteArray: {
        // The bytes stay with the parameter until it is bound again: the engine need not
        // copy them.
        QByteArray& bytes = textos_[static_cast<size_t>(indice)];
        bytes = *static_cast<const QByteArray*>(valor.constData());
        return sqlite3_bind_blob(st_, n, bytes.constData(), static_cast<int>(bytes.size()),
                                 SQLITE_STATIC);
      }
      default:
        return LigaTexto(indice, valor.toString());
    }
  }

  // `texto` in UTF-8 into the parameter's bytes, in the buffer they already have: most
  // values of a file's lines are short texts bound one after another at the same place,
  // and a new buffer for each cost more than the conversion. The bytes stay with the
  // parameter until it is bound again: the engine need not copy them.
  int LigaTexto(int indice, const QString& texto) {
    QByteArray& bytes = textos_[static_cast<size_t>(indice)];
    const qsizetype n = texto.size();
    if (!bytes.isDetached() || bytes.capacity() < 3 * n) {
      // A buffer of its own (a blob's bytes are shared with the value they came from).
      bytes = QByteArray();
      bytes.reserve(std::max<qsizetype>(3 * n, 64));
    }
    bytes.resize(0);
    AnadeUtf8(bytes, texto);
    return sqlite3_bind_text(st_, indice + 1, bytes.constData(), static_cast<int>(bytes.size()),
                             SQLITE_STATIC);
  }

  QSqlError ErrorDelMotor(const QString& queHacia, QSqlError::ErrorType tipo, int codigo) const {
    return QSqlError(queHacia, QString::fromUtf8(sqlite3_errmsg(db_)), tipo,
                     QString::number(codigo));
  }

  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
  std::vector<std::optional<QString> > textoLigado_;  // the text each parameter holds, if one
  std::vector<QByteArray> textos_;  // the bytes a text or blob parameter points at
  int errorEnlace_ = 0;
  bool activa_ = false;         // a run whose rows are being read
  bool filaPendiente_ = false;  // its first row, stepped to by Ejecuta, not yet read
  int cambiadas_ = 0;
  QSqlError error_;
};

// The connection of `db`, when the library this program links is the one Qt's driver
// opened it with (the same version answers through both); else null.
sqlite3* ConexionPropia(QSqlDatabase& db) {
  const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
  if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
  // Asked once: the process loads one driver, built against one library.
  static const bool misma = [&db] {
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT sqlite_version()")) && q.next() &&
           q.value(0).toString() == QString::fromLatin1(sqlite3_libversion());
  }();
  return misma ? *static_cast<sqlite3* const*>(h.data()) : nullptr;
}

}  // namespace

void AjustaMotorSqlite() {
  // Refused (and harmless) once the engine has started: a connection opened before, by
  // this program or by a library in the same process, keeps the engine as it is.
  static const bool ajustado = [] {
    sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)ajustado;
}

std::unique_ptr<Sentencia> PreparaSqlite(QSqlDatabase& db, const QString& sql, QSqlError* error) {
  sqlite3* conexion = ConexionPropia(db);
  if (!conexion) return PreparaConDriver(db, sql, error);
  return Preparada<SentenciaSqlite>(sql, error, conexion);
}

}  // namespace relvano::store

#endif  // RELVANO_SQLITE_DIRECTO
