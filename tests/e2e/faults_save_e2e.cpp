// Saving a parameter file that is interrupted: the folder refuses the write,
// or the program is killed in the middle of a save. Either way the file on
// disk is the old one byte for byte or the new one whole.
//
// Both cases run this binary again as a child: as "nobody" (setpriv) for the
// read-only folder, since root writes anywhere, and as a save loop that the
// test kills with SIGKILL at random moments.
#include <gtest/gtest.h>


#include <random>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/fake_param_boxes.h"
#include "params/param_files.h"
#include "settings/ini_file.h"
#include "settings/prompter.h"
#include "support/fake_link_view.h"
#include "support/unprivileged_run.h"

namespace zart::params {
namespace {

constexpr char kReadOnlyChild[] = "--save-into-read-only-folder";
constexpr char kLoopChild[] = "--save-in-a-loop";
const QString kFileName = QStringLiteral("set.ini");

/// Confirms replacing the file and cancels a failed write.
class SavePrompter : public settings::Prompter {
 public:
  settings::Answer Ask(const settings::Message& message) override {
    last = message;
    ++asked;
    return message.buttons == settings::Message::Buttons::ok_cancel ? settings::Answer::ok : settings::Answer::cancel;
  }
  settings::Message last;
  int asked = 0;
};

/// The text every box holds in generation `gen`: a whole save of one
/// generation is recognisable key by key. Long values make a large file
/// (about 300 KB), so a kill often finds the bytes still being written.
QString Value(int gen, int slot) {
  return QStringLiteral("G%1-%2-").arg(gen).arg(slot) + QString(230, QLatin1Char('x'));
}

/// Saves generation `gen` of all 1208 boxes into folder/set.ini.
bool SaveGeneration(const QString& folder, int gen, SavePrompter& prompter, testing::FakeParamBoxes* out = nullptr) {
  ParamCatalogue cat;
  cat.InitParamTables();
  testing::FakeParamBoxes boxes;
  for (int k = 0; k < kSlotCount; ++k) boxes.SetText(k, Value(gen, k));
  // A text the file's code page cannot hold goes out as question marks.
  boxes.SetText(89, QStringLiteral(u"日本"));
  testing::FakeLinkView view;
  ParamFiles files(cat, boxes, view, prompter);
  const bool saved = files.cmdSaveFile_Click(folder, kFileName);
  if (out) *out = boxes;
  return saved;
}

/// The generation a whole file holds, or -1 when any key is missing or
/// belongs to another generation.
int GenerationOf(const QString& path) {
  settings::IniFile ini;
  if (!ini.Load(path)) return -1;
  const QString first = ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR0"), QString());
  bool ok = false;
  const int gen = first.section(QLatin1Char('-'), 0, 0).mid(1).toInt(&ok);
  if (!ok) return -1;
  for (int k = 0; k < kSlotCount; ++k) {
    const QString v = ini.Read(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QString());
    if (k == 89 ? v != QStringLiteral("??") : v != Value(gen, k)) return -1;
  }
  return gen;
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// Who may write what when an unprivileged user saves over a file of root's.
struct RefusedSave {
  const char* name;
  QFileDevice::Permissions folder;
};

std::ostream& operator<<(std::ostream& os, const RefusedSave& c) { return os << c.name; }

constexpr QFileDevice::Permissions kOwnerAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kOthersEnter = QFileDevice::ReadOther | QFileDevice::ExeOther;

class RefusedSaveE2e : public ::testing::TestWithParam<RefusedSave> {};

TEST_P(RefusedSaveE2e, KeepsTheOldFileByteForByte) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  SavePrompter prompter;
  ASSERT_TRUE(SaveGeneration(dir.path(), 1, prompter));
  const QByteArray old = Bytes(dir.filePath(kFileName));
  ASSERT_EQ(GenerationOf(dir.filePath(kFileName)), 1);
  // The file is readable by everybody and writable by root only.
  ASSERT_TRUE(QFile::setPermissions(dir.path(), GetParam().folder));
  QFile::setPermissions(dir.filePath(kFileName),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);

  const auto run = testing::UnprivilegedRun::Start({QString::fromLatin1(kReadOnlyChild), dir.path()},
                                                   QProcessEnvironment::systemEnvironment());
  if (!run.skipReason.isEmpty()) GTEST_SKIP() << run.skipReason.toStdString();
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QList<QByteArray> lines = run.out.split('\n');
  ASSERT_GE(lines.size(), 3) << run.err.toStdString();
  EXPECT_EQ(lines[0], "not saved, colours kept");
  EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(lines[1])),
            QStringLiteral(u"Невозможно открыть файл set.ini для записи"));
  EXPECT_FALSE(lines[2].isEmpty()) << "no reason given";

