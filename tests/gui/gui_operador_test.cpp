#include "gui/gui_operador.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <functional>

#include "gui/frm_informa.h"
#include "support/tienda.h"

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

// Each box has the program's title, its text, its icon and its buttons; the answer is the
// button pressed.
TEST(GuiOperator, MessageQuestionAndReportBoxes) {
  GuiOperador operador;
  QStringList vistos;
  QString visto;
  const auto caja = [&](const QString& boton, const std::function<void()>& muestra) {
    PulsaEnLaCaja(boton, &visto);
    muestra();
    vistos << visto;
  };
  caja("Aceptar", [&] {
    operador.Mensaje("Se han leido: 8 lineas.\r\n\r\nEl fichero contiene 8 lineas.",
                     Operador::Icono::Informacion);
  });
  caja("Aceptar", [&] { operador.Mensaje("Falta el fichero: X"); });
  caja("Sí", [&] { EXPECT_TRUE(operador.Pregunta("¿Desea borrar el fichero?")); });
  caja("No", [&] { EXPECT_FALSE(operador.Pregunta("¿Desea borrar el fichero?")); });
  caja("Cerrar", [&] { operador.Informe("TOTAL FACTURA   121,00\r\nTOTAL CALCULADO 121,00"); });
  EXPECT_EQ(testing::Golden("cajas_operador.txt")
                .arg(int(QMessageBox::Information))
                .arg(int(QMessageBox::NoIcon))
                .arg(int(QMessageBox::Question)),
            vistos.join(u'\n') + u'\n');
  // The report's columns line up: every character takes the same width.
  FrmInforma informa;
  const QFontMetrics m(informa.findChild<QPlainTextEdit*>("LbTexto")->font());
  EXPECT_EQ(m.horizontalAdvance("MMMMMMMMMM"), m.horizontalAdvance("iiiii,,,,."));
}

}  // namespace
}  // namespace relvano::gui
