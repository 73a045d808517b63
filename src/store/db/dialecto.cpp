#include "store/db/dialecto.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include "store/db/sentencia.h"

namespace relvano::store {

namespace {

// A number as the engines read one from text: blanks around, a sign, digits with "."
// as decimal point, an exponent.
std::optional<double> NumeroSql(const QString& texto) {
  static const QRegularExpression re(
      QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
  if (!re.match(texto).hasMatch()) return std::nullopt;
  bool ok = false;
  const double n = texto.trimmed().toDouble(&ok);  // QString::toDouble reads the C form
  return ok ? std::optional<double>(n) : std::nullopt;
}

// The column takes numbers from text: its declared type names no text or blob kind
// (SQLite's rules of affinity, which also sort the server's type names rightly).
bool TipoNumerico(const QString& tipo) {
  const QString t = tipo.toUpper();
  if (t.contains(QLatin1String("INT"))) return true;
  if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) ||
      t.contains(QLatin1String("TEXT")))
    return false;
  return !t.isEmpty() && !t.contains(QLatin1String("BLOB"));
}

// A quoted literal's text, and the casts the server writes after it ('EURO'::text):
// nullopt when `t` is not one literal.
std::optional<QString> Literal(const QString& t) {
  if (!t.startsWith(QLatin1Char('\''))) return std::nullopt;
  QString texto;
  int i = 1;
  for (; i < t.size(); ++i) {
    if (t[i] == QLatin1Char('\'')) {
      if (i + 1 < t.size() && t[i + 1] == QLatin1Char('\'')) {
        texto += QLatin1Char('\'');
        ++i;
        continue;
      }
      break;
    }
    texto += t[i];
  }
  if (i >= t.size()) return std::nullopt;
  static const QRegularExpression casts(QStringLiteral(R"(^(::[A-Za-z ]+(\[\])?)*$)"));
  if (!casts.match(t.mid(i + 1).trimmed()).hasMatch()) return std::nullopt;
  return texto;
}

}  // namespace

Valor DefectoColumna(const QVariant& texto, const QString& tipo) {
  if (texto.isNull() || !texto.isValid()) return Valor();
  QString t = texto.toString().trimmed();
  while (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')')))
    t = t.mid(1, t.size() - 2).trimmed();
  if (t.isEmpty() || t.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) return Valor();
  if (const auto literal = Literal(t)) {
    // A quoted number in a numeric column (`REAL DEFAULT '2.5'`) is the number 2.5, never
    // a text to be read under the shops' regional settings.
    if (TipoNumerico(tipo))
      if (const auto n = NumeroSql(*literal)) return Valor(*n);
    return Database::DesdeColumna(*literal);
  }
  if (const auto n = NumeroSql(t)) return Valor(*n);
  if (t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) return Valor(1.0);
  if (t.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) return Valor(0.0);
  return Valor();  // an expression such as CURRENT_DATE: left to the engine
}

const Dialecto& Dialecto::De(Motor motor) {
  switch (motor) {
    case Motor::Odbc:
      return DialectoOdbc();
    case Motor::Postgres:
      return DialectoPostgres();
    case Motor::Sqlite:
      break;
  }
  return DialectoSqlite();
}

QString Dialecto::Identificador(const QString& nombre) const {
  QString n = nombre;
  n.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + n + QLatin1Char('"');
}

QString Dialecto::Limita(const QString& sql, int filas) const {
  return sql + QStringLiteral(" LIMIT ") + QString::number(filas);
}

QString Dialecto::Activo(const QString& columna) const { return columna + QStringLiteral(" <> 0"); }

QStringList Dialecto::Tablas(Database& db, QSqlDatabase&) const {
  QStringList tablas;
  Filas q = db.Consulta(SqlTablas());
  while (q.Siguiente()) tablas << q.Columna(0).toString();
  return tablas;
}

std::unique_ptr<Sentencia> Dialecto::Prepara(QSqlDatabase& db, const QString& sql,
                                             QSqlError* error) const {
  return PreparaConDriver(db, sql, error);
}

}  // namespace relvano::store
