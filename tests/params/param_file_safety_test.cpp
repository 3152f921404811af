// Text bytes that must survive a transfer and a file, names that must stay
// inside the chosen folder, and compare right after a save.
#include <gtest/gtest.h>

#include <map>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/rx_store.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/fake_param_boxes.h"
#include "params/param_editor.h"
#include "params/param_files.h"
#include "settings/ini_file.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/scripted_prompter.h"

namespace zart::params {
namespace {

class ParamFileSafetyTest : public ::testing::Test {
 protected:
  ParamFileSafetyTest() : cycle(port, view), editor(cycle, cat, view), files(cat, boxes, view, prompter) {
    cat.InitParamTables();
    editor.SetBoxesProvider([this] { return &boxes; });
    QDir(dir.path()).mkpath(QStringLiteral("in/sub"));
  }

  QString Folder() const { return dir.filePath(QStringLiteral("in")); }
  void WriteRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  /// The EEPROM bytes of every queued write: address -> byte.
  std::map<int, int> WrittenBytes() const {
    std::map<int, int> eeprom;
    const link::RequestQueue& q = cycle.Queue();
    for (int i = 0; i < q.PendingCount(); ++i) {
      const link::RequestSlot& s = q.Slot(i);
      if (s.slot_bytes[1] != link::FC_EEPROM_WRITE) continue;
      const int address = s.slot_bytes[2] * 256 + s.slot_bytes[3];
      for (int b = 0; b < s.slot_bytes[4]; ++b) eeprom[address + b] = s.slot_bytes[static_cast<std::size_t>(5 + b)];
    }
    return eeprom;
  }

  QTemporaryDir dir;
  testing::FakeSerialPort port;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle;
  ParamCatalogue cat;
  ParamEditor editor;
  testing::FakeParamBoxes boxes;
  testing::ScriptedPrompter prompter;
  ParamFiles files;
};

TEST_F(ParamFileSafetyTest, EveryTextByteSurvivesReadAllThenWriteAll) {
  // Bytes 1..255 in turn over the text slots, each slot full, as a reply
  // shows them; then write-all must send exactly those bytes back.
  std::map<int, int> expected;  // EEPROM address -> byte
  std::vector<int> filled;
  int next = 1;
  for (int k = 0; k < kSlotCount && next <= 255; ++k) {
    if (!cat.IsText(k)) continue;
    const int size = cat.par_size[static_cast<std::size_t>(k)];
    const int address = cat.par_addr[static_cast<std::size_t>(k)];
    link::RxStore rx;
    for (int i = 0; i < size; ++i) {
      const int byte = next <= 255 ? next++ : 0;
      rx.Store(5 + i, byte);
      expected[address + i] = byte;
    }
    ShowParamText(boxes, k, rx, 5, size);
    filled.push_back(k);
  }
  ASSERT_GT(next, 255);

  ASSERT_TRUE(editor.WriteAllParams());
  const std::map<int, int> written = WrittenBytes();
  for (const auto& [address, byte] : expected) {
    const auto it = written.find(address);
    ASSERT_NE(it, written.end()) << address;
    EXPECT_EQ(it->second, byte) << "byte " << byte << " at " << address;
  }

  // Through a file as well, for every text the file can hold as it stands
  // (no edge blanks, no line break): 0x98 among them.
  const std::vector<QString> shown = boxes.texts;
  ASSERT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("bytes.ini")));
  boxes.texts.assign(kSlotCount, QStringLiteral("-"));
  files.cmdReadFile_Click(Folder(), QStringLiteral("bytes.ini"));
  bool sawUnassigned = false;
  for (int k : filled) {
    const QString& text = shown[static_cast<std::size_t>(k)];
    if (settings::IniFile::StoredValue(text) != text) continue;
    sawUnassigned = sawUnassigned || text.contains(QChar(0x98));
    EXPECT_EQ(boxes.Text(k), text) << "slot " << k;
  }
  EXPECT_TRUE(sawUnassigned);
}

