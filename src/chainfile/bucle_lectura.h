#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "base/error.h"
#include "chainfile/registro.h"

namespace relvano {
class Operador;
class Progreso;
class RunLog;
}  // namespace relvano

namespace relvano::chainfile {

// One kind of detail line of a catalogue file.
struct TipoDetalle {
  QString tipo;             // first three characters of the line: "DET", "COM", "VTA"
  QString palabra;          // the word of the "  Leyendo línea <palabra>: N" log line
  std::vector<int> anchos;  // widths of the detail record (kLibre for free fields)
  int campoArticulo = 0;    // field of the article code (0: none); for the imports' use
};

// Applies one detail line. `indiceTipo` is the index of its TipoDetalle; `ide` is the
// header record (blank when the file had no IDE line); `numLinea` the line count.
// Throwing stops the run: the loop closes the file and rethrows as ErrorEnLinea.
using AplicaDetalle =
    std::function<void(int indiceTipo, const Registro& det, const Registro& ide, int numLinea)>;

// A failure while a line was applied, with the line count of that line.
// Keeps the statement of a database failure it stands for.
class ErrorEnLinea : public Error {
 public:
  ErrorEnLinea(int linea, const QString& detalle, QString sentencia = {})
      : Error(detalle, std::move(sentencia)), linea_(linea) {}
  int Linea() const { return linea_; }
  const QString& Detalle() const { return Mensaje(); }

 private:
  int linea_;
};

struct ResultadoLectura {
  int lineas = 0;           // the line count where reading stopped (a count message shows
                            // it as it stood at its CHK line)
  bool cancelado = false;   // Progreso asked to stop; lines up to `lineas` were applied
  bool vioTrailer = false;  // at least one CHK line was read
};

struct ContextoLectura {
  RunLog& log;
  Operador& operador;            // count message (information icon)
  Progreso* progreso = nullptr;  // optional; asked after every line
};

class LectorFichero;

// The two steps every reader of a chain file shares with the read loop below. Opens
// `ruta` into `lector`; throws ErrorEnLinea(0) saying why it cannot be opened.
void AbreFichero(LectorFichero& lector, const QString& ruta);
// Fills `registro` from `linea` (Registro::Llena), line `cuenta` of the file: a field that
// cannot be stored ends the run at that line (ErrorEnLinea).
void LlenaLinea(Registro& registro, QString& linea, int cuenta);

// The read loop of a catalogue import. Opens `ruta`; takes a first IDE line into the
// header record (any other first line is counted and not processed); then for each
// line from Fichero_LeeLinea counts it and: a line of one of `tipos` gets its
// "  Leyendo línea <palabra>: <n>" log line, is split into its record and handed to
// `aplica`; a CHK line writes "Fin Actualización" and shows the count message; any
// other line is skipped. Reading goes on to the end of the file, also after a CHK.
// A record joined by LF to the last line of the file is still processed.
// `contexto.progreso`, when given, is asked after every line, the first included.
// Throws ErrorEnLinea when the file cannot be opened (line 0), when a line to be split
// (IDE, a detail line, CHK) has a field that cannot be stored (Registro::Llena; the line
// is not applied) or when `aplica` throws.
ResultadoLectura BucleLectura(const QString& ruta, const std::vector<TipoDetalle>& tipos,
                              const AplicaDetalle& aplica, ContextoLectura& contexto);

// The count message of the CHK line: "Se han leido: N lineas." CR LF CR LF
// "El fichero contiene M lineas." with M the trailer's count as a plain number.
QString MensajeCuenta(int lineas, const Registro& chk);

}  // namespace relvano::chainfile
