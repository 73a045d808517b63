#include <QDataStream>
#include <QHash>

#include "app/historial.h"

// The changes a real run committed, as the history stores them and reads them back to undo it.
namespace relvano {
namespace {

using store::DbError;

// A group of changes as the history keeps it: a stream of its changes, compressed, as text
// every engine stores. The stream begins with its format's number; the names of tables
// and columns are written once and then referred to by their number; values are tagged
// by their kind (Valores).
constexpr quint8 kFormatoCambios = 2;
enum class Etiqueta : quint8 { Nulo, Entero, Decimal, Texto, Booleano, Otro };

class EscritorCambios {
 public:
  EscritorCambios() : s_(&bytes_, QIODevice::WriteOnly) { s_.setVersion(QDataStream::Qt_6_0); }
  QDataStream& s() { return s_; }
  // A name: its number, and the name itself the first time.
  void Nombre(const QString& nombre) {
    auto it = nombres_.constFind(nombre);
    if (it != nombres_.cend()) {
      s_ << *it;
      return;
    }
    const auto n = static_cast<quint32>(nombres_.size());
    nombres_.insert(nombre, n);
    s_ << n << nombre.toUtf8();
  }
  void Nombres(const QStringList& nombres) {
    s_ << static_cast<quint32>(nombres.size());
    for (const QString& n : nombres) Nombre(n);
  }
  void Valores(const std::vector<QVariant>& valores) {
    s_ << static_cast<quint32>(valores.size());
    for (const QVariant& v : valores) {
      if (v.isNull()) {
        s_ << static_cast<quint8>(Etiqueta::Nulo);
        continue;
      }
      switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
          s_ << static_cast<quint8>(Etiqueta::Entero) << v.toLongLong();
          break;
        case QMetaType::Double:
          s_ << static_cast<quint8>(Etiqueta::Decimal) << v.toDouble();
          break;
        case QMetaType::QString:
          s_ << static_cast<quint8>(Etiqueta::Texto) << v.toString().toUtf8();
          break;
        case QMetaType::Bool:
          s_ << static_cast<quint8>(Etiqueta::Booleano) << v.toBool();
          break;
        default:
          s_ << static_cast<quint8>(Etiqueta::Otro) << v;
      }
    }
  }
  const QByteArray& Bytes() const { return bytes_; }

 private:
  QByteArray bytes_;
  QDataStream s_;
  QHash<QString, quint32> nombres_;
};

class LectorCambios {
 public:
  explicit LectorCambios(const QByteArray& bytes) : s_(bytes) {
    s_.setVersion(QDataStream::Qt_6_0);
  }
  QDataStream& s() { return s_; }
  bool Bien() const { return s_.status() == QDataStream::Ok; }
  QString Nombre() {
    quint32 n = 0;
    s_ >> n;
    if (n < static_cast<quint32>(nombres_.size())) return nombres_[n];
    QByteArray utf8;
    s_ >> utf8;
    if (n != static_cast<quint32>(nombres_.size())) s_.setStatus(QDataStream::ReadCorruptData);
    nombres_ << QString::fromUtf8(utf8);
    return nombres_.back();
  }
  QStringList Nombres() {
    quint32 k = 0;
    s_ >> k;
    QStringList nombres;
    for (quint32 i = 0; i < k && Bien(); ++i) nombres << Nombre();
    return nombres;
  }
  std::vector<QVariant> Valores() {
    quint32 k = 0;
    s_ >> k;
    std::vector<QVariant> valores;
    for (quint32 i = 0; i < k && Bien(); ++i) {
      quint8 etiqueta = 0;
      s_ >> etiqueta;
      QVariant v;
      switch (static_cast<Etiqueta>(etiqueta)) {
        case Etiqueta::Nulo:
          break;
        case Etiqueta::Entero: {
          qint64 n = 0;
          s_ >> n;
          v = static_cast<qlonglong>(n);
          break;
        }
        case Etiqueta::Decimal: {
          double d = 0;
          s_ >> d;
          v = d;
          break;
        }
        case Etiqueta::Texto: {
          QByteArray utf8;
          s_ >> utf8;
          v = QString::fromUtf8(utf8);
          break;
        }
        case Etiqueta::Booleano: {
          bool b = false;
          s_ >> b;
          v = b;
          break;
        }
        case Etiqueta::Otro:
          s_ >> v;
          break;
        default:
          s_.setStatus(QDataStream::ReadCorruptData);
      }
      valores.push_back(std::move(v));
    }
    return valores;
  }

 private:
  QDataStream s_;
  QStringList nombres_;
};

}  // namespace

QString Historial::ComprimeCambios(const std::vector<store::CambioFila>& cambios) {
  EscritorCambios e;
  e.s() << kFormatoCambios << static_cast<quint32>(cambios.size());
  for (const store::CambioFila& c : cambios) {
    e.s() << static_cast<qint8>(c.tipo);
    e.Nombre(c.tabla);
    e.Nombres(c.clave);
    e.Valores(c.valoresClave);
    e.Nombres(c.columnas);
    e.Valores(c.antes);
    e.Valores(c.despues);
    e.s() << c.relativo;
  }
  // The fastest level: it takes a run's changes to a tenth of their size all the same.
  return QString::fromLatin1(qCompress(e.Bytes(), 1).toBase64());
}

namespace {

std::vector<store::CambioFila> LeeCambios(const QString& texto) {
  LectorCambios l(qUncompress(QByteArray::fromBase64(texto.toLatin1())));
  quint8 formato = 0;
  quint32 n = 0;
  l.s() >> formato >> n;
  std::vector<store::CambioFila> cambios;
  for (quint32 i = 0; i < n && l.Bien() && formato == kFormatoCambios; ++i) {
    store::CambioFila c;
    qint8 tipo = 0;
    l.s() >> tipo;
    c.tipo = static_cast<store::CambioFila::Tipo>(tipo);
    c.tabla = l.Nombre();
    c.clave = l.Nombres();
    c.valoresClave = l.Valores();
    c.columnas = l.Nombres();
    c.antes = l.Valores();
    c.despues = l.Valores();
    l.s() >> c.relativo;
    cambios.push_back(std::move(c));
  }
  if (!l.Bien() || formato != kFormatoCambios)
    throw DbError(QStringLiteral("Los cambios guardados en el historial están dañados."), QString(),
                  QString());
  return cambios;
}

}  // namespace

void Historial::GuardaCambios(qint64 id, int grupo, const QString& datos) {
  db_->Ejecuta(QStringLiteral("INSERT INTO CAMBIOS (EJECUCION, GRUPO, DATOS) VALUES (?, ?, ?)"),
               {Valor(id), Valor(grupo), Valor(datos)});
}

std::vector<std::vector<store::CambioFila>> Historial::Cambios(qint64 id) {
  std::vector<QString> datos;
  {
    store::Filas q = db_->Consulta(
        QStringLiteral("SELECT DATOS FROM CAMBIOS WHERE EJECUCION = ? ORDER BY GRUPO"),
        {Valor(id)});
    while (q.Siguiente()) datos.push_back(q.Columna(0).toString());
  }
  std::vector<std::vector<store::CambioFila>> grupos;
  for (const QString& d : datos) grupos.push_back(LeeCambios(d));
  return grupos;
}

}  // namespace relvano
