#pragma once

// A text in UTF-8 written straight into a buffer the caller already has: for the hot paths
// that turn many short texts into bytes one after another (values bound to the engine,
// changes kept in the history), where a new QByteArray for each cost more than the work.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace relvano {

// Writes `texto` in UTF-8 at `destino`, which has room for 3 bytes per UTF-16 unit, and
// returns the end of what it wrote. nullptr when the text holds a surrogate, left to
// QString::toUtf8, whose handling of a lone one stays the program's (AnadeUtf8 does both).
inline char* EscribeUtf8(QStringView texto, char* destino) {
  for (const QChar q : texto) {
    const char16_t c = q.unicode();
    if (c < 0x80) {
      *destino++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *destino++ = static_cast<char>(0xC0 | (c >> 6));
      *destino++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (QChar::isSurrogate(c)) {
      return nullptr;
    } else {
      *destino++ = static_cast<char>(0xE0 | (c >> 12));
      *destino++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *destino++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return destino;
}

// Appends `texto` in UTF-8 to `bytes` (a QByteArray or a std::string), in the room it
// already has when it has enough; a text with a surrogate goes through QString::toUtf8.
template <typename Bytes>
void AnadeUtf8(Bytes& bytes, const QString& texto) {
  const auto antes = bytes.size();
  bytes.resize(antes + 3 * static_cast<decltype(antes)>(texto.size()));
  if (const char* fin = EscribeUtf8(texto, bytes.data() + antes)) {
    bytes.resize(static_cast<decltype(antes)>(fin - bytes.data()));
    return;
  }
  bytes.resize(antes);
  const QByteArray utf8 = texto.toUtf8();
  bytes.append(utf8.constData(), static_cast<decltype(antes)>(utf8.size()));
}

}  // namespace relvano
