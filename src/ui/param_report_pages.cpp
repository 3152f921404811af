#include "ui/param_report_pages.h"

#include <algorithm>
#include <limits>

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

namespace zart::ui {
namespace {

constexpr double kFooterPoints = 7.5;

// The layout scales "px" lengths (cell padding, borders) from the screen's
// resolution to the printer's, fonts from points: on a screen at 144 dpi
// the same report would get thinner padding than at 96 dpi and break into
// other pages. Lengths are set so that they print as at 96 dpi everywhere.
void NormaliseTableLengths(QTextDocument& document) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double factor = screen != nullptr ? screen->logicalDotsPerInchY() / 96.0 : 1.0;
  if (factor == 1.0) return;
  for (QTextFrame* frame : document.rootFrame()->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
      QTextTableFormat format = table->format();
      format.setCellPadding(format.cellPadding() * factor);
      format.setBorder(format.border() * factor);
      table->setFormat(format);
    }
  }
}

QFont FooterFont(const QTextDocument& document) {
  QFont font = document.defaultFont();
  font.setPointSizeF(kFooterPoints);
  return font;
}

}  // namespace

std::vector<ParamReportPages::Page> ParamReportPages::Paginate(const std::vector<Unit>& units,
                                                               const std::vector<Table>& tables, double height) {
  std::vector<Page> pages;
  Page page;
  if (units.empty()) return {page};
  double headerHeight = 0;
  bool placed = false;  // the page holds a unit already
  auto startPageAt = [&](std::size_t at) {
    const Unit& u = units[at];
    page.to = u.top;
    pages.push_back(page);
    page = Page{u.top, 0, -1};
    headerHeight = 0;
    placed = false;
    if (u.table >= 0 && static_cast<std::size_t>(u.table) < tables.size()) {
      const Table& t = tables[static_cast<std::size_t>(u.table)];
      if (t.headerBottom > t.headerTop && u.top >= t.headerBottom) {
        page.repeatHeaderOf = u.table;
        headerHeight = t.headerBottom - t.headerTop;
      }
    }
  };
  std::size_t i = 0;
  while (i < units.size()) {
    // A group: units that keep with the next, and the one they keep with.
    std::size_t j = i;
    while (j + 1 < units.size() && units[j].keepWithNext) ++j;
    if (units[j].bottom - page.from + headerHeight <= height) {
      placed = true;
      i = j + 1;
      continue;
    }
    if (placed) {
      startPageAt(i);
      continue;
    }
    // A group taller than a page: as many of its units as fit, one at least.
    std::size_t k = i + 1;
    while (k <= j && units[k].bottom - page.from + headerHeight <= height) ++k;
    if (k >= units.size()) break;
    startPageAt(k);
    i = k;
  }
  page.to = units.back().bottom;
  pages.push_back(page);
  return pages;
}

