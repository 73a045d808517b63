#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/ajustes.h"
#include "app/arranque.h"
#include "app/importacion.h"
#include "base/operador.h"

class QButtonGroup;
class QGroupBox;
class QHBoxLayout;
class QScrollArea;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace relvano::gui {

// What the main window reaches outside itself, so that tests can stand in for it.
struct ServiciosVentana {
  // The open-file dialog: `filtro` as FiltroOpcion gives it, `carpeta` the initial
  // folder. Returns the chosen file's full path, or "" when the operator cancelled.
  // Default: an open-file QFileDialog over the window, within its screen.
  std::function<QString(const QString& filtro, const QString& carpeta)> eligeFichero;
  // Shows a run log without waiting for the viewer. Default: Notepad on Windows, the
  // desktop's viewer for text files elsewhere, and when neither starts, a window of
  // this program with the log's text.
  std::function<void(const QString& ruta)> verLog;
  // Ends the program with `codigo`: 0 after "&Salir", 2 after a fatal message of a
  // company opening. Default: QCoreApplication::exit.
  std::function<void(int codigo)> terminaPrograma;
  // The question before a run over the inbox folder, with the box "Importar también los ya
  // importados o anteriores" (unticked) that `forzar` returns. True for Yes. Default: a
  // question box of the program, No by default.
  std::function<bool(const QString& texto, bool& forzar)> confirmaBandeja;
  // Folder of the run logs.
  QString carpetaLogs;
};

// frm_Relvano, the main window: the company box, the six kinds of update, the chain
// file, the import run and its progress, the order box and the exit.
//
// `programa` must have gone through its start-up (CargaEmpresas); the window shows the
// company list it left and, when the start-up stopped before listing any company, can
// only be closed. `programa`, `operador` and `ajustes` must outlive the window. Every
// message goes through `operador`; the window decides nothing about the files or the
// databases itself.
//
// After a run the result line says what happened, until the file or the kind changes
// or another run starts.
//
// A run works on the window's thread and lets the window repaint after every line;
// meanwhile every control but "Cancelar" is disabled, so nothing can start a second run or
// change the company under the first. "Cancelar", Escape and the close box ask before
// stopping the run (No by default); the close box then closes the window once it stopped.
class FrmRelvano : public QWidget {
  Q_OBJECT
 public:
  FrmRelvano(Programa& programa, Operador& operador, SettingsStore& ajustes,
             ServiciosVentana servicios, QWidget* padre = nullptr);
  ~FrmRelvano() override;

  // True while an import run (real or simulated) is working.
  bool Ejecutando() const { return ejecutando_; }

  // Sizes and places the window inside `disponible` (a screen's available geometry,
  // in device-independent pixels), leaving room for the window manager's frame.
  void AjustaAPantalla(const QRect& disponible);

 signals:
  // After each line of a run, before the run asks whether to go on. A slot connected
  // directly may press "Cancelar", and the run then stops after that line.
  void LineaLeida(qint64 bytesLeidos, qint64 bytesTotales, int lineas);

 protected:
  void closeEvent(QCloseEvent* evento) override;
  // Enter presses the focused button, and "Importar fichero" from the path box; Escape
  // cancels a run, as "Cancelar" does.
  void keyPressEvent(QKeyEvent* evento) override;
  // A chain file dropped from the file manager: its path, and its kind when it tells.
  void dragEnterEvent(QDragEnterEvent* evento) override;
  void dropEvent(QDropEvent* evento) override;

 private:
  class ProgresoVentana;
  class OperadorEjecucion;

  // The layout, in frm_relvano_construye.cpp: the window, one function per frame, the
  // footer, and the signals.
  void Construye();
  QGroupBox* MarcoOperacion();
  QGroupBox* MarcoFichero();
  QGroupBox* MarcoPedido();
  QHBoxLayout* Pie();
  void Conecta();
  static QString TextoLineas(int lineas);
  void LlenaEmpresas();
  std::optional<OpcionImportacion> OpcionElegida() const;

  void optClase_Click();
  void BotonBuscar_Click();
  void cmdBorrar_Click();
  void cmdImportar_Click();
  void cmdEnviarPedido_Click();
  void cmdSimular_Click();
  void cmdCancelar_Click();
  // During a run: asks whether to stop it, once; true when it is to stop.
  bool PreguntaCancelar();
  void cmdBandeja_Click();
  void cmdHistorial_Click();
  void cmbEmpresa_Click(int indice);
  void cmdSalir_Click();

  void ImportaFichero(bool simular);
  // The installation's run history, beside its general database.
  UbicacionHistorial UbicacionDelHistorial() const;
  // Runs `ejecucion` as a run of the window: busy, only "Cancelar" enabled, the progress
  // shown, and anything it throws told to the operator.
  void Ejecuta(const std::function<void(Operador&, Progreso&)>& ejecucion);
  bool Avance(qint64 bytesLeidos, qint64 bytesTotales, int lineas);
  void Espera(qint64 ms);
  // The file or the kind changed: what the last run showed no longer applies.
  void LimpiaResultado();
  void MuestraResultado(const QString& texto);
  void MuestraAvance(qint64 bytesLeidos, qint64 bytesTotales, int lineas);
  void MuestraUltimoAvance();
  // Enables what the window's state allows: everything when idle with a company open,
  // only "Cancelar" during a run, only the exit when the start-up stopped.
  void ActualizaControles();

  Programa& programa_;
  Operador& operador_;
  SettingsStore& ajustes_;
  ServiciosVentana servicios_;

  bool ejecutando_ = false;
  bool cancelar_ = false;
  bool esperando_ = false;
  bool cerrarAlTerminar_ = false;
  // How long the run's boxes waited for the operator (not the run's own time), and the
  // text of its last report (the invoice's totals check).
  qint64 enCajas_ = 0;
  QString ultimoInforme_;
  // The last message box of the run in progress: the reason of a refusal.
  QString ultimoMensaje_;
  // The run's clock for spacing the repaints, and the last progress it reported.
  QElapsedTimer reloj_;
  qint64 ultimoRefresco_ = -1;
  struct UltimoAvance {
    qint64 leidos = 0;
    qint64 total = 0;
    int lineas = 0;
  } ultimo_;

  // Widgets, owned by the window through Qt's parent chain.
  std::array<QRadioButton*, 6> optClase_{};
  QButtonGroup* opciones_ = nullptr;
  QCheckBox* chkNoActualizarBajas_ = nullptr;
  QComboBox* cmbEmpresa_ = nullptr;
  QLineEdit* txtFichero_ = nullptr;
  QToolButton* BotonBuscar_ = nullptr;
  QLabel* LbNombreFicheroImportado_ = nullptr;
  QPushButton* cmdBorrar_ = nullptr;
  QPushButton* cmdImportar_ = nullptr;
  QPushButton* cmdEnviarPedido_ = nullptr;
  QPushButton* cmdSimular_ = nullptr;
  QPushButton* cmdCancelar_ = nullptr;
  QPushButton* cmdBandeja_ = nullptr;
  QPushButton* cmdHistorial_ = nullptr;
  QProgressBar* barraProgreso_ = nullptr;
  QLabel* lbLineas_ = nullptr;
  QLabel* lbResultado_ = nullptr;
  QLineEdit* txtCliente_ = nullptr;
  QLineEdit* txtNumPedido_ = nullptr;
  QPushButton* cmdSalir_ = nullptr;
};

}  // namespace relvano::gui
