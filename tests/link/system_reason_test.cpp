#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cerrno>

#include "link/system_reason.h"

namespace zart::link {
namespace {

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
