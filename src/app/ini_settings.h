#pragma once

#include <QString>
#include <memory>

#include "app/ajustes.h"

namespace relvano {

// The settings store as INI files: one file per application, `<carpeta>/<aplicacion>.ini`,
// "[section]" headers and "key=value" lines in UTF-8. Values are plain text: everything
// after the first "=" up to the line end, commas, ";" and "=" included, nothing escaped,
// so that ODBC connection strings and folder names come back exactly as written.
//
// Reads never fail: a missing file, section or key gives "". Sections and keys match
// without regard to case, as the suite's own store does. Saving rewrites the file with
// every other section, key and comment line kept in place; a new key is added at the
// end of its section, a new section at the end of the file. A failed write is reported
// by SaveSetting's caller only through the value not being there on the next read
// (the store's interface has no error channel, as the suite's never had).
class IniSettingsStore final : public SettingsStore {
 public:
  explicit IniSettingsStore(QString carpeta) : carpeta_(std::move(carpeta)) {}

  QString GetSetting(const QString& aplicacion, const QString& seccion,
                     const QString& clave) const override;
  void SaveSetting(const QString& aplicacion, const QString& seccion, const QString& clave,
                   const QString& valor) override;

  const QString& Carpeta() const { return carpeta_; }
  // Full name of the file of `aplicacion`.
  QString Fichero(const QString& aplicacion) const;

 private:
  QString carpeta_;
};

// The folder of the INI files: `opcion` (--settings-dir) when given, else the
// environment variable RELVANO_SETTINGS_DIR, else $XDG_CONFIG_HOME/relvano
// (~/.config/relvano when XDG_CONFIG_HOME is unset or empty). The folder is not created.
QString CarpetaAjustes(const QString& opcion);

// The settings store of this machine: on Windows the registry keys the suite's programs
// use (unless `opcion` names a folder, which selects INI files there as elsewhere); on
// other systems IniSettingsStore over CarpetaAjustes(opcion).
std::unique_ptr<SettingsStore> CreaAlmacenAjustes(const QString& opcion);

}  // namespace relvano
