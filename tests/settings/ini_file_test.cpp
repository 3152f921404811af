#include "settings/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#include "settings/settings_file.h"
#include "settings/settings_folder.h"
#include "settings/windows1251.h"
#include "support/fake_link_view.h"
#include "support/files.h"
#include "support/scripted_prompter.h"

namespace zart::settings {
namespace {

using namespace Qt::StringLiterals;
using testing::FileBytes;

IniFile parsed(const QByteArray& bytes) {
  IniFile ini;
  ini.Parse(bytes);
  return ini;
}

void writeAll(const QString& path, const QByteArray& bytes) { ASSERT_TRUE(testing::WriteFileBytes(path, bytes)); }

struct ReadCase {
  const char* name;
  QByteArray file;
  QString section;
  QString key;
  QString expected;  // default is "DEF"
};

TEST(IniFileRead, FollowsTheProfileRules) {
  const QString def = QStringLiteral(u"DEF");
  const QString longValue(300, u'x');
  const ReadCase cases[] = {
      {"plain", "[PC config]\r\nCOM=5\r\n", u"PC config"_s, u"COM"_s, u"5"_s},
      {"names ignore letter case", "[PC config]\r\nCOM=5\r\n", u"pc CONFIG"_s, u"com"_s, u"5"_s},
      {"Cyrillic names ignore letter case", EncodeWindows1251(u"[Раздел]\nКлюч=1\n"_s), u"РАЗДЕЛ"_s,
       u"кЛЮЧ"_s, u"1"_s},
      {"missing key", "[A]\nx=1\n", u"A"_s, u"y"_s, def},
      {"empty document", "", u"A"_s, u"x"_s, def},
      {"empty value is not the default", "[A]\nx=\n", u"A"_s, u"x"_s, QString()},
      {"blanks and tabs around value dropped", "[A]\nx= \t 5 \t \n", u"A"_s, u"x"_s, u"5"_s},
      {"blanks around the equals sign", "[A]\n  x  =  5\n", u"A"_s, u"x"_s, u"5"_s},
      {"blanks inside the brackets", "[  A  ]\nx=5\n", u"A"_s, u"x"_s, u"5"_s},
      {"equals sign inside the value", "[A]\nx=b=c\n", u"A"_s, u"x"_s, u"b=c"_s},
      {"value cut to 254", "[A]\nx=" + QByteArray(300, 'x') + "\n", u"A"_s, u"x"_s, longValue.left(254)},
      {"first of duplicate keys", "[A]\nx=1\nX=2\n", u"A"_s, u"x"_s, u"1"_s},
      {"first of duplicate sections", "[A]\nx=1\n[a]\nx=2\ny=3\n", u"A"_s, u"x"_s, u"1"_s},
      {"key found only in its own section", "[A]\nx=1\n[B]\ny=2\n", u"A"_s, u"y"_s, def},
      {"key in front of any section is not reached", "x=1\n[A]\n", u"A"_s, u"x"_s, def},
      {"commented key is not a key", "[A]\n;x=1\n#x=2\n", u"A"_s, u"x"_s, def},
      {"CR endings", "[A]\rx=1\ry=2\r", u"A"_s, u"y"_s, u"2"_s},
      {"no final newline", "[A]\r\nx=1\r\ny=2", u"A"_s, u"y"_s, u"2"_s},
      {"header without closing bracket is not a section", "[A\nx=1\n", u"A"_s, u"x"_s, def},
      {"line without equals sign ignored", "[A]\njunk\nx=1\n", u"A"_s, u"x"_s, u"1"_s},
      {"NUL byte inside a value", QByteArray("[A]\nx=1\0" "2\ny=3\n", 14), u"A"_s, u"y"_s, u"3"_s},
      {"Cyrillic value", EncodeWindows1251(u"[A]\nx=Привет, мир\n"_s), u"A"_s, u"x"_s, u"Привет, мир"_s},
      // Names fold alike in the file and in the call, over all of Windows-1251's letters.
      {"Ё folds", EncodeWindows1251(u"[Ёлка]\nЁлка=1\n"_s), u"ёЛКА"_s, u"ёЛКА"_s, u"1"_s},
      {"Ukrainian letters fold", EncodeWindows1251(u"[ҐЇЄІЎЈ]\nҐЇЄІЎЈ=1\n"_s), u"ґїєіўј"_s, u"ґїєіўј"_s, u"1"_s},
      {"Serbian letters fold", EncodeWindows1251(u"[ЂЃЉЊЌЋЏЅ]\nЂЃЉЊЌЋЏЅ=1\n"_s), u"ђѓљњќћџѕ"_s, u"ђѓљњќћџѕ"_s, u"1"_s},
      {"unassigned byte in a name", "[x\x98]\nx\x98=1\n", u"X\u0098"_s, u"X\u0098"_s, u"1"_s},
      {"Е is not Ё", EncodeWindows1251(u"[А]\nЕ=1\n"_s), u"А"_s, u"Ё"_s, def},
      {"inner blanks count", "[A]\na b=1\n", u"A"_s, u"a  b"_s, def},
      {"no prefix match", "[A]\nPAR1=1\n", u"A"_s, u"PAR10"_s, def},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(parsed(c.file).Read(c.section, c.key, def), c.expected) << c.name;
  }
}

struct Write {
  QString section;
  QString key;
  QString value;
};

struct WriteCase {
  const char* name;
  QByteArray before;
  std::vector<Write> writes;
  QByteArray after;
};

TEST(IniFileWrite, KeepsTheFileAndAppendsInOrder) {
  const WriteCase cases[] = {
      {"new sections and keys in order of first write", "",
       {{u"A"_s, u"x"_s, u"1"_s}, {u"B"_s, u"y"_s, u"2"_s}, {u"a"_s, u"z"_s, u"3"_s}}, "[A]\r\nx=1\r\nz=3\r\n[B]\r\ny=2\r\n"},
      {"replaced in place, key spelling of the file kept", "[A]\r\nCom=1\r\ny=2\r\n", {{u"a"_s, u"COM"_s, u"9"_s}},
       "[A]\r\nCom=9\r\ny=2\r\n"},
      {"new key after the last key, before blank lines and comments", "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\nq=0\r\n",
       {{u"A"_s, u"y"_s, u"2"_s}}, "[A]\r\nx=1\r\ny=2\r\n\r\n; about B\r\n[B]\r\nq=0\r\n"},
      {"new key in a section without keys goes right after the header", "[A]\n;c\n", {{u"A"_s, u"x"_s, u"1"_s}},
       "[A]\r\nx=1\r\n;c\r\n"},
      {"CR and LF in a value become blanks", "", {{u"A"_s, u"x"_s, u"a\r\nb"_s}}, "[A]\r\nx=a  b\r\n"},
      {"comments, junk and preamble kept, endings become CR LF", "; top\n[A]\njunk\nx=1\n[Other]\nk=v",
       {{u"A"_s, u"x"_s, u"2"_s}}, "; top\r\n[A]\r\njunk\r\nx=2\r\n[Other]\r\nk=v\r\n"},
      {"untouched lines keep their exact bytes", "[A]\nt = \x98\xFF \n", {{u"A"_s, u"x"_s, u"1"_s}},
       "[A]\r\nt = \x98\xFF \r\nx=1\r\n"},
      {"rewriting a value that reads the same keeps the line as it was", "[A]\nx =  1 \n", {{u"A"_s, u"x"_s, u" 1 "_s}},
       "[A]\r\nx =  1 \r\n"},
      {"first of duplicate keys is the one replaced", "[A]\nx=1\nx=2\n", {{u"A"_s, u"x"_s, u"3"_s}},
       "[A]\r\nx=3\r\nx=2\r\n"},
      {"section appended after a file without final newline", "[A]\nx=1", {{u"B"_s, u"y"_s, u"2"_s}},
       "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
      {"empty key name writes nothing", "", {{u"A"_s, u" "_s, u"1"_s}}, ""},
      {"a name in other letter case finds the same line", EncodeWindows1251(u"[Ёлка]\nЁлка=1\n"_s),
       {{u"ёЛКА"_s, u"ёЛКА"_s, u"2"_s}}, EncodeWindows1251(u"[Ёлка]\r\nЁлка=2\r\n"_s)},
      {"keys go to the first of duplicate sections", "[A]\r\nx=1\r\nx=dup\r\n\r\n[B]\r\n[a]\r\nz=9\r\n",
       {{u"a"_s, u"y"_s, u"2"_s}, {u"A"_s, u"w"_s, u"3"_s}, {u"a"_s, u"Y"_s, u" 4 "_s}, {u"C"_s, u"v"_s, u"5"_s}},
       "[A]\r\nx=1\r\nx=dup\r\ny= 4 \r\nw=3\r\n\r\n[B]\r\n[a]\r\nz=9\r\n[C]\r\nv=5\r\n"},
      {"Cyrillic and unencodable characters", "", {{u"Параметры"_s, u"PAR0"_s, u"Дизель ü"_s}},
       "[\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB]\r\nPAR0=\xC4\xE8\xE7\xE5\xEB\xFC ?\r\n"},
  };
  for (const WriteCase& c : cases) {
    IniFile ini = parsed(c.before);
    for (const Write& w : c.writes) {
      ini.Write(w.section, w.key, w.value);
    }
    EXPECT_EQ(ini.Serialize(), c.after) << c.name;
  }
}

TEST(IniFileWrite, WrittenValuesReadBackAtOnceAndAfterSaving) {
  IniFile ini = parsed("[A]\nx=1\n\n[B]\n[a]\nz=9\n");
  ini.Write(u"A"_s, u"y"_s, u"  padded  "_s);
  ini.Write(u"B"_s, u"z"_s, QString(300, u'z'));
  ini.Write(u"A"_s, u"x"_s, u"two"_s);
  for (const IniFile& i : {ini, parsed(ini.Serialize())}) {
    EXPECT_EQ(i.Read(u"a"_s, u"Y"_s, {}), u"padded"_s);
    EXPECT_EQ(i.Read(u"b"_s, u"z"_s, {}), QString(254, u'z'));
    EXPECT_EQ(i.Read(u"A"_s, u"x"_s, {}), u"two"_s);
    EXPECT_EQ(i.Read(u"A"_s, u"z"_s, u"-"_s), u"-"_s);  // in the later [a], not reached
    EXPECT_EQ(i.Keys(u"A"_s), (QStringList{u"x"_s, u"y"_s}));
  }
}

TEST(IniFileParse, HostileBytesNeitherCrashNorHang) {
  QByteArray junk;
  quint32 seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    junk.append(static_cast<char>(seed >> 24));
  }
  junk.append(QByteArray("\0\0\0[", 4));  // a header cut off by the end of the file
  IniFile ini = parsed(junk);
  ini.Write(u"Parameters"_s, u"PAR0"_s, u"1"_s);
  EXPECT_EQ(parsed(ini.Serialize()).Read(u"Parameters"_s, u"PAR0"_s, {}), u"1"_s);
}

class IniFileDisk : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return m_dir.filePath(name); }
  QTemporaryDir m_dir;
};

