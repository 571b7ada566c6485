// Runs the dialog tests on Qt's offscreen platform with a private runtime folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

#include "tests/support/TempFolder.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const testsupport::TempFolder runtime;
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  // Nothing the tests do reaches the user's own data folder (the practice history above all).
  const testsupport::TempFolder data;
  setenv("XDG_DATA_HOME", data.path().c_str(), 1);
  // ... nor the settings the window remembers.
  const testsupport::TempFolder config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tunwick"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
