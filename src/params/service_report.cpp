#include "params/service_report.h"

#include <array>

#include <QRegularExpression>
#include <QStringList>

#include "params/box_colors.h"
#include "params/function_pages.h"
#include "params/param_set.h"
#include "params/slot_names.h"

namespace zart::params {

namespace {

constexpr std::array<int, 5> kPagesPerGroup{kFunctionPageCount, kChannelScreens, kLogicPages, kRelayPages,
                                             kInputScreens};  // in the order of kPageGroups

QString Esc(const QString& text) { return text.toHtmlEscaped(); }

QString HexColour(std::uint32_t rgb) { return QStringLiteral("#%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0')); }

QString Cell(const QString& text) { return QStringLiteral("<td>") + Esc(text) + QStringLiteral("</td>"); }

// A heading row inside <thead>: printed again at the top of every page the
// table continues on. Each column has a fixed share of the width, so that a
// row wraps the same way wherever the pages are cut.
QString HeaderRow(std::initializer_list<std::pair<QString, int>> columns) {
  QString html = QStringLiteral("<thead><tr>");
  for (const auto& [caption, percent] : columns) {
    html += QStringLiteral("<th align=\"left\" width=\"%1%\">").arg(percent) + Esc(caption) + QStringLiteral("</th>");
  }
  return html + QStringLiteral("</tr></thead>\n");
}

QString TableStart() {
  return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n");
}

// A version as the main window shows it ("2 .3 ", the design's spacing) as
// the report prints it, "2.3"; the protocol version's major byte carries the
// "blocked" flag in its top bit, which is not part of the version.
QString VersionText(const QString& shown, bool protocol) {
  QString text = shown.simplified();
  text.remove(QLatin1Char(' '));
  const QStringList parts = text.split(QLatin1Char('.'));
  bool majorOk = false;
  const int major = parts.size() == 2 ? parts[0].toInt(&majorOk) : 0;
  if (protocol && majorOk && major >= 128 && major < 256) return QString::number(major - 128) + QLatin1Char('.') + parts[1];
  return text;
}

}  // namespace

QString ServiceReport::UnitOf(const QString& caption) {
  // Only units: the brackets of some captions hold a range ("(1-72)"), a
  // list of choices or a remark ("(автозапуск)").
  static const QStringList kUnits{QStringLiteral(u"об/мин"), QStringLiteral(u"сек"),    QStringLiteral(u"с"),
                                  QStringLiteral(u"мс"),     QStringLiteral(u"мин"),    QStringLiteral(u"°C"),
                                  QStringLiteral(u"бар"),    QStringLiteral(u"%"),      QStringLiteral(u"В"),
                                  QStringLiteral(u"моточасы")};
  static const QRegularExpression kLastBrackets(QStringLiteral(u"\\(([^()]*)\\)[^()]*$"));
  const QRegularExpressionMatch m = kLastBrackets.match(caption);
  if (!m.hasMatch()) return QString();
  const QString inside = m.captured(1).trimmed();
  return kUnits.contains(inside) ? inside : QString();
}

QString ServiceReport::StateOf(SlotState state) { return QString::fromUtf16(StateCaption(state)); }

ServiceReport ServiceReport::Build(const ParamSet& set, const ReportIdentity& identity, const DiffList* differences) {
  ServiceReport report;
  report.identity = identity;
  if (differences != nullptr) {
    report.differences = *differences;
    for (const DiffEntry& e : differences->entries) report.differencePages.push_back(SlotPageTitle(e.slot));
  }

  // One bucket per page, in the order the pages are listed.
  std::array<int, 5> firstBucket{};
  int buckets = 0;
  for (std::size_t g = 0; g < kPageGroups.size(); ++g) {
    firstBucket[g] = buckets;
    for (int i = 0; i < kPagesPerGroup[g]; ++i) {
      ReportPage page;
      page.page = {kPageGroups[g], i};
      const QString group = PageGroupName(kPageGroups[g]);
      page.title = group.isEmpty() ? kFunctionPages[static_cast<std::size_t>(i)].FrameCaption()
                                   : group + QStringLiteral(u" · ") + TabCaption(page.page);
      report.pages.push_back(std::move(page));
      ++buckets;
    }
  }
  auto add = [&](int slot) {
    const PageRef where = kCatalogue.PageOf(slot);
    const auto g = static_cast<std::size_t>(where.group);
    ReportRow row;
    row.slot = slot;
    row.name = SlotName(slot);
    row.value = set.Text(slot).trimmed();
    row.unit = UnitOf(row.name);
    row.colour = ColorOf(set.State(slot));
    row.state = StateOf(set.State(slot));
    report.pages[static_cast<std::size_t>(firstBucket[g] + where.index)].rows.push_back(std::move(row));
    ++report.rowCount;
  };
  // Function pages row by row as they stand on screen, the tables by slot.
  for (const FunctionPage& page : kFunctionPages) {
    for (const FunctionRow& row : page.rows) {
      for (int slot : row.boxes)
        if (slot >= 0) add(slot);
    }
  }
  for (int k = ParamCatalogue::FirstSlot(PageGroup::channel); k < kSlotCount; ++k) add(k);
  return report;
}

QString ServiceReport::ToHtml() const {
  QString html;
  html.reserve(400 * 1024);
  html += QStringLiteral(
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
      "<title>Параметры контроллера ЗАРТ</title>"
      "<style>body{font-family:'Liberation Sans',Arial,Helvetica,sans-serif;font-size:9pt} "
      "th{background:#e0e0e0} thead{display:table-header-group} tr{page-break-inside:avoid} "
      "h2{font-size:11pt;margin-top:12pt;page-break-after:avoid}</style></head><body>\n");
  html += QStringLiteral(u"<h1>Параметры контроллера ЗАРТ</h1>\n");
  html += TableStart();
  const QString when = identity.when.toString(QStringLiteral(u"dd.MM.yyyy HH:mm:ss"));
  const std::array<std::pair<const char16_t*, QString>, 7> ident{{
      {u"Тип объекта", identity.objectType},
      {u"Версия протокола", VersionText(identity.protocolVersion, true)},
      {u"Версия ПО", VersionText(identity.softwareVersion, false)},
      {u"Адрес Modbus", QString::number(identity.slaveAddress)},
      {u"Канал связи", identity.link},
      {u"Общая наработка", identity.runningHours},
      {u"Дата и время", when},
  }};
  for (const auto& [caption, value] : ident) {
    html += QStringLiteral("<tr><th align=\"left\" width=\"30%\">") + Esc(QString::fromUtf16(caption)) +
            QStringLiteral("</th>") + Cell(value) + QStringLiteral("</tr>\n");
  }
  html += QStringLiteral("</table>\n");

  if (differences) {
    const DiffList& d = *differences;
    html += QStringLiteral("<h2>") + Esc(d.title) + QStringLiteral("</h2>\n<p>") + Esc(d.summary) +
            QStringLiteral("</p>\n");
    if (!d.entries.empty()) {
      html += TableStart() + HeaderRow({{QStringLiteral(u"Параметр"), 36},
                                        {QStringLiteral(u"Страница"), 16},
                                        {d.leftCaption, 15},
                                        {d.rightCaption, 15},
                                        {QStringLiteral(u"Состояние"), 18}});
      for (const DiffEntry& e : d.entries) {
        const std::size_t i = static_cast<std::size_t>(&e - d.entries.data());
        html += QStringLiteral("<tr>") + Cell(SlotName(e.slot)) +
                Cell(i < differencePages.size() ? differencePages[i] : QString()) +
                Cell(e.left.trimmed()) + Cell(e.right.trimmed()) + Cell(ParamDiff::StateText(e.state)) +
                QStringLiteral("</tr>\n");
      }
      html += QStringLiteral("</table>\n");
    }
  }

  for (const ReportPage& page : pages) {
    if (page.rows.empty()) continue;
    html += QStringLiteral("<h2>") + Esc(page.title) + QStringLiteral("</h2>\n") + TableStart() +
            HeaderRow({{QStringLiteral(u"Параметр"), 45},
                       {QStringLiteral(u"Значение"), 14},
                       {QStringLiteral(u"Ед."), 11},  // "моточасы" whole
                       {QString(), 3},
                       {QStringLiteral(u"Состояние"), 27}});
    for (const ReportRow& row : page.rows) {
      html += QStringLiteral("<tr>") + Cell(row.name) + Cell(row.value) + Cell(row.unit) +
              QStringLiteral("<td bgcolor=\"") + HexColour(row.colour) + QStringLiteral("\">&nbsp;</td>") +
              Cell(row.state) + QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</table>\n");
  }
  html += QStringLiteral("</body></html>\n");
  return html;
}

}  // namespace zart::params
