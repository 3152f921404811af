#pragma once

#include <QPointer>
#include <QWidget>

#include "settings/prompter.h"

namespace zart::ui {

/// Message boxes for the logic, shown as modal QMessageBox dialogs: OK,
/// OK/Cancel or Retry/Cancel, with the error, question, warning or
/// information icon, and the system's reason as the expandable detail text.
/// Shared by all windows of the tool.
class CommonPrompter : public settings::Prompter {
 public:
  explicit CommonPrompter(QWidget* parent = nullptr) : m_parent(parent) {}

  /// The window the boxes are centred on and block; null: none.
  void SetParent(QWidget* parent) { m_parent = parent; }

  /// Shows the box and waits for the user. Closing the box by its close box
  /// or Escape counts as Cancel (OK for a box with OK alone).
  settings::Answer Ask(const settings::Message& message) override;

 private:
  QPointer<QWidget> m_parent;
};

}  // namespace zart::ui
