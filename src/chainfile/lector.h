#pragma once

#include <QFile>
#include <QString>
#include <memory>

namespace relvano::chainfile {

// Reads a chain file line by line without holding more than one line in memory.
// Each line is decoded on its own: UTF-8 when it is valid UTF-8, Windows-1252
// otherwise; a UTF-8 byte-order mark at the start of the file is dropped.
//
// Line ends: CR LF ends a line, and so does a lone CR. An LF that follows a CR LF or
// stands inside a line is kept in the text (the read loop treats a text beginning
// with LF as a joined record). In a file that holds no CR at all, LF ends a line.
// NUL bytes and binary garbage are read as text; nothing here fails on content.
class LectorFichero {
 public:
  LectorFichero() = default;
  ~LectorFichero();
  LectorFichero(const LectorFichero&) = delete;
  LectorFichero& operator=(const LectorFichero&) = delete;

  // Opens `ruta` for reading, closing any file open before; reads it through once to
  // learn whether it holds a CR. False with `error` set when it cannot be opened or is
  // not a regular file.
  bool Abre(const QString& ruta, QString* error = nullptr);
  void Cierra();

  // True when every byte of the file has been read, and when no file is open.
  bool Eof() const;

  // A plain line read: the next physical line without its line end, "" at the end of
  // the file (and when no file is open).
  QString LeeLinea();

  // Fichero_LeeLinea: when `textoAnt` begins with LF, returns it without that LF and
  // reads nothing; otherwise reads lines until one is not empty or the file ends and
  // returns the last one read ("" when the end came first).
  QString Fichero_LeeLinea(const QString& textoAnt);

  // Progress: bytes consumed so far (line ends and byte-order mark included) and the
  // file's size when it was opened.
  qint64 BytesLeidos() const { return leidos_; }
  qint64 BytesTotales() const { return total_; }

 private:
  // Replaces the buffer with the next block of the file; false at the end.
  bool Rellena();
  void Consume(qsizetype n);

  std::unique_ptr<QFile> file_;
  QByteArray buffer_;  // one block of the file; only the current line grows beyond it
  qsizetype pos_ = 0;  // first byte of buffer_ not yet read
  qint64 leidos_ = 0;  // bytes of the file consumed, line ends and byte-order mark included
  qint64 total_ = 0;
  bool soloLf_ = false;  // the file holds no CR: LF ends a line
};

}  // namespace relvano::chainfile
