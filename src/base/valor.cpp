#include "base/valor.h"

#include <QDateTime>

namespace relvano {

QString Valor::Texto() const {
  if (const auto* t = std::get_if<QString>(&v_)) return *t;
  return {};
}

double Valor::Numero() const {
  if (const auto* n = std::get_if<double>(&v_)) return *n;
  return 0.0;
}

QDate Valor::Fecha() const {
  if (const auto* f = std::get_if<QDate>(&v_)) return *f;
  return {};
}

bool Valor::Booleano() const {
  if (const auto* b = std::get_if<bool>(&v_)) return *b;
  return false;
}

QVariant Valor::ToVariant() const {
  switch (TipoValor()) {
    case Tipo::Null:
      return QVariant();
    case Tipo::Texto:
      return Texto();
    case Tipo::Numero:
      return Numero();
    case Tipo::Fecha:
      return Fecha();
    case Tipo::Booleano:
      return Booleano();
  }
  return QVariant();
}

Valor Valor::FromVariant(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return Valor();
  switch (v.typeId()) {
    case QMetaType::Bool:
      return Valor(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
      return Valor(v.toDouble());
    case QMetaType::QDate:
      return Valor(v.toDate());
    case QMetaType::QDateTime:
      return Valor(v.toDateTime().date());
    default:
      return Valor(v.toString());
  }
}

QString Valor::Describe() const {
  switch (TipoValor()) {
    case Tipo::Null:
      return QStringLiteral("Null");
    case Tipo::Texto:
      return QLatin1Char('"') + Texto() + QLatin1Char('"');
    case Tipo::Numero:
      return QString::number(Numero(), 'g', 15);
    case Tipo::Fecha:
      return Fecha().toString(Qt::ISODate);
    case Tipo::Booleano:
      return Booleano() ? QStringLiteral("true") : QStringLiteral("false");
  }
  return {};
}

}  // namespace relvano
