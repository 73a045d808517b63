// Statements through Qt's own driver: the servers and ODBC.
#include <QSqlQuery>
#include <QSqlRecord>

#include "store/db/sentencia.h"

namespace relvano::store {

namespace {

// The name given to the statement's parameter number `indice` (from 0).
QString NombreParametro(int indice) { return QStringLiteral(":_%1").arg(indice); }

// Binding by position makes Qt format a name for the position at every bind (over a
// tenth of the time of a line of the offers file). The texts are therefore prepared with
// each "?" outside quotes renamed ":_0", ":_1", ... and bound by those names, kept
// ready here. Neither driver takes names itself: Qt turns them back into "?" when it
// prepares, so the engine runs the very same statement.
QString ConParametrosConNombre(const QString& sql) {
  return NombraParametros(sql, NombreParametro);
}

QString NombreParametroListo(int indice) {
  static const std::vector<QString> nombres = [] {
    std::vector<QString> v;
    for (int i = 0; i < 128; ++i) v.push_back(NombreParametro(i));
    return v;
  }();
  if (indice < static_cast<int>(nombres.size())) return nombres[static_cast<size_t>(indice)];
  return NombreParametro(indice);
}

class SentenciaDriver final : public Sentencia {
 public:
  explicit SentenciaDriver(QSqlDatabase& db) : q_(db) { q_.setForwardOnly(true); }
  bool Prepara(const QString& sql) {
    if (q_.prepare(ConParametrosConNombre(sql))) return true;
    error_ = q_.lastError();
    return false;
  }

  void Enlaza(int indice, const QVariant& valor) override {
    const QVariant antes = q_.boundValue(indice);
    if (MismoEnlace(antes, valor)) return;
    q_.bindValue(NombreParametroListo(indice), valor);
  }
  bool Ejecuta() override {
    if (q_.exec()) return true;
    error_ = q_.lastError();
    q_.finish();
    return false;
  }
  QSqlError Error() const override { return error_; }
  bool Siguiente() override { return q_.next(); }
  QVariant Columna(int i) const override { return q_.value(i); }
  int NumColumnas() const override { return q_.record().count(); }
  QString NombreColumna(int i) const override { return q_.record().fieldName(i); }
  int FilasCambiadas() const override { return q_.numRowsAffected(); }
  QVariant UltimaIdentidad() const override { return q_.lastInsertId(); }
  void Termina() override { q_.finish(); }

 private:
  QSqlQuery q_;
  QSqlError error_;
};

}  // namespace

QString NombraParametros(const QString& sql, const std::function<QString(int)>& nombre,
                         int* cuantos) {
  QString r;
  r.reserve(sql.size() + 32);
  QChar cierre;
  int n = 0;
  for (const QChar c : sql) {
    if (!cierre.isNull()) {
      if (c == cierre) cierre = QChar();
    } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
      cierre = c;
    } else if (c == QLatin1Char('[')) {
      cierre = QLatin1Char(']');
    } else if (c == QLatin1Char('?')) {
      r += nombre(n++);
      continue;
    }
    r += c;
  }
  if (cuantos) *cuantos = n;
  return r;
}

std::unique_ptr<Sentencia> PreparaConDriver(QSqlDatabase& db, const QString& sql,
                                            QSqlError* error) {
  return Preparada<SentenciaDriver>(sql, error, db);
}

}  // namespace relvano::store
