#pragma once

#include <cstdint>

#include <QDateTime>
#include <QFile>
#include <QString>

#include "monitor/status_sample.h"

namespace zart::monitor {

/// "Журнал в файл…": one CSV line per status reply, ';'-separated with a
/// decimal point, UTF-8, a header line first. Lines are buffered and
/// written out at most a second late; every failure to write (a full disk,
/// a removed stick) ends the log and leaves a Russian message in Error().
class CsvStatusLog {
 public:
  static constexpr std::int64_t kFlushIntervalMs = 1000;

  /// Starts a log in `path`, replacing the file. False with Error() set
  /// when it cannot be created.
  bool Open(const QString& path);
  /// Flushes what is buffered and closes; false when that last write failed.
  bool Close();
  bool IsOpen() const { return m_file.isOpen(); }

  /// Appends the line for one status reply. `nowMs` is a monotonic clock in
  /// milliseconds; the buffer is flushed when a second has passed since the
  /// last flush. `linkFailures`: exchanges that failed since the line before;
  /// `linkName`: the link the reply came over ("COM5", "192.168.10.20:4001").
  /// False (and the log closed) when writing failed.
  bool Append(const QDateTime& time, std::int64_t nowMs, const StatusSample& sample, std::uint64_t linkFailures,
              const QString& linkName = QString());
  /// Writes out what is buffered; called by a one-second timer too, so the
  /// file is current while status replies pause. False when it failed.
  bool Flush(std::int64_t nowMs);

  /// The reason the log stopped, for the user; empty while all is well.
  const QString& Error() const { return m_error; }
  QString FileName() const { return m_file.fileName(); }

  /// The header line and the line of one sample, without the line end.
  static QString HeaderLine();
  static QString Line(const QDateTime& time, const StatusSample& sample, std::uint64_t linkFailures,
                      const QString& linkName = QString());

 private:
  bool Fail(const QString& reason);

  QFile m_file;
  QByteArray m_buffer;
  std::int64_t m_lastFlushMs = 0;
  QString m_error;
};

}  // namespace zart::monitor
