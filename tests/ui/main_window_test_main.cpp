#include <gtest/gtest.h>

#include <QApplication>

// One QApplication for all window tests, on the offscreen platform so that
// they run without a display.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