TEST_F(IniFileDisk, MissingFileLoadsEmptyAndIsCreatedBySave) {
  IniFile ini;
  ASSERT_TRUE(ini.Load(path(u"new.ini"_s)));
  ini.Write(u"Параметры"_s, u"PAR1"_s, u"Дизель"_s);
  QString error;
  ASSERT_TRUE(ini.Save(path(u"new.ini"_s), &error)) << error.toStdString();
  EXPECT_EQ(FileBytes(path(u"new.ini"_s)), EncodeWindows1251(u"[Параметры]\r\nPAR1=Дизель\r\n"_s));
  EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files) == QStringList{u"new.ini"_s});  // no temp file left
}

TEST_F(IniFileDisk, FileAtTheCapLoadsOneByteMoreIsRefusedAsTooLarge) {
  for (const qint64 extra : {0, 1}) {
    SCOPED_TRACE(extra);
    const QByteArray head = "[A]\r\n;";
    const QByteArray tail = "\r\nx=5\r\n";
    writeAll(path(u"big.ini"_s), head + QByteArray(IniFile::kMaxFileBytes + extra - head.size() - tail.size(), 'c') + tail);
    IniFile ini;
    QString error;
    EXPECT_EQ(ini.Load(path(u"big.ini"_s), &error), extra == 0);
    EXPECT_EQ(ini.Read(u"A"_s, u"x"_s, u"DEF"_s), extra == 0 ? u"5"_s : u"DEF"_s);
    EXPECT_EQ(error.contains(u"велик"_s), extra == 1) << error.toStdString();  // the user's reason, in Russian
  }
}

