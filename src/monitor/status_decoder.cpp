#include "monitor/status_decoder.h"

#include "monitor/format_value.h"
#include "monitor/hex_padded.h"
#include "monitor/param_window_hook.h"
#include "monitor/status_registers.h"

namespace zart::monitor {
namespace {

namespace reg = status_registers;

/// Lamps that belong to one object type only.
constexpr int kLampAutoStart = 6;   // "Авт. зап.", ДГУ
constexpr int kLampGearbox = 7;     // "Редуктор", ДРА
constexpr int kLampAhead = 8;       // "Вперед", ДРА
constexpr int kLampAstern = 9;      // "Назад", ДРА
constexpr int kLampEngineStop = 10; // "Двиг. ост.", ДГУ

}  // namespace

StatusDecoder::StatusDecoder(StatusView& view) : m_view(view) {}

void StatusDecoder::ShowValue(ValueLabel label, double value, int decimals, double multiplier,
                              const QString& suffix) {
  m_view.SetValueText(label, FormatValue(value, decimals, multiplier, suffix));
}

QString StatusDecoder::VersionText(int word) const {
  // Major and minor each carry the space FormatValue appends: "2 .3 ". The
  // high byte is shown whole, the blocked flag in its top bit included, so a
  // blocked controller with version 2.3 reads "130 .3 ".
  return FormatValue(word >> 8, 0, 1, QString()) + QLatin1Char('.') + FormatValue(word & 0xFF, 0, 1, QString());
}

QString StatusDecoder::StaleNote(const QDateTime& lastReply) {
  return QStringLiteral(u"Нет связи с ") + lastReply.toString(QStringLiteral(u"HH:mm:ss")) +
         QStringLiteral(u": показаны последние значения");
}

void StatusDecoder::CheckFreshness(const QDateTime& now) {
  // Before the first reply there is nothing to be stale: the window shows
  // that it has no data yet.
  if (!m_lastReply.isValid() || m_stale || m_lastReply.msecsTo(now) <= kStaleAfterMs) return;
  m_stale = true;
  m_view.SetStale(true, StaleNote(m_lastReply));
}

void StatusDecoder::DecodeStatus(const link::RxStore& rx, const QDateTime& when) {
  m_lastReply = when;
  if (m_stale) {
    m_stale = false;
    m_view.SetStale(false, QString());
  }

  const int protocol = reg::U16(rx, reg::kProtocolVersion);
  m_view.SetValueText(ValueLabel::lbl_pr_ver, VersionText(protocol));
  m_view.SetValueText(ValueLabel::lbl_sw_ver, VersionText(reg::U16(rx, reg::kSoftwareVersion)));

  m_blocked = (protocol & reg::kBlockedBit) != 0;
  m_view.SetBlockedBannerVisible(m_blocked);
  m_view.SetParamMenuEnabled(!m_blocked);
  if (m_hook) m_hook->SetBlockedBanner(m_blocked);

  ApplyObjectType(reg::U16(rx, reg::kObjectType));

  const QString hours = QStringLiteral(u"мч");
  ShowValue(ValueLabel::lbl_service, reg::S16(rx, reg::kServiceLeft), 0, 1.0 / 60.0, hours);
  // High word first. Computed in 64 bits, so even a counter beyond 2^31 - 1
  // minutes shows its true value instead of wrapping negative.
  const std::int64_t minutes =
      static_cast<std::int64_t>(reg::U16(rx, reg::kRunningHigh)) * 65536 + reg::U16(rx, reg::kRunningLow);
  ShowValue(ValueLabel::lbl_motomin, static_cast<double>(minutes), 0, 1.0 / 60.0, hours);
  ShowValue(ValueLabel::lbl_acc, reg::S16(rx, reg::kBattery), 1, 0.1, QString());
  ShowValue(ValueLabel::lbl_eng_rpm, reg::U16(rx, reg::kEngineSpeed), 0, 1, QString());
  // Written while hidden too, so that it is current when the type changes.
  ShowValue(ValueLabel::lbl_prop_rpm, reg::U16(rx, reg::kShaftSpeed), 0, 1, QString());

  for (int j = 0; j < reg::kSignalWords; ++j) {
    const int word = reg::U16(rx, reg::kFirstSignals + j);
    for (int b = 0; b < 16; ++b) m_view.SetSignalLit(16 * j + b, ((word >> b) & 1) != 0);
  }

  const int lamps = reg::U16(rx, reg::kLamps);
  for (int b = 0; b < StatusView::kLampCount; ++b) m_view.SetLampLit(b, ((lamps >> b) & 1) != 0);

  // Only fault words 0 and 1 are inside the status block; labels 2..8 would
  // read the CRC and whatever an earlier reply left behind, so they keep
  // their "-" instead of showing bytes that mean nothing.
  for (int i = 0; i < reg::kFaultWordsRead; ++i)
    m_view.SetFaultText(i, HexPadded(reg::U16(rx, reg::kFirstFault + i), 4));
}

void StatusDecoder::ApplyObjectType(int objectType) {
  const QString name = reg::ObjectTypeName(objectType);
  if (name.isEmpty()) return;  // unknown type: keep what the last known type showed
  const bool dra = objectType == reg::kObjectDra;
  m_view.SetValueText(ValueLabel::lbl_object, name);
  object_type = objectType;
  m_view.SetLampVisible(kLampAutoStart, !dra);
  m_view.SetLampVisible(kLampEngineStop, !dra);
  m_view.SetLampVisible(kLampGearbox, dra);
  m_view.SetLampVisible(kLampAhead, dra);
  m_view.SetLampVisible(kLampAstern, dra);
  m_view.SetPropSpeedVisible(dra);
}

}  // namespace zart::monitor
