#include "gui/dibujos.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace relvano::gui {
namespace {

QPixmap Lienzo(int lado, qreal escala) {
  QPixmap pm(qRound(lado * escala), qRound(lado * escala));
  pm.setDevicePixelRatio(escala);
  pm.fill(Qt::transparent);
  return pm;
}

}  // namespace

QPixmap DibujaLogo(int lado, qreal escala) {
  QPixmap pm = Lienzo(lado, escala);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal l = lado;
  const QRectF caja(l * 0.03, l * 0.03, l * 0.94, l * 0.94);
  QLinearGradient fondo(caja.topLeft(), caja.bottomRight());
  fondo.setColorAt(0, QColor(0x1f, 0x6f, 0x8b));
  fondo.setColorAt(1, QColor(0x0e, 0x3d, 0x52));
  p.setPen(Qt::NoPen);
  p.setBrush(fondo);
  p.drawRoundedRect(caja, l * 0.18, l * 0.18);

  // Three shelves to the right of the letter, the lowest the longest.
  p.setBrush(QColor(0xf2, 0xa5, 0x3a));
  const qreal grueso = l * 0.07;
  for (int i = 0; i < 3; ++i) {
    const qreal y = l * (0.30 + 0.21 * i);
    const qreal largo = l * (0.16 + 0.05 * i);
    p.drawRoundedRect(QRectF(l * 0.86 - largo, y, largo, grueso), grueso / 2, grueso / 2);
  }

  QFont letra(QStringLiteral("Sans Serif"));
  letra.setBold(true);
  letra.setPixelSize(qMax(1, qRound(l * 0.70)));
  QPainterPath r;
  r.addText(0, 0, letra, QStringLiteral("R"));
  const QRectF borde = r.boundingRect();
  const QRectF sitio(l * 0.14, l * 0.18, l * 0.42, l * 0.64);
  const qreal factor = std::min(sitio.width() / borde.width(), sitio.height() / borde.height());
  p.translate(sitio.center());
  p.scale(factor, factor);
  p.translate(-borde.center());
  p.setBrush(Qt::white);
  p.drawPath(r);
  return pm;
}

QIcon IconoBuscar(qreal escala) {
  QIcon icono;
  for (const int lado : {16, 24, 32, 48}) {
    QPixmap pm = Lienzo(lado, escala);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal l = lado;
    // Folder: the tab, the back and the opened front.
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x0b), qMax(1.0, l / 24)));
    p.setBrush(QColor(0xe8, 0xb3, 0x3c));
    QPainterPath atras;
    atras.moveTo(l * 0.06, l * 0.22);
    atras.lineTo(l * 0.36, l * 0.22);
    atras.lineTo(l * 0.44, l * 0.30);
    atras.lineTo(l * 0.84, l * 0.30);
    atras.lineTo(l * 0.84, l * 0.78);
    atras.lineTo(l * 0.06, l * 0.78);
    atras.closeSubpath();
    p.drawPath(atras);
    p.setBrush(QColor(0xf7, 0xd0, 0x6b));
    QPainterPath frente;
    frente.moveTo(l * 0.06, l * 0.78);
    frente.lineTo(l * 0.16, l * 0.42);
    frente.lineTo(l * 0.94, l * 0.42);
    frente.lineTo(l * 0.84, l * 0.78);
    frente.closeSubpath();
    p.drawPath(frente);
    // Magnifier over the corner of the folder.
    const QPointF centro(l * 0.62, l * 0.60);
    const qreal radio = l * 0.20;
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), qMax(1.5, l / 10), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centro + QPointF(radio * 0.7, radio * 0.7), QPointF(l * 0.95, l * 0.93));
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), qMax(1.0, l / 14)));
    p.setBrush(QColor(0xd8, 0xee, 0xfa, 220));
    p.drawEllipse(centro, radio, radio);
    p.end();
    icono.addPixmap(pm);
  }
  return icono;
}

QIcon IconoPrograma(qreal escala) {
  QIcon icono;
  for (const int lado : {16, 32, 48, 64}) icono.addPixmap(DibujaLogo(lado, escala));
  return icono;
}

}  // namespace relvano::gui
