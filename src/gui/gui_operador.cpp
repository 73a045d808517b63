#include "gui/gui_operador.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "gui/frm_informa.h"

namespace relvano::gui {

namespace {

// A box raised during a run waits for the operator: the pointer must not say "busy".
class PunteroNormal {
 public:
  PunteroNormal() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~PunteroNormal() { QGuiApplication::restoreOverrideCursor(); }
  PunteroNormal(const PunteroNormal&) = delete;
  PunteroNormal& operator=(const PunteroNormal&) = delete;
};

// A message box is as wide as its text needs; the window manager then cuts a longer title.
// A spacer as wide as the title keeps it whole.
void AnchoParaTitulo(QMessageBox& caja) {
  auto* rejilla = qobject_cast<QGridLayout*>(caja.layout());
  if (!rejilla) return;
  QFont fuente = caja.font();
  fuente.setBold(true);
  fuente.setPointSizeF(fuente.pointSizeF() * 1.2);
  // The title's own width and the room of the title bar's buttons and icon.
  const int ancho = QFontMetrics(fuente).horizontalAdvance(caja.windowTitle()) + 140;
  rejilla->addItem(new QSpacerItem(ancho, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                   rejilla->rowCount(), 0, 1, rejilla->columnCount());
}

}  // namespace

QString TextoParaVentana(QString texto) {
  texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return texto;
}

QSize CabeEnPantalla(const QWidget& ventana, QSize deseado) {
  const QWidget* padre = ventana.parentWidget();
  if (const QScreen* pantalla = padre ? padre->screen() : ventana.screen())
    deseado = deseado.boundedTo(pantalla->availableGeometry().size() * 9 / 10);
  return deseado;
}

void GuiOperador::Mensaje(const QString& texto, Icono icono) {
  QMessageBox caja(padre_);
  caja.setWindowTitle(QString::fromUtf8(kTituloPrograma));
  caja.setText(TextoParaVentana(texto));
  switch (icono) {
    case Icono::Ninguno:
      caja.setIcon(QMessageBox::NoIcon);
      break;
    case Icono::Informacion:
      caja.setIcon(QMessageBox::Information);
      break;
    case Icono::Stop:
      caja.setIcon(QMessageBox::Critical);
      break;
    case Icono::Pregunta:
      caja.setIcon(QMessageBox::Question);
      break;
  }
  caja.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
  AnchoParaTitulo(caja);
  const PunteroNormal puntero;
  caja.exec();
}

bool GuiOperador::Pregunta(const QString& texto) { return PreguntaEnCaja(padre_, texto, true); }

bool GuiOperador::PreguntaNo(const QString& texto) { return PreguntaEnCaja(padre_, texto, false); }

bool PreguntaEnCaja(QWidget* padre, const QString& texto, bool siPorDefecto, const QString& casilla,
                    bool* marcada) {
  QMessageBox caja(padre);
  caja.setWindowTitle(QString::fromUtf8(kTituloPrograma));
  caja.setText(TextoParaVentana(texto));
  caja.setIcon(QMessageBox::Question);
  QPushButton* si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
  QPushButton* no = caja.addButton(QStringLiteral("No"), QMessageBox::NoRole);
  caja.setDefaultButton(siPorDefecto ? si : no);
  caja.setEscapeButton(no);
  if (!casilla.isEmpty()) caja.setCheckBox(new QCheckBox(casilla, &caja));
  AnchoParaTitulo(caja);
  const PunteroNormal puntero;
  caja.exec();
  if (marcada && caja.checkBox()) *marcada = caja.checkBox()->isChecked();
  return caja.clickedButton() == si;
}

void GuiOperador::Informe(const QString& texto) {
  FrmInforma informa(padre_);
  informa.SetTexto(texto);
  const PunteroNormal puntero;
  informa.exec();
}

}  // namespace relvano::gui
