#pragma once

#include <cstdint>

#include <QDateTime>
#include <QString>

#include "monitor/csv_format.h"
#include "monitor/csv_log_file.h"
#include "monitor/status_sample.h"

namespace zart::monitor {

class SignalNames;

/// "Журнал в файл…": one CSV line per status reply after a header line, in
/// the tool's CSV format (see CsvFormat): local time, object type, speeds,
/// battery, one 0/1 column per lamp headed by its caption, one per signal
/// 1..255 headed by its number and name, service and running minutes, the
/// link's state and the link's name ("канал"). Written through CsvLogFile: at most a second late, and a
/// failed write ends the log with a Russian message in Error().
class CsvStatusLog {
 public:
  static constexpr std::int64_t kFlushIntervalMs = CsvLogFile::kFlushIntervalMs;

  CsvStatusLog();

  /// Starts a log in `path`, replacing the file, in `format`, with the
  /// signals headed by `names` (null: numbers only). False with Error() set
  /// when it cannot be created.
  bool Open(const QString& path, const CsvFormat& format = CsvFormat(), const SignalNames* names = nullptr);
  /// Flushes what is buffered and closes; false when that last write failed.
  bool Close() { return m_file.Close(); }
  bool IsOpen() const { return m_file.IsOpen(); }

  /// Appends the line for one status reply. `nowMs` is a monotonic clock in
  /// milliseconds. `linkFailures`: exchanges that failed since the line
  /// before; `linkName`: the link the reply came over ("COM5",
  /// "192.168.10.20:4001"). False (and the log closed) when writing failed.
  bool Append(const QDateTime& time, std::int64_t nowMs, const StatusSample& sample, std::uint64_t linkFailures,
              const QString& linkName = QString());
  /// Writes out what is buffered; called by a one-second timer too.
  bool Flush(std::int64_t nowMs) { return m_file.Flush(nowMs); }

  /// The reason the log stopped, for the user; empty while all is well.
  const QString& Error() const { return m_file.Error(); }
  QString FileName() const { return m_file.FileName(); }

  /// The header line and the line of one sample, without the line end.
  static QString HeaderLine(const SignalNames* names = nullptr);
  static QString Line(const CsvFormat& format, const QDateTime& time, const StatusSample& sample,
                      std::uint64_t linkFailures, const QString& linkName = QString());

 private:
  CsvLogFile m_file;
  CsvFormat m_format;
};

}  // namespace zart::monitor
