#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QApplication>

// The main window runs on Qt's offscreen platform: no display needed.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
