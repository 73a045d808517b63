#pragma once

// Runs the built relvano-cli as the shops and the chain's scripts run it.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

namespace relvano::testing {

struct SalidaCli {
  int codigo;
  QString out, err;
};

inline SalidaCli Cli(const QStringList& args) {
  QProcess p;
  p.start(RELVANO_CLI_PATH, args);
  EXPECT_TRUE(p.waitForFinished(120000)) << args.join(' ').toStdString();
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace relvano::testing
