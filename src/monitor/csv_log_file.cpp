#include "monitor/csv_log_file.h"

#include <cerrno>
#include <utility>

#include "link/system_reason.h"
#include "monitor/csv_format.h"

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

CsvLogFile::CsvLogFile(QString name, QString nameGenitive)
    : m_name(std::move(name)), m_nameGenitive(std::move(nameGenitive)) {}

bool CsvLogFile::Fail(const QString& reason) {
  m_error = QStringLiteral(u"%1 «%2» остановлен: %3").arg(m_name, m_file.fileName(), reason);
  m_buffer.clear();
  m_file.close();
  return false;
}

bool CsvLogFile::Open(const QString& path, const QString& header) {
  if (m_file.isOpen()) Close();
  m_error.clear();
  m_file.setFileName(path);
  errno = 0;
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    m_error = QStringLiteral(u"Не удалось создать файл %1 «%2»: %3").arg(m_nameGenitive, path, Reason(m_file, errno));
    return false;
  }
  m_buffer = CsvFormat::Bom() + header.toUtf8() + "\r\n";
  m_lastFlushMs = 0;
  return Flush(0);
}

bool CsvLogFile::Append(const QString& line, std::int64_t nowMs) {
  if (!m_file.isOpen()) return false;
  m_buffer += line.toUtf8() + "\r\n";
  if (nowMs - m_lastFlushMs >= kFlushIntervalMs) return Flush(nowMs);
  return true;
}

bool CsvLogFile::Flush(std::int64_t nowMs) {
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

bool CsvLogFile::Close() {
  if (!m_file.isOpen()) return m_error.isEmpty();
  const bool ok = Flush(m_lastFlushMs);
  m_file.close();
  return ok;
}

}  // namespace zart::monitor
