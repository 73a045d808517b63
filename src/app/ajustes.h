#pragma once

#include <QString>

namespace relvano {

// The per-user settings store of the suite: application, section and key, every
// value text, a missing file, section or key reading as "".
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual QString GetSetting(const QString& aplicacion, const QString& seccion,
                             const QString& clave) const = 0;
  virtual void SaveSetting(const QString& aplicacion, const QString& seccion, const QString& clave,
                           const QString& valor) = 0;
};

}  // namespace relvano
