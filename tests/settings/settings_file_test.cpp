#include "settings/settings_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "support/scripted_prompter.h"
#include "settings/windows1251.h"
#include "support/fake_link_view.h"

namespace zart::settings {
namespace {

using namespace Qt::StringLiterals;

const QString kReadTitle = u"Ошибка открытия файла "_s;
const QString kReadText = u"Ошибка открытия файла тп.ini для чтения\r\n"_s;
const QString kWriteText = u"Ошибка открытия файла тп.ini для записи"_s;
const QString kReading = u"Чтение конфигурации"_s;
const QString kSaving = u"Сохранение конфигурации"_s;

class SettingsFileTest : public ::testing::Test {
 protected:
  QString file() const { return m_dir.filePath(SettingsFile::FileName()); }
  void writeFile(const QByteArray& bytes) const {
    QFile f(file());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray fileBytes() const {
    QFile f(file());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir m_dir;
  testing::FakeLinkView m_status;
  testing::ScriptedPrompter m_prompter;
  SettingsFile m_settings{m_dir.path(), m_status, m_prompter};
};

TEST_F(SettingsFileTest, MissingFileIsCreatedWithPortOneAndNoAddress) {
  m_settings.SetComPort(9);
  m_settings.ReadConfig();
  EXPECT_EQ(m_settings.ComPort(), 1);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=1\r\n[KZR config]\r\nMBSLAD=-1\r\n"));
  EXPECT_TRUE(m_prompter.asked.empty());
  EXPECT_EQ(m_status.statusHistory.front(), kSaving);
  EXPECT_EQ(m_status.status, QString());
  EXPECT_EQ(SettingsFile(u"/opt/zart/"_s, m_status, m_prompter).Path(), u"/opt/zart/тп.ini"_s);
}

TEST_F(SettingsFileTest, ValidPortValues) {
  const struct {
    QByteArray file;
    int port;
  } cases[] = {
      // Section and key names, blanks and duplicates follow the INI rules.
      {"[PC config]\r\nCOM=5\r\n", 5}, {"[PC config]\nCOM=\t+7\t\n", 7}, {"[PC config]\nCOM=0\n", 0},
      {"[PC config]\nCOM=255\n", 255}, {"[PC config]\nParity=N\n", 1},  // no key: 1, silently
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.toStdString());
    writeFile(c.file);
    m_status.statusHistory.clear();
    m_prompter.asked.clear();
    m_settings.ReadConfig();
    EXPECT_EQ(m_settings.ComPort(), c.port);
    EXPECT_TRUE(m_prompter.asked.empty());
    EXPECT_EQ(m_status.statusHistory, (QStringList{kReading, QString()}));
  }
}

TEST_F(SettingsFileTest, BadPortValueOpensReadErrorCancelKeepsOneRetryReadsTheMendedFile) {
  for (const char* value : {"", "abc", "300", "256", "-1", "5x", "5 6", "+", "99999999999", "0x10", "5.0"}) {
    SCOPED_TRACE(value);
    writeFile(QByteArray("[PC config]\r\nCOM=") + value + "\r\n");
    m_prompter.asked.clear();
    m_settings.SetComPort(9);
    m_settings.ReadConfig();
    EXPECT_EQ(m_settings.ComPort(), 1);
    ASSERT_EQ(m_prompter.asked.size(), 1u);
    EXPECT_EQ(m_prompter.asked.front().text, kReadText);
    EXPECT_EQ(m_prompter.asked.front().buttons, Message::Buttons::retry_cancel);
    EXPECT_EQ(m_status.status, kReading);  // Cancel leaves the status line as it was
  }
  m_prompter.asked.clear();
  m_prompter.onAsk = [this](const Message&, int call) {
    if (call == 1) writeFile("[PC config]\r\nCOM=12\r\n");
    return Answer::retry;
  };
  m_settings.ReadConfig();
  EXPECT_EQ(m_prompter.asked.size(), 2u);
  EXPECT_EQ(m_settings.ComPort(), 12);
  EXPECT_EQ(m_status.status, QString());
}

TEST_F(SettingsFileTest, ReadsParityAndPortDevices) {
  writeFile(
      "[PC config]\nCOM=3\n[Ports]\nCOM3=/dev/ttyUSB0\ncom12 = /dev/ttyS1 \nCOM0=/dev/a\nCOM256=/dev/b\n"
      "COMX=/dev/c\nFOO=/dev/d\nCOM5=\nCOM3=/dev/dup\n");
  m_settings.ReadConfig();
  EXPECT_EQ(m_settings.ParityText(), u"E"_s);
  const std::map<int, QString> expected{{3, u"/dev/ttyUSB0"_s}, {12, u"/dev/ttyS1"_s}};
  EXPECT_EQ(m_settings.PortDevices(), expected);

  writeFile("[PC config]\nParity=N\n");
  m_settings.ReadConfig();
  EXPECT_EQ(m_settings.ParityText(), u"N"_s);
  EXPECT_TRUE(m_settings.PortDevices().empty());
}

TEST_F(SettingsFileTest, SaveWritesBothKeysAndKeepsTheRest) {
  writeFile("; hand-made\r\n[PC config]\r\nParity=N\r\nCOM=1\r\n\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n");
  m_settings.SetComPort(3);
  EXPECT_TRUE(m_settings.SaveConfig(7));
  EXPECT_EQ(fileBytes(), QByteArray("; hand-made\r\n[PC config]\r\nParity=N\r\nCOM=3\r\n\r\n[Ports]\r\n"
                                    "COM3=/dev/ttyUSB0\r\n[KZR config]\r\nMBSLAD=7\r\n"));
  EXPECT_EQ(m_status.statusHistory, (QStringList{kSaving, QString()}));
  EXPECT_TRUE(m_prompter.asked.empty());
  EXPECT_EQ(ReadIniKey(file(), u"pc config"_s, u"com"_s, {}), u"3"_s);
}

TEST_F(SettingsFileTest, RefusedSaveOffersRetryUntilCancelOrTheFolderAppears) {
  const QString folder = m_dir.filePath(u"later"_s);
  SettingsFile settings(folder, m_status, m_prompter);
  m_prompter.answers = {Answer::retry, Answer::cancel};
  EXPECT_FALSE(settings.SaveConfig(7));
  ASSERT_EQ(m_prompter.asked.size(), 2u);
  EXPECT_EQ(m_prompter.asked[0].title, kReadTitle);
  EXPECT_EQ(m_prompter.asked[0].text, kWriteText);
  EXPECT_EQ(m_prompter.asked[0].buttons, Message::Buttons::retry_cancel);
  EXPECT_FALSE(m_prompter.asked[0].detail.isEmpty());
  EXPECT_EQ(m_status.status, QString());

  m_prompter.asked.clear();
  m_prompter.onAsk = [&](const Message&, int) {
    QDir().mkpath(folder);
    return Answer::retry;
  };
  settings.SetComPort(4);
  EXPECT_TRUE(settings.SaveConfig(-1));
  EXPECT_EQ(m_prompter.asked.size(), 1u);
  EXPECT_EQ(ReadIniKey(settings.Path(), u"PC config"_s, u"COM"_s, {}), u"4"_s);
  EXPECT_EQ(ReadIniKey(settings.Path(), u"KZR config"_s, u"MBSLAD"_s, {}), u"-1"_s);
}

TEST_F(SettingsFileTest, FolderNamedLikeTheFileIsNotAFile) {
  ASSERT_TRUE(QDir(m_dir.path()).mkdir(SettingsFile::FileName()));
  m_settings.ReadConfig();  // goes to create the file, which the folder refuses
  ASSERT_EQ(m_prompter.asked.size(), 1u);
  EXPECT_EQ(m_prompter.asked[0].text, kWriteText);
  EXPECT_EQ(m_settings.ComPort(), 1);
  EXPECT_EQ(m_status.status, QString());
}

// ---- Fast exchange option ------------------------------------------------

TEST_F(SettingsFileTest, FastExchangeIsReadOnlyAsOneAndStoredOnceTurnedOn) {
  const struct {
    QByteArray file;
    bool on;
  } cases[] = {
      {"[PC config]\r\nCOM=2\r\n", false},          {"[PC config]\r\nFastExchange=1\r\n", true},
      {"[PC config]\r\nFastExchange=yes\r\n", false}, {"[PC config]\r\nFastExchange=0\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.constData());
    writeFile(c.file);
    m_settings.SetFastExchange(!c.on);
    m_settings.ReadConfig();
    EXPECT_EQ(m_settings.FastExchange(), c.on);
  }

  // Off and never on: the file keeps only its usual keys.
  writeFile("[PC config]\r\nCOM=2\r\n");
  m_settings.ReadConfig();
  m_settings.SaveConfig(7);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=2\r\n[KZR config]\r\nMBSLAD=7\r\n"));
  m_settings.SetFastExchange(true);
  m_settings.SaveConfig(7);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=2\r\nFastExchange=1\r\n[KZR config]\r\nMBSLAD=7\r\n"));
  m_settings.SetFastExchange(false);
  m_settings.SaveConfig(7);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=2\r\nFastExchange=0\r\n[KZR config]\r\nMBSLAD=7\r\n"));
}

}  // namespace
}  // namespace zart::settings
