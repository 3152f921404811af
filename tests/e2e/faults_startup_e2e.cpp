// The three ways the port can fail at start-up, each with the message box
// the user gets: a port held by another program, a device that is not
// there, and a device the user has no permission for. The whole program
// starts (real QSerialPort, settings file mapping COM5 to the device); the
// message box is recorded and answered with Cancel, so the start ends.
//
// CI runs as root, for whom no device is ever refused; the permission case
// runs this very binary again as "nobody" (setpriv), which opens the
// simulator's pty, owned by root with mode 0600 or 0620.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>

#include "support/recording_prompter.h"
#include "support/sim_process.h"
#include "support/unprivileged_run.h"
#include "ui/application.h"

namespace zart::ui {
namespace {

constexpr char kChildFlag[] = "--start-up-as-child";

QString ExpectedTitle() { return QStringLiteral(u"Ошибка открытия порта"); }
QString Busy() { return QStringLiteral(u"Порт COM5 занят другим приложением\r\nВыберите другой порт"); }
QString Unavailable() { return QStringLiteral(u"Порт COM5 не доступен\r\nВыберите другой порт"); }
QString DialoutHint() { return QStringLiteral(u"dialout"); }

/// Writes "тп.ini" selecting COM5 on `device` into `folder`.
bool WriteSettings(const QString& folder, const QString& device) {
  QFile ini(folder + QStringLiteral(u"/тп.ini"));
  if (!ini.open(QIODevice::WriteOnly)) return false;
  ini.write("[PC config]\r\nCOM=5\r\n[Ports]\r\nCOM5=" + QFile::encodeName(device) + "\r\n");
  return true;
}

/// Starts the program on the settings in `folder`; the messages it asked.
std::vector<settings::Message> StartUp(const QString& folder, bool* started = nullptr) {
  Application::Setup setup;
  setup.settingsFolder = folder;
  auto prompter = std::make_unique<testing::RecordingPrompter>();
  testing::RecordingPrompter* prompts = prompter.get();
  setup.prompter = std::move(prompter);
  Application app(std::move(setup));
  const bool ok = app.Start();
  if (started) *started = ok;
  return prompts->asked;
}

class StartUpE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(sim.Start()) << "zart-sim did not start";
  }
  QTemporaryDir folder;
  testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
};

TEST_F(StartUpE2e, PortHeldByAnotherProgram) {
  // Another program has the device: QSerialPort takes the lock file and the
  // exclusive mode, as any other serial program would.
  QSerialPort other;
  other.setPortName(sim.Device());
  ASSERT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
  ASSERT_TRUE(WriteSettings(folder.path(), sim.Device()));

  bool started = true;
  const auto asked = StartUp(folder.path(), &started);
  EXPECT_FALSE(started);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, ExpectedTitle());
  EXPECT_EQ(asked[0].text, Busy());
  EXPECT_EQ(asked[0].buttons, settings::Message::Buttons::ok_cancel);
  EXPECT_TRUE(asked[0].detail.startsWith(sim.Device())) << asked[0].detail.toStdString();
  EXPECT_FALSE(asked[0].detail.contains(DialoutHint()));
}

TEST_F(StartUpE2e, MissingDevice) {
  const QString device = folder.filePath(QStringLiteral("ttyUSB-gone"));
  ASSERT_TRUE(WriteSettings(folder.path(), device));

  bool started = true;
  const auto asked = StartUp(folder.path(), &started);
  EXPECT_FALSE(started);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, ExpectedTitle());
  EXPECT_EQ(asked[0].text, Unavailable());
  EXPECT_TRUE(asked[0].detail.startsWith(device + QStringLiteral(u": нет такого файла или устройства (")))
      << asked[0].detail.toStdString();
}

TEST_F(StartUpE2e, DeviceWithoutPermission) {
  const QFileInfo device(sim.Device());
  ASSERT_TRUE(device.exists());
  ASSERT_FALSE(device.permissions() & QFileDevice::WriteOther) << "the pty is open to everybody";

  // The unprivileged child reads the settings from a folder it may enter.
  ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther));
  ASSERT_TRUE(WriteSettings(folder.path(), sim.Device()));
  QFile::setPermissions(folder.filePath(QStringLiteral(u"тп.ini")),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("HOME"), folder.path());
  env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
  const auto run = testing::UnprivilegedRun::Start({QString::fromLatin1(kChildFlag), folder.path()}, env);
  if (!run.skipReason.isEmpty()) GTEST_SKIP() << run.skipReason.toStdString();
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QList<QByteArray> lines = run.out.split('\n');
  ASSERT_GE(lines.size(), 3) << run.err.toStdString();
  const QString title = QString::fromUtf8(QByteArray::fromBase64(lines[0]));
  const QString text = QString::fromUtf8(QByteArray::fromBase64(lines[1]));
  const QString detail = QString::fromUtf8(QByteArray::fromBase64(lines[2]));

  EXPECT_EQ(title, ExpectedTitle());
  EXPECT_EQ(text, Unavailable());
  EXPECT_TRUE(detail.startsWith(sim.Device() + QStringLiteral(u": доступ запрещён ("))) << detail.toStdString();
  EXPECT_TRUE(detail.contains(DialoutHint())) << detail.toStdString();
}

/// The child side of DeviceWithoutPermission: starts the program and
/// prints the one message box's title, text and detail, base64 encoded.
int RunChild(const QString& folder) {
  bool started = true;
  const auto asked = StartUp(folder, &started);
  if (started || asked.size() != 1) {
    fprintf(stderr, "started=%d, %zu messages\n", started ? 1 : 0, asked.size());
    return 1;
  }
  for (const QString& field : {asked[0].title, asked[0].text, asked[0].detail})
    printf("%s\n", field.toUtf8().toBase64().constData());
  return 0;
}

}  // namespace
}  // namespace zart::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  if (argc == 3 && std::strcmp(argv[1], zart::ui::kChildFlag) == 0)
    return zart::ui::RunChild(QString::fromLocal8Bit(argv[2]));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
