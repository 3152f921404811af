#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/fake_param_boxes.h"
#include "params/param_files.h"
#include "support/scripted_prompter.h"
#include "settings/ini_file.h"
#include "settings/windows1251.h"
#include "support/fake_link_view.h"

namespace zart::params {
namespace {

using settings::Answer;
using settings::Message;

class ParamFilesTest : public ::testing::Test {
 protected:
  ParamFilesTest() : files(cat, boxes, view, prompter) {
    cat.InitParamTables();
    QDir(dir.path()).mkpath(QStringLiteral("in/sub"));
  }

  QString Folder() const { return dir.filePath(QStringLiteral("in")); }
  QString PathOf(const QString& name) const { return Folder() + QLatin1Char('/') + name; }
  void WriteRaw(const QString& name, const QByteArray& bytes) {
    QFile f(PathOf(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray ReadRaw(const QString& name) const {
    QFile f(PathOf(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  /// Boxes with a recognisable value each: numbers as a reply shows them,
  /// Cyrillic names, each with one of the bytes 0x80..0xBF (0x98,
  /// unassigned, among them).
  void FillBoxes() {
    int n = 0;
    for (int k = 0; k < kSlotCount; ++k)
      boxes.texts[static_cast<std::size_t>(k)] =
          cat.IsText(k) ? QStringLiteral(u"Дат№%1%2ё").arg(k).arg(settings::DecodeWindows1251(static_cast<unsigned char>(0x80 + n++ % 64)))
                        : QStringLiteral("%1,5 ").arg(k);
    boxes.colors.assign(kSlotCount, COLOR_FROM_EEPROM);
    ASSERT_GT(n, 0x18);
  }

  QTemporaryDir dir;
  ParamCatalogue cat;
  testing::FakeParamBoxes boxes;
  testing::FakeLinkView view;
  testing::ScriptedPrompter prompter;
  ParamFiles files;
};

TEST_F(ParamFilesTest, SaveLoadCompareRoundTripOfAllBoxes) {
  FillBoxes();
  // Texts as a reply or a user may leave them: the file takes line breaks as
  // blanks, a read takes the blanks around off, and a compare right after the
  // save still matches.
  boxes.texts[89] = QStringLiteral(u"  Дизель ");
  boxes.texts[90] = QStringLiteral(u"a\r\nb");
  boxes.texts[91] = QStringLiteral(u"\tМасло\n");
  boxes.texts[92] = QStringLiteral(u" ü");  // no Windows-1251 letter: "?"
  const std::vector<QString> saved = boxes.texts;
  ASSERT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("all.ini")));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
  EXPECT_EQ(view.statusHistory.first(), QStringLiteral(u"Сохранение файла all.ini"));
  // One section, every key in slot order, Windows-1251, one byte a character.
  const QByteArray bytes = ReadRaw(QStringLiteral("all.ini"));
  EXPECT_TRUE(bytes.startsWith("[Parameters]\r\nPAR0=0,5 \r\nPAR1=1,5 \r\n")) << bytes.left(40).toStdString();
  EXPECT_TRUE(bytes.endsWith("PAR1207=1207,5 \r\n"));
  EXPECT_TRUE(bytes.contains(
      settings::EncodeWindows1251(QStringLiteral(u"PAR89=  Дизель \r\nPAR90=a  b\r\nPAR91=\tМасло \r\nPAR92= ?\r\n"))));

  boxes.texts.assign(kSlotCount, QStringLiteral("x"));
  files.cmdReadFile_Click(Folder(), QStringLiteral("all.ini"));
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
  for (int k = 0; k < kSlotCount; ++k)  // blanks around a value do not survive a file
    ASSERT_EQ(boxes.Text(k), k == 90 ? QStringLiteral("a  b") : k == 92 ? QStringLiteral("?") : saved[static_cast<std::size_t>(k)].trimmed()) << k;
  EXPECT_EQ(view.statusHistory.mid(2),
            (QStringList{QStringLiteral(u"Чтение файла ") + Folder() + QStringLiteral("/all.ini"), QString()}));

  QLocale::setDefault(QLocale(QLocale::Russian));
  boxes.texts = saved;
  files.cmdCompare_Click(Folder(), QStringLiteral("all.ini"));
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(boxes.CountColor(COLOR_MATCHES_FILE), kSlotCount);
  EXPECT_EQ(boxes.texts, saved);
  EXPECT_EQ(view.statusHistory.mid(4), (QStringList{QStringLiteral(u"Чтение файла all.ini"), QString()}));
  // A real difference still shows, letter case included.
  boxes.texts[89] = QStringLiteral(u"дизель");
  boxes.texts[90] = QStringLiteral(u"a b");
  files.cmdCompare_Click(Folder(), QStringLiteral("all.ini"));
  EXPECT_EQ(boxes.Color(89), COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(boxes.Color(90), COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(boxes.CountColor(COLOR_MATCHES_FILE), kSlotCount - 2);
}

TEST_F(ParamFilesTest, SavingOverAnExistingFileAsksAndKeepsItsOtherContent) {
  const QByteArray original = "[Other]\r\na=1\r\n[Parameters]\r\nX=keep\r\nPAR5=old\r\n";
  WriteRaw(QStringLiteral("set.ini"), original);

  prompter.answers = {Answer::cancel};
  boxes.colors.assign(kSlotCount, COLOR_FROM_EEPROM);
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  ASSERT_EQ(prompter.asked.size(), 1u);
  const Message& q = prompter.asked[0];
  EXPECT_EQ(q.text, QStringLiteral(u"Файл set.ini уже существует!\r\nЗаменить его?"));
  EXPECT_EQ(q.buttons, Message::Buttons::ok_cancel);
  EXPECT_EQ(ReadRaw(QStringLiteral("set.ini")), original);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.status, QString());

  prompter.asked.clear();
  prompter.answers = {Answer::ok};
  boxes.texts[5] = QStringLiteral("new");
  EXPECT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  const QByteArray after = ReadRaw(QStringLiteral("set.ini"));
  EXPECT_TRUE(after.startsWith("[Other]\r\na=1\r\n[Parameters]\r\nX=keep\r\nPAR5=new\r\n")) << after.left(80).toStdString();
  EXPECT_TRUE(after.contains("PAR1207=-"));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
}

TEST_F(ParamFilesTest, ARefusedSaveOffersRetryAndLeavesTheColours) {
  // A folder that does not exist refuses the write, like a read-only one.
  const QString folder = PathOf(QStringLiteral("gone"));
  boxes.colors.assign(kSlotCount, COLOR_FROM_EEPROM);
  prompter.answers = {Answer::retry, Answer::cancel};
  EXPECT_FALSE(files.cmdSaveFile_Click(folder, QStringLiteral("set.ini")));
  ASSERT_EQ(prompter.asked.size(), 2u);
  EXPECT_EQ(prompter.asked[1].text, QStringLiteral(u"Невозможно открыть файл set.ini для записи"));
  EXPECT_EQ(prompter.asked[1].buttons, Message::Buttons::retry_cancel);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.status, QString());

  // Retry after the cause is gone saves the file.
  prompter.asked.clear();
  prompter.onAsk = [&](const Message&, int) {
    QDir().mkpath(folder);
    return Answer::retry;
  };
  EXPECT_TRUE(files.cmdSaveFile_Click(folder, QStringLiteral("set.ini")));
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/set.ini")));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);

  // An empty name only complains, and leaves the status line as the
  // controller's tool always did.
  prompter.asked.clear();
  prompter.onAsk = nullptr;
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QString()));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, QStringLiteral(u"Невозможно открыть файл  для записи"));
  EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::ok);
  EXPECT_EQ(view.status, QStringLiteral(u"Сохранение файла "));
}

TEST_F(ParamFilesTest, LoadingMarksMissingKeysAndTakesTheRest) {
  WriteRaw(QStringLiteral("part.ini"),
           "[parameters]\r\npar0=10\r\nPAR1=  Abc  \r\nPAR2=empty_default\r\nPAR3=\r\nPAR4=" + QByteArray(300, 'z') +
               "\r\n[Other]\r\nPAR5=5\r\n");
  boxes.texts[5] = QStringLiteral("keep");
  files.cmdReadFile_Click(Folder(), QStringLiteral("part.ini"));
  EXPECT_EQ(boxes.Text(0), QStringLiteral("10"));  // names in any letter case
  EXPECT_EQ(boxes.Text(1), QStringLiteral("Abc"));
  EXPECT_EQ(boxes.Text(3), QString());
  EXPECT_EQ(boxes.Text(4), QString(254, QLatin1Char('z')));
  for (int k : {0, 1, 3, 4}) EXPECT_EQ(boxes.Color(k), COLOR_FROM_FILE) << k;
  EXPECT_EQ(boxes.Color(2), COLOR_MISSING_IN_FILE);  // the marker itself reads as missing
  EXPECT_EQ(boxes.Text(2), QStringLiteral("-"));
  EXPECT_EQ(boxes.Color(5), COLOR_MISSING_IN_FILE);  // other sections do not count
  EXPECT_EQ(boxes.Text(5), QStringLiteral("keep"));
  EXPECT_EQ(boxes.CountColor(COLOR_MISSING_IN_FILE), kSlotCount - 4);
}

TEST_F(ParamFilesTest, CompareColoursByNumberOrExactText) {
  struct Case {
    int slot;
    const char16_t* box;
    const char* file;  // nullptr: key absent
    std::uint32_t expected;
  };
  const Case cases[] = {
      {41, u"12.5 ", "12,5", COLOR_MATCHES_FILE},      {42, u"12,5", "12.50", COLOR_MATCHES_FILE},
      {43, u"12.5", "12.6", COLOR_DIFFERS_FROM_FILE},  {44, u"abc", "0", COLOR_MATCHES_FILE},
      {45, u"50%", "50", COLOR_MATCHES_FILE},          {46, u"7", nullptr, COLOR_MISSING_IN_FILE},
      {47, u"7", "default", COLOR_MISSING_IN_FILE},    {48, u"0", "empty_default", COLOR_MATCHES_FILE},
      {89, u"Насос", "\xCD\xE0\xF1\xEE\xF1", COLOR_MATCHES_FILE},
      {90, u"Насос", "\xED\xE0\xF1\xEE\xF1", COLOR_DIFFERS_FROM_FILE},  // letter case counts in texts
      {91, u"12.5", "12,5", COLOR_DIFFERS_FROM_FILE},                   // texts are not numbers
      {92, u"x", "default", COLOR_MISSING_IN_FILE},
  };
  QByteArray file = "[Parameters]\r\n";
  for (const Case& c : cases) {
    boxes.texts[static_cast<std::size_t>(c.slot)] = QString::fromUtf16(c.box);
    if (c.file) file += "PAR" + QByteArray::number(c.slot) + "=" + QByteArray(c.file) + "\r\n";
  }
  WriteRaw(QStringLiteral("cmp.ini"), file);
  const std::vector<QString> before = boxes.texts;
  files.cmdCompare_Click(Folder(), QStringLiteral("cmp.ini"));
  for (const Case& c : cases) EXPECT_EQ(boxes.Color(c.slot), c.expected) << c.slot;
  EXPECT_EQ(boxes.texts, before);
}

TEST_F(ParamFilesTest, AnUnreadableFileOffersRetryAndCancelKeepsTheStatus) {
  // Larger than any parameter file can be: the INI layer refuses to read it.
  {
    QFile big(PathOf(QStringLiteral("big.ini")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(settings::IniFile::kMaxFileBytes + 1));
  }
  files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini"));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, QStringLiteral(u"Невозможно открыть файл big.ini для чтения\r\n"));
  EXPECT_TRUE(prompter.asked[0].detail.contains(QStringLiteral(u"велик"))) << prompter.asked[0].detail.toStdString();
  EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::retry_cancel);
  EXPECT_EQ(view.status, QStringLiteral(u"Чтение файла ") + PathOf(QStringLiteral("big.ini")));
  EXPECT_EQ(boxes.setTextCalls, 0);

  files.cmdCompare_Click(Folder(), QStringLiteral("big.ini"));
  EXPECT_EQ(view.status, QStringLiteral(u"Чтение файла big.ini"));
  EXPECT_EQ(boxes.CountColor(testing::FakeParamBoxes::kDefaultBackground), kSlotCount);

  // Retry reads the file again once it has been mended.
  prompter.onAsk = [&](const Message&, int) {
    QFile f(PathOf(QStringLiteral("big.ini")));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("[Parameters]\r\nPAR7=42\r\n");
    return Answer::retry;
  };
  files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini"));
  EXPECT_EQ(boxes.Text(7), QStringLiteral("42"));
  EXPECT_EQ(boxes.Color(7), COLOR_FROM_FILE);
  EXPECT_EQ(view.status, QString());
}

// A name is taken only as the folder lists it: no name, another letter
// case, a folder, a path leaving the folder, a trailing dot or blank open
// nothing, for reading or (the names after the first four) for writing.
TEST_F(ParamFilesTest, NamesTheFolderDoesNotListOnlyComplain) {
  const QByteArray file = "[Parameters]\r\nPAR0=1\r\n";
  for (const char* name : {"Set.ini", "sub/x.ini", "x.ini", "../c.ini"}) WriteRaw(QString::fromLatin1(name), file);
  QDir(Folder()).mkdir(QStringLiteral("folder.ini"));
  int n = 0;
  for (const char* latin : {"", "none.ini", "set.ini", "folder.ini", "sub/x.ini", "../c.ini", "..\\c.ini", "C:x.ini",
                            "C:\\x.ini", "..", ".", "x.ini.", "x.ini "}) {
    const QString name = QString::fromLatin1(latin);
    SCOPED_TRACE(latin);
    for (int op = 0; op < 3; ++op) {
      if (op == 2 && n < 4) break;
      prompter.asked.clear();
      view.statusHistory.clear();
      if (op == 0) files.cmdReadFile_Click(Folder(), name);
      if (op == 1) files.cmdCompare_Click(Folder(), name);
      if (op == 2) {
        EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), name));
      }
      ASSERT_EQ(prompter.asked.size(), 1u);
      EXPECT_EQ(prompter.asked[0].text, QStringLiteral(u"Невозможно открыть файл ") + name +
                                            (op < 2 ? QStringLiteral(u" для чтения") : QStringLiteral(u" для записи")));
      EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::ok);
      if (op < 2) {
        EXPECT_EQ(view.statusHistory, QStringList{QString()});
      }
      EXPECT_EQ(boxes.setTextCalls, 0);
      EXPECT_EQ(boxes.CountColor(testing::FakeParamBoxes::kDefaultBackground), kSlotCount);
    }
    ++n;
  }
  for (const char* name : {"Set.ini", "sub/x.ini", "x.ini", "../c.ini"}) EXPECT_EQ(ReadRaw(QString::fromLatin1(name)), file) << name;
}

}  // namespace
}  // namespace zart::params
