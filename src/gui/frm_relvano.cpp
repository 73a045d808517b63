#include "gui/frm_relvano.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/bandeja.h"
#include "app/historial.h"
#include "app/verificacion.h"
#include "gui/acciones_ventana.h"
#include "gui/dibujos.h"
#include "gui/frm_historial.h"
#include "gui/gui_operador.h"
#include "gui/visor_log.h"

namespace relvano::gui {

namespace {

// How often a run lets the window repaint and take the "Cancelar" click. Every line
// would spend more time painting than importing on a long file.
constexpr qint64 kRefrescoMs = 40;

void MuestraLogEnVentana(QWidget* padre, const QString& ruta) {
  auto* visor = new VisorLog(padre);
  visor->setAttribute(Qt::WA_DeleteOnClose);
  if (!visor->Abre(ruta)) {
    delete visor;
    return;
  }
  visor->show();
}

// The room a window manager's frame and title bar take, before the window is shown and
// the window manager tells.
constexpr QSize kMarco(16, 40);

}  // namespace

class FrmRelvano::ProgresoVentana final : public Progreso {
 public:
  explicit ProgresoVentana(FrmRelvano& ventana) : ventana_(ventana) {}
  bool Avance(qint64 bytesLeidos, qint64 bytesTotales, int lineas) override {
    return ventana_.Avance(bytesLeidos, bytesTotales, lineas);
  }
  void Leyendo(int linea) override { ventana_.ultimo_.lineas = linea; }
  void Esperando(qint64 ms) override { ventana_.Espera(ms); }

 private:
  FrmRelvano& ventana_;
};

// The run's operator: brings the progress shown up to date before each box, so that a
// box raised at the trailer line is read beside the count it speaks of, and keeps the time
// the boxes waited out of the run's own time.
class FrmRelvano::OperadorEjecucion final : public Operador {
 public:
  OperadorEjecucion(FrmRelvano& ventana, Operador& operador)
      : ventana_(ventana), operador_(operador) {}
  void Mensaje(const QString& texto, Icono icono) override {
    ventana_.ultimoMensaje_ = texto;
    Caja([&] { operador_.Mensaje(texto, icono); });
  }
  bool Pregunta(const QString& texto) override {
    bool si = false;
    Caja([&] { si = operador_.Pregunta(texto); });
    return si;
  }
  bool PreguntaNo(const QString& texto) override {
    bool si = false;
    Caja([&] { si = operador_.PreguntaNo(texto); });
    return si;
  }
  void Informe(const QString& texto) override {
    ventana_.ultimoInforme_ = texto;
    Caja([&] { operador_.Informe(texto); });
  }

 private:
  template <typename F>
  void Caja(F&& muestra) {
    ventana_.MuestraUltimoAvance();
    QElapsedTimer espera;
    espera.start();
    muestra();
    ventana_.enCajas_ += espera.elapsed();
  }

