#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "monitor/link_events.h"
#include "monitor/status_sample.h"

namespace zart::monitor {

class CsvFormat;
class SignalNames;

/// What an event log entry is about.
enum class EventKind : std::uint8_t {
  lamp,        ///< a lamp lit or went out; index: its bit 0..10
  signal,      ///< a discrete signal went on or off; index: 1..255
  fault,       ///< a fault word changed; index 0: register 423, 1: 424
  blocked,     ///< the "control over Modbus blocked" flag
  objectType,  ///< register 302
  link,        ///< the link was lost or came back
};

/// One entry: 16 bytes, no text, so that recording a reply costs no
/// allocation; the texts are made when an entry is shown or written.
struct EventEntry {
  std::int64_t msecs = 0;    ///< local wall clock, ms since the epoch
  std::uint16_t index = 0;   ///< see EventKind
  std::uint16_t before = 0;  ///< fault word or object type before; link lost: the reason's number
  std::uint16_t after = 0;   ///< fault word or object type after
  EventKind kind = EventKind::lamp;
  std::uint8_t flags = 0;    ///< kOn, kInitial

  static constexpr std::uint8_t kOn = 1;       ///< lit, on, blocked, link back
  static constexpr std::uint8_t kInitial = 2;  ///< the state at the first status reply
  static constexpr std::uint8_t kNeverUp = 4;  ///< link lost before any status reply

  bool On() const { return (flags & kOn) != 0; }
  bool Initial() const { return (flags & kInitial) != 0; }
};

/// The filter groups of the event log window.
enum class EventGroup : std::uint8_t { lamps = 1, discreteSignals = 2, faults = 4, link = 8, other = 16 };

/// The session's event log: every change seen between two status replies
/// (lamps, signals, fault words, the blocked flag, the object type) and
/// every loss and return of the link, time-stamped. The first reply is
/// recorded as the initial state, one entry per lit lamp and signal. Held
/// in a ring allocated once; when it is full the oldest entries leave first.
class EventLog : public LinkEvents {
 public:
  static constexpr std::size_t kCapacity = 131072;

  EventLog();

  /// The changes of one status reply against the reply before it, stamped
  /// `msecs`; the first reply gives the initial state. A reply after a loss
  /// of the link is compared with the last one before it.
  void Record(const StatusSample& sample, std::int64_t msecs);
  void LinkLost(std::int64_t msecs, const QString& reason) override;
  void LinkRestored(std::int64_t msecs) override;

  /// Entries ever recorded; entry numbers run from 0.
  std::uint64_t Total() const { return m_total; }
  /// The number of the oldest entry still held: how many have left.
  std::uint64_t OldestNumber() const { return m_total > kCapacity ? m_total - kCapacity : 0; }
  /// Entry `number`, or null when it has left the ring or is not recorded yet.
  const EventEntry* Find(std::uint64_t number) const;

  /// Texts of an entry: its kind ("Лампа"), what changed ("Авария",
  /// "Сигнал 17 «Давление масла»") and how ("горит", "0000 → 001A").
  static QString KindText(EventKind kind);
  static EventGroup GroupOf(EventKind kind);
  static QString SubjectText(const EventEntry& e, const SignalNames* names);
  QString ChangeText(const EventEntry& e) const;
  /// "07.12.2026 03:04:05.067", local time.
  static QString TimeText(const EventEntry& e);
  /// All four texts of an entry, time first, as the window shows them.
  QStringList Texts(const EventEntry& e, const SignalNames* names) const;
  /// The CSV header and the line of an entry, in `format` (no line end).
  static QString CsvHeader();
  QString CsvLine(const CsvFormat& format, const EventEntry& e, const SignalNames* names) const;
  /// The session's log as a section of the service report (a heading and a
  /// table), the newest `maxEntries` entries at most.
  QString HtmlSection(const SignalNames* names, std::uint64_t maxEntries) const;

 private:
  void Add(const EventEntry& e);
  std::uint16_t ReasonNumber(const QString& reason);

  std::unique_ptr<EventEntry[]> m_ring;
  std::uint64_t m_total = 0;
  StatusSample m_last;
  bool m_haveLast = false;
  std::vector<QString> m_reasons;
};

}  // namespace zart::monitor
