#pragma once

#include <QPointer>
#include <QWidget>

#include "base/operador.h"
#include "relvano_version.h"

namespace relvano::gui {

// The title of every message box and of the main window, with the project's version:
// "Actualizaciones NORVIA v1.8 (15/07/12)".
inline constexpr char kTituloPrograma[] =
    "Actualizaciones NORVIA v" RELVANO_VERSION_CORTA " (" RELVANO_FECHA_VERSION ")";

// The window's operator: message boxes with the program's title, Spanish buttons,
// and the report window frm_Informa. All of them are modal over `padre`.
class GuiOperador : public Operador {
 public:
  explicit GuiOperador(QWidget* padre = nullptr) : padre_(padre) {}
  // The window the boxes belong to, once it exists (start-up messages come before it).
  void SetPadre(QWidget* padre) { padre_ = padre; }
  void Mensaje(const QString& texto, Icono icono = Icono::Ninguno) override;
  bool Pregunta(const QString& texto) override;
  bool PreguntaNo(const QString& texto) override;
  void Informe(const QString& texto) override;

 private:
  QPointer<QWidget> padre_;
};

// A Yes/No question box of the program over `padre`, with `casilla` as a tick box under
// the text when not empty (its state comes back in `marcada`). True for Yes.
bool PreguntaEnCaja(QWidget* padre, const QString& texto, bool siPorDefecto,
                    const QString& casilla = {}, bool* marcada = nullptr);

// Asked before a run stops at the operator's request (No by default).
inline const QString kPreguntaCancelar =
    QStringLiteral("¿Desea cancelar la importación? Las líneas ya aplicadas quedan aplicadas.");
// The tick box of the question before a run over the inbox folder.
inline const QString kCasillaForzarBandeja =
    QStringLiteral("Importar también los ya importados o anteriores");

// Message box text as Qt shows it: CR LF and lone CR become line breaks.
QString TextoParaVentana(QString texto);

// `deseado` bounded to nine tenths of the available room of the screen `ventana` is on
// (its parent's screen before it is shown), so that its frame, title bar and buttons stay
// in sight at any scale.
QSize CabeEnPantalla(const QWidget& ventana, QSize deseado);

}  // namespace relvano::gui
