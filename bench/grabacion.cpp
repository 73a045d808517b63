#include "grabacion.h"

#include <time.h>

#include <exception>

namespace relvano::bench {
namespace {

double CpuHilo() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

double CpuGrabacion(const UbicacionHistorial& ubicacion, qint64 id) {
  QString error;
  const auto historial = Historial::Abre(ubicacion, &error);
  if (!historial || id == 0) return -1;
  try {
    const auto grupos = historial->Cambios(id);
    if (grupos.empty()) return -1;
    const double inicio = CpuHilo();
    qsizetype bytes = 0;
    for (const auto& grupo : grupos) bytes += Historial::ComprimeCambios(grupo).size();
    return bytes > 0 ? CpuHilo() - inicio : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace relvano::bench
