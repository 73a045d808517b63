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

QString Nombre(const char* control, int indice) {
  return QStringLiteral("%1_%2").arg(QLatin1String(control)).arg(indice);
}

QString TextoLineas(int lineas) { return QStringLiteral("Líneas leídas: %1").arg(lineas); }

void MuestraLogEnVentana(QWidget* padre, const QString& ruta) {
  auto* visor = new VisorLog(padre);
  visor->setAttribute(Qt::WA_DeleteOnClose);
  if (!visor->Abre(ruta)) {
    delete visor;
    return;
  }
  visor->show();
}

// A scroll area that asks for the room of all it holds, so that the window opens at its
// natural size where the screen allows and scrolls only where it does not.
class AreaDesplazable final : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    const int marco = 2 * frameWidth();
    return widget() ? widget()->sizeHint() + QSize(marco, marco) : QScrollArea::sizeHint();
  }
};

// The company box: a long name loses its middle, not its end ("001 – Supermercado…Centro"),
// and the whole name is its tooltip.
class CajaEmpresas final : public QComboBox {
 public:
  explicit CajaEmpresas(QWidget* padre) : QComboBox(padre) {
    connect(this, &QComboBox::currentTextChanged, this, &QWidget::setToolTip);
  }
  // Room for the longest name where the screen allows; the minimum stays small.
  QSize sizeHint() const override {
    int ancho = 0;
    for (int i = 0; i < count(); ++i)
      ancho = std::max(ancho, fontMetrics().horizontalAdvance(itemText(i)));
    QStyleOptionComboBox opcion;
    initStyleOption(&opcion);
    const QSize paraNombres = style()->sizeFromContents(
        QStyle::CT_ComboBox, &opcion, QSize(ancho, QComboBox::sizeHint().height()), this);
    return QComboBox::sizeHint().expandedTo(QSize(paraNombres.width(), 0));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter pintor(this);
    QStyleOptionComboBox opcion;
    initStyleOption(&opcion);
    pintor.drawComplexControl(QStyle::CC_ComboBox, opcion);
    const QRect texto =
        style()->subControlRect(QStyle::CC_ComboBox, &opcion, QStyle::SC_ComboBoxEditField, this);
    opcion.currentText =
        fontMetrics().elidedText(opcion.currentText, Qt::ElideMiddle, texto.width());
    pintor.drawControl(QStyle::CE_ComboBoxLabel, opcion);
  }
};

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
  cmbEmpresa_ = new CajaEmpresas(SSFrame3);
  cmbEmpresa_->setObjectName(QStringLiteral("cmbEmpresa"));
  cmbEmpresa_->setMinimumContentsLength(8);
  cmbEmpresa_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  Label1->setBuddy(cmbEmpresa_);

  auto* columnaDerecha = new QVBoxLayout();
  columnaDerecha->addWidget(SSFrame2);
  columnaDerecha->addSpacing(8);
  columnaDerecha->addWidget(Label1);
  columnaDerecha->addWidget(cmbEmpresa_);
  columnaDerecha->addStretch();

  auto* capaOperacion = new QHBoxLayout(SSFrame3);
  capaOperacion->addLayout(columnaOpciones, 1);
  capaOperacion->addSpacing(12);
  capaOperacion->addLayout(columnaDerecha, 1);

  // ---- Chain file and import run ----
  auto* SSFrame1_0 = new QGroupBox(this);
  SSFrame1_0->setObjectName(QStringLiteral("SSFrame1_0"));
  txtFichero_ = new QLineEdit(SSFrame1_0);
  txtFichero_->setObjectName(QStringLiteral("txtFichero"));
  txtFichero_->setMinimumWidth(200);
  txtFichero_->setPlaceholderText(
      QStringLiteral("Fichero a importar (también se puede arrastrar aquí)"));
  // A file dragged onto the box is taken by the window, which also selects its kind.
  txtFichero_->setAcceptDrops(false);
  BotonBuscar_ = new QToolButton(SSFrame1_0);
  BotonBuscar_->setObjectName(QStringLiteral("BotonBuscar"));
  BotonBuscar_->setIcon(IconoBuscar(devicePixelRatioF()));
  BotonBuscar_->setIconSize(QSize(20, 20));
  BotonBuscar_->setToolTip(QStringLiteral("Buscar el fichero (Alt+F)"));
  BotonBuscar_->setShortcut(QKeySequence(QStringLiteral("Alt+F")));
  BotonBuscar_->setAccessibleName(QStringLiteral("Buscar el fichero"));
  auto* etiquetaNombre = new QLabel(QStringLiteral("Nombre fichero importado:"), SSFrame1_0);
  LbNombreFicheroImportado_ = new QLabel(SSFrame1_0);
  LbNombreFicheroImportado_->setObjectName(QStringLiteral("LbNombreFicheroImportado"));
  LbNombreFicheroImportado_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LbNombreFicheroImportado_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  cmdBorrar_ = new QPushButton(QStringLiteral("&Borrar"), SSFrame1_0);
  cmdBorrar_->setObjectName(QStringLiteral("cmdBorrar"));

  cmdOpcion_[0] = new QPushButton(QStringLiteral("&Importar fichero"), SSFrame1_0);
  cmdOpcion_[0]->setObjectName(Nombre("cmdOpcion", 0));
  cmdSimular_ = new QPushButton(QStringLiteral("Si&mular"), SSFrame1_0);
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
      new QPushButton(QStringLiteral("Importar &todos los ficheros de la carpeta"), SSFrame1_0);
  cmdBandeja_->setObjectName(QStringLiteral("cmdBandeja"));
  cmdBandeja_->setToolTip(
      QStringLiteral("Importa en el orden de la cadena todos los ficheros de la carpeta de "
                     "entrada y mueve los importados a Procesados"));
  cmdCancelar_ = new QPushButton(QStringLiteral("&Cancelar"), SSFrame1_0);
  cmdCancelar_->setObjectName(QStringLiteral("cmdCancelar"));
  cmdCancelar_->setToolTip(QStringLiteral("Detiene la importación tras la línea en curso (Esc)"));
  cmdHistorial_ = new QPushButton(QStringLiteral("Ú&ltimas importaciones"), SSFrame1_0);
  cmdHistorial_->setObjectName(QStringLiteral("cmdHistorial"));
  lbResultado_ = new QLabel(SSFrame1_0);
  lbResultado_->setObjectName(QStringLiteral("lbResultado"));
  lbResultado_->setWordWrap(true);
  // A long message wraps within the frame instead of widening it past the window.
  QSizePolicy ajuste(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ajuste.setHeightForWidth(true);
  lbResultado_->setSizePolicy(ajuste);
  lbResultado_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Two lines are kept for it, so that the window does not jump when it fills.
  lbResultado_->setMinimumHeight(lbResultado_->fontMetrics().lineSpacing() * 2);
  lbResultado_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

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
  capaFichero->addWidget(lbResultado_, 3, 0, 1, 4);
  auto* filaBandeja = new QHBoxLayout();
  filaBandeja->addWidget(cmdBandeja_);
  filaBandeja->addStretch();
  filaBandeja->addWidget(cmdHistorial_);
  capaFichero->addLayout(filaBandeja, 4, 0, 1, 4);

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

  // The frames scroll when the screen is too small for them (a small screen at double
  // scale); the exit row stays in sight.
  auto* contenido = new QWidget();
  auto* capaContenido = new QVBoxLayout(contenido);
  capaContenido->setContentsMargins(0, 0, 0, 0);
  capaContenido->addWidget(SSFrame3);
  capaContenido->addWidget(SSFrame1_0);
  capaContenido->addWidget(SSFrame1_3);
  capaContenido->addStretch();
  auto* desplazable = new AreaDesplazable(this);
  desplazable->setObjectName(QStringLiteral("scrVentana"));
  desplazable->setWidget(contenido);
  desplazable->setWidgetResizable(true);
  desplazable->setFrameShape(QFrame::NoFrame);
  desplazable->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Only what it holds takes the focus: no Tab stop that shows nothing.
  desplazable->setFocusPolicy(Qt::NoFocus);
  auto* capa = new QVBoxLayout(this);
  capa->addWidget(desplazable, 1);
  capa->addLayout(pie);
  setAcceptDrops(true);
  // Enter presses the focused button, as people expect of today's programs.
  for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(true);

  // The tab order follows the work: kind, company, file, run, order, exit.
  QWidget* orden[] = {SSOption1_[0], SSCheck1_,     cmbEmpresa_,   txtFichero_,   BotonBuscar_,
                      cmdBorrar_,    cmdOpcion_[0], cmdSimular_,   cmdCancelar_,  cmdBandeja_,
                      cmdHistorial_, Text1_,        txtNumPedido_, cmdOpcion_[1], cmdSalir_};
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
  connect(cmdHistorial_, &QPushButton::clicked, this, &FrmRelvano::cmdHistorial_Click);
  // Enter in the path box imports, as the focused "Importar fichero" would.
  connect(txtFichero_, &QLineEdit::returnPressed, this, [this] {
    if (cmdOpcion_[0]->isEnabled()) cmdOpcion_[0]->click();
  });
  // The name follows the path that will be imported, typed or chosen.
  connect(txtFichero_, &QLineEdit::textChanged, this, [this](const QString& ruta) {
    LbNombreFicheroImportado_->setText(NombreSinCarpeta(ruta));
    LimpiaResultado();
  });
  connect(cmdSalir_, &QPushButton::clicked, this, &FrmRelvano::cmdSalir_Click);
  connect(SSCheck1_, &QCheckBox::toggled, this,
          [this](bool marcado) { programa_.SetNoActualizarBajas(marcado); });
  connect(cmbEmpresa_, &QComboBox::currentIndexChanged, this, &FrmRelvano::cmbEmpresa_Click);
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
  for (QWidget* w : std::initializer_list<QWidget*>{SSCheck1_, cmbEmpresa_, txtFichero_,
                                                    BotonBuscar_, cmdBorrar_, Text1_, txtNumPedido_,
                                                    cmdOpcion_[1], cmdHistorial_})
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
  cmdOpcion_[0]->setEnabled(importable);
  cmdSimular_->setEnabled(importable);
  cmdBandeja_->setEnabled(importable);
  cmdOpcion_[0]->setToolTip(porQue);
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

void FrmRelvano::SSOption1_Click() {
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
  if (!fallo)
    MuestraResultado(TextoResultado(resultado, simular, duracion.elapsed() - enCajas_,
                                    ultimoMensaje_, ultimoInforme_));
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
    SSOption1_[static_cast<size_t>(*clase)]->setChecked(true);
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
