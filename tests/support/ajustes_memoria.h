#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include "app/ajustes.h"

namespace relvano::testing {

// A settings store in memory that also lists every write, in order, as
// "APLICACION/SECCION/CLAVE=valor", so tests can tell what a step wrote.
class AjustesEnMemoria : public SettingsStore {
 public:
  QString GetSetting(const QString& a, const QString& s, const QString& k) const override {
    return valores.value(a + "/" + s + "/" + k);
  }
  void SaveSetting(const QString& a, const QString& s, const QString& k,
                   const QString& v) override {
    valores[a + "/" + s + "/" + k] = v;
    escritos << a + "/" + s + "/" + k + "=" + v;
  }
  QMap<QString, QString> valores;
  QStringList escritos;
};

}  // namespace relvano::testing
