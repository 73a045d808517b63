#include "store/db/database.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <utility>

#include "base/operador.h"
#include "store/db/dialecto.h"
#include "store/db/recordset.h"
#include "store/db/sentencia.h"

namespace relvano::store {

namespace {

QString NuevoNombreConexion() {
  // Qt keys connections by name; each Database needs its own. This counter only
  // makes names unique and holds no program state.
  static QAtomicInteger<quint64> contador;
  return QStringLiteral("relvano-%1").arg(contador.fetchAndAddRelaxed(1));
}

const QRegularExpression& PatronFecha() {
  static const QRegularExpression re(
      QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T]\d{2}:\d{2}(?::\d{2}(?:\.\d+)?)?)?$)"));
  return re;
}

// 'YYYY-MM-DD' of a date, written by hand: every date bound to a statement goes
// through here, and QDate's own formatting costs more than the statement's binding.
QString TextoIso(QDate f) {
  char16_t texto[10];
  if (!Database::EscribeDia(f, texto)) return f.toString(Qt::ISODate);
  return QString(reinterpret_cast<const QChar*>(texto), 10);
}

bool EsDigito(QChar c) { return c >= u'0' && c <= u'9'; }

// A stored date: 'YYYY-MM-DD', optionally followed by a time. The plain day is read
// by hand (it is what the program writes, and every text column read passes here);
// only a text with a time goes to the pattern.
std::optional<QDate> FechaAlmacenada(const QString& s) {
  if (s.size() < 10 || s.size() > 26 || s[4] != u'-' || s[7] != u'-') return std::nullopt;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!EsDigito(s[i])) return std::nullopt;
  if (s.size() > 10 && !PatronFecha().match(s).hasMatch()) return std::nullopt;
  const auto n = [&](int desde, int cuantos) {
    int v = 0;
    for (int i = desde; i < desde + cuantos; ++i) v = v * 10 + (s[i].unicode() - u'0');
    return v;
  };
  const QDate f(n(0, 4), n(5, 2), n(8, 2));
  return f.isValid() ? std::optional<QDate>(f) : std::nullopt;
}

}  // namespace

