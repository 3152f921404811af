#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QApplication>

// One QApplication for all window tests, on the offscreen platform so that
// they run without a display (test discovery runs without the test's
// environment).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
