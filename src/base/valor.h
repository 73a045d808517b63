#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <variant>

namespace relvano {

// A loosely typed value as the suite's databases and the chain files hand it over:
// the database Null, a text, a number, a date or a boolean. The value helpers
// (conversion.h) take it and apply the shops' conversion rules; nothing here converts.
class Valor {
 public:
  enum class Tipo { Null, Texto, Numero, Fecha, Booleano };

  Valor() = default;  // Null
  Valor(const QString& texto) : v_(texto) {}
  Valor(QString&& texto) : v_(std::move(texto)) {}
  Valor(const char* texto) : v_(QString::fromUtf8(texto)) {}
  Valor(double numero) : v_(numero) {}
  Valor(int numero) : v_(static_cast<double>(numero)) {}
  Valor(qint64 numero) : v_(static_cast<double>(numero)) {}
  Valor(QDate fecha) : v_(fecha) {}
  Valor(bool booleano) : v_(booleano) {}

  static Valor Null() { return Valor(); }

  Tipo TipoValor() const { return static_cast<Tipo>(v_.index()); }
  bool EsNull() const { return TipoValor() == Tipo::Null; }
  bool EsTexto() const { return TipoValor() == Tipo::Texto; }
  bool EsNumero() const { return TipoValor() == Tipo::Numero; }
  bool EsFecha() const { return TipoValor() == Tipo::Fecha; }
  bool EsBooleano() const { return TipoValor() == Tipo::Booleano; }

  // Accessors for the held alternative; each returns an empty value of its type
  // when the Valor holds something else.
  QString Texto() const;
  double Numero() const;
  QDate Fecha() const;
  bool Booleano() const;

  // Conversion to and from what the database driver uses. A QVariant from a
  // driver maps numbers of every width to Numero, QDate/QDateTime to Fecha,
  // bool to Booleano, null/invalid to Null and everything else to Texto.
  QVariant ToVariant() const;
  static Valor FromVariant(const QVariant& v);

  // Readable form for tests and error messages: Null, "text", 12.5, 2012-07-15, true.
  QString Describe() const;

  friend bool operator==(const Valor& a, const Valor& b) { return a.v_ == b.v_; }

 private:
  std::variant<std::monostate, QString, double, QDate, bool> v_;
};

}  // namespace relvano
