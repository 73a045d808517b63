#pragma once

#include <QString>

namespace relvano {

// The folder of the run logs: `opcion` (--log-dir) when given, else the environment
// variable RELVANO_LOG_DIR, else the program's own folder (`carpetaPrograma`) when it
// is writable and is not a system folder (/usr, /opt, /bin, /sbin and what lies under them;
// Program Files on Windows), else $XDG_DATA_HOME/relvano (~/.local/share/relvano when unset or
// empty). The chosen folder is created when missing; when it cannot be created the name is still
// returned and opening the log reports the failure.
QString CarpetaLogs(const QString& opcion, const QString& carpetaPrograma);

}  // namespace relvano
