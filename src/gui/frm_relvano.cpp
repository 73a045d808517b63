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
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/bandeja.h"
#include "gui/acciones_ventana.h"
#include "gui/dibujos.h"
#include "gui/frm_informa.h"
#include "gui/gui_operador.h"

namespace relvano::gui {

namespace {

// How often a run lets the window repaint and take the "Cancelar" click. Every line
// would spend more time painting than importing on a long file.
constexpr qint64 kRefrescoMs = 40;

QString Nombre(const char* control, int indice) {
  return QStringLiteral("%1_%2").arg(QLatin1String(control)).arg(indice);
}

QString TextoLineas(int lineas) { return QStringLiteral("Líneas leídas: %1").arg(lineas); }

void MuestraLogEnVentana(QWidget* padre, const QString& ruta) {
  QFile f(ruta);
  if (!f.open(QIODevice::ReadOnly)) return;
  auto* visor = new FrmInforma(padre);
  visor->setAttribute(Qt::WA_DeleteOnClose);
  visor->setModal(false);
  visor->setWindowTitle(QDir::toNativeSeparators(ruta));
  visor->SetTexto(QString::fromUtf8(f.readAll()));
  // Log lines are longer than the report's.
  visor->resize(visor->width() * 2, visor->height());
  visor->show();
}

}  // namespace

class FrmRelvano::ProgresoVentana final : public Progreso {
 public:
  explicit ProgresoVentana(FrmRelvano& ventana) : ventana_(ventana) {}
  bool Avance(qint64 bytesLeidos, qint64 bytesTotales, int lineas) override {
    return ventana_.Avance(bytesLeidos, bytesTotales, lineas);
  }

 private:
  FrmRelvano& ventana_;
};

// The run's operator: brings the progress shown up to date before each box, so that a
// box raised at the trailer line is read beside the count it speaks of.
class FrmRelvano::OperadorEjecucion final : public Operador {
 public:
  OperadorEjecucion(FrmRelvano& ventana, Operador& operador)
      : ventana_(ventana), operador_(operador) {}
  void Mensaje(const QString& texto, Icono icono) override {
    ventana_.MuestraUltimoAvance();
    operador_.Mensaje(texto, icono);
  }
  bool Pregunta(const QString& texto) override {
    ventana_.MuestraUltimoAvance();
    return operador_.Pregunta(texto);
  }
  bool PreguntaNo(const QString& texto) override {
    ventana_.MuestraUltimoAvance();
    return operador_.PreguntaNo(texto);
  }
  void Informe(const QString& texto) override {
    ventana_.MuestraUltimoAvance();
    operador_.Informe(texto);
  }

