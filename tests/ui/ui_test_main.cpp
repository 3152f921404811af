#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QStandardPaths>

// One QApplication for all window tests, on the offscreen platform so that
// they run without a display, its screen the laptop's 1366×768. Chosen here,
// not only in the test's environment: test discovery runs without that
// environment, and Wine passes no QT_ variable on to the program.
int main(int argc, char** argv) {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen") {
    const QByteArray screen = ZART_TEST_SCREEN;
    qputenv("QT_QPA_PLATFORM", QFile::exists(QString::fromUtf8(screen)) ? "offscreen:configfile=" + screen : "offscreen");
  }
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
