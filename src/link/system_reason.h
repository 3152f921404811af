#pragma once

#include <QFileDevice>
#include <QString>

namespace zart::link {

/// The common reasons why the operating system refuses a file or a serial
/// device, in the words the user is shown. One table serves the serial port
/// and the file layer, so the same fault reads the same everywhere.
enum class SystemCause {
  other,           ///< none of the below: the system's own text alone
  not_found,       ///< no such file or device
  permission,      ///< the user may not open it
  busy,            ///< another program holds or has locked it
  too_large,       ///< a file far larger than any of this tool's files
  not_regular,     ///< a folder, a device or a pipe where a file was expected
  read_only,       ///< the disk or file system is mounted read-only
  no_space,        ///< the disk is full
  already_open,    ///< this program has the port open already
  no_device,       ///< the port number maps to no device on this machine
  device_gone,     ///< the device vanished while in use (adapter pulled out)
  io_error,        ///< the device or disk reported an input/output fault
  too_many_files,  ///< the process or the system ran out of file handles
  unsupported,     ///< the device cannot do what was asked (not a serial port)
  timeout,         ///< the operation did not finish in time
};

/// The Russian phrase of a cause, in lower case ("доступ запрещён"); empty
/// for `other`.
QString CauseText(SystemCause cause);

/// The cause behind an errno value; `other` for values not in the table.
SystemCause CauseOfErrno(int err);

/// What the failed file operation was for.
enum class FileAccess { read, write };

/// The cause of a failed QFile or QSaveFile operation on `path`. Qt's error
/// codes are coarse (one open error covers a missing file, a folder and a
/// read-only disk), so the state of the file and its folder decides.
SystemCause CauseOfFileError(const QString& path, QFileDevice::FileError error, FileAccess access);

/// The reason as the user reads it: "subject: phrase (raw)". The raw system
/// text follows in parentheses when there is one and it says more than the
/// phrase; for `other` the raw text stands alone. Without a subject the
/// text starts with a capital letter.
QString DescribeReason(const QString& subject, SystemCause cause, const QString& raw);

/// DescribeReason for a file that failed: the cause from its state on disk,
/// Qt's error text in parentheses, no subject (the message names the file).
QString FileErrorReason(const QString& path, const QFileDevice& file, FileAccess access);

}  // namespace zart::link