  EXPECT_EQ(Bytes(dir.filePath(kFileName)), old);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kFileName});
}

INSTANTIATE_TEST_SUITE_P(
    Save, RefusedSaveE2e,
    ::testing::Values(RefusedSave{"ReadOnlyFolder", kOwnerAll | kOthersEnter},
                      // A rename would replace the file; a file marked
                      // read-only must stay as it is all the same.
                      RefusedSave{"ReadOnlyFileInAWritableFolder",
                                  kOwnerAll | kOthersEnter | QFileDevice::WriteOther}),
    [](const ::testing::TestParamInfo<RefusedSave>& p) { return std::string(p.param.name); });

/// Waits for the line the saving child prints once its first save is done:
/// how long that save took, in microseconds; 0 when none came.
qint64 WaitForFirstSave(QProcess& child) {
  const QDeadlineTimer deadline(20000);
  while (!child.canReadLine()) {
    if (deadline.hasExpired() || !child.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) return 0;
  }
  return std::max<qint64>(1, child.readLine().trimmed().toLongLong());
}

TEST(SaveE2e, KilledDuringSavesLeavesTheOldFileOrTheNewOneWhole) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(kFileName);

  std::mt19937 rng(20261206);
  int keptOld = 0;
  int tookNew = 0;
  for (int round = 0; round < 24; ++round) {
    const int first = (round + 1) * 1000;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kLoopChild), dir.path(), QString::number(first)});
    ASSERT_TRUE(child.waitForStarted(5000));
    // The child's first save is the old file; it then waits for the go
    // and saves newer generations until it is killed at a random moment
    // within about two saves.
    const qint64 saveUs = WaitForFirstSave(child);
    ASSERT_GT(saveUs, 0) << "the saving child did not save";
    const QByteArray old = Bytes(path);
    ASSERT_EQ(GenerationOf(path), first);
    child.write("go\n");
    child.waitForBytesWritten(1000);
    QThread::usleep(std::uniform_int_distribution<unsigned long>(0, static_cast<unsigned long>(2 * saveUs))(rng));
    child.kill();  // SIGKILL: no clean-up of any kind
    ASSERT_TRUE(child.waitForFinished(5000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the child ended before it was killed";

    const QByteArray now = Bytes(path);
    if (now == old) {
      ++keptOld;
      continue;
    }
    ASSERT_GT(GenerationOf(path), first) << "round " << round << ": a torn file of " << now.size() << " bytes";
    ++tookNew;
  }
  std::printf("kills: %d left the old file, %d a new whole file\n", keptOld, tookNew);
  // A killed save leaves no stray files behind.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kFileName});
}

/// Child: saves into a folder that refuses it; reports what the user saw.
int RunReadOnlyChild(const QString& folder) {
  SavePrompter prompter;
  testing::FakeParamBoxes boxes;
  const bool saved = SaveGeneration(folder, 2, prompter, &boxes);
  const bool coloured = boxes.CountColor(COLOR_FROM_FILE) > 0;
  std::printf("%s\n%s\n%s\n", saved ? "saved" : coloured ? "not saved, but coloured" : "not saved, colours kept",
              prompter.last.text.toUtf8().toBase64().constData(), prompter.last.detail.toUtf8().constData());
  return 0;
}

/// Child: saves generation `first`, prints how long that took, waits for a
/// line on standard input, then saves first+1, first+2, ... until killed.
int RunLoopChild(const QString& folder, int first) {
  SavePrompter prompter;
  QElapsedTimer clock;
  clock.start();
  if (!SaveGeneration(folder, first, prompter)) return 3;
  std::printf("%lld\n", static_cast<long long>(clock.nsecsElapsed() / 1000));
  std::fflush(stdout);
  char go[8];
  if (!std::fgets(go, sizeof go, stdin)) return 4;
  for (int gen = first + 1;; ++gen) {
    if (!SaveGeneration(folder, gen, prompter)) return 3;
  }
}

}  // namespace
}  // namespace zart::params

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], zart::params::kReadOnlyChild) == 0)
    return zart::params::RunReadOnlyChild(QString::fromLocal8Bit(argv[2]));
  if (argc == 4 && std::strcmp(argv[1], zart::params::kLoopChild) == 0)
    return zart::params::RunLoopChild(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
