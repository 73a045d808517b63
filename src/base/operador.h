#pragma once

#include <QDate>
#include <QString>

namespace relvano {

// The operator seam: everything the core asks of the person at the shop goes
// through here. The window shows message boxes and frm_Informa; the command line
// prints; tests record and answer from a script. The core never includes a widget.
class Operador {
 public:
  enum class Icono { Ninguno, Informacion, Stop, Pregunta };

  virtual ~Operador() = default;

  // A message box with an OK button, titled with the program's title. Returns when
  // the operator has closed it. Line breaks in `texto` are CR LF, as the program writes them.
  virtual void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) = 0;

  // A Yes/No question with the question icon. True for Yes.
  virtual bool Pregunta(const QString& texto) = 0;

  // The same question with No as the default answer, for a question whose Yes does
  // something the operator should not do by a quick Enter (a file applied twice). An
  // operator that stands in front of another passes it on as it is, so the default
  // answer is never lost on the way.
  virtual bool PreguntaNo(const QString& texto) = 0;

  // The report window (frm_Informa): `texto` in a fixed-pitch font until closed.
  virtual void Informe(const QString& texto) = 0;
};

// Progress of a run, reported by the read loops after each line. Returning false
// asks the run to stop after the line in hand.
class Progreso {
 public:
  virtual ~Progreso() = default;
  virtual bool Avance(qint64 bytesLeidos, qint64 bytesTotales, int lineas) = 0;
  // Line `linea` has been read and is about to be applied: a message shown while it is
  // applied (the line count at the trailer, an error) speaks of this line.
  virtual void Leyendo(int linea) { Q_UNUSED(linea); }
  // A statement has been waiting `ms` for another program that holds a database, and
  // goes on waiting: a front end can say so. Told through ProgresoEnCurso.
  virtual void Esperando(qint64 ms) { Q_UNUSED(ms); }
};

// The progress of the run in progress on this thread, for the code far below the run
// that cannot be handed it (the wait for a database held by another program).
// Registered for the object's life; the one before is restored after it.
class ProgresoEnCurso {
 public:
  explicit ProgresoEnCurso(Progreso* progreso);
  ~ProgresoEnCurso();
  ProgresoEnCurso(const ProgresoEnCurso&) = delete;
  ProgresoEnCurso& operator=(const ProgresoEnCurso&) = delete;
  // Tells the registered progress, if any, that a statement has waited `ms` so far.
  static void AvisaEspera(qint64 ms);

 private:
  Progreso* anterior_;
};

// "Today" for the code that stamps dates, so that tests can fix it.
class Reloj {
 public:
  virtual ~Reloj() = default;
  virtual QDate Hoy() const = 0;
};

class RelojSistema final : public Reloj {
 public:
  QDate Hoy() const override;
};

}  // namespace relvano
