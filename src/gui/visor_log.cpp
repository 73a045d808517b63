#include "gui/visor_log.h"

#include <QAbstractListModel>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "gui/gui_operador.h"

namespace relvano::gui {

// The lines of a file kept as its bytes and where each line begins.
class ModeloLineas final : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  void Carga(QByteArray bytes) {
    beginResetModel();
    bytes_ = std::move(bytes);
    inicios_.clear();
    inicios_.push_back(0);
    for (qsizetype i = 0; i < bytes_.size(); ++i) {
      const char c = bytes_.at(i);
      if (c != '\n' && c != '\r') continue;
      if (c == '\r' && i + 1 < bytes_.size() && bytes_.at(i + 1) == '\n') ++i;
      inicios_.push_back(i + 1);
    }
    // A last line end does not begin another line.
    if (inicios_.size() > 1 && inicios_.back() == bytes_.size()) inicios_.pop_back();
    endResetModel();
  }

  QString Linea(int fila) const {
    const qsizetype inicio = inicios_[static_cast<size_t>(fila)];
    qsizetype fin = static_cast<size_t>(fila) + 1 < inicios_.size()
                        ? inicios_[static_cast<size_t>(fila) + 1]
                        : bytes_.size();
    while (fin > inicio && (bytes_.at(fin - 1) == '\n' || bytes_.at(fin - 1) == '\r')) --fin;
    return QString::fromUtf8(bytes_.constData() + inicio, fin - inicio);
  }

  int rowCount(const QModelIndex& padre) const override {
    return padre.isValid() || bytes_.isEmpty() ? 0 : static_cast<int>(inicios_.size());
  }

  QVariant data(const QModelIndex& indice, int rol) const override {
    if (rol != Qt::DisplayRole || !indice.isValid()) return {};
    return Linea(indice.row());
  }

 private:
  QByteArray bytes_;
  std::vector<qsizetype> inicios_;
};

VisorLog::VisorLog(QWidget* padre) : QDialog(padre) {
  setObjectName(QStringLiteral("VisorLog"));
  modelo_ = new ModeloLineas(this);
  lista_ = new QListView(this);
  lista_->setObjectName(QStringLiteral("lstLineas"));
  lista_->setModel(modelo_);
  lista_->setUniformItemSizes(true);
  lista_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lista_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  barraBusqueda_ = new QWidget(this);
  auto* etiqueta = new QLabel(QStringLiteral("&Buscar:"), barraBusqueda_);
  txtBuscar_ = new QLineEdit(barraBusqueda_);
  txtBuscar_->setObjectName(QStringLiteral("txtBuscar"));
  etiqueta->setBuddy(txtBuscar_);
  auto* aviso = new QLabel(barraBusqueda_);
  auto* filaBusqueda = new QHBoxLayout(barraBusqueda_);
  filaBusqueda->setContentsMargins(0, 0, 0, 0);
  filaBusqueda->addWidget(etiqueta);
  filaBusqueda->addWidget(txtBuscar_, 1);
  filaBusqueda->addWidget(aviso);
  barraBusqueda_->hide();

  auto* cerrar = new QPushButton(QStringLiteral("Cerrar"), this);
  cerrar->setObjectName(QStringLiteral("cmdCerrar"));
  // Enter belongs to the find box (next match); Escape closes the viewer.
  cerrar->setAutoDefault(false);
  connect(cerrar, &QPushButton::clicked, this, &QDialog::accept);
  auto* capa = new QVBoxLayout(this);
  capa->addWidget(lista_, 1);
  capa->addWidget(barraBusqueda_);
  auto* pie = new QHBoxLayout();
  pie->addWidget(new QLabel(QStringLiteral("Ctrl+F: buscar"), this));
  pie->addStretch();
  pie->addWidget(cerrar);
  capa->addLayout(pie);

  const auto siguiente = [this, aviso] {
    aviso->setText(Busca(txtBuscar_->text()) ? QString() : QStringLiteral("No se encuentra"));
  };
  connect(txtBuscar_, &QLineEdit::returnPressed, this, siguiente);
  connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this, siguiente);
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
    barraBusqueda_->show();
    txtBuscar_->setFocus();
    txtBuscar_->selectAll();
  });
  connect(new QShortcut(QKeySequence::Copy, lista_), &QShortcut::activated, this, &VisorLog::Copia);
  const QFontMetrics fm(lista_->font());
  resize(CabeEnPantalla(
      *this, QSize(fm.horizontalAdvance(QLatin1Char('M')) * 100, fm.lineSpacing() * 32)));
}

VisorLog::~VisorLog() = default;

bool VisorLog::Abre(const QString& ruta) {
  QFile f(ruta);
  if (!f.open(QIODevice::ReadOnly)) return false;
  modelo_->Carga(f.readAll());
  setWindowTitle(QDir::toNativeSeparators(ruta));
  return true;
}

void VisorLog::keyPressEvent(QKeyEvent* evento) {
  // Escape closes the find bar first, then the viewer.
  if (evento->key() == Qt::Key_Escape && barraBusqueda_->isVisible()) {
    barraBusqueda_->hide();
    lista_->setFocus();
    return;
  }
  // The find box has searched on Enter already: the dialog must not take it for its button.
  if ((evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) &&
      focusWidget() == txtBuscar_)
    return;
  QDialog::keyPressEvent(evento);
}

bool VisorLog::Busca(const QString& texto) {
  const int filas = modelo_->rowCount({});
  if (texto.isEmpty() || filas == 0) return false;
  const int desde = LineaActual() + 1;
  for (int i = 0; i < filas; ++i) {
    const int fila = (desde + i) % filas;
    if (!modelo_->Linea(fila).contains(texto, Qt::CaseInsensitive)) continue;
    const QModelIndex indice = modelo_->index(fila);
    lista_->setCurrentIndex(indice);
    lista_->scrollTo(indice, QAbstractItemView::PositionAtCenter);
    return true;
  }
  return false;
}

int VisorLog::LineaActual() const {
  return lista_->currentIndex().isValid() ? lista_->currentIndex().row() : -1;
}

void VisorLog::Copia() {
  QModelIndexList elegidas = lista_->selectionModel()->selectedIndexes();
  std::sort(elegidas.begin(), elegidas.end());
  QStringList lineas;
  for (const QModelIndex& i : elegidas) lineas << modelo_->Linea(i.row());
  QGuiApplication::clipboard()->setText(lineas.join(u'\n'));
}

}  // namespace relvano::gui
