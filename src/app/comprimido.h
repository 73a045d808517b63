#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// What the history keeps compressed (a run's log, its groups of changes), as text that
// every engine stores.
namespace relvano {

// `bytes` compressed, as text: "zstd:" and a Zstandard frame in base64 (or, in a build
// without that library, a zlib stream in Qt's layout, in base64).
QString TextoComprimido(QByteArrayView bytes);
// The contents of the regular file `ruta` as TextoComprimido gives them, read and compressed
// a block at a time; null when it is not a regular file or cannot be read.
QString TextoComprimidoDeFichero(const QString& ruta);
// The bytes of a text that TextoComprimido gave, or that an earlier version gave (a zlib
// stream in Qt's layout, in base64); null when the text is damaged.
QByteArray BytesDeTextoComprimido(const QString& texto);

}  // namespace relvano
