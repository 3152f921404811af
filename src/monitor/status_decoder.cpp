#include "monitor/status_decoder.h"

#include "monitor/format_value.h"
#include "monitor/hex_padded.h"
#include "monitor/param_window_hook.h"

namespace zart::monitor {
namespace {

constexpr int kRegProtocolVersion = 300;
constexpr int kRegSoftwareVersion = 301;
constexpr int kRegObjectType = 302;
constexpr int kRegEngineSpeed = 303;
constexpr int kRegShaftSpeed = 304;
constexpr int kRegBattery = 305;
constexpr int kRegLamps = 392;
constexpr int kRegServiceLeft = 394;
constexpr int kRegRunningHigh = 395;
constexpr int kRegRunningLow = 396;
constexpr int kRegFirstSignals = 397;
constexpr int kRegFirstFault = 423;
/// The status request covers registers up to 424: fault words 0 and 1.
constexpr int kFaultWordsRead = 2;

constexpr int kBlockedBit = 0x8000;

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

void StatusDecoder::DecodeStatus(const link::RxStore& rx) {
  const int protocol = RegisterU16(rx, kRegProtocolVersion);
  m_view.SetValueText(ValueLabel::lbl_pr_ver, VersionText(protocol));
  m_view.SetValueText(ValueLabel::lbl_sw_ver, VersionText(RegisterU16(rx, kRegSoftwareVersion)));

  m_blocked = (protocol & kBlockedBit) != 0;
  m_view.SetBlockedBannerVisible(m_blocked);
  m_view.SetParamMenuEnabled(!m_blocked);
  // May build the parameters window (hidden) and let events run meanwhile;
  // the exchange skips any tick that arrives during that.
  if (m_hook) m_hook->SetBlockedBanner(m_blocked);

  ApplyObjectType(RegisterU16(rx, kRegObjectType));

  const QString hours = QStringLiteral(u"мч");
  ShowValue(ValueLabel::lbl_service, RegisterS16(rx, kRegServiceLeft), 0, 1.0 / 60.0, hours);
  // High word first. Computed in 64 bits, so even a counter beyond 2^31 - 1
  // minutes shows its true value instead of wrapping negative.
  const std::int64_t minutes =
      static_cast<std::int64_t>(RegisterU16(rx, kRegRunningHigh)) * 65536 + RegisterU16(rx, kRegRunningLow);
  ShowValue(ValueLabel::lbl_motomin, static_cast<double>(minutes), 0, 1.0 / 60.0, hours);
  ShowValue(ValueLabel::lbl_acc, RegisterS16(rx, kRegBattery), 1, 0.1, QString());
  ShowValue(ValueLabel::lbl_eng_rpm, RegisterU16(rx, kRegEngineSpeed), 0, 1, QString());
  // Written while hidden too, so that it is current when the type changes.
  ShowValue(ValueLabel::lbl_prop_rpm, RegisterU16(rx, kRegShaftSpeed), 0, 1, QString());

  for (int j = 0; j < 16; ++j) {
    const int word = RegisterU16(rx, kRegFirstSignals + j);
    for (int b = 0; b < 16; ++b) m_view.SetSignalLit(16 * j + b, ((word >> b) & 1) != 0);
  }

  const int lamps = RegisterU16(rx, kRegLamps);
  for (int b = 0; b < StatusView::kLampCount; ++b) m_view.SetLampLit(b, ((lamps >> b) & 1) != 0);

  // Only fault words 0 and 1 are inside the status block; labels 2..8 would
  // read the CRC and whatever an earlier reply left behind, so they keep
  // their "-" instead of showing bytes that mean nothing.
  for (int i = 0; i < kFaultWordsRead; ++i) m_view.SetFaultText(i, HexPadded(RegisterU16(rx, kRegFirstFault + i), 4));
}

void StatusDecoder::ApplyObjectType(int objectType) {
  bool dra = false;
  if (objectType == kObjectDgu) {
    m_view.SetValueText(ValueLabel::lbl_object, QStringLiteral(u"ДГУ"));
  } else if (objectType == kObjectDra) {
    m_view.SetValueText(ValueLabel::lbl_object, QStringLiteral(u"ДРА"));
    dra = true;
  } else {
    return;  // unknown type: keep what the last known type showed
  }
  object_type = objectType;
  m_view.SetLampVisible(kLampAutoStart, !dra);
  m_view.SetLampVisible(kLampEngineStop, !dra);
  m_view.SetLampVisible(kLampGearbox, dra);
  m_view.SetLampVisible(kLampAhead, dra);
  m_view.SetLampVisible(kLampAstern, dra);
  m_view.SetPropSpeedVisible(dra);
}

}  // namespace zart::monitor
