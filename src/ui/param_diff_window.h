#pragma once

#include <functional>

#include <QWidget>

#include "params/catalogue.h"
#include "params/param_diff.h"

class QComboBox;
class QLabel;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace zart::ui {

/// A differences list as a window: one line per slot with its name, page,
/// the two values and the state; sortable by any column and filtered by
/// state. Double-click or Enter on a line asks for the slot to be shown.
class ParamDiffWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ParamDiffWindow(QWidget* owner);

  /// Replaces the list shown.
  void ShowList(const params::DiffList& list);
  /// Called with the slot of an activated line.
  void SetActivateHandler(std::function<void(int slot)> handler) { m_activate = std::move(handler); }

  /// Filter positions: 0 all, 1 differs only, 2 missing / not read only.
  void SetFilter(int index);
  int VisibleRows() const;
  /// Slot of visible row `row`, or -1.
  int SlotAt(int row) const;
  QTableView* View() const { return m_view; }
  /// The rows as shown, as a CSV document in the tool's format.
  QByteArray CsvBytes() const;
  QLabel* Summary() const { return m_summary; }

 private:
  void Activate(const QModelIndex& index);
  void SaveCsv();

  QLabel* m_summary = nullptr;
  QComboBox* m_filter = nullptr;
  QTableView* m_view = nullptr;
  QStandardItemModel* m_model = nullptr;
  QSortFilterProxyModel* m_proxy = nullptr;
  std::function<void(int)> m_activate;
};

}  // namespace zart::ui
