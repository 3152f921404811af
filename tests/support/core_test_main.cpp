#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests whose objects use Qt's event loop or timers need an application.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
