#include "monitor/event_log.h"

#include <algorithm>
#include <bit>

#include <QDateTime>
#include <QLocale>

#include "monitor/csv_format.h"
#include "monitor/hex_padded.h"
#include "monitor/lamp_captions.h"
#include "monitor/signal_names.h"
#include "monitor/status_registers.h"

namespace zart::monitor {
namespace {

constexpr std::size_t kMask = EventLog::kCapacity - 1;
static_assert((EventLog::kCapacity & kMask) == 0, "the ring's size is a power of two");
constexpr int kLampMask = status_registers::kLampBits;
// Distinct reasons kept for link entries; the status line has a handful.
constexpr std::size_t kMaxReasons = 1000;

QString ObjectTypeText(int type) {
  const QString named = status_registers::ObjectTypeName(type);
  return named.isEmpty() ? QString::number(type) : named;
}

}  // namespace

EventLog::EventLog() : m_ring(std::make_unique<EventEntry[]>(kCapacity)) {}

void EventLog::Add(const EventEntry& e) {
  m_ring[m_total & kMask] = e;
  ++m_total;
}

const EventEntry* EventLog::Find(std::uint64_t number) const {
  if (number >= m_total || number < OldestNumber()) return nullptr;
  return &m_ring[number & kMask];
}

void EventLog::Record(const StatusSample& s, std::int64_t msecs) {
  const bool initial = !m_haveLast;
  const StatusSample& before = m_last;
  const std::uint8_t initialFlag = initial ? EventEntry::kInitial : 0;
  auto add = [&](EventKind kind, int index, bool on, int was, int now) {
    EventEntry e;
    e.msecs = msecs;
    e.kind = kind;
    e.index = static_cast<std::uint16_t>(index);
    e.before = static_cast<std::uint16_t>(was);
    e.after = static_cast<std::uint16_t>(now);
    e.flags = static_cast<std::uint8_t>((on ? EventEntry::kOn : 0) | initialFlag);
    Add(e);
  };

  if (initial || s.objectType != before.objectType) add(EventKind::objectType, 0, true, before.objectType, s.objectType);
  if (initial ? s.blocked : s.blocked != before.blocked) add(EventKind::blocked, 0, s.blocked, 0, 0);
  // The initial state lists what is lit; later only what changed.
  for (unsigned changed = static_cast<unsigned>((initial ? 0 : before.lamps) ^ s.lamps) & kLampMask; changed != 0;
       changed &= changed - 1) {
    const int bit = std::countr_zero(changed);
    add(EventKind::lamp, bit, ((s.lamps >> bit) & 1) != 0, 0, 0);
  }
  for (int j = 0; j < 16; ++j) {
    const auto word = static_cast<unsigned>(s.signalWords[static_cast<std::size_t>(j)]);
    unsigned changed = word ^ (initial ? 0U : before.signalWords[static_cast<std::size_t>(j)]);
    if (j == 0) changed &= ~1U;  // signal 0 has no cell on the panel
    for (; changed != 0; changed &= changed - 1) {
      const int bit = std::countr_zero(changed);
      add(EventKind::signal, 16 * j + bit, ((word >> bit) & 1U) != 0, 0, 0);
    }
  }
  for (std::size_t w = 0; w < s.faultWords.size(); ++w) {
    const int was = initial ? 0 : before.faultWords[w];
    if (s.faultWords[w] != was) add(EventKind::fault, static_cast<int>(w), true, was, s.faultWords[w]);
  }
  m_last = s;
  m_haveLast = true;
}

std::uint16_t EventLog::ReasonNumber(const QString& reason) {
  for (std::size_t i = 0; i < m_reasons.size(); ++i) {
    if (m_reasons[i] == reason) return static_cast<std::uint16_t>(i);
  }
  if (m_reasons.size() >= kMaxReasons) return static_cast<std::uint16_t>(m_reasons.size() - 1);
  m_reasons.push_back(reason);
  return static_cast<std::uint16_t>(m_reasons.size() - 1);
}

void EventLog::LinkLost(std::int64_t msecs, const QString& reason) {
  EventEntry e;
  e.msecs = msecs;
  e.kind = EventKind::link;
  e.before = ReasonNumber(reason);
  e.flags = m_haveLast ? 0 : EventEntry::kNeverUp;
  Add(e);
}

void EventLog::LinkRestored(std::int64_t msecs) {
  EventEntry e;
  e.msecs = msecs;
  e.kind = EventKind::link;
  e.flags = EventEntry::kOn;
  Add(e);
}

QString EventLog::KindText(EventKind kind) {
  switch (kind) {
    case EventKind::lamp:
      return QStringLiteral(u"Лампа");
    case EventKind::signal:
      return QStringLiteral(u"Сигнал");
    case EventKind::fault:
      return QStringLiteral(u"Авария");
    case EventKind::blocked:
    case EventKind::objectType:
      return QStringLiteral(u"Состояние");
    case EventKind::link:
      return QStringLiteral(u"Связь");
  }
  return QString();
}

EventGroup EventLog::GroupOf(EventKind kind) {
  switch (kind) {
    case EventKind::lamp:
      return EventGroup::lamps;
    case EventKind::signal:
      return EventGroup::discreteSignals;
    case EventKind::fault:
      return EventGroup::faults;
    case EventKind::link:
      return EventGroup::link;
    case EventKind::blocked:
    case EventKind::objectType:
      return EventGroup::other;
  }
  return EventGroup::other;
}

QString EventLog::SubjectText(const EventEntry& e, const SignalNames* names) {
  switch (e.kind) {
    case EventKind::lamp:
      return LampCaption(e.index);
    case EventKind::signal:
      return QStringLiteral(u"Сигнал ") + (names != nullptr ? names->Label(e.index) : QString::number(e.index));
    case EventKind::fault:
      return QStringLiteral(u"Слово аварий %1").arg(status_registers::kFirstFault + e.index);
    case EventKind::blocked:
      return QStringLiteral(u"Управление по Modbus");
    case EventKind::objectType:
      return QStringLiteral(u"Тип объекта");
    case EventKind::link:
      return QStringLiteral(u"Связь с контроллером");
  }
  return QString();
}

QString EventLog::ChangeText(const EventEntry& e) const {
  QString text;
  switch (e.kind) {
    case EventKind::lamp:
      text = e.On() ? QStringLiteral(u"горит") : QStringLiteral(u"погасла");
      break;
    case EventKind::signal:
      text = e.On() ? QStringLiteral(u"вкл.") : QStringLiteral(u"выкл.");
      break;
    case EventKind::fault:
      text = e.Initial() ? HexPadded(e.after, 4) : HexPadded(e.before, 4) + QStringLiteral(u" → ") + HexPadded(e.after, 4);
      break;
    case EventKind::blocked:
      text = e.On() ? QStringLiteral(u"заблокировано в ЩМКР.540") : QStringLiteral(u"разблокировано");
      break;
    case EventKind::objectType:
      text = e.Initial() ? ObjectTypeText(e.after) : ObjectTypeText(e.before) + QStringLiteral(u" → ") + ObjectTypeText(e.after);
      break;
    case EventKind::link: {
      if (e.On()) return QStringLiteral(u"восстановлена");
      const QString reason = e.before < m_reasons.size() ? m_reasons[e.before] : QString();
      text = (e.flags & EventEntry::kNeverUp) != 0 ? QStringLiteral(u"нет связи") : QStringLiteral(u"потеряна");
      if (!reason.isEmpty()) text += QStringLiteral(u": ") + reason;
      return text;
    }
  }
  if (e.Initial()) text += QStringLiteral(u" (начальное состояние)");
  return text;
}

QString EventLog::TimeText(const EventEntry& e) {
  return QDateTime::fromMSecsSinceEpoch(e.msecs).toString(QStringLiteral(u"dd.MM.yyyy HH:mm:ss.zzz"));
}

QStringList EventLog::Texts(const EventEntry& e, const SignalNames* names) const {
  return {TimeText(e), KindText(e.kind), SubjectText(e, names), ChangeText(e)};
}

QString EventLog::CsvHeader() {
  return CsvFormat::Line({QStringLiteral(u"время"), QStringLiteral(u"вид"), QStringLiteral(u"что"),
                          QStringLiteral(u"изменение")});
}

QString EventLog::CsvLine(const CsvFormat& format, const EventEntry& e, const SignalNames* names) const {
  // The milliseconds after the user's decimal separator, as in the status log.
  const QDateTime time = QDateTime::fromMSecsSinceEpoch(e.msecs);
  return CsvFormat::Line({time.toString(QStringLiteral(u"yyyy-MM-dd HH:mm:ss")) + format.Decimal() +
                              time.toString(QStringLiteral(u"zzz")),
                          KindText(e.kind), SubjectText(e, names), ChangeText(e)});
}

QString EventLog::HtmlSection(const SignalNames* names, std::uint64_t maxEntries) const {
  const std::uint64_t held = m_total - OldestNumber();
  const std::uint64_t first = m_total - std::min(held, maxEntries);
  QString html = QStringLiteral(u"<h2>Журнал событий сеанса</h2>\n<p>");
  if (held == 0) return html + QStringLiteral(u"Событий нет.</p>\n");
  const QLocale locale;
  html += first > 0
              ? QStringLiteral(u"Последние %1 записей из %2.").arg(locale.toString(m_total - first), locale.toString(m_total))
              : QStringLiteral(u"Записей: %1.").arg(locale.toString(m_total));
  html += QStringLiteral(
      u"</p>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n<thead><tr>"
      u"<th align=\"left\" width=\"24%\">Время</th><th align=\"left\" width=\"11%\">Вид</th>"
      u"<th align=\"left\" width=\"33%\">Что</th><th align=\"left\" width=\"32%\">Изменение</th></tr></thead>\n");
  html.reserve(html.size() + static_cast<qsizetype>((m_total - first) * 160));
  for (std::uint64_t n = first; n < m_total; ++n) {
    html += QStringLiteral("<tr>");
    for (const QString& text : Texts(*Find(n), names)) html += QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>");
    html += QStringLiteral("</tr>\n");
  }
  return html + QStringLiteral("</table>\n");
}

}  // namespace zart::monitor
