#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QApplication>

int main(int argc, char** argv) {
  // Test discovery runs the binary without the test's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