void ParamReportPages::Measure(const QTextDocument& document, std::vector<Unit>& units, std::vector<Table>& tables) {
  const QAbstractTextDocumentLayout* layout = document.documentLayout();
  for (QTextFrame::iterator it = document.rootFrame()->begin(); !it.atEnd(); ++it) {
    QTextFrame* frame = it.currentFrame();
    if (frame == nullptr) {
      // Headings and paragraphs go with what follows them.
      const QRectF box = layout->blockBoundingRect(it.currentBlock());
      units.push_back({box.top(), box.bottom(), true, -1});
      continue;
    }
    const QRectF box = layout->frameBoundingRect(frame);
    auto* table = qobject_cast<QTextTable*>(frame);
    if (table == nullptr || table->rows() == 0) {
      units.push_back({box.top(), box.bottom(), false, -1});
      continue;
    }
    // Rows are cut halfway between the text of one row and the next, in
    // the padding and border between them.
    const int rows = table->rows();
    std::vector<double> cut(static_cast<std::size_t>(rows) + 1);
    cut.front() = box.top();
    cut.back() = box.bottom();
    double previousBottom = box.top();
    for (int r = 0; r < rows; ++r) {
      double top = std::numeric_limits<double>::max();
      double bottom = previousBottom;
      for (int c = 0; c < table->columns(); ++c) {
        const QTextTableCell cell = table->cellAt(r, c);
        if (cell.row() != r) continue;  // spanned from a row above
        top = std::min(top, layout->blockBoundingRect(cell.firstCursorPosition().block()).top());
        bottom = std::max(bottom, layout->blockBoundingRect(cell.lastCursorPosition().block()).bottom());
      }
      if (r > 0 && top != std::numeric_limits<double>::max()) cut[static_cast<std::size_t>(r)] = (previousBottom + top) / 2;
      if (r > 0 && top == std::numeric_limits<double>::max()) cut[static_cast<std::size_t>(r)] = previousBottom;
      previousBottom = bottom;
    }
    const int header = std::min(table->format().headerRowCount(), rows - 1);
    const int index = static_cast<int>(tables.size());
    tables.push_back({cut.front(), header > 0 ? cut[static_cast<std::size_t>(header)] : cut.front()});
    if (header > 0) units.push_back({cut.front(), cut[static_cast<std::size_t>(header)], true, index});
    for (int r = header; r < rows; ++r)
      units.push_back({cut[static_cast<std::size_t>(r)], cut[static_cast<std::size_t>(r) + 1], false, index});
  }
}

std::vector<ParamReportPages::Page> ParamReportPages::Layout(QTextDocument& document, QPagedPaintDevice& device,
                                                             std::vector<Table>& tables, double& footerHeight) {
  document.documentLayout()->setPaintDevice(&device);
  NormaliseTableLengths(document);
  document.setTextWidth(device.width());  // one long page
  footerHeight = QFontMetricsF(FooterFont(document), &device).height() * 1.8;
  std::vector<Unit> units;
  tables.clear();
  Measure(document, units, tables);
  return Paginate(units, tables, device.height() - footerHeight);
}

int ParamReportPages::PageCount(QTextDocument& document, QPagedPaintDevice& device) {
  std::vector<Table> tables;
  double footer = 0;
  return static_cast<int>(Layout(document, device, tables, footer).size());
}

int ParamReportPages::Print(QTextDocument& document, QPagedPaintDevice& device, const QString& footer) {
  std::vector<Table> tables;
  double footerHeight = 0;
  const std::vector<Page> pages = Layout(document, device, tables, footerHeight);
  QPainter painter(&device);
  if (!painter.isActive()) return 0;
  const double width = device.width();
  // A slice is drawn a little past its cut, so that the border under its
  // last row is printed too; that strip holds only the next row's padding.
  const double edge = device.logicalDpiY() * 0.4 / 25.4;
  const QFont footerFont = FooterFont(document);
  for (std::size_t k = 0; k < pages.size(); ++k) {
    if (k > 0) device.newPage();
    const Page& page = pages[k];
    double y = 0;
    if (page.repeatHeaderOf >= 0) {
      const Table& t = tables[static_cast<std::size_t>(page.repeatHeaderOf)];
      painter.save();
      painter.translate(0, -t.headerTop);
      document.drawContents(&painter, QRectF(0, t.headerTop, width, t.headerBottom - t.headerTop + edge));
      painter.restore();
      y = t.headerBottom - t.headerTop;
    }
    painter.save();
    painter.translate(0, y - page.from);
    document.drawContents(&painter, QRectF(0, page.from, width, page.to - page.from + edge));
    painter.restore();
    painter.setFont(footerFont);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, device.height() - footerHeight, width, footerHeight), Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral(u"%1 — стр. %2 из %3").arg(footer).arg(k + 1).arg(pages.size()));
  }
  return static_cast<int>(pages.size());
}

}  // namespace zart::ui
