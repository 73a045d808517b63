// The widget tests need a QApplication; gtest_main would not create one.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // The tests drive the widgets without a screen, also when the build lists them.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
