#include <gtest/gtest.h>

#include <QApplication>

// One QApplication for all window tests, on the offscreen platform so that
// they run without a display (test discovery runs without the test's
// environment).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
