#pragma once

#include <QIcon>
#include <QPixmap>

namespace relvano::gui {

// The program's own pictures, drawn at run time so that they stay sharp at any screen
// scaling and the program needs no image files beside it.

// The mark of the credit panel and the window: a bold "R" before three shelves.
// `lado` in device-independent pixels; `escala` the screen's device pixel ratio.
QPixmap DibujaLogo(int lado, qreal escala);

// The file button's picture: an open folder with a magnifier, at the usual icon sizes.
QIcon IconoBuscar(qreal escala);

// The window's icon: the logo at the usual icon sizes.
QIcon IconoPrograma(qreal escala);

}  // namespace relvano::gui
