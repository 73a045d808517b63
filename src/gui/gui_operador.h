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
  bool Pregunta(const QString& texto, bool siPorDefecto);
  QPointer<QWidget> padre_;
};

// Message box text as Qt shows it: CR LF and lone CR become line breaks.
QString TextoParaVentana(QString texto);

}  // namespace relvano::gui
