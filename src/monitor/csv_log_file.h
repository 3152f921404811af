#pragma once

#include <cstdint>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace zart::monitor {

/// A CSV file written line by line while something runs (the status log,
/// the event log): the byte-order mark and the header go out at once, later
/// lines are buffered and written at most a second late, so a pulled stick
/// or a full disk is found within a second. Every failure ends the file and
/// leaves the reason in Russian in Error().
class CsvLogFile {
 public:
  static constexpr std::int64_t kFlushIntervalMs = 1000;

  /// `name` names the file in messages, in the nominative and the genitive
  /// ("Журнал", "журнала").
  CsvLogFile(QString name, QString nameGenitive);

  /// Starts `path`, replacing the file, with `header` as the first line.
  /// False with Error() set when it cannot be created or written.
  bool Open(const QString& path, const QString& header);
  /// Flushes what is buffered and closes; false when that last write failed.
  bool Close();
  bool IsOpen() const { return m_file.isOpen(); }

  /// Adds a line (without its end). `nowMs` is a monotonic clock; the
  /// buffer goes out when a second has passed since the last flush. False
  /// (and the file closed) when writing failed.
  bool Append(const QString& line, std::int64_t nowMs);
  /// Writes out what is buffered; a one-second timer calls it too, so the
  /// file stays current while nothing is appended. False when it failed.
  bool Flush(std::int64_t nowMs);

  /// Why the file stopped, for the user; empty while all is well.
  const QString& Error() const { return m_error; }
  QString FileName() const { return m_file.fileName(); }

 private:
  bool Fail(const QString& reason);

  QString m_name;
  QString m_nameGenitive;
  QFile m_file;
  QByteArray m_buffer;
  std::int64_t m_lastFlushMs = 0;
  QString m_error;
};

}  // namespace zart::monitor
