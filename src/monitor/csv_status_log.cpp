#include "monitor/csv_status_log.h"

#include <cerrno>

#include "link/system_reason.h"
#include "monitor/status_registers.h"

namespace zart::monitor {
namespace {

// Why a write failed, from the table of causes the serial port and the file
// layer share, in lower case after the colon of the message.
QString Reason(const QFile& file, [[maybe_unused]] int error) {
#ifdef Q_OS_WIN
  // Qt reaches files through the Win32 API there, which leaves errno alone:
  // the cause comes from the file's state on disk instead.
  QString text = link::FileErrorReason(file.fileName(), file, link::FileAccess::write);
#else
  QString text = link::DescribeReason(QString(), link::CauseOfErrno(error), file.errorString());
#endif
  if (!text.isEmpty()) text[0] = text[0].toLower();
  return text;
}

}  // namespace

QString CsvStatusLog::HeaderLine() {
  return QStringLiteral(
      u"время;тип объекта;обороты двиг. об/мин;обороты вала об/мин;АКБ В;лампы 10..0;сигналы 397..412 hex;"
      u"до ТО мин;наработка мин;связь;канал");
}

QString CsvStatusLog::Line(const QDateTime& time, const StatusSample& s, std::uint64_t linkFailures,
                          const QString& linkName) {
  QString signalHex;
  signalHex.reserve(64);
  for (std::uint16_t word : s.signalWords)
    signalHex += QString::number(word, 16).toUpper().rightJustified(4, QLatin1Char('0'));
  const QString named = status_registers::ObjectTypeName(s.objectType);
  const QString type = named.isEmpty() ? QString::number(s.objectType) : named;
  const QString link =
      linkFailures == 0 ? QStringLiteral(u"норма") : QStringLiteral(u"сбоев %1").arg(linkFailures);
  // The battery in volts with a point whatever the locale: the file is for
  // tables and scripts, and the separator is ';'.
  const QString battery = QString::number(s.batteryDecivolts / 10.0, 'f', 1);
  return QStringList{time.toString(QStringLiteral(u"yyyy-MM-dd HH:mm:ss.zzz")),
                     type,
                     QString::number(s.engineRpm),
                     QString::number(s.shaftRpm),
                     battery,
                     QString::number(s.lamps, 2).rightJustified(11, QLatin1Char('0')),
                     signalHex,
                     QString::number(s.serviceMinutes),
                     QString::number(s.runningMinutes),
                     link,
                     linkName}
      .join(QLatin1Char(';'));
}

bool CsvStatusLog::Fail(const QString& reason) {
  m_error = QStringLiteral(u"Журнал «%1» остановлен: %2").arg(m_file.fileName(), reason);
  m_buffer.clear();
  m_file.close();
  return false;
}

bool CsvStatusLog::Open(const QString& path) {
  if (m_file.isOpen()) Close();
  m_error.clear();
  m_file.setFileName(path);
  errno = 0;
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    m_error = QStringLiteral(u"Не удалось создать файл журнала «%1»: %2").arg(path, Reason(m_file, errno));
    return false;
  }
  m_buffer = HeaderLine().toUtf8() + "\r\n";
  m_lastFlushMs = 0;
  return Flush(0);
}

bool CsvStatusLog::Append(const QDateTime& time, std::int64_t nowMs, const StatusSample& sample,
                          std::uint64_t linkFailures, const QString& linkName) {
  if (!m_file.isOpen()) return false;
  m_buffer += Line(time, sample, linkFailures, linkName).toUtf8() + "\r\n";
  if (nowMs - m_lastFlushMs >= kFlushIntervalMs) return Flush(nowMs);
  return true;
}

bool CsvStatusLog::Flush(std::int64_t nowMs) {
  if (!m_file.isOpen()) return false;
  m_lastFlushMs = nowMs;
  if (m_buffer.isEmpty()) return true;
  // QFile buffers on its own; both the write and the flush to the system
  // must succeed, or a full disk would go unnoticed until Close.
  errno = 0;
  if (m_file.write(m_buffer) != m_buffer.size() || !m_file.flush()) return Fail(Reason(m_file, errno));
  m_buffer.clear();
  return true;
}

bool CsvStatusLog::Close() {
  if (!m_file.isOpen()) return m_error.isEmpty();
  const bool ok = Flush(m_lastFlushMs);
  m_file.close();
  return ok;
}

}  // namespace zart::monitor
