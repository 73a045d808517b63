#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "app/historial.h"

class QTableWidget;

namespace relvano::gui {

// "Últimas importaciones": the runs of the history, newest first (date, kind, file,
// outcome, lines). A double click or "Ver resumen" shows the log kept with the run;
// "Deshacer", when given, undoes the selected run.
class FrmHistorial : public QDialog {
  Q_OBJECT
 public:
  // `verLog` shows the log the history keeps with a run; `deshacer` undoes one (after
  // asking) and says whether anything was done, which closes the list (no longer true).
  FrmHistorial(const std::vector<EjecucionHistorial>& ejecuciones,
               std::function<void(const EjecucionHistorial&)> verLog,
               std::function<bool(const EjecucionHistorial&)> deshacer = {},
               QWidget* padre = nullptr);

 private:
  void VerResumen();
  void Deshacer();

  std::vector<EjecucionHistorial> ejecuciones_;
  std::function<void(const EjecucionHistorial&)> verLog_;
  std::function<bool(const EjecucionHistorial&)> deshacer_;
  QTableWidget* tabla_;
};

// The history's outcome as the operator reads it: "completa", "cancelada (simulación)".
QString TextoDesenlaceHistorial(const EjecucionHistorial& e);

}  // namespace relvano::gui