TEST_F(IniFileDisk, FolderOrDeviceIsRefusedOnLoad) {
  ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"sub.ini"_s));
  QStringList paths{path(u"sub.ini"_s)};
#ifndef Q_OS_WIN
  paths << u"/dev/zero"_s;  // a device that never ends
#endif
  for (const QString& p : paths) {
    IniFile ini;
    QString error;
    EXPECT_FALSE(ini.Load(p, &error)) << p.toStdString();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadIniKey(p, u"A"_s, u"x"_s, u"d"_s), u"d"_s);
  }
}

TEST_F(IniFileDisk, WriteIniKeyKeepsOtherContent) {
  writeAll(path(u"p.ini"_s), "; saved by hand\n[Other]\nk=v\n[Parameters]\nPAR0=1\n");
  QString error;
  ASSERT_TRUE(WriteIniKey(path(u"p.ini"_s), u"Parameters"_s, u"PAR0"_s, u"2"_s, &error));
  ASSERT_TRUE(WriteIniKey(path(u"p.ini"_s), u"Parameters"_s, u"PAR1"_s, u"3"_s, &error));
  EXPECT_EQ(FileBytes(path(u"p.ini"_s)), QByteArray("; saved by hand\r\n[Other]\r\nk=v\r\n[Parameters]\r\nPAR0=2\r\nPAR1=3\r\n"));
  // A folder under a plain file can never be written, even by root.
  EXPECT_FALSE(WriteIniKey(path(u"p.ini/settings.ini"_s), u"A"_s, u"x"_s, u"1"_s, &error));
  EXPECT_FALSE(error.isEmpty());
}

