// The QSerialPort adapter against a pseudo-terminal made by the test.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include "link/qt_serial_port.h"
#include "link/system_reason.h"

namespace zart::link {
namespace {

class Pty {
 public:
  Pty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
      m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
  }
  ~Pty() { Close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  QString SlavePath() const { return m_slave; }
  void Write(const QByteArray& bytes) const { ASSERT_EQ(::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size()); }
  QByteArray Read(int timeoutMs) const {
    QByteArray out;
    pollfd p{m_master, POLLIN, 0};
    while (::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN)) {
      char buf[512];
      const ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<qsizetype>(n));
      timeoutMs = 20;
    }
    return out;
  }
  void Close() {
    if (m_master >= 0) ::close(m_master);
  }

 private:
  int m_master = -1;
  QString m_slave;
};

TEST(QtSerialPort, RawBytesWithoutAnEventLoopTheNumberKeptWhileOpenAndAVanishedDeviceClosedQuietly) {
  Pty pty;
  ASSERT_FALSE(pty.SlavePath().isEmpty());
  QtSerialPort port(PortMap({{3, pty.SlavePath()}}));
  EXPECT_FALSE(port.SetPortNumber(0));
  EXPECT_FALSE(port.SetPortNumber(256));
  ASSERT_TRUE(port.SetPortNumber(3));
  ASSERT_TRUE(port.Open().ok());
  EXPECT_FALSE(port.SetPortNumber(4));
  EXPECT_EQ(port.PortNumber(), 3);
  EXPECT_FALSE(port.Open().ok());  // already open
  pty.Write(QByteArray::fromHex("0704fa00ff"));
  QThread::msleep(20);
  // No event loop has run since the bytes arrived.
  EXPECT_EQ(port.BytesWaiting(), 5);
  for (int expected : {0x07, 0x04, 0xFA, 0x00, 0xFF}) EXPECT_EQ(port.ReadByte(), expected);  // raw bytes
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_EQ(port.ReadByte(), -1);

  const std::uint8_t frame[] = {0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};
  port.Write(frame);
  EXPECT_EQ(pty.Read(500), QByteArray::fromHex("0704012c007df078"));

  pty.Close();  // the device vanishes: the port closes quietly
  for (int i = 0; i < 2000 && port.IsOpen(); ++i) {
    (void)port.BytesWaiting();
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(port.DeviceLost());
  port.Write(frame);  // harmless while closed
  EXPECT_EQ(port.BytesWaiting(), 0);
}

TEST(ParseParity, LettersAndDefault) {
  EXPECT_EQ(ParseParity(QStringLiteral("N")), Parity::none);
  EXPECT_EQ(ParseParity(QStringLiteral(" o ")), Parity::odd);
  EXPECT_EQ(ParseParity(QStringLiteral("x")), Parity::even);
}

// --- reasons in Russian -------------------------------------------------------

TEST(QtSerialPort, ReasonsAreRussianWithTheSystemTextAfter) {
  QtSerialPort port(PortMap({{4, QStringLiteral("/dev/zart-no-such-device")}}));
  ASSERT_TRUE(port.SetPortNumber(4));
  const OpenResult missing = port.Open();
  EXPECT_TRUE(missing.reason.startsWith(QStringLiteral(u"/dev/zart-no-such-device: нет такого файла или устройства (")))
      << missing.reason.toStdString();
  ASSERT_TRUE(port.SetPortNumber(200));
  EXPECT_EQ(port.Open().reason, QStringLiteral(u"COM200: этому номеру порта не соответствует устройство"));
}

TEST(SystemReason, ErrnoTable) {
  const struct {
    int err;
    SystemCause cause;
  } rows[] = {
      {ENOENT, SystemCause::not_found},  {ENXIO, SystemCause::not_found},   {EACCES, SystemCause::permission},
      {EPERM, SystemCause::permission},  {EBUSY, SystemCause::busy},        {EFBIG, SystemCause::too_large},
      {EISDIR, SystemCause::not_regular}, {EROFS, SystemCause::read_only},  {ENOSPC, SystemCause::no_space},
      {EIO, SystemCause::io_error},      {EMFILE, SystemCause::too_many_files}, {0, SystemCause::other},
      {EINVAL, SystemCause::other},
  };
  for (const auto& row : rows) EXPECT_EQ(CauseOfErrno(row.err), row.cause) << row.err;
}

TEST(SystemReason, Wording) {
  const struct {
    const char16_t* subject;
    SystemCause cause;
    const char16_t* raw;
    const char16_t* expected;
  } rows[] = {
      {u"/dev/ttyUSB0", SystemCause::permission, u"Permission denied",
       u"/dev/ttyUSB0: доступ запрещён (Permission denied)"},
      {u"", SystemCause::not_found, u"", u"Нет такого файла или устройства"},
      {u"", SystemCause::busy, u" ", u"Занят или заблокирован другой программой"},
      {u"", SystemCause::too_large, u"ФАЙЛ СЛИШКОМ ВЕЛИК", u"Файл слишком велик"},  // says nothing more
      {u"COM9", SystemCause::other, u"", u"COM9: неизвестная ошибка"},
      {u"", SystemCause::other, u"unknown error 1234", u"Unknown error 1234"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DescribeReason(QString::fromUtf16(row.subject), row.cause, QString::fromUtf16(row.raw)),
              QString::fromUtf16(row.expected));
  }
  // Every cause in the table has words of its own.
  for (int c = static_cast<int>(SystemCause::not_found); c <= static_cast<int>(SystemCause::timeout); ++c) {
    EXPECT_FALSE(CauseText(static_cast<SystemCause>(c)).isEmpty()) << c;
  }
}

// Real failures of Qt's file classes, so that a change in the error codes
// Qt reports shows here.
TEST(SystemReason, FileFailuresOnDisk) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
  const QString missing = dir.filePath(QStringLiteral("missing.ini"));
  const QString folder = dir.filePath(QStringLiteral("folder.ini"));
  const QString underMissing = dir.filePath(QStringLiteral("no-such-folder/p.ini"));

  QFile readMissing(missing);
  ASSERT_FALSE(readMissing.open(QIODevice::ReadOnly));
  EXPECT_EQ(CauseOfFileError(missing, readMissing.error(), FileAccess::read), SystemCause::not_found);
  EXPECT_TRUE(FileErrorReason(missing, readMissing, FileAccess::read)
                  .startsWith(QStringLiteral(u"Нет такого файла или устройства (")));

  for (const QString& path : {folder, underMissing}) {
    QSaveFile save(path);
    const bool opened = save.open(QIODevice::WriteOnly) && save.write("x") == 1 && save.commit();
    ASSERT_FALSE(opened) << path.toStdString();
    EXPECT_EQ(CauseOfFileError(path, save.error(), FileAccess::write),
              path == folder ? SystemCause::not_regular : SystemCause::not_found)
        << path.toStdString();
  }
  EXPECT_EQ(CauseOfFileError(folder, QFileDevice::ReadError, FileAccess::read), SystemCause::not_regular);
  EXPECT_EQ(CauseOfFileError(missing, QFileDevice::ResourceError, FileAccess::write), SystemCause::no_space);
}

}  // namespace
}  // namespace zart::link
