#include "app/comprimido.h"

#include <QFile>
#include <QFileInfo>
#include <QLatin1StringView>

#ifdef RELVANO_ZSTD
#include <zstd.h>

#include <memory>
#endif

namespace relvano {
namespace {

constexpr QLatin1StringView kPrefijoZstd("zstd:");

#ifdef RELVANO_ZSTD
// Level 1: a run's changes and its log come out smaller than zlib's fastest level made them,
// in a fifth of its time (the history is written while the run goes on).
constexpr int kNivelZstd = 1;

QByteArray ComprimeZstd(QByteArrayView bytes) {
  QByteArray salida(static_cast<qsizetype>(ZSTD_compressBound(static_cast<size_t>(bytes.size()))),
                    Qt::Uninitialized);
  const size_t n = ZSTD_compress(salida.data(), static_cast<size_t>(salida.size()), bytes.data(),
                                 static_cast<size_t>(bytes.size()), kNivelZstd);
  if (ZSTD_isError(n)) return {};
  salida.truncate(static_cast<qsizetype>(n));
  return salida;
}

// A file compressed a block at a time as it is read: a long run's log is not held whole in
// memory, read and then compressed, at the run's end. Null when it cannot be read.
QByteArray ComprimeZstd(QIODevice& fichero) {
  const std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> ctx(ZSTD_createCCtx(), &ZSTD_freeCCtx);
  if (!ctx || ZSTD_isError(ZSTD_CCtx_setParameter(ctx.get(), ZSTD_c_compressionLevel, kNivelZstd)))
    return {};
  QByteArray entrada(static_cast<qsizetype>(ZSTD_CStreamInSize()), Qt::Uninitialized);
  const auto bloque = static_cast<qsizetype>(ZSTD_CStreamOutSize());
  QByteArray salida("");
  for (bool fin = false; !fin;) {
    const qint64 leidos = fichero.read(entrada.data(), entrada.size());
    if (leidos < 0) return {};
    fin = leidos == 0;
    ZSTD_inBuffer in{entrada.constData(), static_cast<size_t>(leidos), 0};
    size_t pendiente = 0;
    do {
      const qsizetype antes = salida.size();
      if (salida.capacity() < antes + bloque) salida.reserve(2 * (antes + bloque));
      salida.resize(antes + bloque);
      ZSTD_outBuffer out{salida.data() + antes, static_cast<size_t>(bloque), 0};
      pendiente = ZSTD_compressStream2(ctx.get(), &out, &in, fin ? ZSTD_e_end : ZSTD_e_continue);
      salida.truncate(antes + static_cast<qsizetype>(out.pos));
      if (ZSTD_isError(pendiente)) return {};
    } while (fin ? pendiente != 0 : in.pos < in.size);
  }
  return salida;
}

// Decompressed a block at a time, never trusting the size the frame announces: a damaged
// text gives a null array, not an allocation of whatever its bytes say.
QByteArray DescomprimeZstd(QByteArrayView frame) {
  const std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> ctx(ZSTD_createDCtx(), &ZSTD_freeDCtx);
  if (!ctx) return {};
  QByteArray salida("");
  ZSTD_inBuffer entrada{frame.data(), static_cast<size_t>(frame.size()), 0};
  const auto bloque = static_cast<qsizetype>(ZSTD_DStreamOutSize());
  size_t pendiente = 1;
  while (pendiente != 0) {
    const qsizetype antes = salida.size();
    if (salida.capacity() < antes + bloque) salida.reserve(2 * (antes + bloque));
    salida.resize(antes + bloque);
    const size_t leido = entrada.pos;
    ZSTD_outBuffer out{salida.data() + antes, static_cast<size_t>(bloque), 0};
    pendiente = ZSTD_decompressStream(ctx.get(), &out, &entrada);
    salida.truncate(antes + static_cast<qsizetype>(out.pos));
    if (ZSTD_isError(pendiente)) return {};
    // The frame's end not reached with the whole text read (cut short), or no step forward.
    if (pendiente != 0 && ((out.pos < out.size && entrada.pos == entrada.size) ||
                           (out.pos == 0 && entrada.pos == leido)))
      return {};
  }
  // Anything after the frame is not ours.
  return entrada.pos == entrada.size ? salida : QByteArray();
}
#endif

}  // namespace

QString TextoComprimido(QByteArrayView bytes) {
#ifdef RELVANO_ZSTD
  return kPrefijoZstd + QString::fromLatin1(ComprimeZstd(bytes).toBase64());
#else
  return QString::fromLatin1(
      qCompress(reinterpret_cast<const uchar*>(bytes.data()), bytes.size(), 1).toBase64());
#endif
}

QString TextoComprimidoDeFichero(const QString& ruta) {
  QFile f(ruta);
  if (!QFileInfo(ruta).isFile() || !f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return {};
#ifdef RELVANO_ZSTD
  const QByteArray comprimido = ComprimeZstd(f);
  if (comprimido.isNull()) return {};
  return kPrefijoZstd + QString::fromLatin1(comprimido.toBase64());
#else
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) return {};
  return TextoComprimido(bytes);
#endif
}

QByteArray BytesDeTextoComprimido(const QString& texto) {
  const bool zstd = texto.startsWith(kPrefijoZstd);
  const auto decodificado = QByteArray::fromBase64Encoding(
      QStringView(texto).sliced(zstd ? kPrefijoZstd.size() : 0).toLatin1(),
      QByteArray::AbortOnBase64DecodingErrors);
  if (!decodificado) return {};
#ifdef RELVANO_ZSTD
  if (zstd) return DescomprimeZstd(*decodificado);
#else
  if (zstd) return {};  // written by a build with the library, which this one lacks
#endif
  QByteArray bytes = qUncompress(*decodificado);
  if (!bytes.isEmpty()) return bytes;
  // Empty both for a damaged stream and for an empty text, whose length (the stream's
  // first four bytes) says 0.
  if (decodificado.decoded.startsWith(QByteArrayView("\0\0\0\0", 4))) return QByteArray("");
  return {};
}

}  // namespace relvano