int InfoTabla::Indice(const QString& columna) const {
  for (int i = 0; i < columnas.size(); ++i)
    if (columnas[i].compare(columna, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

Database::~Database() {
  // Freeing the prepared statements and the connection talks to the server too.
  const Vigilancia vigilancia(*this);
  qDeleteAll(sentencias_);  // before the connection they run on
  sentencias_.clear();
  if (db_.isValid()) {
    if (enTransaccion_) db_.rollback();
    db_.close();
  }
  db_ = QSqlDatabase();
  if (!nombreConexion_.isEmpty()) QSqlDatabase::removeDatabase(nombreConexion_);
}

std::shared_ptr<Database> Database::Abrir(const QString& ruta, const OpcionesConexion& opciones,
                                          QString* error) {
  std::shared_ptr<Database> d(new Database());
  d->ruta_ = ruta;
  d->nombre_ = ruta;
  d->nombreConexion_ = NuevoNombreConexion();
  d->motor_ = opciones.motor;
  d->dialecto_ = &Dialecto::De(opciones.motor);
  d->db_ = QSqlDatabase::addDatabase(d->dialecto_->Driver(), d->nombreConexion_);
  if (!d->db_.isValid()) {
    if (error)
      *error = QStringLiteral("No está instalado el controlador %1 de Qt para esta base de datos")
                   .arg(d->dialecto_->Driver());
    return nullptr;
  }
  if (!d->dialecto_->Conecta(d->db_, ruta, opciones, error)) return nullptr;
  d->vigilante_ = d->dialecto_->Vigila(d->db_, opciones);
  d->nombre_ = d->dialecto_->Describe(ruta, opciones);
  d->esperaBloqueoMs_ = opciones.esperaBloqueoMs;
  return d;
}

QVariant Database::AParametro(const Valor& v) {
  switch (v.TipoValor()) {
    case Valor::Tipo::Null:
      return QVariant(QMetaType::fromType<QString>());
    case Valor::Tipo::Texto: {
      // The driver binds a null QString as NULL; an empty text must stay an empty text.
      QString t = v.Texto();
      if (t.isNull()) t = QStringLiteral("");
      return t;
    }
    case Valor::Tipo::Numero: {
      const double n = v.Numero();
      if (const auto entero = Entero(n)) return static_cast<qlonglong>(*entero);
      return n;
    }
    case Valor::Tipo::Fecha:
      return TextoIso(v.Fecha());
    case Valor::Tipo::Booleano:
      return v.Booleano() ? 1 : 0;
  }
  return QVariant();
}

Valor Database::DesdeColumna(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return Valor();
  switch (v.typeId()) {
    case QMetaType::QString: {
      QString s = v.toString();
      if (const auto f = FechaAlmacenada(s)) return Valor(*f);
      return Valor(std::move(s));
    }
    case QMetaType::QByteArray:
      return Valor(QString::fromUtf8(v.toByteArray()));
    default:
      return Valor::FromVariant(v);
  }
}

void Database::Falla(const QSqlError& e, const QString& sql) const {
  if (vigilante_ && vigilante_->Disparado()) {
    // The connection was given up: whatever the driver says now is about that.
    throw DbError(QStringLiteral("El servidor de base de datos no responde (%1): no ha "
                                 "contestado en %2 s. Compruebe que está en marcha y vuelva a "
                                 "importar el fichero.")
                      .arg(nombre_)
                      .arg((vigilante_->LimiteMs() + 999) / 1000),
                  nombre_, sql);
  }
  if (dialecto_->EsBloqueo(e)) {
    throw DbError(QStringLiteral("La base de datos %1 está ocupada por otro programa y no ha "
                                 "quedado libre a tiempo. Cierre el otro programa o espere a que "
                                 "termine y vuelva a importar el fichero.")
                      .arg(nombre_),
                  nombre_, sql);
  }
  Falla(dialecto_->TextoError(e), sql);
}

void Database::Falla(const QString& detalle, const QString& sql) const {
  throw DbError(QStringLiteral("Error en la base de datos %1: %2").arg(nombre_, detalle.trimmed()),
                nombre_, sql);
}

Sentencia& Database::Prepara(const QString& sql) {
  // The same characters at the same place: the text held here shares them, so they are
  // the ones the statement was prepared from (the program makes no text over a buffer it
  // could change).
  Atajo& atajo = atajos_[(reinterpret_cast<quintptr>(sql.constData()) >> 4) % atajos_.size()];
  if (atajo.sentencia && atajo.sql.constData() == sql.constData() && atajo.sql.size() == sql.size())
    return *atajo.sentencia;
  Sentencia* p = nullptr;
  if (auto it = sentencias_.constFind(sql); it != sentencias_.constEnd()) {
    p = *it;
  } else {
    const Vigilancia vigilancia(*this);  // the server prepares it
    QSqlError error;
    std::unique_ptr<Sentencia> s = dialecto_->Prepara(db_, sql, &error);
    if (!s) Falla(error, sql);
    p = s.release();
    sentencias_.insert(sql, p);
  }
  atajo = {sql, p};
  return *p;
}

Sentencia& Sentencias::Prepara(Database& db, const QString& sql) { return db.Prepara(sql); }

void Sentencias::Corre(const Database& db, Sentencia& s, const QString& sql) {
  const Database::Vigilancia vigilancia(db);
  if (!s.Ejecuta()) Falla(db, s.Error(), sql);
}

Sentencia& Sentencias::Corre(Database& db, const QString& sql,
                             const std::vector<Valor>& parametros) {
  Sentencia& s = db.Prepara(sql);
  for (int i = 0; i < static_cast<int>(parametros.size()); ++i) s.EnlazaValor(i, parametros[i]);
  Corre(db, s, sql);
  return s;
}

Filas Database::Consulta(const QString& sql, const std::vector<Valor>& parametros) {
  return Filas(*this, Sentencias::Corre(*this, sql, parametros));
}

Filas::~Filas() { s_.Termina(); }

bool Filas::Siguiente() { return s_.Siguiente(); }

QVariant Filas::Columna(int i) const { return s_.Columna(i); }

int Filas::Indice(const QString& nombre) const {
  for (int i = 0; i < s_.NumColumnas(); ++i)
    if (s_.NombreColumna(i).compare(nombre, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

int Database::Ejecuta(const QString& sql, const std::vector<Valor>& parametros) {
  escritoDesdeSavepoint_ = true;
  const Vigilancia vigilancia(*this);
  if (parametros.empty() && !dialecto_->PreparaTodo()) {
    // A statement without values that the server would not prepare (ALTER TABLE, ...).
    QSqlQuery q(db_);
    if (!q.exec(sql)) Falla(q.lastError(), sql);
    return q.numRowsAffected();
  }
  Sentencia& q = Sentencias::Corre(*this, sql, parametros);
  const int n = q.FilasCambiadas();
  q.Termina();
  return n;
}

Valor Database::Escalar(const QString& sql, const std::vector<Valor>& parametros) {
  const Vigilancia vigilancia(*this);  // the row may come after the statement
  Filas q = Consulta(sql, parametros);
  Valor v;
  if (q.Siguiente()) v = DesdeColumna(q.Columna(0));
  return v;
}

void Database::EjecutaScript(const QString& script) {
  const QStringList sentencias = script.split(QRegularExpression(QStringLiteral(";\\s*\\n")));
  // One transaction for the whole script: a schema is created in one write.
  const bool propia = !enTransaccion_;
  if (propia) Begin();
  try {
    EjecutaSentencias(sentencias);
  } catch (...) {
    if (propia) Rollback();
    throw;
  }
  if (propia) Commit();
  OlvidaEsquema();
}

void Database::EjecutaSentencias(const QStringList& sentencias) {
  for (QString s : sentencias) {
    // Drop comment lines so that a trailing comment is not taken for a statement.
    QStringList lineas;
    for (const QString& l : s.split(QLatin1Char('\n')))
      if (!l.trimmed().startsWith(QLatin1String("--"))) lineas << l;
    s = lineas.join(QLatin1Char('\n')).trimmed();
    if (s.endsWith(QLatin1Char(';'))) s.chop(1);
    if (s.isEmpty()) continue;
    const Vigilancia vigilancia(*this);
    QSqlQuery q(db_);
    if (!q.exec(s)) Falla(q.lastError(), s);
  }
}

void Database::OlvidaEsquema() {
  tablas_.clear();
  nombresTabla_.clear();
  analisis_.clear();
  atajosConsulta_ = {};
  posicionesCambio_.clear();
}

QStringList Database::Tablas() {
  const Vigilancia vigilancia(*this);
  return dialecto_->Tablas(*this, db_);
}

QString Database::NombreTabla(QString tabla) {
  tabla.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
  tabla = tabla.trimmed();
  const QString clave = tabla.toUpper();
  if (auto it = nombresTabla_.constFind(clave); it != nombresTabla_.constEnd()) return *it;
  QString nombre;
  for (const QString& t : Tablas())
    if (t.compare(tabla, Qt::CaseInsensitive) == 0) nombre = t;
  nombresTabla_.insert(clave, nombre);
  return nombre;
}

bool Database::ExisteTabla(QString tabla) { return !NombreTabla(std::move(tabla)).isEmpty(); }

std::shared_ptr<const InfoTabla> Database::Tabla(const QString& tabla) {
  const QString clave = tabla.toUpper();
  if (auto it = tablas_.constFind(clave); it != tablas_.constEnd()) return *it;
  std::shared_ptr<const InfoTabla> info;
  const Vigilancia vigilancia(*this);
  if (const QString nombre = NombreTabla(tabla); !nombre.isEmpty()) {
    InfoTabla leida = dialecto_->LeeTabla(*this, db_, nombre);
    leida.nombreMayus = nombre.toUpper();
    for (const QString& k : leida.clave) leida.claveMayus << k.toUpper();
    info = std::make_shared<const InfoTabla>(std::move(leida));
  }
  tablas_.insert(clave, info);
  return info;
}

bool Database::CopiaEnFichero(const QString& ruta) {
  const QString sql = dialecto_->CopiaEnFichero();
  if (sql.isEmpty()) return false;
  try {
    Ejecuta(sql, {Valor(ruta)});
  } catch (const DbError&) {
    return false;
  }
  return true;
}

QString Database::Limita(const QString& sql, int filas) const {
  return dialecto_->Limita(sql, filas);
}

QString Database::Activo(const QString& columna) const { return dialecto_->Activo(columna); }

QString Database::Identificador(const QString& nombre) const {
  return dialecto_->Identificador(nombre);
}

bool Database::ExisteCampoTabla(const QString& tabla, const QString& campo) {
  const auto t = Tabla(tabla);
  return t && t->Indice(campo) >= 0;
}

void Database::Begin() {
  if (enTransaccion_) return;
  const Vigilancia vigilancia(*this);
  liberacionPendiente_.clear();
  if (const QString comienzo = dialecto_->Comienzo(); !comienzo.isEmpty()) {
    esperaBegin_ = ControlConEspera(comienzo, esperaBloqueoMs_);
  } else if (!db_.transaction()) {
    Falla(db_.lastError(), QStringLiteral("BEGIN"));
  }
  enTransaccion_ = true;
}

void Database::Commit() {
  if (!enTransaccion_) return;
  const Vigilancia vigilancia(*this);
  liberacionPendiente_.clear();
  if (!dialecto_->Comienzo().isEmpty()) {
    // One wait for other programs per transaction: what BEGIN waited for another writer
    // is taken off what COMMIT may wait for the readers.
    ControlConEspera(QStringLiteral("COMMIT"),
                     std::max<qint64>(0, esperaBloqueoMs_ - esperaBegin_));
  } else if (!db_.commit()) {
    Falla(db_.lastError(), QStringLiteral("COMMIT"));
  }
  enTransaccion_ = false;
}

qint64 Database::ControlConEspera(const QString& sql, qint64 limiteMs) {
  QElapsedTimer reloj;
  reloj.start();
  if (dialecto_->Espera(limiteMs).isEmpty()) {
    Control(sql);
    return reloj.elapsed();
  }
  // The engine waits in short slices, so that between them the run in progress can be
  // told that the program is waiting (a window says so instead of sitting still).
  constexpr qint64 kTrozoMs = 250;
  Sentencia& q = Prepara(sql);
  for (;;) {
    const qint64 trozo = std::clamp<qint64>(limiteMs - reloj.elapsed(), 0, kTrozoMs);
    FijaEspera(trozo);
    const Vigilancia vigilancia(*this);
    const bool hecho = q.Ejecuta();
    const QSqlError error = hecho ? QSqlError() : q.Error();
    q.Termina();
    const bool seguir = !hecho && dialecto_->EsBloqueo(error) && reloj.elapsed() < limiteMs;
    if (!seguir) FijaEspera(esperaBloqueoMs_);
    if (hecho) return reloj.elapsed();
    if (!seguir) Falla(error, sql);
    ProgresoEnCurso::AvisaEspera(reloj.elapsed());
  }
}

void Database::FijaEspera(qint64 ms) {
  const QString sql = dialecto_->Espera(ms);
  if (sql.isEmpty()) return;
  const Vigilancia vigilancia(*this);
  QSqlQuery q(db_);
  if (!q.exec(sql)) Falla(q.lastError(), sql);
}

void Database::Rollback() {
  if (!enTransaccion_) return;
  const Vigilancia vigilancia(*this);
  liberacionPendiente_.clear();
  enTransaccion_ = false;
  if (!dialecto_->Comienzo().isEmpty()) {
    Control(QStringLiteral("ROLLBACK"));
  } else if (!db_.rollback()) {
    Falla(db_.lastError(), QStringLiteral("ROLLBACK"));
  }
}

void Database::Control(const QString& sql) {
  // SQLite prepares these as any other statement, once; the server takes them only as
  // they are.
  Ejecuta(sql);
}

const Database::TextosSavepoint& Database::TextosDe(const QString& nombre) {
  if (textosSavepoint_.toma.isEmpty() || textosSavepoint_.nombre != nombre)
    textosSavepoint_ = {nombre, QStringLiteral("SAVEPOINT ") + nombre,
                        QStringLiteral("RELEASE SAVEPOINT ") + nombre};
  return textosSavepoint_;
}

void Database::Savepoint(const QString& nombre) {
  QString sql = TextosDe(nombre).toma;
  if (!liberacionPendiente_.isEmpty()) {
    const QString pendiente = std::exchange(liberacionPendiente_, QString());
    // Nothing written since the savepoint of that name was taken: it marks this very
    // state, and serves again (a line that only read costs no round trip).
    if (pendiente == nombre && !escritoDesdeSavepoint_) return;
    sql = QStringLiteral("RELEASE SAVEPOINT ") + pendiente + QStringLiteral("; ") + sql;
  }
  Control(sql);
  escritoDesdeSavepoint_ = false;
}

void Database::ReleaseSavepoint(const QString& nombre) {
  // On a server every statement is a round trip: a release is sent with the next
  // savepoint (the next line's), or dropped by the COMMIT that releases everything.
  if (dialecto_->JuntaControles() && enTransaccion_) {
    liberacionPendiente_ = nombre;
    return;
  }
  Control(TextosDe(nombre).libera);
}

void Database::RollbackToSavepoint(const QString& nombre) {
  if (!liberacionPendiente_.isEmpty()) {
    const QString pendiente = std::exchange(liberacionPendiente_, QString());
    Control(QStringLiteral("RELEASE SAVEPOINT ") + pendiente);
  }
  // Refused when the driver has undone the whole transaction on the error (some do): the
  // unit of work then takes the whole group as lost.
  Control(QStringLiteral("ROLLBACK TO SAVEPOINT ") + nombre);
  escritoDesdeSavepoint_ = false;
}

std::shared_ptr<Database::AnalisisConsulta> Database::Analiza(const QString& sql) {
  static const QRegularExpression reTabla(
      QStringLiteral(R"(\bfrom\s+\[?([A-Za-z_][A-Za-z0-9_\-]*)\]?)"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression reSelectTodo(QStringLiteral(R"(^\s*select\s+\*\s+from\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
  // As in Prepara: the text is held, so the same characters at the same place are it.
  AtajoConsulta& atajo =
      atajosConsulta_[(reinterpret_cast<quintptr>(sql.constData()) >> 4) % atajosConsulta_.size()];
  if (atajo.analisis && atajo.sql.constData() == sql.constData() && atajo.sql.size() == sql.size())
    return atajo.analisis;
  std::shared_ptr<AnalisisConsulta> a = analisis_.value(sql);
  if (!a) {
    a = std::make_shared<AnalisisConsulta>();
    if (const auto m = reTabla.match(sql); m.hasMatch()) {
      a->tabla = m.captured(1);
      a->info = Tabla(a->tabla);
    }
    const auto s = reSelectTodo.match(sql);
    a->conRowid = a->info && a->info->clave.isEmpty() && a->info->tieneRowid && s.hasMatch() &&
                  !dialecto_->ColumnaFila().isEmpty();
    a->ejecutada = a->conRowid
                       ? QStringLiteral("SELECT *, ") + dialecto_->ColumnaFila() +
                             QStringLiteral(" AS RELVANO_ROWID FROM") + sql.mid(s.capturedEnd())
                       : sql;
    analisis_.insert(sql, a);
  }
  atajo = {sql, a};
  return a;
}

Recordset Database::PreparaRecordset(const QString& sql, const AnalisisConsulta& analisis) {
  Recordset rs;
  rs.db_ = shared_from_this();
  rs.sql_ = sql;
  rs.tabla_ = analisis.tabla;
  rs.info_ = analisis.info;
  rs.rowidCol_ = analisis.conRowid ? 0 : -1;  // its position is known once the shape is
  return rs;
}

Recordset Database::AbrirRecordset(const QString& sql, const std::vector<Valor>& parametros) {
  // Held here: a failure below may make the connection forget what it knew of its tables.
  const std::shared_ptr<AnalisisConsulta> analisis = Analiza(sql);
  Recordset rs = PreparaRecordset(sql, *analisis);
  const Vigilancia vigilancia(*this);  // the rows may come after the statement
  Sentencia& q = Sentencias::Corre(*this, analisis->ejecutada, parametros);
  if (!analisis->forma) {
    auto f = std::make_shared<FormaResultado>();
    for (int i = 0; i < q.NumColumnas(); ++i) {
      f->nombres << q.NombreColumna(i);
      f->mayusculas << f->nombres.back().toUpper();
      f->indices.insert(f->mayusculas.back(), i);
    }
    analisis->forma = std::move(f);
  }
  rs.forma_ = analisis->forma;
  const int n = rs.forma_->nombres.size();
  rs.rowidCol_ = analisis->conRowid ? n - 1 : -1;
  while (q.Siguiente()) {
    std::vector<QVariant> fila(n);
    for (int i = 0; i < n; ++i) fila[i] = q.Columna(i);
    rs.filas_.push_back(std::move(fila));
  }
  q.Termina();
  return rs;
}

Recordset Database::AbrirRecordsetVacio(const QString& sql, const std::vector<Valor>& parametros) {
  const std::shared_ptr<AnalisisConsulta> analisis = Analiza(sql);
  if (!analisis->forma) return AbrirRecordset(sql, parametros);
  Recordset rs = PreparaRecordset(sql, *analisis);
  rs.forma_ = analisis->forma;
  rs.rowidCol_ = analisis->conRowid ? static_cast<int>(rs.forma_->nombres.size()) - 1 : -1;
  return rs;
}

std::shared_ptr<Database> Conexiones::Abre(const QString& ruta, QString* error) {
  const QString clave = QFileInfo(ruta).absoluteFilePath();
  if (auto it = abiertas_.find(clave); it != abiertas_.end()) {
    if (auto db = it->lock()) return db;
  }
  auto db = Database::Abrir(ruta, opciones_, error);
  if (db) abiertas_.insert(clave, db);
  return db;
}

QString MensajeErrorAbrirBaseDatos(const QString& ruta) {
  return QStringLiteral("Se ha producido un error al abrir la base de datos") +
         QStringLiteral("\r\n\r\n") + ruta + QStringLiteral("\r\n\r\n") +
         QStringLiteral("Puede que este dañada o no exista.") + QStringLiteral("\r\n") +
         QStringLiteral("Póngase en contacto con el servicio de soporte al programa.") +
         QStringLiteral("\r\n") + QStringLiteral("El programa se cerrará.");
}

bool ExisteBaseDatos(const QString& ruta, const OpcionesConexion& opciones, QString* error) {
  return Dialecto::De(opciones.motor).Existe(ruta, opciones, error);
}

QString DescribeBaseDatos(const QString& ruta, const OpcionesConexion& opciones) {
  return Dialecto::De(opciones.motor).Describe(ruta, opciones);
}

QString ClaveBaseDatos() {
  const QByteArray entorno = qgetenv("RELVANO_CLAVE_BDD");
  if (!entorno.isEmpty()) return QString::fromUtf8(entorno).trimmed();
#ifdef RELVANO_CLAVE_BDD_BUILD
  return QStringLiteral(RELVANO_CLAVE_BDD_BUILD).trimmed();
#else
  return {};
#endif
}

LecturaCambio::LecturaCambio(const QString& tabla, const QStringList& clave, QStringList columnas)
    : tabla(tabla.toUpper()), columnas(std::move(columnas)) {
  QStringList donde;
  for (const QString& k : clave) {
    this->clave << k.toUpper();
    donde << this->clave.back() + QStringLiteral(" = ?");
  }
  sql = QStringLiteral("SELECT ") + this->columnas.join(QStringLiteral(", ")) +
        QStringLiteral(" FROM ") + this->tabla + QStringLiteral(" WHERE ") +
        donde.join(QStringLiteral(" AND "));
}

CambioEjecutado::CambioEjecutado(Database& db, const LecturaCambio& lectura,
                                 std::vector<Valor> valoresClave)
    : db_(db), lectura_(lectura), valoresClave_(std::move(valoresClave)) {}

int CambioEjecutado::Ejecuta(const QString& sql, const std::vector<Valor>& parametros) {
  if (!db_.Diario()) return db_.Ejecuta(sql, parametros);
  Database::PosicionesCambio& p = db_.posicionesCambio_[lectura_.sql];
  if (p.columnas == 0) {
    if (const auto info = db_.Tabla(lectura_.tabla)) {
      p.tabla = info->nombre.toUtf8();
      p.columnas = static_cast<int>(info->columnas.size());
      for (const QString& c : lectura_.columnas) p.posiciones.push_back(info->Indice(c));
    }
  }
  // The engine is asked to tell the row's values on the statement's next run, the one
  // Database::Ejecuta makes at once (nothing runs in between); else the row is read first.
  CapturaFila captura{p.tabla, p.columnas, p.posiciones, 0, false, {}, {}};
  const bool contada =
      !parametros.empty() && p.columnas > 0 &&
      std::find(p.posiciones.begin(), p.posiciones.end(), -1) == p.posiciones.end() &&
      Sentencias::Prepara(db_, sql).Captura(&captura);
  if (!contada) antes_ = Lee();
  const int cambiadas = db_.Ejecuta(sql, parametros);
  if (contada) {
    if (captura.otra)
      throw DbError(QStringLiteral("La tabla %1 ha cambiado de columnas mientras se importaba; "
                                   "vuelva a importar el fichero.")
                        .arg(lectura_.tabla),
                    db_.Nombre(), sql);
    // One row, as a read by its key finds: the values it had and has.
    if (captura.filas == 1) {
      antes_ = std::move(captura.antes);
      despues_ = std::move(captura.despues);
    }
  }
  return cambiadas;
}

std::vector<QVariant> CambioEjecutado::Lee() {
  Filas q = db_.Consulta(lectura_.sql, valoresClave_);
  std::vector<QVariant> fila;
  if (q.Siguiente()) {
    fila.reserve(static_cast<size_t>(lectura_.columnas.size()));
    for (int i = 0; i < lectura_.columnas.size(); ++i) fila.push_back(q.Columna(i));
  }
  return fila;
}

CambioFila CambioEjecutado::Fila() const {
  CambioFila c;
  c.tipo = CambioFila::Tipo::Modificacion;
  c.tabla = lectura_.tabla;
  c.clave = lectura_.clave;
  c.valoresClave.reserve(valoresClave_.size());
  for (const Valor& v : valoresClave_) c.valoresClave.push_back(Database::AParametro(v));
  return c;
}

void CambioEjecutado::Anota() {
  DiarioCambios* diario = db_.Diario();
  if (!diario || !antes_ || antes_->empty()) return;
  const std::vector<QVariant> despues = despues_ ? std::move(*despues_) : Lee();
  if (despues.size() != antes_->size()) return;
  CambioFila c;
  for (size_t i = 0; i < despues.size(); ++i) {
    if ((*antes_)[i] == despues[i]) continue;
    if (c.tabla.isEmpty()) c = Fila();
    c.columnas << lectura_.columnas[static_cast<qsizetype>(i)];
    c.antes.push_back((*antes_)[i]);
    c.despues.push_back(despues[i]);
  }
  if (!c.columnas.isEmpty()) diario->Anota(std::move(c));
}

void CambioEjecutado::AnotaSuma(const QString& columna, double cantidad) {
  DiarioCambios* diario = db_.Diario();
  if (!diario) return;
  CambioFila c = Fila();
  c.columnas << columna;
  c.antes.push_back(Database::AParametro(Valor(0)));
  c.despues.push_back(Database::AParametro(Valor(cantidad)));
  c.relativo = true;
  diario->Anota(std::move(c));
}

}  // namespace relvano::store
