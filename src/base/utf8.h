#pragma once

// A text in UTF-8 written straight into a buffer the caller already has: for the hot paths
// that turn many short texts into bytes one after another (values bound to the engine,
// changes kept in the history), where a new QByteArray for each cost more than the work.

#include <QStringView>

namespace relvano {

// Writes `texto` in UTF-8 at `destino`, which has room for 3 bytes per UTF-16 unit, and
// returns the end of what it wrote. nullptr when the text holds a surrogate: the caller
// then uses QString::toUtf8, whose handling of a lone one stays the program's.
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

}  // namespace relvano
