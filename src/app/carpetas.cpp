#include "app/carpetas.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace relvano {

namespace {

// QFileInfo::isWritable reads permission bits only; a real file proves the folder takes writes
// (read-only mounts, ACLs).
bool CarpetaEscribible(const QString& carpeta) {
  if (carpeta.isEmpty() || !QFileInfo(carpeta).isDir()) return false;
  QTemporaryFile prueba(QDir(carpeta).filePath(QStringLiteral(".relvano-XXXXXX")));
  return prueba.open();
}

}  // namespace

QString CarpetaLogs(const QString& opcion, const QString& carpetaPrograma) {
  QString carpeta = opcion;
  if (carpeta.isEmpty()) carpeta = qEnvironmentVariable("RELVANO_LOG_DIR");
  if (carpeta.isEmpty() && CarpetaEscribible(carpetaPrograma)) carpeta = carpetaPrograma;
  if (carpeta.isEmpty()) {
    QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (xdg.isEmpty()) xdg = QDir::homePath() + QStringLiteral("/.local/share");
    carpeta = QDir(xdg).filePath(QStringLiteral("relvano"));
  }
  QDir().mkpath(carpeta);
  return QDir::cleanPath(carpeta);
}

}  // namespace relvano
