#include "support/recording_operator.h"

namespace relvano::testing {

void RecordingOperator::Mensaje(const QString& texto, Icono icono) {
  eventos_.push_back({Evento::Tipo::Mensaje, texto, icono});
}

bool RecordingOperator::Pregunta(const QString& texto) {
  eventos_.push_back({Evento::Tipo::Pregunta, texto, Icono::Pregunta});
  if (respuestas_.empty()) return porDefecto_;
  const bool r = respuestas_.front();
  respuestas_.pop_front();
  return r;
}

void RecordingOperator::Informe(const QString& texto) {
  eventos_.push_back({Evento::Tipo::Informe, texto, Icono::Ninguno});
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
QStringList RecordingOperator::Preguntas() const { return Textos(eventos_, Evento::Tipo::Pregunta); }
QStringList RecordingOperator::Informes() const { return Textos(eventos_, Evento::Tipo::Informe); }

QString RecordingOperator::Transcripcion() const {
  QString out;
  for (const auto& e : eventos_) {
    switch (e.tipo) {
      case Evento::Tipo::Mensaje: {
        static const char* const kIconos[] = {"", "[i]", "[stop]", "[?]"};
        out += QStringLiteral("Mensaje%1: ").arg(QLatin1String(kIconos[static_cast<int>(e.icono)]));
        break;
      }
      case Evento::Tipo::Pregunta:
        out += QStringLiteral("Pregunta: ");
        break;
      case Evento::Tipo::Informe:
        out += QStringLiteral("Informe: ");
        break;
    }
    out += e.texto + QLatin1Char('\n');
  }
  return out;
}

}  // namespace relvano::testing
