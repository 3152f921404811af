// The parameter editor over the real exchange and QSerialPort against
// zart-sim: whole-EEPROM transfers checked against the simulator's image.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/fake_param_boxes.h"
#include "params/param_editor.h"
#include "settings/windows1251.h"
#include "support/fake_link_view.h"
#include "support/sim_process.h"

namespace zart::params {
namespace {

using Image = QByteArray;

class ParamsE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::Russian));  // the user's comma must survive the round trip
    imagePath = imageDir.filePath(QStringLiteral("eeprom.bin"));
    ASSERT_TRUE(sim.Start({QStringLiteral("--eeprom"), imagePath})) << "zart-sim did not start";
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}}));
    ASSERT_TRUE(serial.SetPortNumber(5));
    const link::OpenResult r = serial.Open();
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    cat.InitParamTables();
    editor.SetBoxesProvider([this] { return &boxes; });
    cycle.SetParamHandler([this](const link::RxStore& rx) { editor.HandleParamReply(rx); });
    cycle.SetCompletionHandler([this](int slot) { editor.OnRequestCompleted(slot); });
  }
  void TearDown() override {
    timer.Stop();
    serial.Close();
    sim.Stop();
    QLocale::setDefault(QLocale::c());
  }

  /// Runs the 100 ms exchange until the running transfer is answered
  /// (131 or 133 requests: about 14 s), bounded.
  bool RunTransfer(int ms = 40000) {
    timer.Start();
    const QDeadlineTimer deadline(ms);
    while (editor.Progress().total != 0 && !deadline.hasExpired()) testing::SimProcess::Pump(20);
    timer.Stop();
    return editor.Progress().total == 0;
  }

  /// The simulator's EEPROM image as it saves it.
  Image SimImage() {
    EXPECT_TRUE(sim.Command(QStringLiteral("save")).startsWith(QStringLiteral("ok")));
    QFile f(imagePath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : Image();
  }

  /// What box k must show for the image's bytes.
  QString Expected(const Image& image, int k) const {
    const auto s = static_cast<std::size_t>(k);
    const int a = cat.par_addr[s];
    const int n = cat.par_size[s];
    if (cat.IsText(k)) {
      QByteArray bytes = image.mid(a, n);
      const qsizetype zero = bytes.indexOf('\0');
      if (zero >= 0) bytes.truncate(zero);
      return settings::DecodeWindows1251(bytes);
    }
    std::int64_t u = 0;
    for (int i = 0; i < n; ++i) u = u * 256 + static_cast<std::uint8_t>(image[a + i]);
    const double scale = cat.par_scale[s];
    if (scale < 0 && u >= (std::int64_t{1} << (8 * n - 1))) u -= std::int64_t{1} << (8 * n);
    return FormatParamValue(static_cast<std::int32_t>(u), scale < 0 ? -scale : scale);
  }

  QTemporaryDir imageDir;
  QString imagePath;
  testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  link::QtSerialPort serial;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle{serial, view};
  link::ExchangeTimer timer{cycle};
  ParamCatalogue cat;
  ParamEditor editor{cycle, cat, view};
  testing::FakeParamBoxes boxes;
};

TEST_F(ParamsE2e, ReadAllShowsTheWholeImageThenWriteAllLeavesItUnchanged) {
  const Image before = SimImage();
  ASSERT_EQ(before.size(), 4096);

  editor.cmd_readall_Click();
  ASSERT_TRUE(RunTransfer()) << editor.Progress().answered << " of " << editor.Progress().total;
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(boxes.Text(k), Expected(before, k)) << "slot " << k;

  editor.cmd_writeall_Click();
  ASSERT_TRUE(RunTransfer()) << editor.Progress().answered << " of " << editor.Progress().total;
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  const Image after = SimImage();
  ASSERT_EQ(after.size(), 4096);
  for (int a = 0; a < 4096; ++a) ASSERT_EQ(after[a], before[a]) << "EEPROM byte " << a;
  EXPECT_EQ(view.slaveAddress, 7);
}

TEST_F(ParamsE2e, WriteAllOfEditedValuesChangesExactlyTheirBytes) {
  editor.cmd_readall_Click();
  ASSERT_TRUE(RunTransfer());
  const Image before = SimImage();

  struct Edit {
    int slot;
    const char16_t* text;
    std::vector<std::uint8_t> bytes;  // what the EEPROM must then hold
  };
  const Edit edits[] = {
      {2, u"1500", {75}},                            // ×20
      {41, u"12,5", {125}},                          // ×0.1, comma
      {37, u"-5", {0xFB}},                           // signed byte
      {10, u"70000", {0xFF, 0xFF}},                  // clamped to 65535
      {305, u"-12.3", {0xFF, 0x85}},                 // signed 16 bits ×0.1
      {89, u"Тест", {0xD2, 0xE5, 0xF1, 0xF2, 0, 0, 0, 0, 0, 0, 0, 0}},
      {93, u"Длинное", {0xC4, 0xEB, 0xE8, 0xED}},    // cut to the 4-byte slot
      {1207, u"abc", {0}},                            // no number: 0
  };
  Image expected = before;
  for (const Edit& e : edits) {
    boxes.SetText(e.slot, QString::fromUtf16(e.text));
    const int a = cat.par_addr[static_cast<std::size_t>(e.slot)];
    for (std::size_t i = 0; i < e.bytes.size(); ++i) expected[a + static_cast<qsizetype>(i)] = static_cast<char>(e.bytes[i]);
  }

  editor.cmd_writeall_Click();
  ASSERT_TRUE(RunTransfer()) << editor.Progress().answered << " of " << editor.Progress().total;
  const Image after = SimImage();
  ASSERT_EQ(after.size(), 4096);
  for (int a = 0; a < 4096; ++a) ASSERT_EQ(after[a], expected[a]) << "EEPROM byte " << a;
  // The echoes show what was stored.
  EXPECT_EQ(boxes.Text(10), QStringLiteral("65535 "));
  EXPECT_EQ(boxes.Text(41), QStringLiteral("12,5 "));
  EXPECT_EQ(boxes.Text(93), QStringLiteral(u"Длин"));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
}

}  // namespace
}  // namespace zart::params

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
