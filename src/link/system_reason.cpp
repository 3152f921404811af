#include "link/system_reason.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>

namespace zart::link {

QString CauseText(SystemCause cause) {
  switch (cause) {
    case SystemCause::other: return {};
    case SystemCause::not_found: return QStringLiteral(u"нет такого файла или устройства");
    case SystemCause::permission: return QStringLiteral(u"доступ запрещён");
    case SystemCause::busy: return QStringLiteral(u"занят или заблокирован другой программой");
    case SystemCause::too_large: return QStringLiteral(u"файл слишком велик");
    case SystemCause::not_regular: return QStringLiteral(u"это не обычный файл");
    case SystemCause::read_only: return QStringLiteral(u"диск доступен только для чтения");
    case SystemCause::no_space: return QStringLiteral(u"нет места на диске");
    case SystemCause::already_open: return QStringLiteral(u"порт уже открыт");
    case SystemCause::no_device: return QStringLiteral(u"этому номеру порта не соответствует устройство");
    case SystemCause::device_gone: return QStringLiteral(u"устройство отключено");
    case SystemCause::io_error: return QStringLiteral(u"ошибка ввода-вывода");
    case SystemCause::too_many_files: return QStringLiteral(u"открыто слишком много файлов");
    case SystemCause::unsupported: return QStringLiteral(u"устройство не поддерживает эту операцию");
    case SystemCause::timeout: return QStringLiteral(u"истекло время ожидания");
  }
  return {};
}

SystemCause CauseOfErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return SystemCause::not_found;
    case EACCES:
    case EPERM:
      return SystemCause::permission;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:  // a lock another program holds
      return SystemCause::busy;
    case EFBIG:
      return SystemCause::too_large;
    case EISDIR:
      return SystemCause::not_regular;
    case EROFS:
      return SystemCause::read_only;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return SystemCause::no_space;
    case EIO:
      return SystemCause::io_error;
    case EMFILE:
    case ENFILE:
      return SystemCause::too_many_files;
#ifdef ENOTTY
    case ENOTTY:  // a file that is no terminal where a serial port was expected
      return SystemCause::unsupported;
#endif
#ifdef ETIMEDOUT
    case ETIMEDOUT:
      return SystemCause::timeout;
#endif
    default:
      return SystemCause::other;
  }
}

namespace {

// Qt reports a failed open or write with one code whatever the system said;
// what is on the disk tells the common cases apart.
SystemCause probeFile(const QString& path, FileAccess access) {
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) return SystemCause::not_regular;
  if (access == FileAccess::read) {
    if (!info.exists()) return SystemCause::not_found;
    if (!info.isReadable()) return SystemCause::permission;
    return SystemCause::other;
  }
  const QString folder = info.absolutePath();
  if (!QFileInfo(folder).isDir()) return SystemCause::not_found;
  const QStorageInfo disk(folder);
  if (disk.isValid() && disk.isReadOnly()) return SystemCause::read_only;
  if ((info.exists() && !info.isWritable()) || !QFileInfo(folder).isWritable()) return SystemCause::permission;
  if (disk.isValid() && disk.bytesAvailable() == 0) return SystemCause::no_space;
  return SystemCause::other;
}

}  // namespace

SystemCause CauseOfFileError(const QString& path, QFileDevice::FileError error, FileAccess access) {
  switch (error) {
    case QFileDevice::NoError:
    case QFileDevice::AbortError:
      return SystemCause::other;
    case QFileDevice::TimeOutError:
      return SystemCause::timeout;
    case QFileDevice::ResourceError:
      // Qt's code for a full disk while writing and for running out of file
      // handles while opening.
      return access == FileAccess::write ? SystemCause::no_space : SystemCause::too_many_files;
    case QFileDevice::PermissionsError: {
      const SystemCause probed = probeFile(path, access);
      return probed == SystemCause::read_only ? probed : SystemCause::permission;
    }
    case QFileDevice::ReadError:
    case QFileDevice::WriteError: {
      const SystemCause probed = probeFile(path, access);
      return probed == SystemCause::other ? SystemCause::io_error : probed;
    }
    case QFileDevice::OpenError:
    case QFileDevice::FatalError:
    case QFileDevice::UnspecifiedError:
    case QFileDevice::RemoveError:
    case QFileDevice::RenameError:
    case QFileDevice::PositionError:
    case QFileDevice::ResizeError:
    case QFileDevice::CopyError:
      return probeFile(path, access);
  }
  return SystemCause::other;
}

QString DescribeReason(const QString& subject, SystemCause cause, const QString& raw) {
  QString text = CauseText(cause);
  const QString system = raw.trimmed();
  if (text.isEmpty()) {
    text = system.isEmpty() ? QStringLiteral(u"неизвестная ошибка") : system;
  } else if (!system.isEmpty() && system.compare(text, Qt::CaseInsensitive) != 0) {
    text += QStringLiteral(u" (") + system + u')';
  }
  if (subject.isEmpty()) {
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text;
  }
  return subject + QStringLiteral(u": ") + text;
}

QString FileErrorReason(const QString& path, const QFileDevice& file, FileAccess access) {
  return DescribeReason(QString(), CauseOfFileError(path, file.error(), access), file.errorString());
}

}  // namespace zart::link
