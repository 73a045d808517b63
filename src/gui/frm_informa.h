#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace relvano::gui {

// frm_Informa: a text in a fixed-pitch font until the operator closes it with "Cerrar".
// Modal, centred over its parent; long texts scroll.
class FrmInforma : public QDialog {
  Q_OBJECT
 public:
  explicit FrmInforma(QWidget* padre = nullptr);
  void SetTexto(const QString& texto);
  QString Texto() const;

 private:
  QPlainTextEdit* LbTexto_;
  QPushButton* SSCommand1_;
};

}  // namespace relvano::gui
