// Statements on the server's own client connection. Qt's driver sends every run as an
// EXECUTE whose values it writes into the text (each one formatted through a field of
// its own), reads the rows one result at a time, and rebuilds the description of the
// columns on every run: for a file's lines, which run the same few statements thousands
// of times, the program spent more time there than in its own work. Here a statement is
// prepared once on the server and each run sends its values as parameters of their own.
// The connection is Qt's (opened, configured and closed by the driver: UTF-8, ISO dates,
// UTC), so both see the same session and transaction; values reach the server as the
// driver's would have and columns come back as the driver would have read them.
#include "store/db/sentencia.h"

#ifndef RELVANO_PG_DIRECTO

namespace relvano::store {
// Built without it: the driver's statements.
std::unique_ptr<Sentencia> PreparaPostgres(QSqlDatabase& db, const QString& sql, QSqlError* error) {
  return PreparaConDriver(db, sql, error);
}
}  // namespace relvano::store

#else

#include <dlfcn.h>
#include <libpq-fe.h>

#include <QAtomicInteger>
#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QTime>
#include <QTimeZone>
#include <cmath>
#include <cstdlib>

namespace relvano::store {

namespace {

// The driver's words for its failures, kept so that a failed statement reads the same.
const QString kNoPrepara = QStringLiteral("QPSQL: Unable to prepare statement");
const QString kNoCrea = QStringLiteral("QPSQL: Unable to create query");
const QString kNoEnvia = QStringLiteral("QPSQL: Unable to send query");

// The server's type numbers the driver reads by (its catalogue's own, fixed for good).
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kRegproc = 24;
constexpr Oid kXid = 28, kCid = 29, kFloat4 = 700, kFloat8 = 701, kAbstime = 702;
constexpr Oid kReltime = 703, kDate = 1082, kTime = 1083, kTimestamp = 1114;
constexpr Oid kTimestampTz = 1184, kTimeTz = 1266, kVoid = 2278, kNumeric = 1700;

// The type of a column's values as the driver gives them.
QMetaType TipoColumna(Oid tipo) {
  switch (tipo) {
    case kBool:
      return QMetaType::fromType<bool>();
    case kInt8:
      return QMetaType::fromType<qlonglong>();
    case kInt2:
    case kInt4:
    case kVoid:  // the driver's number for "oid"
    case kRegproc:
    case kXid:
    case kCid:
      return QMetaType::fromType<int>();
    case kNumeric:
    case kFloat4:
    case kFloat8:
      return QMetaType::fromType<double>();
    case kAbstime:
    case kReltime:
    case kDate:
      return QMetaType::fromType<QDate>();
    case kTime:
    case kTimeTz:
      return QMetaType::fromType<QTime>();
    case kTimestamp:
    case kTimestampTz:
      return QMetaType::fromType<QDateTime>();
    case kBytea:
      return QMetaType::fromType<QByteArray>();
    default:
      return QMetaType::fromType<QString>();
  }
}

// A number as the server writes one: NaN and the infinities by name.
QVariant Decimal(const char* texto) {
  char* fin = nullptr;
  const double d = std::strtod(texto, &fin);
  if (fin != texto && *fin == '\0') return d;
  if (qstricmp(texto, "NaN") == 0) return qQNaN();
  if (qstricmp(texto, "Infinity") == 0) return qInf();
  if (qstricmp(texto, "-Infinity") == 0) return -qInf();
  return {};
}

// A timestamp in UTC (the session's zone), or with the offset the server wrote.
QVariant Momento(const char* texto) {
  const QLatin1StringView t(texto);
  const auto hora = t.size() > 11 ? t.sliced(11) : QLatin1StringView();
  if (hora.contains(u'-') || hora.contains(u'+') || hora.endsWith(u'Z'))
    return QDateTime::fromString(t, Qt::ISODate);
  return QDateTime::fromString(t.toString() + u'Z', Qt::ISODate);
}

// Column value `texto` of a column of type `tipo`, as the driver reads it.
QVariant LeeValor(Oid tipo, const char* texto, int longitud) {
  const QMetaType meta = TipoColumna(tipo);
  switch (meta.id()) {
    case QMetaType::Bool:
      return QVariant(texto[0] == 't');
    case QMetaType::LongLong:
      // The driver reads one not negative as unsigned.
      if (texto[0] == '-') return QVariant::fromValue<qlonglong>(std::strtoll(texto, nullptr, 10));
      return QVariant::fromValue<qulonglong>(std::strtoull(texto, nullptr, 10));
    case QMetaType::Int:
      return std::atoi(texto);
    case QMetaType::Double:
      return Decimal(texto);
    case QMetaType::QDate:
      return QDate::fromString(QLatin1StringView(texto), Qt::ISODate);
    case QMetaType::QTime:
      return QTime::fromString(QLatin1StringView(texto), Qt::ISODate);
    case QMetaType::QDateTime:
      return Momento(texto);
    case QMetaType::QByteArray: {
      size_t n = 0;
      unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(texto), &n);
      QByteArray r(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(n));
      PQfreemem(bytes);
      return r;
    }
    default:
      return QString::fromUtf8(texto, longitud);
  }
}

// True when the driver sends `v` as NULL: no value, or a null text, bytes or date.
bool EsNulo(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return true;
  switch (v.typeId()) {
    case QMetaType::QString:
      return static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray:
      return static_cast<const QByteArray*>(v.constData())->isNull();
    case QMetaType::QDate:
      return !static_cast<const QDate*>(v.constData())->isValid();
    case QMetaType::QTime:
      return !static_cast<const QTime*>(v.constData())->isValid();
    case QMetaType::QDateTime:
      return !static_cast<const QDateTime*>(v.constData())->isValid();
    default:
      return false;
  }
}

// A number not whole, as the server reads what the driver wrote: in full, in plain
// decimals (a text parameter receives the digits, not an exponent), and rounded half
// away from zero where the parameter is a whole number.
QByteArray TextoDecimal(double d, Oid tipo) {
  if (std::isnan(d)) return QByteArrayLiteral("NaN");
  if (std::isinf(d)) return d < 0 ? QByteArrayLiteral("-Infinity") : QByteArrayLiteral("Infinity");
  if ((tipo == kInt2 || tipo == kInt4 || tipo == kInt8) && std::abs(d) < 9.2e18)
    return QByteArray::number(static_cast<qlonglong>(std::round(d)));
  if (d == 0) return QByteArrayLiteral("0");  // the server's decimals have no -0
  return QString::number(d, 'f', QLocale::FloatingPointShortest).toLatin1();
}

// The text of parameter value `v` (not Null) for a parameter of type `tipo`.
QByteArray TextoParametro(const QVariant& v, Oid tipo) {
  switch (v.typeId()) {
    case QMetaType::Bool:
      return v.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
      return QByteArray::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
      return QByteArray::number(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
      return TextoDecimal(v.toDouble(), tipo);
    case QMetaType::QByteArray:
      return QByteArrayLiteral("\\x") + v.toByteArray().toHex();
    case QMetaType::QDate:
      return v.toDate().toString(Qt::ISODate).toLatin1();
    case QMetaType::QTime:
      return v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1();
    case QMetaType::QDateTime:
      return v.toDateTime().toUTC().toString(Qt::ISODateWithMs).toLatin1();
    default:
      return v.toString().toUtf8();
  }
}

// `sql` with each "?" outside quotes numbered as the server takes it ($1, $2, ...), and
// how many there are: the same places the driver's statements find.
QByteArray ConParametrosNumerados(const QString& sql, int* n) {
  return NombraParametros(
             sql, [](int i) -> QString { return u'$' + QString::number(i + 1); }, n)
      .toUtf8();
}

// The failure of the last command on `conexion`, as the driver words it: the server's
// message, and its SQLSTATE when there was a result to take it from.
QSqlError ErrorDe(PGconn* conexion, const QString& queHacia, const PGresult* resultado) {
  QString mensaje = QString::fromUtf8(PQerrorMessage(conexion));
  QString codigo;
  if (resultado) {
    codigo = QString::fromLatin1(PQresultErrorField(resultado, PG_DIAG_SQLSTATE));
    mensaje += u'(' + codigo + u')';
  }
  return QSqlError(queHacia, mensaje, QSqlError::StatementError, codigo);
}

class SentenciaPg final : public Sentencia {
 public:
  explicit SentenciaPg(PGconn* conexion) : conexion_(conexion) {
    static QAtomicInteger<quint64> contador;
    // The driver's own are "qpsqlpstmt_<n>": a name of another shape cannot meet them.
    nombre_ = "relvano_" + QByteArray::number(contador.fetchAndAddRelaxed(1) + 1);
  }
  ~SentenciaPg() override {
    PQclear(resultado_);
    // The server keeps a prepared statement as long as the session: freed while the
    // session can still take a command.
    const PGTransactionStatusType estado = PQtransactionStatus(conexion_);
    if (preparada_ && PQstatus(conexion_) == CONNECTION_OK &&
        (estado == PQTRANS_IDLE || estado == PQTRANS_INTRANS))
      PQclear(PQexec(conexion_, QByteArray("DEALLOCATE " + nombre_).constData()));
  }
  SentenciaPg(const SentenciaPg&) = delete;
  SentenciaPg& operator=(const SentenciaPg&) = delete;

  bool Prepara(const QString& sql);
  void Enlaza(int indice, const QVariant& valor) override;
  bool Ejecuta() override;
  QSqlError Error() const override { return error_; }
  bool Siguiente() override {
    if (!resultado_ || fila_ + 1 >= PQntuples(resultado_)) return false;
    ++fila_;
    return true;
  }
  QVariant Columna(int i) const override;
  int NumColumnas() const override { return resultado_ ? PQnfields(resultado_) : 0; }
  QString NombreColumna(int i) const override {
    return resultado_ ? QString::fromUtf8(PQfname(resultado_, i)) : QString();
  }
  int FilasCambiadas() const override { return cambiadas_; }
  // The dialect asks the server with RETURNING.
  QVariant UltimaIdentidad() const override { return {}; }
  void Termina() override {
    PQclear(resultado_);
    resultado_ = nullptr;
    fila_ = -1;
  }

 private:
  void Dimensiona(size_t n);  // places for `n` values

  PGconn* conexion_;
  QByteArray nombre_;
  bool preparada_ = false;
  std::vector<Oid> tipos_;            // each parameter's type, as the server took it
  std::vector<QVariant> enlazados_;   // what each parameter holds
  std::vector<QByteArray> textos_;    // its text as sent (unused when Null)
  std::vector<const char*> valores_;  // what is sent: each text, or null for Null
  std::vector<int> longitudes_;
  PGresult* resultado_ = nullptr;
  int fila_ = -1;
  int cambiadas_ = 0;
  QSqlError error_;
};

bool SentenciaPg::Prepara(const QString& sql) {
  int n = 0;
  const QByteArray texto = ConParametrosNumerados(sql, &n);
  PGresult* r = PQprepare(conexion_, nombre_.constData(), texto.constData(), 0, nullptr);
  if (PQresultStatus(r) != PGRES_COMMAND_OK) {
    error_ = ErrorDe(conexion_, kNoPrepara, r);
    PQclear(r);
    return false;
  }
  PQclear(r);
  preparada_ = true;
  // The types the server gave the parameters: a number is written for the type it meets.
  r = PQdescribePrepared(conexion_, nombre_.constData());
  if (PQresultStatus(r) != PGRES_COMMAND_OK) {
    error_ = ErrorDe(conexion_, kNoPrepara, r);
    PQclear(r);
    return false;
  }
  n = PQnparams(r);
  for (int i = 0; i < n; ++i) tipos_.push_back(PQparamtype(r, i));
  PQclear(r);
  Dimensiona(tipos_.size());
  return true;
}

void SentenciaPg::Enlaza(int indice, const QVariant& valor) {
  if (indice < 0) return;
  const auto i = static_cast<size_t>(indice);
  // More values than the statement has places for are sent all the same, for the server
  // to refuse the run; the next run sends the statement's own again.
  if (i >= enlazados_.size()) Dimensiona(i + 1);
  QVariant& antes = enlazados_[i];
  if (MismoEnlace(antes, valor)) return;
  antes = valor;
  if (EsNulo(valor)) {
    valores_[i] = nullptr;
    longitudes_[i] = 0;
    return;
  }
  textos_[i] = TextoParametro(valor, i < tipos_.size() ? tipos_[i] : 0);
  valores_[i] = textos_[i].constData();
  longitudes_[i] = static_cast<int>(textos_[i].size());
}

void SentenciaPg::Dimensiona(size_t n) {
  enlazados_.resize(n);
  textos_.resize(n);
  valores_.resize(n, nullptr);
  longitudes_.resize(n, 0);
  // The texts of the places kept did not move: only the vector of their addresses did.
}

bool SentenciaPg::Ejecuta() {
  Termina();
  cambiadas_ = 0;
  // What a statement of the driver left unread goes first, as the driver's next one does.
  while (PGresult* r = PQgetResult(conexion_)) PQclear(r);
  const int enviada =
      PQsendQueryPrepared(conexion_, nombre_.constData(), static_cast<int>(valores_.size()),
                          valores_.data(), longitudes_.data(), nullptr, 0);
  if (valores_.size() > tipos_.size()) Dimensiona(tipos_.size());
  if (!enviada) {
    error_ = ErrorDe(conexion_, kNoEnvia, nullptr);
    return false;
  }
  // The first result says how the run went: after a failure that ends the session, the
  // client library adds one of its own (the connection lost), without the server's code.
  resultado_ = PQgetResult(conexion_);
  const ExecStatusType estado = PQresultStatus(resultado_);
  const bool bien = resultado_ && (estado == PGRES_TUPLES_OK || estado == PGRES_COMMAND_OK);
  if (bien)
    cambiadas_ = std::atoi(PQcmdTuples(resultado_));
  else
    error_ = ErrorDe(conexion_, kNoCrea, resultado_);
  while (PGresult* r = PQgetResult(conexion_)) PQclear(r);
  if (!bien) Termina();
  return bien;
}

QVariant SentenciaPg::Columna(int i) const {
  if (!resultado_ || fila_ < 0 || i < 0 || i >= PQnfields(resultado_)) return {};
  const Oid tipo = PQftype(resultado_, i);
  if (PQgetisnull(resultado_, fila_, i)) return QVariant(TipoColumna(tipo));
  return LeeValor(tipo, PQgetvalue(resultado_, fila_, i), PQgetlength(resultado_, fila_, i));
}

// The client connection of `db`, when the client library this program links is the one
// Qt's driver runs it with (the same function is found from the driver's own module);
// else null.
PGconn* ConexionPropia(QSqlDatabase& db) {
  QSqlDriver* driver = db.driver();
  const QVariant h = driver ? driver->handle() : QVariant();
  // The driver names the type either way.
  const char* tipo = h.typeName();
  if (!tipo || (qstrcmp(tipo, "PGconn*") != 0 && qstrcmp(tipo, "pg_conn*") != 0)) return nullptr;
  // Asked once: the process loads one driver.
  static const bool misma = [driver] {
    Dl_info info{};
    // The driver's module is where its class's table of functions lies.
    if (!dladdr(*reinterpret_cast<void* const*>(driver), &info) || !info.dli_fname) return false;
    void* modulo = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!modulo) return false;
    const bool igual = dlsym(modulo, "PQlibVersion") == reinterpret_cast<void*>(&PQlibVersion);
    dlclose(modulo);
    return igual;
  }();
  return misma ? *static_cast<PGconn* const*>(h.constData()) : nullptr;
}

}  // namespace

std::unique_ptr<Sentencia> PreparaPostgres(QSqlDatabase& db, const QString& sql, QSqlError* error) {
  PGconn* conexion = ConexionPropia(db);
  if (!conexion) return PreparaConDriver(db, sql, error);
  return Preparada<SentenciaPg>(sql, error, conexion);
}

}  // namespace relvano::store

#endif  // RELVANO_PG_DIRECTO
