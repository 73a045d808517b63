#include <QDataStream>
#include <QHash>
#include <QtEndian>
#include <cstring>
#include <string>

#include "app/comprimido.h"
#include "app/historial.h"
#include "base/utf8.h"

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

// Writes the stream as QDataStream (version Qt_6_0, big-endian) would, which is how
// LectorCambios reads it back; by hand, because a stream device's call per value cost
// more than the compression itself.
class EscritorCambios {
 public:
  void Octeto(quint8 v) { bytes_.push_back(static_cast<char>(v)); }
  void Numero(quint32 v) { Crudo(qToBigEndian(v)); }
  void Entero(qint64 v) { Crudo(qToBigEndian(v)); }
  void Decimal(double d) {
    quint64 bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    Crudo(qToBigEndian(bits));
  }
  // As a QByteArray in the stream: its length and its bytes, a null one as 0xffffffff.
  void Texto(const QString& texto) {
    if (texto.isNull()) return Numero(0xffffffffu);
    // The length goes before the bytes, known once they are written.
    const size_t inicio = bytes_.size();
    Numero(0);
    AnadeUtf8(bytes_, texto);
    const quint32 largo =
        qToBigEndian(static_cast<quint32>(bytes_.size() - inicio - sizeof(quint32)));
    std::memcpy(bytes_.data() + inicio, &largo, sizeof largo);
  }
  // A name: its number, and the name itself the first time. Most names are copies of a few
  // texts: found by the address of their characters before their content is hashed (every
  // name is alive, so unchanged, while the group is written).
  void Nombre(const QString& nombre) {
    auto pos = porDireccion_.constFind(nombre.constData());
    if (pos != porDireccion_.cend()) return Numero(*pos);
    auto it = nombres_.constFind(nombre);
    if (it == nombres_.cend()) {
      const auto n = static_cast<quint32>(nombres_.size());
      it = nombres_.insert(nombre, n);
      Numero(n);
      Texto(nombre);
    } else {
      Numero(*it);
    }
    porDireccion_.insert(nombre.constData(), *it);
  }
  void Nombres(const QStringList& nombres) {
    Numero(static_cast<quint32>(nombres.size()));
    for (const QString& n : nombres) Nombre(n);
  }
  void Valores(const std::vector<QVariant>& valores) {
    Numero(static_cast<quint32>(valores.size()));
    for (const QVariant& v : valores) {
      if (v.isNull()) {
        Octeto(static_cast<quint8>(Etiqueta::Nulo));
        continue;
      }
      switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
          Octeto(static_cast<quint8>(Etiqueta::Entero));
          Entero(v.toLongLong());
          break;
        case QMetaType::Double:
          Octeto(static_cast<quint8>(Etiqueta::Decimal));
          Decimal(v.toDouble());
          break;
        case QMetaType::QString:
          Octeto(static_cast<quint8>(Etiqueta::Texto));
          Texto(*static_cast<const QString*>(v.constData()));
          break;
        case QMetaType::Bool:
          Octeto(static_cast<quint8>(Etiqueta::Booleano));
          Octeto(v.toBool() ? 1 : 0);
          break;
        default: {
          Octeto(static_cast<quint8>(Etiqueta::Otro));
          QByteArray otro;
          QDataStream s(&otro, QIODevice::WriteOnly);
          s.setVersion(QDataStream::Qt_6_0);
          s << v;
          bytes_.append(otro.constData(), static_cast<size_t>(otro.size()));
        }
      }
    }
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  template <typename T>
  void Crudo(T v) {
    bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  std::string bytes_;
  QHash<QString, quint32> nombres_;
  QHash<const QChar*, quint32> porDireccion_;
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
  e.Octeto(kFormatoCambios);
  e.Numero(static_cast<quint32>(cambios.size()));
  for (const store::CambioFila& c : cambios) {
    e.Octeto(static_cast<quint8>(c.tipo));
    e.Nombre(c.tabla);
    e.Nombres(c.clave);
    e.Valores(c.valoresClave);
    e.Nombres(c.columnas);
    e.Valores(c.antes);
    e.Valores(c.despues);
    e.Octeto(c.relativo ? 1 : 0);
  }
  const std::string& bytes = e.Bytes();
  return TextoComprimido(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

namespace {

std::vector<store::CambioFila> LeeCambios(const QString& texto) {
  LectorCambios l(BytesDeTextoComprimido(texto));
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
