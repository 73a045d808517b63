#pragma once

// What the main window's buttons decide, kept out of the widgets so that the window's
// handlers only read their controls, call these and show what comes back.

#include <QString>

#include "app/ajustes.h"
#include "app/importacion.h"
#include "base/operador.h"

namespace relvano::gui {

// The open-file dialog's filter of an option, as Qt reads it: a description with the
// pattern between brackets ("Ficheros Cadena (vrcrefcto*.*)").
QString FiltroOpcion(OpcionImportacion opcion);

// Where the open-file dialog starts: the chain's fixed inbox "C:\APLC\NRVX\In" on
// Windows; elsewhere RELVANO/IMPORTAR/CARPETA_ENTRADA when set, else the home folder.
QString CarpetaEntrada(const SettingsStore& ajustes);

// The file name without its folder: what follows the last "/" or "\" ("" stays "").
QString NombreSinCarpeta(const QString& ruta);

// cmdBorrar: nothing for an empty path or a file that does not exist; otherwise asks
// "¿Desea borrar el fichero?" and on Yes deletes it and says "Fichero borrado.".
// True when the file was deleted (the window then empties its path box).
bool BorraFicheroElegido(const QString& ruta, Operador& operador);

// The order button's only answer: order sending is not available in this version.
inline const QString kMensajePedidos =
    QStringLiteral("El envio de pedidos con el nuevo formato no está operativo.");

// The file button pressed before any option was chosen.
inline const QString kMensajeSinOperacion = QStringLiteral("No ha seleccionado ninguna operación.");

}  // namespace relvano::gui