// ---- Windows-1251, the files' code page ----------------------------------

struct CodePoint {
  unsigned char byte;
  char16_t unicode;
};

// Published Windows-1251 assignments, spread over every block of the table;
// the one unassigned byte, 0x98, stands for the matching control character.
constexpr CodePoint kPublished[] = {
    {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x0402}, {0x88, 0x20AC}, {0x96, 0x2013}, {0x98, 0x0098},
    {0x99, 0x2122}, {0x9F, 0x045F}, {0xA0, 0x00A0}, {0xA5, 0x0490}, {0xA8, 0x0401}, {0xB4, 0x0491}, {0xB8, 0x0451},
    {0xB9, 0x2116}, {0xBF, 0x0457}, {0xC0, 0x0410}, {0xCF, 0x041F}, {0xDF, 0x042F}, {0xE0, 0x0430}, {0xFF, 0x044F},
};

// With every byte round-tripping, each published character also encodes
// to its byte.
TEST(Windows1251, DecodesPublishedCodePointsAndEveryByteRoundTrips) {
  for (const CodePoint& cp : kPublished) EXPECT_EQ(DecodeWindows1251(cp.byte).unicode(), cp.unicode) << int{cp.byte};
  for (int b = 0; b < 256; ++b) {
    const QByteArray one(1, static_cast<char>(b));
    EXPECT_EQ(EncodeWindows1251(DecodeWindows1251(one)), one) << "byte " << b;
  }
}

