#include "gui/gui_operador.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "gui/frm_informa.h"
#include "support/impresion.h"

namespace relvano::gui {
namespace {

// Once the next modal window is up, describes it and presses the button captioned `boton`.
// What the box showed comes back through `visto`.
void PulsaEnLaCaja(const QString& boton, QString* visto) {
  QTimer::singleShot(0, [boton, visto] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      *visto = "<no modal window>";
      return;
    }
    QStringList botones;
    QAbstractButton* pulsar = nullptr;
    for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
      if (b->text().isEmpty()) continue;
      botones << b->text();
      if (b->text() == boton) pulsar = b;
    }
    QString texto;
    QString icono = "-";
    if (auto* caja = qobject_cast<QMessageBox*>(modal)) {
      texto = caja->text();
      icono = QString::number(caja->icon());
    } else if (auto* lb = modal->findChild<QPlainTextEdit*>("LbTexto")) {
      texto = lb->toPlainText();
    }
    *visto = modal->windowTitle() + " | " + texto + " | icon " + icono + " | " + botones.join(',');
    if (pulsar)
      pulsar->click();
    else
      modal->close();
  });
}

TEST(GuiOperator, MessageHasTheTitleTheIconAndAnAcceptButton) {
  GuiOperador operador;
  QString visto;
  PulsaEnLaCaja("Aceptar", &visto);
  operador.Mensaje("Se han leido: 8 lineas.\r\n\r\nEl fichero contiene 8 lineas.",
                   Operador::Icono::Informacion);
  EXPECT_EQ(
      QString("Actualizaciones NORVIA v1.8 (15/07/12) | Se han leido: 8 lineas.\n\nEl fichero "
              "contiene 8 lineas. | icon %1 | Aceptar")
          .arg(int(QMessageBox::Information)),
      visto);

  PulsaEnLaCaja("Aceptar", &visto);
  operador.Mensaje("Falta el fichero: X");
  EXPECT_EQ(
      QString("Actualizaciones NORVIA v1.8 (15/07/12) | Falta el fichero: X | icon %1 | Aceptar")
          .arg(int(QMessageBox::NoIcon)),
      visto);
}

TEST(GuiOperator, QuestionAnswersWithTheButtonPressed) {
  GuiOperador operador;
  QString visto;
  PulsaEnLaCaja("Sí", &visto);
  EXPECT_TRUE(operador.Pregunta("¿Desea borrar el fichero?"));
  EXPECT_EQ(
      QString(
          "Actualizaciones NORVIA v1.8 (15/07/12) | ¿Desea borrar el fichero? | icon %1 | Sí,No")
          .arg(int(QMessageBox::Question)),
      visto);
  PulsaEnLaCaja("No", &visto);
  EXPECT_FALSE(operador.Pregunta("¿Desea borrar el fichero?"));
}

TEST(GuiOperator, ReportShowsTheTextInAFixedPitchFontUntilClosed) {
  GuiOperador operador;
  QString visto;
  PulsaEnLaCaja("Cerrar", &visto);
  operador.Informe("TOTAL FACTURA   121,00\r\nTOTAL CALCULADO 121,00");
  EXPECT_EQ(
      QString("Actualizaciones NORVIA v1.8 (15/07/12) | TOTAL FACTURA   121,00\nTOTAL CALCULADO "
              "121,00 | icon - | Cerrar"),
      visto);

  // The report's columns line up: every character takes the same width.
  FrmInforma informa;
  const QFontMetrics m(informa.findChild<QPlainTextEdit*>("LbTexto")->font());
  EXPECT_EQ(m.horizontalAdvance("MMMMMMMMMM"), m.horizontalAdvance("iiiii,,,,."));
}

}  // namespace
}  // namespace relvano::gui
