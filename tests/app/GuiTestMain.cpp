// Runs the dialog tests on Qt's offscreen platform with a private runtime folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string runtime = QDir::tempPath().toStdString() + "/tunwick-gui-tests-XXXXXX";
  if (mkdtemp(runtime.data())) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tunwick"));
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  QDir(QString::fromStdString(runtime)).removeRecursively();
  return result;
}
