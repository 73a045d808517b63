#include "app/ini_settings.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>

namespace relvano {

namespace {

QString NombreSeccion(const QString& linea) {
  const QString t = linea.trimmed();
  if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
    return t.mid(1, t.size() - 2).trimmed();
  return {};
}

bool EsSeccion(const QString& linea) { return linea.trimmed().startsWith(QLatin1Char('[')); }

bool EsComentario(const QString& linea) {
  const QString t = linea.trimmed();
  return t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// The key of a "key=value" line, trimmed; empty for a line without "=".
QString ClaveDe(const QString& linea) {
  const int igual = linea.indexOf(QLatin1Char('='));
  return igual < 0 ? QString() : linea.left(igual).trimmed();
}

QStringList LeeLineas(const QString& fichero) {
  QFile f(fichero);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString texto = QString::fromUtf8(f.readAll());
  if (texto.startsWith(QChar(0xFEFF))) texto.remove(0, 1);
  texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QStringList lineas = texto.split(QLatin1Char('\n'));
  if (!lineas.isEmpty() && lineas.last().isEmpty()) lineas.removeLast();
  return lineas;
}

bool Iguales(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

#ifdef Q_OS_WIN
// The registry keys of the suite: HKEY_CURRENT_USER\Software\VB and VBA Program
// Settings\<application>\<section>, one string value per key.
class RegistroSettingsStore final : public SettingsStore {
 public:
  QString GetSetting(const QString& aplicacion, const QString& seccion,
                     const QString& clave) const override {
    QSettings s(Ruta(aplicacion), QSettings::NativeFormat);
    s.beginGroup(seccion);
    return s.value(clave).toString();
  }
  void SaveSetting(const QString& aplicacion, const QString& seccion, const QString& clave,
                   const QString& valor) override {
    QSettings s(Ruta(aplicacion), QSettings::NativeFormat);
    s.beginGroup(seccion);
    s.setValue(clave, valor);
  }

 private:
  static QString Ruta(const QString& aplicacion) {
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") +
           aplicacion;
  }
};
#endif

}  // namespace

QString IniSettingsStore::Fichero(const QString& aplicacion) const {
  return QDir(carpeta_).filePath(aplicacion + QStringLiteral(".ini"));
}

QString IniSettingsStore::GetSetting(const QString& aplicacion, const QString& seccion,
                                     const QString& clave) const {
  bool enSeccion = false;
  for (const QString& linea : LeeLineas(Fichero(aplicacion))) {
    if (EsSeccion(linea)) {
      enSeccion = Iguales(NombreSeccion(linea), seccion);
      continue;
    }
    if (!enSeccion || EsComentario(linea)) continue;
    if (Iguales(ClaveDe(linea), clave)) {
      // Not trimmed: blanks at either end of a value are part of it.
      return linea.mid(linea.indexOf(QLatin1Char('=')) + 1);
    }
  }
  return {};
}

void IniSettingsStore::SaveSetting(const QString& aplicacion, const QString& seccion,
                                   const QString& clave, const QString& valor) {
  QStringList lineas = LeeLineas(Fichero(aplicacion));
  // A value is one line: a line break inside would start a new key on the next read.
  QString plano = valor;
  plano.replace(QLatin1String("\r\n"), QLatin1String(" "));
  plano.replace(QLatin1Char('\n'), QLatin1Char(' '));
  plano.replace(QLatin1Char('\r'), QLatin1Char(' '));
  const QString nueva = clave + QLatin1Char('=') + plano;

  int inicioSeccion = -1;  // line of the section header
  int finSeccion = -1;     // one past its last key line
  bool hecho = false;
  for (int i = 0; i < lineas.size() && !hecho; ++i) {
    if (EsSeccion(lineas[i])) {
      if (inicioSeccion >= 0) break;
      if (Iguales(NombreSeccion(lineas[i]), seccion)) {
        inicioSeccion = i;
        finSeccion = i + 1;
      }
      continue;
    }
    if (inicioSeccion < 0) continue;
    if (!EsComentario(lineas[i])) {
      finSeccion = i + 1;
      if (Iguales(ClaveDe(lineas[i]), clave)) {
        lineas[i] = nueva;
        hecho = true;
      }
    }
  }
  if (!hecho) {
    if (inicioSeccion >= 0) {
      lineas.insert(finSeccion, nueva);
    } else {
      if (!lineas.isEmpty() && !lineas.last().trimmed().isEmpty()) lineas << QString();
      lineas << QLatin1Char('[') + seccion + QLatin1Char(']') << nueva;
    }
  }

  QDir().mkpath(carpeta_);
  QSaveFile f(Fichero(aplicacion));
  if (!f.open(QIODevice::WriteOnly)) return;
  f.write((lineas.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
  f.commit();
}

QString CarpetaAjustes(const QString& opcion) {
  if (!opcion.isEmpty()) return opcion;
  const QString entorno = qEnvironmentVariable("RELVANO_SETTINGS_DIR");
  if (!entorno.isEmpty()) return entorno;
  QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (xdg.isEmpty()) xdg = QDir::homePath() + QStringLiteral("/.config");
  return QDir(xdg).filePath(QStringLiteral("relvano"));
}

std::unique_ptr<SettingsStore> CreaAlmacenAjustes(const QString& opcion) {
#ifdef Q_OS_WIN
  if (opcion.isEmpty() && qEnvironmentVariable("RELVANO_SETTINGS_DIR").isEmpty())
    return std::make_unique<RegistroSettingsStore>();
#endif
  return std::make_unique<IniSettingsStore>(CarpetaAjustes(opcion));
}

}  // namespace relvano