TEST_F(ParamFileSafetyTest, NamesThatLeaveTheFolderAreRefused) {
  const QByteArray file = "[Parameters]\r\nPAR0=77\r\n";
  WriteRaw(dir.filePath(QStringLiteral("in/sub/x.ini")), file);
  WriteRaw(dir.filePath(QStringLiteral("c.ini")), file);
  WriteRaw(dir.filePath(QStringLiteral("in/x.ini")), file);
  const QString names[] = {
      QStringLiteral("sub/x.ini"), QStringLiteral("../c.ini"), QStringLiteral("..\\c.ini"), QStringLiteral("C:x.ini"),
      QStringLiteral("C:\\x.ini"), QStringLiteral(".."),     QStringLiteral("."),          QStringLiteral("x.ini."),
      QStringLiteral("x.ini "),
  };
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    prompter.asked.clear();
    files.cmdReadFile_Click(Folder(), name);
    files.cmdCompare_Click(Folder(), name);
    const bool saved = files.cmdSaveFile_Click(Folder(), name);
    ASSERT_EQ(prompter.asked.size(), 3u);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(prompter.asked[static_cast<std::size_t>(i)].text,
                QStringLiteral(u"Невозможно открыть файл ") + name + QStringLiteral(u" для чтения"));
    }
    const settings::Message& save = prompter.asked[2];
    EXPECT_EQ(save.text, QStringLiteral(u"Невозможно открыть файл ") + name + QStringLiteral(u" для записи"));
    EXPECT_EQ(save.buttons, settings::Message::Buttons::ok);
    EXPECT_FALSE(saved);
    EXPECT_EQ(boxes.Text(0), QStringLiteral("-"));
    EXPECT_EQ(boxes.CountColor(testing::FakeParamBoxes::kDefaultBackground), kSlotCount);
  }
  // Nothing was written anywhere.
  for (const char* path : {"in/sub/x.ini", "c.ini", "in/x.ini"}) {
    QFile f(dir.filePath(QString::fromLatin1(path)));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), file) << path;
  }
}

TEST_F(ParamFileSafetyTest, OnlyTheExactNameListedInTheFolderExists) {
  WriteRaw(dir.filePath(QStringLiteral("in/Set.ini")), "[Parameters]\r\nPAR0=77\r\n");
  files.cmdReadFile_Click(Folder(), QStringLiteral("set.ini"));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(boxes.Text(0), QStringLiteral("-"));

  files.cmdReadFile_Click(Folder(), QStringLiteral("Set.ini"));
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(boxes.Text(0), QStringLiteral("77"));

  prompter.answers = {settings::Answer::cancel, settings::Answer::cancel};
  prompter.asked.clear();
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QStringLiteral("Set.ini")));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].title, QStringLiteral(u"Создание текстового файла"));
}

TEST_F(ParamFileSafetyTest, CompareRightAfterSaveMatchesTextsTheFileKeepsTrimmed) {
  // Text slots as a reply or a user may leave them; the file keeps each
  // trimmed, line breaks as blanks.
  const QString texts[] = {
      QStringLiteral(u"  Дизель "), QStringLiteral(u"a\r\nb"), QStringLiteral(u"\tМасло\n"),
      QStringLiteral(u"ABC"),       QStringLiteral(u" "),       QStringLiteral(u"ü"),
  };
  std::vector<int> textSlots;
  for (int k = 0; k < kSlotCount && textSlots.size() < std::size(texts); ++k)
    if (cat.IsText(k)) textSlots.push_back(k);
  for (std::size_t i = 0; i < textSlots.size(); ++i) boxes.texts[static_cast<std::size_t>(textSlots[i])] = texts[i];

  ASSERT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  files.cmdCompare_Click(Folder(), QStringLiteral("set.ini"));
  EXPECT_EQ(boxes.CountColor(COLOR_MATCHES_FILE), kSlotCount);

  // A real difference still shows, letter case included.
  boxes.texts[static_cast<std::size_t>(textSlots[3])] = QStringLiteral(u"abc");
  boxes.texts[static_cast<std::size_t>(textSlots[1])] = QStringLiteral(u"a b");
  files.cmdCompare_Click(Folder(), QStringLiteral("set.ini"));
  EXPECT_EQ(boxes.Color(textSlots[3]), COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(boxes.Color(textSlots[1]), COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(boxes.CountColor(COLOR_MATCHES_FILE), kSlotCount - 2);
}

}  // namespace
}  // namespace zart::params

namespace zart::params {
namespace {

TEST_F(ParamFileSafetyTest, AFileOverTheSizeLimitIsRefusedForReadingAsTooLarge) {
  QFile big(dir.filePath(QStringLiteral("in/big.ini")));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  ASSERT_TRUE(big.resize(settings::IniFile::kMaxFileBytes + 1));
  big.close();
  files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini"));
  files.cmdCompare_Click(Folder(), QStringLiteral("big.ini"));
  ASSERT_EQ(prompter.asked.size(), 2u);
  for (const settings::Message& m : prompter.asked) {
    EXPECT_EQ(m.text, QStringLiteral(u"Невозможно открыть файл big.ini для чтения\r\n"));
    EXPECT_EQ(m.buttons, settings::Message::Buttons::retry_cancel);
    EXPECT_TRUE(m.detail.contains(QStringLiteral(u"велик"))) << m.detail.toStdString();
  }
  EXPECT_EQ(boxes.CountColor(testing::FakeParamBoxes::kDefaultBackground), kSlotCount);
}

}  // namespace
}  // namespace zart::params
