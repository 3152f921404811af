#include "ui/common_layout.h"

#include <QFontDatabase>
#include <QWidget>

namespace zart::ui {

CommonLayout::CommonLayout(const QWidget* reference)
    : m_twips(reference ? reference->logicalDpiY() : 96), m_family(ChooseFamily()) {}

QString CommonLayout::ChooseFamily() {
  // Faces close to the controller's Windows tool, narrowest first so that
  // captions laid out for "MS Sans Serif" fit their labels.
  static const char16_t* const kPreferred[] = {u"MS Sans Serif", u"Microsoft Sans Serif", u"Arial",
                                               u"Liberation Sans", u"Nimbus Sans", u"DejaVu Sans"};
  // Faces installed from several foundries are listed as "Name [foundry]".
  QStringList installed;
  for (const QString& family : QFontDatabase::families(QFontDatabase::Cyrillic)) {
    const qsizetype bracket = family.indexOf(QStringLiteral(" ["));
    installed << (bracket < 0 ? family : family.left(bracket));
  }
  for (const char16_t* name : kPreferred) {
    const QString family = QString::fromUtf16(name);
    if (installed.contains(family, Qt::CaseInsensitive)) return family;
  }
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

void CommonLayout::Place(QWidget* widget, int left, int top, int width, int height) const {
  widget->setGeometry(Rect(left, top, width, height));
}

QFont CommonLayout::Font(double pointSize, bool bold) const {
  QFont font(m_family);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace zart::ui
