#include "chainfile/lector.h"

#include <QStringDecoder>
#include <array>
#include <cstring>

namespace relvano::chainfile {
namespace {

constexpr qint64 kBloque = 64 * 1024;

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes the code page
// leaves undefined map to the control character of the same number, as Windows does.
constexpr std::array<char16_t, 32> kCp1252Alto = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut
// sequence. A Windows-1252 line almost never passes this test by accident, which is
// what lets the two encodings share one reader.
bool EsUtf8Valido(QByteArrayView bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    unsigned char min2 = 0x80;
    unsigned char max2 = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) min2 = 0xA0;  // overlong
      if (c == 0xED) max2 = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) min2 = 0x90;  // overlong
      if (c == 0xF4) max2 = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (i + extra >= n) return false;  // sequence cut by the line end
    if (p[i + 1] < min2 || p[i + 1] > max2) return false;
    for (int k = 2; k <= extra; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

// Whether the eight bytes at `p` are all ASCII.
bool OchoAscii(const char* p) {
  quint64 ocho;
  std::memcpy(&ocho, p, 8);
  return !(ocho & 0x8080808080808080ULL);
}

QString DecodificaCp1252(QByteArrayView bytes) {
  // Latin-1 (which Qt widens fast), then the 32 bytes where the code page differs.
  QString texto = QString::fromLatin1(bytes);
  QChar* out = texto.data();
  const char* p = bytes.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (i + 8 <= bytes.size() && OchoAscii(p + i)) {
      i += 7;  // eight ASCII bytes
      continue;
    }
    const auto b = static_cast<unsigned char>(p[i]);
    if (b >= 0x80 && b <= 0x9F) out[i] = QChar(kCp1252Alto[b - 0x80]);
  }
  return texto;
}

// Whether every byte is ASCII, which both encodings read alike; eight at a time.
bool EsAscii(QByteArrayView bytes) {
  const char* p = bytes.data();
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  for (; i + 8 <= n; i += 8)
    if (!OchoAscii(p + i)) return false;
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
  return true;
}

QString Decodifica(QByteArrayView bytes) {
  if (EsAscii(bytes)) return QString::fromLatin1(bytes);  // nearly every line of a file
  if (EsUtf8Valido(bytes)) {
    // Only the file's own byte-order mark is dropped (by Abre); one at the start of a
    // later line is text.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
  }
  return DecodificaCp1252(bytes);
}

}  // namespace

LectorFichero::~LectorFichero() = default;

bool LectorFichero::Abre(const QString& ruta, QString* error) {
  Cierra();
  auto file = std::make_unique<QFile>(ruta);
  if (!file->open(QIODevice::ReadOnly)) {
    if (error) *error = file->errorString();
    return false;
  }
  if (file->isSequential()) {
    // The line-end scan below needs to come back to the start.
    if (error) *error = QStringLiteral("no es un fichero normal");
    return false;
  }

  // A file written with LF line ends holds no CR at all; read by CR it would be one
  // single line. One pass over the file settles which end applies.
  bool hayCr = false;
  QByteArray bloque;
  while (!hayCr) {
    bloque = file->read(kBloque);
    if (bloque.isEmpty()) break;
    hayCr = bloque.contains('\r');
  }
  if (!file->seek(0)) {
    if (error) *error = file->errorString();
    return false;
  }

  file_ = std::move(file);
  total_ = file_->size();
  soloLf_ = !hayCr;
  if (file_->peek(3) == QByteArray("\xEF\xBB\xBF", 3)) {
    file_->seek(3);
    leidos_ = 3;
  }
  return true;
}

void LectorFichero::Cierra() {
  file_.reset();
  buffer_.clear();
  pos_ = 0;
  leidos_ = 0;
  total_ = 0;
  soloLf_ = false;
}

bool LectorFichero::Eof() const { return !file_ || (pos_ >= buffer_.size() && file_->atEnd()); }

bool LectorFichero::Rellena() {
  pos_ = 0;
  if (!file_) {
    buffer_.clear();
    return false;
  }
  buffer_.resize(kBloque);
  const qint64 n = file_->read(buffer_.data(), kBloque);
  buffer_.resize(n > 0 ? n : 0);
  return n > 0;
}

void LectorFichero::Consume(qsizetype n) {
  pos_ += n;
  leidos_ += n;
}

QString LectorFichero::LeeLinea() {
  QByteArray linea;  // the part of a line read from the blocks before its last
  const char fin = soloLf_ ? '\n' : '\r';
  for (;;) {
    if (pos_ >= buffer_.size() && !Rellena()) break;
    const qsizetype i = buffer_.indexOf(fin, pos_);
    if (i < 0) {
      linea.append(buffer_.constData() + pos_, buffer_.size() - pos_);
      Consume(buffer_.size() - pos_);
      continue;
    }
    // Decoded where it stands when the whole line is in this block, before the block can
    // be refilled below.
    const QByteArrayView resto(buffer_.constData() + pos_, i - pos_);
    QString texto = linea.isEmpty() ? Decodifica(resto) : Decodifica(linea.append(resto));
    Consume(i - pos_ + 1);
    // CR LF is one line end; only the first LF after a CR belongs to it.
    if (!soloLf_ && (pos_ < buffer_.size() || Rellena()) && buffer_.at(pos_) == '\n') Consume(1);
    return texto;
  }
  return Decodifica(linea);
}

QString LectorFichero::Fichero_LeeLinea(const QString& textoAnt) {
  if (!textoAnt.isEmpty() && textoAnt.at(0) == QLatin1Char('\n')) return textoAnt.mid(1);
  QString linea;
  do {
    linea = LeeLinea();
  } while (linea.isEmpty() && !Eof());
  return linea;
}

}  // namespace relvano::chainfile
