#include "gui/frm_historial.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/gui_operador.h"
#include "imports/clases.h"

namespace relvano::gui {

namespace {

QString TituloClase(const QString& nombre) {
  for (const imports::ClaseFichero& c : imports::ClasesFichero())
    if (nombre == QLatin1String(c.nombre)) return QString::fromUtf8(c.titulo);
  return nombre;
}

}  // namespace

QString TextoDesenlaceHistorial(const EjecucionHistorial& e) {
  QString texto = e.resultado;
  // A simulation that ended says so in its outcome already ("simulada").
  if (e.simulacion && !e.resultado.contains(QLatin1String("simula")))
    texto += QStringLiteral(" (simulación)");
  if (!e.deshecha.isEmpty()) texto += QStringLiteral(", ") + e.deshecha;
  return texto;
}

FrmHistorial::FrmHistorial(const std::vector<EjecucionHistorial>& ejecuciones,
                           std::function<void(const EjecucionHistorial&)> verLog,
                           std::function<bool(const EjecucionHistorial&)> deshacer, QWidget* padre)
    : QDialog(padre),
      ejecuciones_(ejecuciones),
      verLog_(std::move(verLog)),
      deshacer_(std::move(deshacer)) {
  setObjectName(QStringLiteral("frm_Historial"));
  setWindowTitle(QStringLiteral("Últimas importaciones"));
  tabla_ = new QTableWidget(static_cast<int>(ejecuciones_.size()), 5, this);
  tabla_->setObjectName(QStringLiteral("tblEjecuciones"));
  tabla_->setHorizontalHeaderLabels({QStringLiteral("Fecha"), QStringLiteral("Operación"),
                                     QStringLiteral("Fichero"), QStringLiteral("Resultado"),
                                     QStringLiteral("Líneas")});
  tabla_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
  tabla_->verticalHeader()->hide();
  for (int fila = 0; fila < tabla_->rowCount(); ++fila) {
    const EjecucionHistorial& e = ejecuciones_[static_cast<size_t>(fila)];
    const QStringList celdas = {e.inicio.toString(QStringLiteral("dd/MM/yyyy HH:mm")),
                                TituloClase(e.clase), e.nombre, TextoDesenlaceHistorial(e),
                                QString::number(e.lineas)};
    for (int col = 0; col < celdas.size(); ++col) {
      auto* celda = new QTableWidgetItem(celdas[col]);
      if (col == 2) celda->setToolTip(QDir::toNativeSeparators(e.ruta));
      if (col == 4) celda->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      tabla_->setItem(fila, col, celda);
    }
  }
  tabla_->resizeColumnsToContents();
  tabla_->horizontalHeader()->setStretchLastSection(true);
  if (tabla_->rowCount() > 0) tabla_->selectRow(0);

  auto* ver = new QPushButton(QStringLiteral("&Ver resumen"), this);
  ver->setObjectName(QStringLiteral("cmdVerResumen"));
  ver->setEnabled(tabla_->rowCount() > 0);
  auto* cerrar = new QPushButton(QStringLiteral("Cerrar"), this);
  connect(ver, &QPushButton::clicked, this, &FrmHistorial::VerResumen);
  connect(cerrar, &QPushButton::clicked, this, &QDialog::accept);
  connect(tabla_, &QTableWidget::cellDoubleClicked, this, &FrmHistorial::VerResumen);
  auto* capa = new QVBoxLayout(this);
  capa->addWidget(tabla_, 1);
  auto* pie = new QHBoxLayout();
  pie->addStretch();
  if (deshacer_) {
    auto* deshace = new QPushButton(QStringLiteral("&Deshacer"), this);
    deshace->setObjectName(QStringLiteral("cmdDeshacer"));
    deshace->setEnabled(tabla_->rowCount() > 0);
    connect(deshace, &QPushButton::clicked, this, &FrmHistorial::Deshacer);
    pie->addWidget(deshace);
  }
  pie->addWidget(ver);
  pie->addWidget(cerrar);
  capa->addLayout(pie);
  // Every column in sight, within what a screen usually has.
  int ancho = 0;
  for (int col = 0; col < tabla_->columnCount(); ++col) ancho += tabla_->columnWidth(col);
  const QFontMetrics fm(font());
  resize(CabeEnPantalla(
      *this, QSize(std::min(ancho + 2 * tabla_->frameWidth() + 40, 1000), fm.lineSpacing() * 20)));
}

void FrmHistorial::VerResumen() {
  const int fila = tabla_->currentRow();
  if (fila < 0 || fila >= static_cast<int>(ejecuciones_.size())) return;
  const EjecucionHistorial& e = ejecuciones_[static_cast<size_t>(fila)];
  if (e.tieneLog) verLog_(e);
}

void FrmHistorial::Deshacer() {
  const int fila = tabla_->currentRow();
  if (fila < 0 || fila >= static_cast<int>(ejecuciones_.size())) return;
  if (deshacer_(ejecuciones_[static_cast<size_t>(fila)])) accept();
}

}  // namespace relvano::gui
