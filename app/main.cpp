#include <QApplication>
#include <QIcon>

#include "ui/application.h"

int main(int argc, char* argv[]) {
  QApplication qt(argc, argv);
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/zart-tool-%1.png").arg(size));
  }
  QApplication::setWindowIcon(icon);
  zart::ui::Application application;
  return application.Run();
}
