#include "gui/gui_operador.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

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

}  // namespace

QString TextoParaVentana(QString texto) {
  texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return texto;
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
  const PunteroNormal puntero;
  caja.exec();
}

bool GuiOperador::Pregunta(const QString& texto) { return Pregunta(texto, true); }

bool GuiOperador::PreguntaNo(const QString& texto) { return Pregunta(texto, false); }

bool GuiOperador::Pregunta(const QString& texto, bool siPorDefecto) {
  QMessageBox caja(padre_);
  caja.setWindowTitle(QString::fromUtf8(kTituloPrograma));
  caja.setText(TextoParaVentana(texto));
  caja.setIcon(QMessageBox::Question);
  QPushButton* si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
  QPushButton* no = caja.addButton(QStringLiteral("No"), QMessageBox::NoRole);
  caja.setDefaultButton(siPorDefecto ? si : no);
  caja.setEscapeButton(no);
  const PunteroNormal puntero;
  caja.exec();
  return caja.clickedButton() == si;
}

void GuiOperador::Informe(const QString& texto) {
  FrmInforma informa(padre_);
  informa.SetTexto(texto);
  const PunteroNormal puntero;
  informa.exec();
}

}  // namespace relvano::gui
