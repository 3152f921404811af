#pragma once

#include <vector>

#include <QString>

class QPagedPaintDevice;
class QTextDocument;

namespace zart::ui {

/// Cuts the service report into printed pages itself instead of leaving it
/// to the text layout, which splits a table row whose name wraps over two
/// lines across a page break and leaves a heading alone at a page's foot.
/// The document is laid out once as one long page; the cuts fall only
/// between table rows and never between a heading and what follows it, and
/// a table continued on a new page gets its heading row printed again. The
/// same pages go to the printer, the preview and the PDF.
class ParamReportPages {
 public:
  /// A piece of the long page that stays whole: a paragraph or heading, a
  /// table's heading rows, or one table row. Positions in layout units.
  struct Unit {
    double top = 0;
    double bottom = 0;
    bool keepWithNext = false;  ///< headings and a table's heading rows
    int table = -1;             ///< the table a row belongs to; -1: none
  };
  /// A table's heading rows.
  struct Table {
    double headerTop = 0;
    double headerBottom = 0;
  };
  /// One printed page: its slice of the long page, under a repeated table
  /// heading when it continues a table.
  struct Page {
    double from = 0;
    double to = 0;
    int repeatHeaderOf = -1;
  };

  /// Pages of at most `height` each: a unit is never cut, a unit that keeps
  /// with the next starts a page together with it, and a page that
  /// continues a table leaves room for its heading. A group taller than a
  /// page is cut between its units.
  static std::vector<Page> Paginate(const std::vector<Unit>& units, const std::vector<Table>& tables, double height);

  /// Lays `document` out on `device`'s page width and prints it, a footer
  /// with `footer` and "стр. N из M" on every page. The number of pages.
  static int Print(QTextDocument& document, QPagedPaintDevice& device, const QString& footer);
  /// The pages `document` would be printed on, after laying it out as Print does.
  static int PageCount(QTextDocument& document, QPagedPaintDevice& device);

 private:
  static void Measure(const QTextDocument& document, std::vector<Unit>& units, std::vector<Table>& tables);
  static std::vector<Page> Layout(QTextDocument& document, QPagedPaintDevice& device, std::vector<Table>& tables,
                                  double& footerHeight);
};

}  // namespace zart::ui
