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

// The chain's inbox: the fixed folder "C:\APLC\NRVX\In" on
// Windows; elsewhere RELVANO/IMPORTAR/CARPETA_ENTRADA when set, else the home folder.
QString CarpetaEntrada(const SettingsStore& ajustes);

// Where the open-file dialog starts: the folder of the last file chosen with it
// (RELVANO/IMPORTAR/ULTIMA_CARPETA) while it exists, else CarpetaEntrada.
QString CarpetaDialogo(const SettingsStore& ajustes);
// Remembers the folder of `ruta`, a file chosen with the dialog.
void RecuerdaCarpeta(SettingsStore& ajustes, const QString& ruta);

// The file name without its folder: what follows the last "/" or "\" ("" stays "").
QString NombreSinCarpeta(const QString& ruta);

// cmdBorrar: nothing for an empty path or a file that does not exist; otherwise asks
// "¿Desea borrar el fichero?" with the file's path, No by default, and on Yes deletes it
// and says "Fichero borrado.". True when the file was deleted (the window then empties
// its path box and the name).
bool BorraFicheroElegido(const QString& ruta, Operador& operador);

// A count with its thousands separated by a blank: "65 883".
QString Miles(qint64 n);

// The window's result line after a run: what happened, kept on screen until the next
// action. `ms`: how long the run took; `mensaje`: the last message box of the run (the
// reason of a refusal), "" when none; `informe`: the run's last report (an invoice's totals
// check, whose verdict the line keeps with the invoice's number), "" when none.
QString TextoResultado(const ResultadoImportacion& r, bool simulacion, qint64 ms,
                       const QString& mensaje, const QString& informe = {});

// The order button's only answer: order sending is not available in this version.
inline const QString kMensajePedidos =
    QStringLiteral("El envio de pedidos con el nuevo formato no está operativo.");

// The file button pressed before any option was chosen.
inline const QString kMensajeSinOperacion = QStringLiteral("No ha seleccionado ninguna operación.");

}  // namespace relvano::gui