  FrmRelvano& ventana_;
  Operador& operador_;
};

FrmRelvano::FrmRelvano(Programa& programa, Operador& operador, SettingsStore& ajustes,
                       ServiciosVentana servicios, QWidget* padre)
    : QWidget(padre),
      programa_(programa),
      operador_(operador),
      ajustes_(ajustes),
      servicios_(std::move(servicios)) {
  if (!servicios_.eligeFichero) {
    servicios_.eligeFichero = [this](const QString& filtro, const QString& carpeta) {
      QFileDialog dialogo(this, QStringLiteral("Abrir"), carpeta, filtro);
      dialogo.setAcceptMode(QFileDialog::AcceptOpen);
      dialogo.setFileMode(QFileDialog::ExistingFile);
      // Qt's own dialog opens larger than a small screen at double scale: its buttons in sight.
      dialogo.resize(CabeEnPantalla(dialogo, dialogo.sizeHint()));
      return dialogo.exec() == QDialog::Accepted ? dialogo.selectedFiles().value(0) : QString();
    };
  }
  if (!servicios_.verLog) {
    servicios_.verLog = [this](const QString& ruta) {
#ifdef Q_OS_WIN
      if (QProcess::startDetached(QStringLiteral("notepad.exe"), {QDir::toNativeSeparators(ruta)}))
        return;
#else
      if (QDesktopServices::openUrl(QUrl::fromLocalFile(ruta))) return;
#endif
      // A machine without a text viewer still shows the summary the operator asked for.
      MuestraLogEnVentana(this, ruta);
    };
  }
  if (!servicios_.terminaPrograma) {
    servicios_.terminaPrograma = [](int codigo) { QCoreApplication::exit(codigo); };
  }
  if (!servicios_.confirmaBandeja) {
    servicios_.confirmaBandeja = [this](const QString& texto, bool& forzar) {
      return PreguntaEnCaja(this, texto, false, kCasillaForzarBandeja, &forzar);
    };
  }
  Construye();
  LlenaEmpresas();
  ActualizaControles();
  if (!programa_.RecordadaAusente().isEmpty() && programa_.EmpresaAbierta())
    MuestraResultado(QStringLiteral("La empresa recordada \"%1\" no está en la lista de "
                                    "empresas: se ha abierto la %2.")
                         .arg(programa_.RecordadaAusente(), programa_.Empresa().IdEmpresa));
  // The path box is where the work starts.
  txtFichero_->setFocus();
}

FrmRelvano::~FrmRelvano() = default;

QString FrmRelvano::TextoLineas(int lineas) {
  return QStringLiteral("Líneas leídas: %1").arg(lineas);
}

void FrmRelvano::LlenaEmpresas() {
  // Filling the box is not a choice: it opens nothing.
  const QSignalBlocker cargando(cmbEmpresa_);
  cmbEmpresa_->clear();
  const QStringList& codigos = programa_.Empresas();
  const QStringList& nombres = programa_.NombresEmpresas();
  for (qsizetype i = 0; i < codigos.size(); ++i) {
    const QString nombre = i < nombres.size() ? nombres[i] : QString();
    const QString texto =
        nombre.isEmpty() ? codigos[i] : codigos[i] + QStringLiteral(" – ") + nombre;
    cmbEmpresa_->addItem(texto, codigos[i]);
    cmbEmpresa_->setItemData(cmbEmpresa_->count() - 1, texto, Qt::ToolTipRole);
  }
  cmbEmpresa_->setCurrentIndex(cmbEmpresa_->findData(programa_.TextoEmpresa()));
  cmbEmpresa_->setToolTip(cmbEmpresa_->currentText());
  const QSignalBlocker marcando(chkNoActualizarBajas_);
  chkNoActualizarBajas_->setChecked(programa_.NoActualizarBajas());
}

std::optional<OpcionImportacion> FrmRelvano::OpcionElegida() const {
  for (int i = 0; i < 6; ++i)
    if (optClase_[i]->isChecked()) return static_cast<OpcionImportacion>(i);
  return std::nullopt;
}

void FrmRelvano::ActualizaControles() {
  const bool libre = !ejecutando_;
  const bool arrancado = libre && !programa_.Empresas().isEmpty();
  for (QRadioButton* b : optClase_) b->setEnabled(arrancado);
  for (QWidget* w : std::initializer_list<QWidget*>{chkNoActualizarBajas_, cmbEmpresa_, txtFichero_,
                                                    BotonBuscar_, cmdBorrar_, txtCliente_,
                                                    txtNumPedido_, cmdEnviarPedido_, cmdHistorial_})
    w->setEnabled(arrancado);
  // Importing while the shown company did not open would write into another company.
  const bool importable = arrancado && programa_.EmpresaAbierta();
  // A disabled button says why.
  QString porQue;
  if (ejecutando_)
    porQue = QStringLiteral("Hay una importación en curso: espere a que termine o cancélela.");
  else if (!arrancado)
    porQue = QStringLiteral(
        "No hay ninguna empresa que actualizar: el programa no ha podido "
        "leer la lista de empresas.");
  else if (!importable)
    porQue = QStringLiteral("No se puede importar: la empresa ") + programa_.TextoEmpresa() +
             QStringLiteral(
                 " no se ha podido abrir (falta su base de datos de la tienda o no se "
                 "puede leer). Elija otra empresa.");
  cmdImportar_->setEnabled(importable);
  cmdSimular_->setEnabled(importable);
  cmdBandeja_->setEnabled(importable);
  cmdImportar_->setToolTip(porQue);
  cmdSimular_->setToolTip(
      importable ? QStringLiteral("Hace la importación completa con su fichero resumen y deja la "
                                  "base de datos como estaba")
                 : porQue);
  cmdBandeja_->setToolTip(
      importable ? QStringLiteral("Importa en el orden de la cadena todos los ficheros de la "
                                  "carpeta de entrada y mueve los importados a Procesados")
                 : porQue);
  if (libre && !importable) MuestraResultado(porQue);
  cmdCancelar_->setEnabled(ejecutando_);
  cmdSalir_->setEnabled(libre);
}

void FrmRelvano::optClase_Click() {
  txtFichero_->clear();
  LimpiaResultado();
}

void FrmRelvano::BotonBuscar_Click() {
  const auto opcion = OpcionElegida();
  if (!opcion) {
    operador_.Mensaje(kMensajeSinOperacion, Operador::Icono::Informacion);
    return;
  }
  const QString ruta = servicios_.eligeFichero(FiltroOpcion(*opcion), CarpetaDialogo(ajustes_));
  RecuerdaCarpeta(ajustes_, ruta);
  txtFichero_->setText(QDir::toNativeSeparators(ruta));
}

void FrmRelvano::cmdBorrar_Click() {
  if (BorraFicheroElegido(txtFichero_->text(), operador_)) txtFichero_->clear();
}

void FrmRelvano::cmdImportar_Click() {
  cmdImportar_->setEnabled(false);
  cmdEnviarPedido_->setEnabled(false);
  ImportaFichero(false);
  ActualizaControles();
}

void FrmRelvano::cmdEnviarPedido_Click() {
  cmdImportar_->setEnabled(false);
  cmdEnviarPedido_->setEnabled(false);
  operador_.Mensaje(kMensajePedidos);
  ActualizaControles();
}

void FrmRelvano::cmdSimular_Click() {
  cmdImportar_->setEnabled(false);
  cmdEnviarPedido_->setEnabled(false);
  ImportaFichero(true);
  ActualizaControles();
}

bool FrmRelvano::PreguntaCancelar() {
  if (!ejecutando_ || cancelar_) return cancelar_;
  // The run waits while the operator reads: that wait is not the run's time.
  QElapsedTimer espera;
  espera.start();
  cancelar_ = operador_.PreguntaNo(kPreguntaCancelar);
  enCajas_ += espera.elapsed();
  return cancelar_;
}

void FrmRelvano::cmdCancelar_Click() { PreguntaCancelar(); }

void FrmRelvano::ImportaFichero(bool simular) {
  OpcionesImportacion opciones;
  opciones.opcion = OpcionElegida();
  opciones.fichero = txtFichero_->text();
  opciones.nombreFicheroImportado = NombreSinCarpeta(opciones.fichero);
  opciones.noActualizarBajas = programa_.NoActualizarBajas();
  opciones.simular = simular;
  opciones.carpetaLogs = servicios_.carpetaLogs;
  opciones.preguntar = true;
  opciones.historial = UbicacionDelHistorial();
  opciones.revision = programa_.Revision();

  ResultadoImportacion resultado;
  bool fallo = false;
  QElapsedTimer duracion;
  duracion.start();
  Ejecuta([&](Operador& operador, Progreso& progreso) {
    fallo = true;
    resultado = relvano::ImportaFichero(programa_.Empresa(), opciones, operador, &progreso);
    fallo = false;
  });
  using Estado = ResultadoImportacion::Estado;
  // The counter and the bar end where the run ended: the trailer line is read after the
  // last progress report.
  if (resultado.lineas > 0) lbLineas_->setText(TextoLineas(resultado.lineas));
  if (resultado.estado == Estado::Completa || resultado.estado == Estado::FacturaNoCreada)
    barraProgreso_->setValue(barraProgreso_->maximum());
  if (!fallo) {
    QString texto = TextoResultado(resultado, simular, duracion.elapsed() - enCajas_,
                                   ultimoMensaje_, ultimoInforme_);
    if (resultado.revision && !resultado.retenida)
      texto += (texto.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ")) +
               resultado.revision->Resumen();
    MuestraResultado(texto);
  }
  // What the run changed (a file held: what it would change), in the report window.
  if (resultado.revision)
    operador_.Informe(resultado.revision->Lineas().join(QStringLiteral("\r\n")));
  if (resultado.verResumen && !resultado.rutaLog.isEmpty()) servicios_.verLog(resultado.rutaLog);
}

void FrmRelvano::cmdBandeja_Click() {
  const QString carpeta = QDir::fromNativeSeparators(CarpetaEntrada(ajustes_));
  const std::vector<FicheroBandeja> ficheros = FicherosBandeja(carpeta);
  if (ficheros.empty()) {
    operador_.Mensaje(QStringLiteral("La carpeta ") + QDir::toNativeSeparators(carpeta) +
                          QStringLiteral(" no tiene ningún fichero."),
                      Operador::Icono::Informacion);
    return;
  }
  bool forzar = false;
  if (!servicios_.confirmaBandeja(TextoParaVentana(TextoConfirmacionBandeja(carpeta, ficheros)),
                                  forzar))
    return;

  OpcionesBandeja opciones;
  opciones.carpeta = carpeta;
  // One question for the whole folder: the files are not asked about one by one, and the
  // summary says why any was refused.
  opciones.forzar = forzar;
  opciones.rechazosEnResumen = true;
  opciones.noActualizarBajas = programa_.NoActualizarBajas();
  opciones.carpetaLogs = servicios_.carpetaLogs;
  opciones.historial = UbicacionDelHistorial();
  ResultadoBandeja resultado;
  Ejecuta([&](Operador& operador, Progreso& progreso) {
    opciones.progreso = &progreso;
    resultado = ImportaBandeja(programa_.Empresa(), opciones, operador);
  });
  ActualizaControles();
  MuestraResultado(QStringLiteral("Carpeta de entrada: %1 ficheros tratados; vea el resumen.")
                       .arg(resultado.ficheros.size()));
  operador_.Informe(TextoResumenBandeja(carpeta, resultado));
}

UbicacionHistorial FrmRelvano::UbicacionDelHistorial() const {
  return UbicacionHistorial::De(programa_.RutaGeneral(), programa_.Conexiones().Opciones(),
                                servicios_.carpetaLogs);
}

void FrmRelvano::cmdHistorial_Click() {
  QString error;
  const auto historial = Historial::Abre(UbicacionDelHistorial(), &error);
  if (!historial) {
    operador_.Mensaje(error, Operador::Icono::Stop);
    return;
  }
  std::vector<EjecucionHistorial> ejecuciones;
  try {
    ejecuciones = historial->Lista({programa_.TextoEmpresa(), QString(), 200});
  } catch (const std::exception& e) {
    operador_.Mensaje(QString::fromUtf8(e.what()), Operador::Icono::Stop);
    return;
  }
  // The viewer reads a file: the kept log is written to one of the temporary folder.
  const auto verLog = [this](const EjecucionHistorial& e) {
    QString error;
    const auto h = Historial::Abre(UbicacionDelHistorial(), &error);
    QFile copia(
        QDir(QDir::tempPath())
            .filePath(
                QStringLiteral("relvano-%1-%2").arg(e.id).arg(QFileInfo(e.rutaLog).fileName())));
    try {
      if (h && copia.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
          copia.write(h->Log(e.id).toUtf8()) >= 0 && copia.flush()) {
        copia.close();
        servicios_.verLog(copia.fileName());
        return;
      }
    } catch (const std::exception& fallo) {
      error = QString::fromUtf8(fallo.what());
    }
    operador_.Mensaje(QStringLiteral("No se puede mostrar el resumen de la importación ") +
                          QString::number(e.id) + QStringLiteral(": ") +
                          (error.isEmpty() ? copia.errorString() : error),
                      Operador::Icono::Stop);
  };
  auto* ventana = new FrmHistorial(ejecuciones, verLog, this);
  ventana->setAttribute(Qt::WA_DeleteOnClose);
  ventana->show();
}

void FrmRelvano::Ejecuta(const std::function<void(Operador&, Progreso&)>& ejecucion) {
  ejecutando_ = true;
  cancelar_ = false;
  esperando_ = false;
  enCajas_ = 0;
  ultimoMensaje_.clear();
  ultimoInforme_.clear();
  ultimoRefresco_ = -1;
  LimpiaResultado();
  ActualizaControles();
  QApplication::setOverrideCursor(Qt::BusyCursor);
  reloj_.start();
  ProgresoVentana progreso(*this);
  const ProgresoEnCurso enCurso(&progreso);
  OperadorEjecucion operador(*this, operador_);
  try {
    ejecucion(operador, progreso);
  } catch (const std::exception& e) {
    // The run reports its own failures; anything that still escapes it must not leave
    // the window stuck in its running state.
    QApplication::restoreOverrideCursor();
    const QString texto = QStringLiteral("ERROR: ") + QString::fromUtf8(e.what());
    MuestraResultado(texto);
    operador_.Mensaje(texto, Operador::Icono::Stop);
    QApplication::setOverrideCursor(Qt::BusyCursor);
  }
  MuestraUltimoAvance();
  ultimo_ = {};
  QApplication::restoreOverrideCursor();
  ejecutando_ = false;
  ActualizaControles();
  // Back to where the next file is given, not to the order boxes after the run's buttons.
  txtFichero_->setFocus();
  // The close box was pressed and the run stopped: the window closes once the run's
  // caller has shown its result.
  if (cerrarAlTerminar_) QTimer::singleShot(0, this, &QWidget::close);
}

bool FrmRelvano::Avance(qint64 bytesLeidos, qint64 bytesTotales, int lineas) {
  ultimo_ = {bytesLeidos, bytesTotales, lineas};
  emit LineaLeida(bytesLeidos, bytesTotales, lineas);
  const qint64 ahora = reloj_.elapsed();
  if (ultimoRefresco_ < 0 || ahora - ultimoRefresco_ >= kRefrescoMs) {
    ultimoRefresco_ = ahora;
    MuestraAvance(bytesLeidos, bytesTotales, lineas);
    QCoreApplication::processEvents();
  }
  return !cancelar_;
}

void FrmRelvano::Espera(qint64 ms) {
  esperando_ = true;
  MuestraResultado(
      QStringLiteral("Esperando a que otro programa deje libre la base de datos (%1 s)…")
          .arg(ms / 1000));
  QCoreApplication::processEvents();
}

void FrmRelvano::MuestraUltimoAvance() {
  if (ultimo_.lineas > 0) MuestraAvance(ultimo_.leidos, ultimo_.total, ultimo_.lineas);
}

void FrmRelvano::MuestraAvance(qint64 bytesLeidos, qint64 bytesTotales, int lineas) {
  const qint64 milesimas = bytesTotales > 0 ? bytesLeidos * 1000 / bytesTotales : 0;
  barraProgreso_->setValue(static_cast<int>(std::clamp<qint64>(milesimas, 0, 1000)));
  lbLineas_->setText(TextoLineas(lineas));
  if (esperando_) {
    esperando_ = false;
    lbResultado_->clear();
  }
}

void FrmRelvano::LimpiaResultado() {
  barraProgreso_->setValue(0);
  lbLineas_->clear();
  lbResultado_->clear();
  lbResultado_->setToolTip(QString());
}

void FrmRelvano::MuestraResultado(const QString& texto) {
  lbResultado_->setText(texto);
  lbResultado_->setToolTip(texto);
}

void FrmRelvano::cmbEmpresa_Click(int indice) {
  if (indice < 0) return;
  LimpiaResultado();
  const Programa::Resultado resultado =
      programa_.EligeEmpresa(cmbEmpresa_->itemData(indice).toString());
  if (resultado == Programa::Resultado::Fatal) {
    // The company has no accounting database: nothing more may be done.
    for (QWidget* w : findChildren<QWidget*>()) w->setEnabled(false);
    servicios_.terminaPrograma(2);
    close();
    return;
  }
  ActualizaControles();
}

void FrmRelvano::cmdSalir_Click() {
  programa_.Salir();
  close();
  // The exit ends the program, also when a log window of it is still open.
  servicios_.terminaPrograma(0);
}

void FrmRelvano::closeEvent(QCloseEvent* evento) {
  // A run in progress holds this window's state on the stack: it is asked to stop, and
  // the window closes after it.
  if (ejecutando_) {
    evento->ignore();
    if (PreguntaCancelar()) cerrarAlTerminar_ = true;
    return;
  }
  evento->accept();
}

void FrmRelvano::keyPressEvent(QKeyEvent* evento) {
  if (evento->key() == Qt::Key_Escape && ejecutando_) {
    PreguntaCancelar();
    return;
  }
  if (evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) {
    // Push buttons take Enter themselves; the folder button and the options need this.
    auto* boton = qobject_cast<QAbstractButton*>(focusWidget());
    if (boton && boton->isEnabled()) {
      boton->click();
      return;
    }
  }
  QWidget::keyPressEvent(evento);
}

namespace {

// The one local file being dragged, or "".
QString FicheroArrastrado(const QMimeData* datos) {
  if (!datos || !datos->hasUrls() || datos->urls().size() != 1) return {};
  const QUrl url = datos->urls().front();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void FrmRelvano::dragEnterEvent(QDragEnterEvent* evento) {
  if (!ejecutando_ && txtFichero_->isEnabled() && !FicheroArrastrado(evento->mimeData()).isEmpty())
    evento->acceptProposedAction();
}

void FrmRelvano::dropEvent(QDropEvent* evento) {
  const QString ruta = FicheroArrastrado(evento->mimeData());
  if (ejecutando_ || !txtFichero_->isEnabled() || ruta.isEmpty()) return;
  // Selected without a click, which would empty the path.
  if (const auto clase = ClaseProbable(ruta))
    optClase_[static_cast<size_t>(*clase)]->setChecked(true);
  txtFichero_->setText(QDir::toNativeSeparators(ruta));
  evento->acceptProposedAction();
  activateWindow();
  txtFichero_->setFocus();
}

void FrmRelvano::AjustaAPantalla(const QRect& disponible) {
  const QSize cabe = disponible.size() - kMarco;
  resize(sizeHint().boundedTo(cabe).expandedTo(minimumSizeHint()));
  // A screen too low for every frame (a small one at double scale): the path and the run's
  // row are in sight at start, where the focus is; the kinds are a scroll away.
  if (height() < sizeHint().height()) {
    // Once laid out at this size.
    QTimer::singleShot(0, this, [this] {
      if (auto* desplazable = findChild<QScrollArea*>(QStringLiteral("scrVentana")))
        desplazable->ensureWidgetVisible(cmdCancelar_, 0, 8);
    });
  }
  const QSize marco = size() + kMarco;
  move(disponible.x() + std::max(0, (disponible.width() - marco.width()) / 2),
       disponible.y() + std::max(0, (disponible.height() - marco.height()) / 2));
}

}  // namespace relvano::gui
