#include "monitor/csv_status_log.h"

#include <QStringList>

#include "monitor/lamp_captions.h"
#include "monitor/signal_names.h"
#include "monitor/status_registers.h"

namespace zart::monitor {

CsvStatusLog::CsvStatusLog() : m_file(QStringLiteral(u"Журнал"), QStringLiteral(u"журнала")) {}

QString CsvStatusLog::HeaderLine(const SignalNames* names) {
  QStringList fields{QStringLiteral(u"время"), QStringLiteral(u"тип объекта"), QStringLiteral(u"обороты двиг. об/мин"),
                     QStringLiteral(u"обороты вала об/мин"), QStringLiteral(u"АКБ В")};
  for (const char16_t* caption : kLampCaptions) fields << QString::fromUtf16(caption);
  for (int n = 1; n < 256; ++n) {
    fields << (names != nullptr && !names->Name(n).isEmpty()
                   ? QStringLiteral(u"сигнал %1 %2").arg(n).arg(names->Name(n))
                   : QStringLiteral(u"сигнал %1").arg(n));
  }
  fields << QStringLiteral(u"до ТО мин") << QStringLiteral(u"наработка мин") << QStringLiteral(u"связь")
         << QStringLiteral(u"канал");
  return CsvFormat::Line(fields);
}

QString CsvStatusLog::Line(const CsvFormat& format, const QDateTime& time, const StatusSample& s,
                           std::uint64_t linkFailures, const QString& linkName) {
  const QString named = status_registers::ObjectTypeName(s.objectType);
  const QString type = named.isEmpty() ? QString::number(s.objectType) : named;
  // Milliseconds after the decimal separator, so that a spreadsheet reads
  // the field as a time of day in the user's notation.
  QString line = time.toString(QStringLiteral(u"yyyy-MM-dd HH:mm:ss")) + format.Decimal() +
                 time.toString(QStringLiteral(u"zzz"));
  line.reserve(700);
  const QChar sep = CsvFormat::kSeparator;
  line += sep + type + sep + QString::number(s.engineRpm) + sep + QString::number(s.shaftRpm) + sep +
          format.Number(s.batteryDecivolts / 10.0, 1);
  // Lamps and signals one 0/1 column each: a string of bits would turn
  // into a number in a spreadsheet and lose its leading zeros.
  for (std::size_t bit = 0; bit < kLampCaptions.size(); ++bit) {
    line += sep;
    line += ((s.lamps >> bit) & 1) != 0 ? QLatin1Char('1') : QLatin1Char('0');
  }
  for (int n = 1; n < 256; ++n) {
    line += sep;
    line += s.Signal(n) ? QLatin1Char('1') : QLatin1Char('0');
  }
  line += sep + QString::number(s.serviceMinutes) + sep + QString::number(s.runningMinutes) + sep +
          (linkFailures == 0 ? QStringLiteral(u"норма") : QStringLiteral(u"сбоев %1").arg(linkFailures)) + sep +
          linkName;
  return line;
}

bool CsvStatusLog::Open(const QString& path, const CsvFormat& format, const SignalNames* names) {
  m_format = format;
  return m_file.Open(path, HeaderLine(names));
}

bool CsvStatusLog::Append(const QDateTime& time, std::int64_t nowMs, const StatusSample& sample,
                          std::uint64_t linkFailures, const QString& linkName) {
  if (!m_file.IsOpen()) return false;
  return m_file.Append(Line(m_format, time, sample, linkFailures, linkName), nowMs);
}

}  // namespace zart::monitor