 private:
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
      return QFileDialog::getOpenFileName(this, QStringLiteral("Abrir"), carpeta, filtro);
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
  Construye();
  LlenaEmpresas();
  ActualizaControles();
}

FrmRelvano::~FrmRelvano() = default;

void FrmRelvano::Construye() {
  setObjectName(QStringLiteral("frm_Relvano"));
  setWindowTitle(QString::fromUtf8(kTituloPrograma));
  setWindowIcon(IconoPrograma(devicePixelRatioF()));

  // ---- Operation, options and company ----
  auto* SSFrame3 =
      new QGroupBox(QStringLiteral("Seleccione la operación que desea realizar"), this);
  SSFrame3->setObjectName(QStringLiteral("SSFrame3"));
  opciones_ = new QButtonGroup(this);
  opciones_->setExclusive(true);
  auto* columnaOpciones = new QVBoxLayout();
  for (int i = 0; i < 6; ++i) {
    SSOption1_[i] = new QRadioButton(
        QString::fromUtf8(imports::ClasesFichero()[static_cast<size_t>(i)].titulo), SSFrame3);
    SSOption1_[i]->setObjectName(Nombre("SSOption1", i));
    opciones_->addButton(SSOption1_[i], i);
    columnaOpciones->addWidget(SSOption1_[i]);
  }
  columnaOpciones->addStretch();

  auto* SSFrame2 = new QGroupBox(QStringLiteral("Opciones"), SSFrame3);
  SSFrame2->setObjectName(QStringLiteral("SSFrame2"));
  SSCheck1_ = new QCheckBox(QStringLiteral("No actualizar las bajas"), SSFrame2);
  SSCheck1_->setObjectName(QStringLiteral("SSCheck1"));
  auto* capaOpciones = new QVBoxLayout(SSFrame2);
  capaOpciones->addWidget(SSCheck1_);

  auto* Label1 = new QLabel(QStringLiteral("Empresa a actualizar:"), SSFrame3);
  Label1->setObjectName(QStringLiteral("Label1"));
  cmbEmpresa_ = new QComboBox(SSFrame3);
  cmbEmpresa_->setObjectName(QStringLiteral("cmbEmpresa"));
  cmbEmpresa_->setMinimumContentsLength(8);
  Label1->setBuddy(cmbEmpresa_);

  auto* columnaDerecha = new QVBoxLayout();
  columnaDerecha->addWidget(SSFrame2);
  columnaDerecha->addSpacing(8);
  columnaDerecha->addWidget(Label1);
  columnaDerecha->addWidget(cmbEmpresa_);
  columnaDerecha->addStretch();

  auto* capaOperacion = new QHBoxLayout(SSFrame3);
  capaOperacion->addLayout(columnaOpciones, 3);
  capaOperacion->addSpacing(12);
  capaOperacion->addLayout(columnaDerecha, 2);

  // ---- Chain file and import run ----
  auto* SSFrame1_0 = new QGroupBox(this);
  SSFrame1_0->setObjectName(QStringLiteral("SSFrame1_0"));
  txtFichero_ = new QLineEdit(SSFrame1_0);
  txtFichero_->setObjectName(QStringLiteral("txtFichero"));
  txtFichero_->setMinimumWidth(320);
  txtFichero_->setPlaceholderText(QStringLiteral("Fichero a importar"));
  BotonBuscar_ = new QToolButton(SSFrame1_0);
  BotonBuscar_->setObjectName(QStringLiteral("BotonBuscar"));
  BotonBuscar_->setIcon(IconoBuscar(devicePixelRatioF()));
  BotonBuscar_->setIconSize(QSize(20, 20));
  BotonBuscar_->setToolTip(QStringLiteral("Buscar el fichero"));
  BotonBuscar_->setAccessibleName(QStringLiteral("Buscar el fichero"));
  auto* etiquetaNombre = new QLabel(QStringLiteral("Nombre fichero importado:"), SSFrame1_0);
  LbNombreFicheroImportado_ = new QLabel(SSFrame1_0);
  LbNombreFicheroImportado_->setObjectName(QStringLiteral("LbNombreFicheroImportado"));
  LbNombreFicheroImportado_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LbNombreFicheroImportado_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  cmdBorrar_ = new QPushButton(QStringLiteral("Borrar"), SSFrame1_0);
  cmdBorrar_->setObjectName(QStringLiteral("cmdBorrar"));

  cmdOpcion_[0] = new QPushButton(QStringLiteral("Importar fichero"), SSFrame1_0);
  cmdOpcion_[0]->setObjectName(Nombre("cmdOpcion", 0));
  cmdSimular_ = new QPushButton(QStringLiteral("Simular"), SSFrame1_0);
  cmdSimular_->setObjectName(QStringLiteral("cmdSimular"));
  cmdSimular_->setToolTip(QStringLiteral(
      "Hace la importación completa con su fichero resumen y deja la base de datos como estaba"));
  barraProgreso_ = new QProgressBar(SSFrame1_0);
  barraProgreso_->setObjectName(QStringLiteral("barraProgreso"));
  barraProgreso_->setRange(0, 1000);
  barraProgreso_->setValue(0);
  barraProgreso_->setFormat(QStringLiteral("%p %"));
  lbLineas_ = new QLabel(SSFrame1_0);
  lbLineas_->setObjectName(QStringLiteral("lbLineas"));
  lbLineas_->setMinimumWidth(lbLineas_->fontMetrics().horizontalAdvance(TextoLineas(9999999)));
  cmdBandeja_ =
      new QPushButton(QStringLiteral("Importar todos los ficheros de la carpeta"), SSFrame1_0);
  cmdBandeja_->setObjectName(QStringLiteral("cmdBandeja"));
  cmdBandeja_->setToolTip(
      QStringLiteral("Importa en el orden de la cadena todos los ficheros de la carpeta de "
                     "entrada y mueve los importados a Procesados"));
  cmdCancelar_ = new QPushButton(QStringLiteral("Cancelar"), SSFrame1_0);
  cmdCancelar_->setObjectName(QStringLiteral("cmdCancelar"));

  auto* capaFichero = new QGridLayout(SSFrame1_0);
  capaFichero->addWidget(txtFichero_, 0, 0, 1, 3);
  capaFichero->addWidget(BotonBuscar_, 0, 3);
  capaFichero->addWidget(etiquetaNombre, 1, 0);
  capaFichero->addWidget(LbNombreFicheroImportado_, 1, 1, 1, 2);
  capaFichero->addWidget(cmdBorrar_, 1, 3);
  capaFichero->setColumnStretch(1, 1);
  auto* filaRun = new QHBoxLayout();
  filaRun->addWidget(cmdOpcion_[0]);
  filaRun->addWidget(cmdSimular_);
  filaRun->addSpacing(8);
  filaRun->addWidget(barraProgreso_, 1);
  filaRun->addWidget(lbLineas_);
  filaRun->addWidget(cmdCancelar_);
  capaFichero->addLayout(filaRun, 2, 0, 1, 4);
  capaFichero->addWidget(cmdBandeja_, 3, 0, 1, 4);

  // ---- Order sending ----
  auto* SSFrame1_3 = new QGroupBox(this);
  SSFrame1_3->setObjectName(QStringLiteral("SSFrame1_3"));
  auto* etiquetaCliente = new QLabel(QStringLiteral("Código Cliente"), SSFrame1_3);
  Text1_ = new QLineEdit(SSFrame1_3);
  Text1_->setObjectName(QStringLiteral("Text1"));
  etiquetaCliente->setBuddy(Text1_);
  auto* etiquetaPedido = new QLabel(QStringLiteral("Pedido"), SSFrame1_3);
  txtNumPedido_ = new QLineEdit(SSFrame1_3);
  txtNumPedido_->setObjectName(QStringLiteral("txtNumPedido"));
  etiquetaPedido->setBuddy(txtNumPedido_);
  cmdOpcion_[1] = new QPushButton(QStringLiteral("Enviar pedido al proveedor"), SSFrame1_3);
  cmdOpcion_[1]->setObjectName(Nombre("cmdOpcion", 1));
  auto* capaPedido = new QHBoxLayout(SSFrame1_3);
  capaPedido->addWidget(etiquetaCliente);
  capaPedido->addWidget(Text1_, 1);
  capaPedido->addSpacing(8);
  capaPedido->addWidget(etiquetaPedido);
  capaPedido->addWidget(txtNumPedido_, 1);
  capaPedido->addSpacing(8);
  capaPedido->addWidget(cmdOpcion_[1]);

  // ---- Credit panel and exit ----
  auto* SSPanel2 = new QFrame(this);
  SSPanel2->setObjectName(QStringLiteral("SSPanel2"));
  SSPanel2->setFrameShape(QFrame::StyledPanel);
  SSPanel2->setFrameShadow(QFrame::Sunken);
  auto* Image1 = new QLabel(SSPanel2);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(DibujaLogo(40, devicePixelRatioF()));
  auto* credito = new QLabel(QStringLiteral("Producto desarrollado por:"), SSPanel2);
  auto* autor = new QLabel(QStringLiteral("Relvano"), SSPanel2);
  QFont negrita = autor->font();
  negrita.setBold(true);
  negrita.setPointSizeF(negrita.pointSizeF() * 1.2);
  autor->setFont(negrita);
  auto* textos = new QVBoxLayout();
  textos->setSpacing(0);
  textos->addWidget(credito);
  textos->addWidget(autor);
  auto* capaPanel = new QHBoxLayout(SSPanel2);
  capaPanel->addWidget(Image1);
  capaPanel->addLayout(textos);
  capaPanel->addStretch();

  cmdSalir_ = new QPushButton(QStringLiteral("&Salir"), this);
  cmdSalir_->setObjectName(QStringLiteral("cmdSalir"));
  cmdSalir_->setMinimumWidth(cmdSalir_->sizeHint().width() * 3 / 2);

  auto* pie = new QHBoxLayout();
  pie->addWidget(SSPanel2, 1);
  pie->addSpacing(12);
  pie->addWidget(cmdSalir_, 0, Qt::AlignBottom);

  auto* capa = new QVBoxLayout(this);
  capa->addWidget(SSFrame3);
  capa->addWidget(SSFrame1_0);
  capa->addWidget(SSFrame1_3);
  capa->addStretch();
  capa->addLayout(pie);

  // The tab order follows the work: kind, company, file, run, order, exit.
  QWidget* orden[] = {SSOption1_[0], SSCheck1_,     cmbEmpresa_,   txtFichero_,  BotonBuscar_,
                      cmdBorrar_,    cmdOpcion_[0], cmdSimular_,   cmdCancelar_, cmdBandeja_,
                      Text1_,        txtNumPedido_, cmdOpcion_[1], cmdSalir_};
  for (size_t i = 1; i < std::size(orden); ++i) setTabOrder(orden[i - 1], orden[i]);

  connect(opciones_, &QButtonGroup::idClicked, this, [this](int) { SSOption1_Click(); });
  connect(BotonBuscar_, &QToolButton::clicked, this, &FrmRelvano::BotonBuscar_Click);
  connect(cmdBorrar_, &QPushButton::clicked, this, &FrmRelvano::cmdBorrar_Click);
  connect(cmdOpcion_[0], &QPushButton::clicked, this, [this] { cmdOpcion_Click(0); });
  connect(cmdOpcion_[1], &QPushButton::clicked, this, [this] { cmdOpcion_Click(1); });
  connect(cmdSimular_, &QPushButton::clicked, this, &FrmRelvano::cmdSimular_Click);
  connect(cmdBandeja_, &QPushButton::clicked, this, [this] {
    cmdBandeja_->setEnabled(false);
    cmdBandeja_Click();
    ActualizaControles();
  });
  connect(cmdCancelar_, &QPushButton::clicked, this, &FrmRelvano::cmdCancelar_Click);
  connect(cmdSalir_, &QPushButton::clicked, this, &FrmRelvano::cmdSalir_Click);
  connect(SSCheck1_, &QCheckBox::toggled, this,
          [this](bool marcado) { programa_.SetNoActualizarBajas(marcado); });
  connect(cmbEmpresa_, &QComboBox::currentIndexChanged, this, &FrmRelvano::cmbEmpresa_Click);
}

void FrmRelvano::LlenaEmpresas() {
  // Filling the box is not a choice: it opens nothing.
  const QSignalBlocker cargando(cmbEmpresa_);
  cmbEmpresa_->clear();
  cmbEmpresa_->addItems(programa_.Empresas());
  cmbEmpresa_->setCurrentIndex(cmbEmpresa_->findText(programa_.TextoEmpresa()));
  const QSignalBlocker marcando(SSCheck1_);
  SSCheck1_->setChecked(programa_.NoActualizarBajas());
}

std::optional<OpcionImportacion> FrmRelvano::OpcionElegida() const {
  for (int i = 0; i < 6; ++i)
    if (SSOption1_[i]->isChecked()) return static_cast<OpcionImportacion>(i);
  return std::nullopt;
}

void FrmRelvano::ActualizaControles() {
  const bool libre = !ejecutando_;
  const bool arrancado = libre && !programa_.Empresas().isEmpty();
  for (QRadioButton* b : SSOption1_) b->setEnabled(arrancado);
  for (QWidget* w :
       std::initializer_list<QWidget*>{SSCheck1_, cmbEmpresa_, txtFichero_, BotonBuscar_,
                                       cmdBorrar_, Text1_, txtNumPedido_, cmdOpcion_[1]})
    w->setEnabled(arrancado);
  // Importing while the shown company did not open would write into another company.
  const bool importable = arrancado && programa_.EmpresaAbierta();
  cmdOpcion_[0]->setEnabled(importable);
  cmdSimular_->setEnabled(importable);
  cmdBandeja_->setEnabled(importable);
  cmdCancelar_->setEnabled(ejecutando_);
  cmdSalir_->setEnabled(libre);
}

void FrmRelvano::SSOption1_Click() { txtFichero_->clear(); }

void FrmRelvano::BotonBuscar_Click() {
  const auto opcion = OpcionElegida();
  if (!opcion) {
    operador_.Mensaje(kMensajeSinOperacion, Operador::Icono::Informacion);
    return;
  }
  const QString ruta = servicios_.eligeFichero(FiltroOpcion(*opcion), CarpetaEntrada(ajustes_));
  txtFichero_->setText(QDir::toNativeSeparators(ruta));
  LbNombreFicheroImportado_->setText(NombreSinCarpeta(ruta));
}

void FrmRelvano::cmdBorrar_Click() {
  if (BorraFicheroElegido(txtFichero_->text(), operador_)) txtFichero_->clear();
}

void FrmRelvano::cmdOpcion_Click(int indice) {
  cmdOpcion_[0]->setEnabled(false);
  cmdOpcion_[1]->setEnabled(false);
  if (indice == 0) {
    ImportaFichero(false);
  } else {
    operador_.Mensaje(kMensajePedidos);
  }
  ActualizaControles();
}

void FrmRelvano::cmdSimular_Click() {
  cmdOpcion_[0]->setEnabled(false);
  cmdOpcion_[1]->setEnabled(false);
  ImportaFichero(true);
  ActualizaControles();
}

void FrmRelvano::cmdCancelar_Click() {
  if (ejecutando_) cancelar_ = true;
}

void FrmRelvano::ImportaFichero(bool simular) {
  OpcionesImportacion opciones;
  opciones.opcion = OpcionElegida();
  opciones.fichero = txtFichero_->text();
  opciones.nombreFicheroImportado = LbNombreFicheroImportado_->text();
  opciones.noActualizarBajas = programa_.NoActualizarBajas();
  opciones.simular = simular;
  opciones.carpetaLogs = servicios_.carpetaLogs;
  opciones.preguntar = true;
  opciones.carpetaHistorial = servicios_.carpetaLogs;

  ResultadoImportacion resultado;
  Ejecuta([&](Operador& operador, Progreso& progreso) {
    resultado = relvano::ImportaFichero(programa_.Empresa(), opciones, operador, &progreso);
  });
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
  if (!operador_.Pregunta(TextoConfirmacionBandeja(carpeta, ficheros))) return;

  OpcionesBandeja opciones;
  opciones.carpeta = carpeta;
  opciones.noActualizarBajas = programa_.NoActualizarBajas();
  opciones.carpetaLogs = servicios_.carpetaLogs;
  opciones.carpetaHistorial = servicios_.carpetaLogs;
  ResultadoBandeja resultado;
  Ejecuta([&](Operador& operador, Progreso& progreso) {
    opciones.progreso = &progreso;
    resultado = ImportaBandeja(programa_.Empresa(), opciones, operador);
  });
  ActualizaControles();
  operador_.Informe(TextoResumenBandeja(carpeta, resultado));
}

void FrmRelvano::Ejecuta(const std::function<void(Operador&, Progreso&)>& ejecucion) {
  ejecutando_ = true;
  cancelar_ = false;
  ultimoRefresco_ = -1;
  barraProgreso_->setValue(0);
  lbLineas_->clear();
  ActualizaControles();
  QApplication::setOverrideCursor(Qt::BusyCursor);
  reloj_.start();
  ProgresoVentana progreso(*this);
  OperadorEjecucion operador(*this, operador_);
  try {
    ejecucion(operador, progreso);
  } catch (const std::exception& e) {
    // The run reports its own failures; anything that still escapes it must not leave
    // the window stuck in its running state.
    QApplication::restoreOverrideCursor();
    operador_.Mensaje(QStringLiteral("ERROR: ") + QString::fromUtf8(e.what()),
                      Operador::Icono::Stop);
    QApplication::setOverrideCursor(Qt::BusyCursor);
  }
  MuestraUltimoAvance();
  ultimo_ = {};
  QApplication::restoreOverrideCursor();
  ejecutando_ = false;
  ActualizaControles();
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

void FrmRelvano::MuestraUltimoAvance() {
  if (ultimo_.lineas > 0) MuestraAvance(ultimo_.leidos, ultimo_.total, ultimo_.lineas);
}

void FrmRelvano::MuestraAvance(qint64 bytesLeidos, qint64 bytesTotales, int lineas) {
  const qint64 milesimas = bytesTotales > 0 ? bytesLeidos * 1000 / bytesTotales : 0;
  barraProgreso_->setValue(static_cast<int>(std::clamp<qint64>(milesimas, 0, 1000)));
  lbLineas_->setText(TextoLineas(lineas));
}

void FrmRelvano::cmbEmpresa_Click(int indice) {
  if (indice < 0) return;
  const Programa::Resultado resultado = programa_.EligeEmpresa(cmbEmpresa_->itemText(indice));
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
  // A run in progress holds this window's state on the stack; it ends first.
  if (ejecutando_) {
    evento->ignore();
    return;
  }
  evento->accept();
}

}  // namespace relvano::gui
