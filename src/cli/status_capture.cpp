#include "cli/status_capture.h"

#include <QJsonArray>

#include "monitor/controller_scan.h"
#include "monitor/status_registers.h"

namespace zart::cli {

namespace {

namespace reg = monitor::status_registers;
using monitor::ValueLabel;

constexpr std::array<const char16_t*, monitor::StatusView::kLampCount> kLampCaptions{
    u"Авария", u"Неиспр.", u"Работа",   u"Готов", u"Пост",  u"Защ. выкл.",
    u"Авт. зап.", u"Редуктор", u"Вперед", u"Назад", u"Двиг. ост."};

QString Joined(const QList<int>& numbers) {
  QStringList texts;
  for (int n : numbers) texts << QString::number(n);
  return texts.join(QStringLiteral(", "));
}

}  // namespace

QString StatusCapture::LampCaption(int bit) {
  if (bit < 0 || bit >= static_cast<int>(kLampCaptions.size())) return QString();
  return QString::fromUtf16(kLampCaptions[static_cast<std::size_t>(bit)]);
}

void StatusCapture::SetFaultText(int index, const QString& text) {
  if (index >= 0 && index < kFaultCount) m_faults[static_cast<std::size_t>(index)] = text;
}
void StatusCapture::SetLampLit(int index, bool lit) {
  if (index >= 0 && index < kLampCount) m_lampLit[static_cast<std::size_t>(index)] = lit;
}
void StatusCapture::SetLampVisible(int index, bool visible) {
  if (index >= 0 && index < kLampCount) m_lampVisible[static_cast<std::size_t>(index)] = visible;
}
void StatusCapture::SetSignalLit(int index, bool lit) {
  if (index >= 0 && index < kSignalCount) m_signals[static_cast<std::size_t>(index)] = lit;
}

void StatusCapture::Record(const link::RxStore& rx) {
  m_sample = monitor::StatusSample::FromStatusReply(rx);
  m_protocol = reg::U16(rx, reg::kProtocolVersion);
  m_software = reg::U16(rx, reg::kSoftwareVersion);
  for (int i = 0; i < reg::kFaultWordsRead; ++i) m_faultWords[static_cast<std::size_t>(i)] = reg::U16(rx, reg::kFirstFault + i);
}

QString StatusCapture::Value(ValueLabel label) const {
  const auto it = m_values.find(label);
  if (it == m_values.end()) return QStringLiteral("-");
  QString text = it->second.trimmed();
  // The versions read "2 .5 " in the window, each part padded.
  if (label == ValueLabel::lbl_pr_ver || label == ValueLabel::lbl_sw_ver) text.remove(QLatin1Char(' '));
  return text;
}

QStringList StatusCapture::LitLamps() const {
  QStringList lit;
  for (int b = 0; b < kLampCount; ++b)
    if (m_lampLit[static_cast<std::size_t>(b)] && m_lampVisible[static_cast<std::size_t>(b)]) lit << LampCaption(b);
  return lit;
}

QList<int> StatusCapture::LitSignals() const {
  QList<int> lit;
  // Cell 0 is the window's hidden template; the grid shows 1..255.
  for (int n = 1; n < kSignalCount; ++n)
    if (m_signals[static_cast<std::size_t>(n)]) lit << n;
  return lit;
}

QString StatusCapture::Text(int slaveAddress) const {
  const auto line = [](const QString& caption, const QString& value) { return caption + QStringLiteral(": ") + value + u'\n'; };
  const QStringList lamps = LitLamps();
  const QList<int> signalsOn = LitSignals();
  QString text;
  text += line(QStringLiteral(u"Адрес устройства"), QString::number(slaveAddress));
  text += line(QStringLiteral(u"Тип объекта"), Value(ValueLabel::lbl_object));
  // Without the blocked flag, which has a line of its own below.
  text += line(QStringLiteral(u"Версия протокола"), monitor::ScanHit::VersionText(m_protocol & ~reg::kBlockedBit));
  text += line(QStringLiteral(u"Версия ПО"), Value(ValueLabel::lbl_sw_ver));
  text += line(QStringLiteral(u"Частота вращения двигателя, об/мин"), Value(ValueLabel::lbl_eng_rpm));
  if (m_propVisible) text += line(QStringLiteral(u"Частота вращения гребного вала, об/мин"), Value(ValueLabel::lbl_prop_rpm));
  text += line(QStringLiteral(u"Аккумулятор, В"), Value(ValueLabel::lbl_acc));
  text += line(QStringLiteral(u"Индикаторы"), lamps.isEmpty() ? QStringLiteral(u"все погашены") : lamps.join(QStringLiteral(", ")));
  text += line(QStringLiteral(u"Сигналы"), signalsOn.isEmpty() ? QStringLiteral(u"нет") : Joined(signalsOn));
  text += line(QStringLiteral(u"До сервисного обслуживания осталось"), Value(ValueLabel::lbl_service));
  text += line(QStringLiteral(u"Общая наработка"), Value(ValueLabel::lbl_motomin));
  text += line(QStringLiteral(u"Управление по Modbus"),
               m_blocked ? QStringLiteral(u"заблокировано в ЩМКР.540") : QStringLiteral(u"разрешено"));
  text += line(QStringLiteral(u"Слова аварий"), m_faults[0] + u' ' + m_faults[1]);
  return text;
}

QJsonObject StatusCapture::Json(int slaveAddress) const {
  QJsonArray lamps;
  for (const QString& caption : LitLamps()) lamps.append(caption);
  QJsonArray signalsOn;
  for (int n : LitSignals()) signalsOn.append(n);
  QJsonObject o;
  o[QStringLiteral("address")] = slaveAddress;
  o[QStringLiteral("objectType")] = m_sample.objectType;
  o[QStringLiteral("objectTypeName")] = reg::ObjectTypeName(m_sample.objectType);
  o[QStringLiteral("protocolVersion")] = monitor::ScanHit::VersionText(m_protocol & ~reg::kBlockedBit);
  o[QStringLiteral("softwareVersion")] = monitor::ScanHit::VersionText(m_software);
  o[QStringLiteral("engineRpm")] = m_sample.engineRpm;
  if (m_propVisible) o[QStringLiteral("shaftRpm")] = m_sample.shaftRpm;
  o[QStringLiteral("batteryVolts")] = m_sample.batteryDecivolts / 10.0;
  o[QStringLiteral("lampsLit")] = lamps;
  o[QStringLiteral("lampBits")] = m_sample.lamps;
  o[QStringLiteral("signalsOn")] = signalsOn;
  o[QStringLiteral("serviceMinutes")] = m_sample.serviceMinutes;
  o[QStringLiteral("runningMinutes")] = static_cast<double>(m_sample.runningMinutes);
  o[QStringLiteral("serviceHours")] = Value(ValueLabel::lbl_service);
  o[QStringLiteral("runningHours")] = Value(ValueLabel::lbl_motomin);
  o[QStringLiteral("blocked")] = m_blocked;
  o[QStringLiteral("faultWords")] = QJsonArray{m_faultWords[0], m_faultWords[1]};
  return o;
}

}  // namespace zart::cli
