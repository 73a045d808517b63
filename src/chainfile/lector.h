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

  // Opens `ruta` for reading. False with `error` set when it cannot be opened.
  bool Abre(const QString& ruta, QString* error = nullptr);
  void Cierra();

  // True when every byte of the file has been read.
  bool Eof() const;

  // A plain line read: the next physical line, "" at the end of the file.
  QString LeeLinea();

  // Fichero_LeeLinea: when `textoAnt` begins with LF, returns it without that LF and
  // reads nothing; otherwise reads lines until one is not empty or the file ends and
  // returns the last one read ("" when the end came first).
  QString Fichero_LeeLinea(const QString& textoAnt);

  qint64 BytesLeidos() const { return leidos_; }
  qint64 BytesTotales() const { return total_; }

 private:
  bool Rellena();
  std::unique_ptr<QFile> file_;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  qint64 leidos_ = 0;
  qint64 total_ = 0;
  bool finArchivo_ = false;
  bool soloLf_ = false;  // the file holds no CR: LF ends a line
  bool primerBloque_ = true;
};

}  // namespace relvano::chainfile
