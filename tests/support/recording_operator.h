#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "base/operador.h"

namespace relvano::testing {

// An operator that records every message box, question and report, and answers
// questions from a script (Yes when the script is empty unless told otherwise).
class RecordingOperator : public Operador {
 public:
  struct Evento {
    enum class Tipo { Mensaje, Pregunta, Informe } tipo;
    QString texto;
    Icono icono = Icono::Ninguno;
  };

  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override;
  bool Pregunta(const QString& texto) override;
  // Recorded and answered as Pregunta: the script gives the answer either way.
  bool PreguntaNo(const QString& texto) override { return Pregunta(texto); }
  void Informe(const QString& texto) override;

  // Queue the answers to the next questions, in order.
  void Responde(std::initializer_list<bool> respuestas);
  void RespuestaPorDefecto(bool si) { porDefecto_ = si; }

  const std::vector<Evento>& Eventos() const { return eventos_; }
  QStringList Mensajes() const;  // texts of the message boxes, in order
  QStringList Informes() const;  // texts of the reports, in order
  // Every event as one readable line: "Mensaje[i]: text", "Pregunta: text", "Informe: text".
  QString Transcripcion() const;
  void Limpia() { eventos_.clear(); }

  // Called as each box comes up, before it is recorded: lets a test look at the world
  // (the window, the database from another connection) while the operator reads it.
  std::function<void(const QString& texto)> alMostrar;

 private:
  void Anota(Evento::Tipo tipo, const QString& texto, Icono icono);
  std::vector<Evento> eventos_;
  std::deque<bool> respuestas_;
  bool porDefecto_ = true;
};

}  // namespace relvano::testing
