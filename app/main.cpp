#include <QApplication>

#include "ui/application.h"

int main(int argc, char* argv[]) {
  QApplication qt(argc, argv);
  zart::ui::Application application;
  return application.Run();
}
