#include "ui/tool_context.h"

#include <QLocale>
#include <QWidget>

namespace zart::ui {

ToolContext& ToolContext::Of(const QWidget* window) {
  Q_ASSERT(window != nullptr);
  QObject* top = const_cast<QWidget*>(window);
  while (top != nullptr && top->parent() != nullptr) top = top->parent();
  if (auto* found = top != nullptr ? top->findChild<ToolContext*>(QString(), Qt::FindDirectChildrenOnly) : nullptr)
    return *found;
  // A window without an owner (a test's, or the port dialog) gets one of its
  // own, which lives as long as it does.
  return *new ToolContext(top);
}

monitor::CsvFormat ToolContext::Csv() const { return monitor::CsvFormat::ForLocale(QLocale(), m_csvPoint); }

}  // namespace zart::ui
