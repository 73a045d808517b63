#include "gui/frm_informa.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/gui_operador.h"

namespace relvano::gui {

namespace {

// The report lines up its amounts in columns: the font must be fixed-pitch on every machine.
QFont FuenteFija() {
  QFont fuente(QStringLiteral("Courier New"));
  fuente.setStyleHint(QFont::TypeWriter);
  fuente.setFixedPitch(true);
  // Measured, not asked: some fixed-pitch fonts do not declare themselves as such.
  const QFontMetrics m(fuente);
  if (m.horizontalAdvance(QLatin1Char('i')) == m.horizontalAdvance(QLatin1Char('M'))) return fuente;
  return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

}  // namespace

FrmInforma::FrmInforma(QWidget* padre) : QDialog(padre) {
  setObjectName(QStringLiteral("frm_Informa"));
  setWindowTitle(QString::fromUtf8(kTituloPrograma));
  setModal(true);
  LbTexto_ = new QPlainTextEdit(this);
  LbTexto_->setObjectName(QStringLiteral("LbTexto"));
  LbTexto_->setReadOnly(true);
  LbTexto_->setLineWrapMode(QPlainTextEdit::NoWrap);
  LbTexto_->setFont(FuenteFija());
  SSCommand1_ = new QPushButton(QStringLiteral("Cerrar"), this);
  SSCommand1_->setObjectName(QStringLiteral("SSCommand1"));
  SSCommand1_->setDefault(true);
  connect(SSCommand1_, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LbTexto_);
  auto* fila = new QHBoxLayout();
  fila->addStretch();
  fila->addWidget(SSCommand1_);
  layout->addLayout(fila);
  // Room for the report's 26-character lines and a few more, whatever the font size.
  const QFontMetrics fm(LbTexto_->font());
  resize(fm.horizontalAdvance(QLatin1Char('M')) * 44, fm.lineSpacing() * 30);
}

void FrmInforma::SetTexto(const QString& texto) {
  const QString lineas = TextoParaVentana(texto);
  LbTexto_->setPlainText(lineas);
  // Large enough for the whole text where the screen allows, so that its last line (the
  // verdict of a report) is in sight; when it does not fit, it opens at its end.
  const QFontMetrics fm(LbTexto_->font());
  int ancho = 0;
  for (const QString& l : lineas.split(u'\n')) ancho = std::max(ancho, fm.horizontalAdvance(l));
  const QSize paraTexto(ancho + fm.horizontalAdvance(QLatin1Char('M')) * 4,
                        fm.lineSpacing() * (static_cast<int>(lineas.count(u'\n')) + 3));
  const QSize resto = sizeHint() - LbTexto_->sizeHint();
  // The title bar shows the whole title: its text and the room of its buttons and icon.
  QFont titulo = font();
  titulo.setBold(true);
  const int anchoTitulo = QFontMetrics(titulo).horizontalAdvance(windowTitle()) + 140;
  resize(CabeEnPantalla(*this,
                        (paraTexto + resto).expandedTo(size()).expandedTo(QSize(anchoTitulo, 0))));
  LbTexto_->moveCursor(QTextCursor::End);
  LbTexto_->moveCursor(QTextCursor::StartOfLine);
}

QString FrmInforma::Texto() const { return LbTexto_->toPlainText(); }

}  // namespace relvano::gui
