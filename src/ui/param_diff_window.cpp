#include "ui/param_diff_window.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "link/system_reason.h"
#include "monitor/csv_format.h"
#include "params/slot_names.h"
#include "ui/tool_context.h"
#include "ui/window_fit.h"

namespace zart::ui {
namespace {

constexpr int kStateColumn = 4;
constexpr int kSlotRole = Qt::UserRole + 1;
constexpr int kStateRole = Qt::UserRole + 2;

}  // namespace

ParamDiffWindow::ParamDiffWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  m_summary = new QLabel(this);
  m_summary->setWordWrap(true);
  m_filter = new QComboBox(this);
  m_filter->addItems({QStringLiteral(u"Все"), QStringLiteral(u"Отличается"),
                      QStringLiteral(u"Нет значения")});
  m_model = new QStandardItemModel(0, 5, this);
  m_proxy = new QSortFilterProxyModel(this);
  m_proxy->setSourceModel(m_model);
  m_proxy->setFilterKeyColumn(kStateColumn);
  m_proxy->setFilterRole(kStateRole);
  m_view = new QTableView(this);
  m_view->setModel(m_proxy);
  m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_view->setSelectionMode(QAbstractItemView::SingleSelection);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_view->verticalHeader()->setVisible(false);
  m_view->horizontalHeader()->setStretchLastSection(true);
  // The list keeps slot order until the user sorts by a column.
  m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  m_view->setSortingEnabled(true);

  auto* save = new QPushButton(QStringLiteral(u"Сохранить &CSV…"), this);
  auto* top = new QHBoxLayout;
  top->addWidget(m_summary, 1);
  top->addWidget(new QLabel(QStringLiteral(u"Показать:"), this));
  top->addWidget(m_filter);
  top->addWidget(save);
  connect(save, &QPushButton::clicked, this, [this] { SaveCsv(); });
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_view, 1);

  connect(m_filter, &QComboBox::currentIndexChanged, this, [this](int index) { SetFilter(index); });
  // Enter on a line, and a double-click, show the slot; a style that
  // activates on double-click raises both, which shows it twice, harmlessly.
  connect(m_view, &QTableView::activated, this, [this](const QModelIndex& index) { Activate(index); });
  connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { Activate(index); });
  // The window's bottom stays on a 1366×768 screen whatever the font.
  WindowFit::Apply(this, QSize(900, std::max(480, m_view->fontMetrics().height() * 26)));
}

QByteArray ParamDiffWindow::CsvBytes() const {
  // The rows as shown (filter and sort order), numbers in the CSV format's
  // notation; texts of text slots exactly as they stand.
  const monitor::CsvFormat format = ToolContext::Of(this).Csv();
  QStringList header;
  for (int c = 0; c < m_model->columnCount(); ++c) header << m_model->horizontalHeaderItem(c)->text();
  QStringList lines{monitor::CsvFormat::Line(header)};
  for (int row = 0; row < m_proxy->rowCount(); ++row) {
    const bool text = params::kCatalogue.IsText(SlotAt(row));
    QStringList cells;
    for (int c = 0; c < m_proxy->columnCount(); ++c) {
      const QString cell = m_proxy->index(row, c).data().toString();
      cells << ((c == 2 || c == 3) && !text ? format.NumberText(cell) : cell);
    }
    lines << monitor::CsvFormat::Line(cells);
  }
  return monitor::CsvFormat::Document(lines);
}

void ParamDiffWindow::SaveCsv() {
  const QString path = ToolContext::Of(this).Folders().SaveFileName(
      this, DialogFolders::Purpose::diffExport, QStringLiteral(u"Сохранить список отличий"),
      QStringLiteral(u"отличия.csv"), QStringLiteral(u"Таблица CSV (*.csv)"));
  if (path.isEmpty()) return;
  QSaveFile file(path);
  const QByteArray bytes = CsvBytes();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral(u"Не удалось сохранить «%1»: %2")
                             .arg(path, link::FileErrorReason(path, file, link::FileAccess::write)));
  }
}

void ParamDiffWindow::ShowList(const params::DiffList& list) {
  setWindowTitle(list.title);
  m_summary->setText(list.summary);
  m_model->removeRows(0, m_model->rowCount());
  m_model->setHorizontalHeaderLabels({QStringLiteral(u"Параметр"), QStringLiteral(u"Страница"), list.leftCaption,
                                      list.rightCaption, QStringLiteral(u"Состояние")});
  // After a write the second column is what was read back: a slot without
  // a value there was not read, not missing from a file.
  const bool readBack = std::any_of(list.entries.begin(), list.entries.end(), [](const params::DiffEntry& e) {
    return e.state == params::DiffState::notRead;
  });
  m_filter->setItemText(2, readBack ? QStringLiteral(u"Не прочитано") : QStringLiteral(u"Нет в файле"));
  const bool sorting = m_view->isSortingEnabled();
  m_view->setSortingEnabled(false);
  m_model->setRowCount(static_cast<int>(list.entries.size()));
  int row = 0;
  for (const params::DiffEntry& e : list.entries) {
    const QString state = e.note.isEmpty() ? params::ParamDiff::StateText(e.state) : e.note;
    const QString cells[5] = {params::SlotName(e.slot), params::SlotPageTitle(e.slot), e.left.trimmed(),
                              e.right.isNull() ? QStringLiteral(u"—") : e.right.trimmed(), state};
    for (int c = 0; c < 5; ++c) {
      auto* item = new QStandardItem(cells[c]);
      item->setData(e.slot, kSlotRole);
      const bool differs = e.state == params::DiffState::differs || e.state == params::DiffState::invalid;
      item->setData(differs ? QStringLiteral("d") : QStringLiteral("m"), kStateRole);
      m_model->setItem(row, c, item);
    }
    ++row;
  }
  m_view->setSortingEnabled(sorting);
  m_view->resizeColumnsToContents();
  SetFilter(m_filter->currentIndex());
}

void ParamDiffWindow::SetFilter(int index) {
  if (m_filter->currentIndex() != index) m_filter->setCurrentIndex(index);
  static const QString patterns[3] = {QString(), QStringLiteral("d"), QStringLiteral("m")};
  m_proxy->setFilterFixedString(index >= 0 && index < 3 ? patterns[index] : QString());
}

int ParamDiffWindow::VisibleRows() const { return m_proxy->rowCount(); }

int ParamDiffWindow::SlotAt(int row) const {
  const QModelIndex index = m_proxy->index(row, 0);
  return index.isValid() ? index.data(kSlotRole).toInt() : -1;
}

void ParamDiffWindow::Activate(const QModelIndex& index) {
  if (index.isValid() && m_activate) m_activate(index.data(kSlotRole).toInt());
}

}  // namespace zart::ui
