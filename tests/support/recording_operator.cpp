#include "support/recording_operator.h"

namespace relvano::testing {

void RecordingOperator::Anota(Evento::Tipo tipo, const QString& texto, Icono icono) {
  if (alMostrar) alMostrar(texto);
  eventos_.push_back({tipo, texto, icono});
}

void RecordingOperator::Mensaje(const QString& texto, Icono icono) {
  Anota(Evento::Tipo::Mensaje, texto, icono);
}

bool RecordingOperator::Pregunta(const QString& texto) {
  Anota(Evento::Tipo::Pregunta, texto, Icono::Pregunta);
  if (respuestas_.empty()) return porDefecto_;
  const bool r = respuestas_.front();
  respuestas_.pop_front();
  return r;
}

void RecordingOperator::Informe(const QString& texto) {
  Anota(Evento::Tipo::Informe, texto, Icono::Ninguno);
}

void RecordingOperator::Responde(std::initializer_list<bool> respuestas) {
  respuestas_.insert(respuestas_.end(), respuestas.begin(), respuestas.end());
}

static QStringList Textos(const std::vector<RecordingOperator::Evento>& eventos,
                          RecordingOperator::Evento::Tipo tipo) {
  QStringList out;
  for (const auto& e : eventos)
    if (e.tipo == tipo) out << e.texto;
  return out;
}

QStringList RecordingOperator::Mensajes() const { return Textos(eventos_, Evento::Tipo::Mensaje); }
QStringList RecordingOperator::Informes() const { return Textos(eventos_, Evento::Tipo::Informe); }

QString RecordingOperator::Transcripcion() const {
  static const char* const kIconos[] = {"", "[i]", "[stop]", "[?]"};
  static const char* const kTipos[] = {"Mensaje", "Pregunta", "Informe"};
  QString out;
  for (const auto& e : eventos_) {
    out += QLatin1String(kTipos[static_cast<int>(e.tipo)]);
    if (e.tipo == Evento::Tipo::Mensaje) out += QLatin1String(kIconos[static_cast<int>(e.icono)]);
    out += QStringLiteral(": ") + e.texto + QLatin1Char('\n');
  }
  return out;
}

}  // namespace relvano::testing
