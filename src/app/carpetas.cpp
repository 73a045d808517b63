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

// An installed program's folder belongs to the system: its logs never go there, even when the
// program runs as root and could write it.
bool CarpetaDelSistema(const QString& carpeta) {
  const QString ruta = QDir::cleanPath(QFileInfo(carpeta).absoluteFilePath());
#ifdef Q_OS_WIN
  for (const char* variable : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
    const QString sistema =
        QDir::cleanPath(QDir::fromNativeSeparators(qEnvironmentVariable(variable)));
    if (!sistema.isEmpty() && (ruta.compare(sistema, Qt::CaseInsensitive) == 0 ||
                               ruta.startsWith(sistema + QLatin1Char('/'), Qt::CaseInsensitive)))
      return true;
  }
  return false;
#else
  for (const QString& sistema : {QStringLiteral("/usr"), QStringLiteral("/opt"),
                                 QStringLiteral("/bin"), QStringLiteral("/sbin")}) {
    if (ruta == sistema || ruta.startsWith(sistema + QLatin1Char('/'))) return true;
  }
  return false;
#endif
}

}  // namespace

QString CarpetaLogs(const QString& opcion, const QString& carpetaPrograma) {
  QString carpeta = opcion;
  if (carpeta.isEmpty()) carpeta = qEnvironmentVariable("RELVANO_LOG_DIR");
  if (carpeta.isEmpty() && !CarpetaDelSistema(carpetaPrograma) &&
      CarpetaEscribible(carpetaPrograma))
    carpeta = carpetaPrograma;
  if (carpeta.isEmpty()) {
    QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (xdg.isEmpty()) xdg = QDir::homePath() + QStringLiteral("/.local/share");
    carpeta = QDir(xdg).filePath(QStringLiteral("relvano"));
  }
  QDir().mkpath(carpeta);
  return QDir::cleanPath(carpeta);
}

}  // namespace relvano
