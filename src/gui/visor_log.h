#pragma once

#include <QDialog>

class QLineEdit;
class QListView;

namespace relvano::gui {

class ModeloLineas;

// The program's own viewer of a run log, for a machine without a text viewer and for the
// logs of the history. A log of hundreds of thousands of lines opens at once: the file is
// read as bytes and each line is decoded only when it is drawn. Ctrl+F opens a find bar
// (Enter or F3: next match, Escape: close it); Ctrl+C copies the selected lines. It opens
// within nine tenths of its screen's available room.
class VisorLog : public QDialog {
  Q_OBJECT
 public:
  explicit VisorLog(QWidget* padre = nullptr);
  ~VisorLog() override;
  // Loads `ruta` (UTF-8, any line ends). False when it cannot be read.
  bool Abre(const QString& ruta);
  // Selects the next line after the current one that contains `texto` (any case),
  // from the top after the last line. False when no line has it.
  bool Busca(const QString& texto);
  int LineaActual() const;

 protected:
  void keyPressEvent(QKeyEvent* evento) override;

 private:
  void Copia();

  ModeloLineas* modelo_;
  QListView* lista_;
  QWidget* barraBusqueda_;
  QLineEdit* txtBuscar_;
};

}  // namespace relvano::gui
