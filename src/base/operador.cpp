#include "base/operador.h"

#include <QDate>

namespace relvano {

namespace {
thread_local Progreso* progresoEnCurso = nullptr;
}  // namespace

QDate RelojSistema::Hoy() const { return QDate::currentDate(); }

ProgresoEnCurso::ProgresoEnCurso(Progreso* progreso) : anterior_(progresoEnCurso) {
  progresoEnCurso = progreso;
}

ProgresoEnCurso::~ProgresoEnCurso() { progresoEnCurso = anterior_; }

void ProgresoEnCurso::AvisaEspera(qint64 ms) {
  if (progresoEnCurso) progresoEnCurso->Esperando(ms);
}

}  // namespace relvano
