// The window's layout: its frames and controls, with the object names that the tests
// and screen readers find them by, and the signals each control sends.
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
#include "gui/frm_relvano.h"
#include "gui/gui_operador.h"
#include "gui/visor_log.h"

namespace relvano::gui {

namespace {

QString Nombre(const char* control, int indice) {
  return QStringLiteral("%1_%2").arg(QLatin1String(control)).arg(indice);
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

// The line that tells a run's result: a long message wraps within the frame instead of
// widening it past the window, and two lines are kept for it, so that the window does not
// jump when it fills.
QLabel* EtiquetaResultado(QWidget* padre) {
  auto* etiqueta = new QLabel(padre);
  etiqueta->setObjectName(QStringLiteral("lbResultado"));
  etiqueta->setWordWrap(true);
  QSizePolicy ajuste(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ajuste.setHeightForWidth(true);
  etiqueta->setSizePolicy(ajuste);
  etiqueta->setTextInteractionFlags(Qt::TextSelectableByMouse);
  etiqueta->setMinimumHeight(etiqueta->fontMetrics().lineSpacing() * 2);
  etiqueta->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return etiqueta;
}

}  // namespace

void FrmRelvano::Construye() {
  setObjectName(QStringLiteral("frm_Relvano"));
  setWindowTitle(QString::fromUtf8(kTituloPrograma));
  setWindowIcon(IconoPrograma(devicePixelRatioF()));

  QGroupBox* operacion = MarcoOperacion();
  QGroupBox* fichero = MarcoFichero();
  QGroupBox* pedido = MarcoPedido();
  QHBoxLayout* pie = Pie();

  // The frames scroll when the screen is too small for them (a small screen at double
  // scale); the exit row stays in sight.
  auto* contenido = new QWidget();
  auto* capaContenido = new QVBoxLayout(contenido);
  capaContenido->setContentsMargins(0, 0, 0, 0);
  capaContenido->addWidget(operacion);
  capaContenido->addWidget(fichero);
  capaContenido->addWidget(pedido);
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
  QWidget* orden[] = {
      optClase_[0],  chkNoActualizarBajas_, cmbEmpresa_,   txtFichero_,      BotonBuscar_,
      cmdBorrar_,    cmdImportar_,          cmdSimular_,   cmdCancelar_,     cmdBandeja_,
      cmdHistorial_, txtCliente_,           txtNumPedido_, cmdEnviarPedido_, cmdSalir_};
  for (size_t i = 1; i < std::size(orden); ++i) setTabOrder(orden[i - 1], orden[i]);
  Conecta();
}

// Operation, options and company.
QGroupBox* FrmRelvano::MarcoOperacion() {
  auto* SSFrame3 =
      new QGroupBox(QStringLiteral("Seleccione la operación que desea realizar"), this);
  SSFrame3->setObjectName(QStringLiteral("SSFrame3"));
  opciones_ = new QButtonGroup(this);
  opciones_->setExclusive(true);
  auto* columnaOpciones = new QVBoxLayout();
  for (int i = 0; i < 6; ++i) {
    optClase_[i] = new QRadioButton(
        QString::fromUtf8(imports::ClasesFichero()[static_cast<size_t>(i)].titulo), SSFrame3);
    optClase_[i]->setObjectName(Nombre("SSOption1", i));
    opciones_->addButton(optClase_[i], i);
    columnaOpciones->addWidget(optClase_[i]);
  }
  columnaOpciones->addStretch();

  auto* SSFrame2 = new QGroupBox(QStringLiteral("Opciones"), SSFrame3);
  SSFrame2->setObjectName(QStringLiteral("SSFrame2"));
  chkNoActualizarBajas_ = new QCheckBox(QStringLiteral("No actualizar las bajas"), SSFrame2);
  chkNoActualizarBajas_->setObjectName(QStringLiteral("SSCheck1"));
  auto* capaOpciones = new QVBoxLayout(SSFrame2);
  capaOpciones->addWidget(chkNoActualizarBajas_);

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
  return SSFrame3;
}

// The chain file and the import run.
QGroupBox* FrmRelvano::MarcoFichero() {
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

  cmdImportar_ = new QPushButton(QStringLiteral("&Importar fichero"), SSFrame1_0);
  cmdImportar_->setObjectName(Nombre("cmdOpcion", 0));
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
  lbResultado_ = EtiquetaResultado(SSFrame1_0);

  auto* capaFichero = new QGridLayout(SSFrame1_0);
  capaFichero->addWidget(txtFichero_, 0, 0, 1, 3);
  capaFichero->addWidget(BotonBuscar_, 0, 3);
  capaFichero->addWidget(etiquetaNombre, 1, 0);
  capaFichero->addWidget(LbNombreFicheroImportado_, 1, 1, 1, 2);
  capaFichero->addWidget(cmdBorrar_, 1, 3);
  capaFichero->setColumnStretch(1, 1);
  auto* filaRun = new QHBoxLayout();
  filaRun->addWidget(cmdImportar_);
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
  return SSFrame1_0;
}

// Order sending.
QGroupBox* FrmRelvano::MarcoPedido() {
  auto* SSFrame1_3 = new QGroupBox(this);
  SSFrame1_3->setObjectName(QStringLiteral("SSFrame1_3"));
  auto* etiquetaCliente = new QLabel(QStringLiteral("Código Cliente"), SSFrame1_3);
  txtCliente_ = new QLineEdit(SSFrame1_3);
  txtCliente_->setObjectName(QStringLiteral("Text1"));
  etiquetaCliente->setBuddy(txtCliente_);
  auto* etiquetaPedido = new QLabel(QStringLiteral("Pedido"), SSFrame1_3);
  txtNumPedido_ = new QLineEdit(SSFrame1_3);
  txtNumPedido_->setObjectName(QStringLiteral("txtNumPedido"));
  etiquetaPedido->setBuddy(txtNumPedido_);
  cmdEnviarPedido_ = new QPushButton(QStringLiteral("Enviar pedido al proveedor"), SSFrame1_3);
  cmdEnviarPedido_->setObjectName(Nombre("cmdOpcion", 1));
  auto* capaPedido = new QHBoxLayout(SSFrame1_3);
  capaPedido->addWidget(etiquetaCliente);
  capaPedido->addWidget(txtCliente_, 1);
  capaPedido->addSpacing(8);
  capaPedido->addWidget(etiquetaPedido);
  capaPedido->addWidget(txtNumPedido_, 1);
  capaPedido->addSpacing(8);
  capaPedido->addWidget(cmdEnviarPedido_);
  return SSFrame1_3;
}

// The credit panel and the exit button, below the frames.
QHBoxLayout* FrmRelvano::Pie() {
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
  return pie;
}

// The signals each control sends.
void FrmRelvano::Conecta() {
  connect(opciones_, &QButtonGroup::idClicked, this, [this](int) { optClase_Click(); });
  connect(BotonBuscar_, &QToolButton::clicked, this, &FrmRelvano::BotonBuscar_Click);
  connect(cmdBorrar_, &QPushButton::clicked, this, &FrmRelvano::cmdBorrar_Click);
  connect(cmdImportar_, &QPushButton::clicked, this, &FrmRelvano::cmdImportar_Click);
  connect(cmdEnviarPedido_, &QPushButton::clicked, this, &FrmRelvano::cmdEnviarPedido_Click);
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
    if (cmdImportar_->isEnabled()) cmdImportar_->click();
  });
  // The name follows the path that will be imported, typed or chosen.
  connect(txtFichero_, &QLineEdit::textChanged, this, [this](const QString& ruta) {
    LbNombreFicheroImportado_->setText(NombreSinCarpeta(ruta));
    LimpiaResultado();
  });
  connect(cmdSalir_, &QPushButton::clicked, this, &FrmRelvano::cmdSalir_Click);
  connect(chkNoActualizarBajas_, &QCheckBox::toggled, this,
          [this](bool marcado) { programa_.SetNoActualizarBajas(marcado); });
  connect(cmbEmpresa_, &QComboBox::currentIndexChanged, this, &FrmRelvano::cmbEmpresa_Click);
}

}  // namespace relvano::gui
