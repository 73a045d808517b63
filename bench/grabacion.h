#pragma once
// What recording a run's changes for `undo` costs, measured apart from the run.

#include "app/historial.h"

namespace relvano::bench {

// Processor seconds that compressing the changes of run `id` takes, group by group as the
// run handed them over: the recording's own work, done again on the groups the history
// kept (the run does it on a thread of its own while its next group is applied, so it
// hides in the run's clock time). -1 when the history cannot be read or kept none.
double CpuGrabacion(const UbicacionHistorial& ubicacion, qint64 id);

}  // namespace relvano::bench