TEST(Windows1251, UnencodableCharactersBecomeOneQuestionMarkEach) {
  const struct {
    QString text;
    QByteArray bytes;
  } cases[] = {
      {QString(QChar(0xFFFD)), "?"},
      {QStringLiteral(u"中文"), "??"},
      {QStringLiteral(u"a😀b"), "a?b"},  // one character outside the BMP, one "?"
      {QString(QChar(0xD800)) + u'x', "?x"},  // a lone surrogate
      {QStringLiteral(u"Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeWindows1251(c.text), c.bytes) << c.text.toStdString();
  }
}

// ---- The settings file тп.ini ----------------------------------------------

const QString kReadTitle = u"Ошибка открытия файла "_s;
const QString kReadText = u"Ошибка открытия файла тп.ini для чтения\r\n"_s;
const QString kWriteText = u"Ошибка открытия файла тп.ini для записи"_s;
const QString kReading = u"Чтение конфигурации"_s;
const QString kSaving = u"Сохранение конфигурации"_s;

class SettingsFileTest : public ::testing::Test {
 protected:
  QString file() const { return m_dir.filePath(SettingsFile::FileName()); }
  void writeFile(const QByteArray& bytes) const { writeAll(file(), bytes); }
  QByteArray fileBytes() const { return FileBytes(file()); }

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
      "COMX=/dev/c\nFOO=/dev/d\nCOM5=\nCOM3=/dev/dup\n;COM9=/dev/e\n");
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

// ---- Fast exchange and the network link: read as written, and kept out of
// the file until the user chooses them.

TEST_F(SettingsFileTest, FastExchangeLinkAndReplyTimeoutAreReadAndStoredOnceChosen) {
  for (const auto& [file, fast, link, timeoutMs] :
       {std::tuple{"COM=2", false, "", 1000}, {"FastExchange=1", true, "", 1000}, {"FastExchange=yes", false, "", 1000},
        {"FastExchange=0", false, "", 1000},
        {"Link= rtuovertcp://10.0.0.5:4001 \nReplyTimeout=2500", false, "rtuovertcp://10.0.0.5:4001", 2500},
        {"Link=\nReplyTimeout=abc", false, "", 1000}, {"ReplyTimeout=5", false, "", 100},
        {"ReplyTimeout=900000", false, "", 60000}}) {
    SCOPED_TRACE(file);
    writeFile(QByteArray("[PC config]\n") + file + "\n");
    m_settings.SetFastExchange(!fast);
    m_settings.SetLink(u"tcp://stale:502"_s);
    m_settings.ReadConfig();
    EXPECT_EQ(m_settings.FastExchange(), fast);
    EXPECT_EQ(m_settings.Link(), QString::fromLatin1(link));
    EXPECT_EQ(m_settings.ReplyTimeoutMs(), timeoutMs);
  }

  // Off and never on, no link chosen: the file keeps only its usual keys;
  // once chosen, the keys stay when the user goes back.
  writeFile("[PC config]\r\nCOM=2\r\n");
  m_settings.ReadConfig();
  m_settings.SaveConfig(7);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=2\r\n[KZR config]\r\nMBSLAD=7\r\n"));
  m_settings.SetFastExchange(true);
  m_settings.SaveConfig(7);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=2\r\nFastExchange=1\r\n[KZR config]\r\nMBSLAD=7\r\n"));
  m_settings.SetFastExchange(false);
  m_settings.SetLink(u"tcp://gw:502"_s);
  m_settings.SaveConfig(7);
  m_settings.SetLink({});
  m_settings.SaveConfig(7);
  EXPECT_EQ(fileBytes(), QByteArray("[PC config]\r\nCOM=2\r\nFastExchange=0\r\nLink=\r\nReplyTimeout=1000\r\n"
                                    "[KZR config]\r\nMBSLAD=7\r\n"));
  EXPECT_TRUE(m_prompter.asked.empty());
}

// ---- Where тп.ini lives --------------------------------------------------

TEST(SettingsFolderChoose, BesideTheProgramWhenWritableElseTheProfileWithTheFirstCopy) {
  const struct {
    const char* name;
    bool writable;
    QByteArray beside;     // тп.ini beside the program; empty: none
    QByteArray inProfile;  // тп.ini already in the profile; empty: none
    QByteArray expected;   // in the profile afterwards; empty: none
  } cases[] = {
      {"writable program folder is kept", true, "[PC config]\r\nCOM=5\r\n", {}, {}},
      {"read-only: the file beside the program is copied", false, "[PC config]\r\nCOM=5\r\n", {}, "[PC config]\r\nCOM=5\r\n"},
      {"read-only: the user's own file wins", false, "[PC config]\r\nCOM=5\r\n", "[PC config]\r\nCOM=3\r\n",
       "[PC config]\r\nCOM=3\r\n"},
      {"read-only, no file anywhere: the settings file creates it", false, {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir root;
    const QString program = root.filePath(u"bin"_s);
    const QString profile = root.filePath(u"config/ЗАРТ"_s);
    QDir().mkpath(program);
    if (!c.beside.isEmpty()) writeAll(program + u"/тп.ini"_s, c.beside);
    if (!c.inProfile.isEmpty()) {
      QDir().mkpath(profile);
      writeAll(profile + u"/тп.ini"_s, c.inProfile);
    }
    // As installed: only the administrator may change the original.
    QFile::setPermissions(program + u"/тп.ini"_s, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString chosen = SettingsFolder::Choose(program, profile, [&](const QString& folder) {
      EXPECT_EQ(folder, program);
      return c.writable;
    });
    EXPECT_EQ(chosen, c.writable ? program : profile);
    EXPECT_EQ(QFileInfo(profile).isDir(), !c.writable);
    EXPECT_EQ(FileBytes(profile + u"/тп.ini"_s), c.expected);
    if (!c.expected.isEmpty()) {
      EXPECT_TRUE(QFile::permissions(profile + u"/тп.ini"_s) & QFile::WriteOwner);
    }
  }
}

TEST(SettingsFolderProbe, TellsAFolderThatTakesAFileAndLeavesNothingBehind) {
  QTemporaryDir dir;
  writeAll(dir.filePath(u"plain"_s), "x");
  EXPECT_TRUE(SettingsFolder::CanWriteIn(dir.path()));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"plain"_s});
  EXPECT_FALSE(SettingsFolder::CanWriteIn(dir.filePath(u"missing"_s)));
  EXPECT_FALSE(SettingsFolder::CanWriteIn(dir.filePath(u"plain/sub"_s)));
#ifndef Q_OS_WIN
  // Root writes into any folder; the mode bits bind everybody else (ctest
  // runs this case again as "nobody" when it runs as root).
  if (::geteuid() != 0) {
    const QString locked = dir.filePath(u"locked"_s);
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(SettingsFolder::CanWriteIn(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
#endif
  EXPECT_TRUE(SettingsFolder::ProfileFolder().endsWith(u"/ЗАРТ"_s));
}

}  // namespace
}  // namespace zart::settings
