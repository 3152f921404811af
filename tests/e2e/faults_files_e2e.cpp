// Parameter files that are hostile (junk, huge lines, duplicate and odd keys,
// absurd values, bytes the code page does not know) loaded and compared
// through the parameters window's own buttons, with the exchange running
// against zart-sim. Nothing may crash, and nothing may reach the controller:
// a file changes the boxes only; the user's Enter or write-all sends.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include <QStandardPaths>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "support/fake_link_view.h"
#include "support/recording_port.h"
#include "support/recording_prompter.h"
#include "support/sim_process.h"
#include "ui/file_chooser.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::ui {
namespace {

using params::COLOR_DIFFERS_FROM_FILE;
using params::COLOR_FROM_FILE;
using params::COLOR_MATCHES_FILE;
using params::COLOR_MISSING_IN_FILE;

constexpr int kReadAllRequests = 131;
constexpr int kTextSlot = 89;  // name of channel 1, 12 characters

QByteArray Section(const QByteArray& lines) { return "[Parameters]\r\n" + lines; }

QByteArray Binary() {
  std::mt19937 rng(42);
  QByteArray junk(64 * 1024, '\0');
  for (char& c : junk) c = static_cast<char>(rng() & 0xFF);
  // A header and a key inside the junk, so some of it is taken as a file.
  junk.replace(1000, 24, "\n[Parameters]\nPAR3=17\n\0\0\0");
  return junk;
}

struct FileCase {
  const char* name;
  std::function<QByteArray()> contents;
  /// Checks after the load, with the box texts from before it.
  std::function<void(ParamWindow&, const std::vector<QString>& before)> afterLoad;
};

std::ostream& operator<<(std::ostream& os, const FileCase& c) { return os << c.name; }

const FileCase kCases[] = {
    {"BinaryData", Binary,
     [](ParamWindow& w, const std::vector<QString>&) { EXPECT_EQ(w.Text(3), QStringLiteral("17")); }},
    {"QuarterMegabyteLines",
     [] { return Section("PAR0=" + QByteArray(1 << 18, '7') + "\r\nPAR1=5\r\nPAR" + QByteArray(1 << 18, '9') + "=1\r\n"); },
     [](ParamWindow& w, const std::vector<QString>&) {
       // A value is cut to 254 characters, as the profile functions do.
       EXPECT_EQ(w.Text(0), QString(254, QLatin1Char('7')));
       EXPECT_EQ(w.Text(1), QStringLiteral("5"));
     }},
    {"DuplicateKeys", [] { return Section("PAR5=1\r\nPAR5=2\r\n[Parameters]\r\nPAR5=3\r\n"); },
     [](ParamWindow& w, const std::vector<QString>&) { EXPECT_EQ(w.Text(5), QStringLiteral("1")); }},
    {"KeysInOtherLetterCase", [] { return QByteArray("[PARAMETERS]\r\npar7=42\r\nPaR8=43\r\n"); },
     [](ParamWindow& w, const std::vector<QString>&) {
       EXPECT_EQ(w.Text(7), QStringLiteral("42"));
       EXPECT_EQ(w.Text(8), QStringLiteral("43"));
       EXPECT_EQ(w.Color(8), COLOR_FROM_FILE);
     }},
    {"MissingKeys", [] { return Section("PAR0=1\r\nPAR1207=2\r\n"); },
     [](ParamWindow& w, const std::vector<QString>& before) {
       for (int k = 1; k < params::kSlotCount - 1; ++k) {
         ASSERT_EQ(w.Color(k), COLOR_MISSING_IN_FILE) << "slot " << k;
         ASSERT_EQ(w.Text(k), before[static_cast<std::size_t>(k)]) << "slot " << k;
       }
     }},
    {"ValuesOutOfRange",
     [] {
       return Section("PAR2=99999999999999999999999\r\nPAR10=-1e308\r\nPAR37=nan\r\nPAR41=1,5e400\r\n"
                      "PAR305=-99999\r\nPAR23=300\r\n");
     },
     [](ParamWindow& w, const std::vector<QString>&) {
       // Taken as they stand; they are clamped only when written.
       EXPECT_EQ(w.Text(2), QStringLiteral("99999999999999999999999"));
       EXPECT_EQ(w.Text(23), QStringLiteral("300"));
     }},
    {"TextTheCodePageCannotHold",
     [] {
       // 0x98 has no character in Windows-1251; the rest is UTF-8 of
       // Japanese and an emoji, read byte by byte as Cyrillic.
       return Section("PAR89=\x98\x98\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80\r\nPAR90=\x98\r\n");
     },
     [](ParamWindow& w, const std::vector<QString>&) {
       EXPECT_FALSE(w.Text(kTextSlot).isEmpty());
       EXPECT_EQ(w.Color(kTextSlot), COLOR_FROM_FILE);
     }},
};

class HostileFilesE2e : public ::testing::TestWithParam<FileCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start()) << "zart-sim did not start";
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}}));
    ASSERT_TRUE(serial.SetPortNumber(5));
    ASSERT_TRUE(serial.Open().ok());
    ASSERT_TRUE(files.isValid());
    controller.SetStartFolder(files.path());
  }
  void TearDown() override {
    timer.Stop();
    serial.Close();
    sim.Stop();
  }

  /// Requests with function code `fc` waiting in the queue.
  int Queued(int fc) const {
    const link::RequestQueue& q = cycle.Queue();
    int n = 0;
    for (int i = 0; i < q.PendingCount(); ++i) n += q.Slot(q.ReadIndex() + i).slot_bytes[1] == fc ? 1 : 0;
    return n;
  }
  void RunFor(int ms) {
    timer.Start();
    testing::SimProcess::Pump(ms);
    timer.Stop();
  }

  testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  link::QtSerialPort serial;
  testing::RecordingPort port{serial};
  testing::FakeLinkView view;
  link::ExchangeCycle cycle{port, view};
  link::ExchangeTimer timer{cycle};
  testing::RecordingPrompter prompter{settings::Answer::cancel};
  QTemporaryDir files;
  ParamWindowController controller{cycle, nullptr, view, prompter};
};

TEST_P(HostileFilesE2e, LoadAndCompareChangeOnlyTheBoxes) {
  const FileCase& c = GetParam();
  QFile file(files.filePath(QStringLiteral("hostile.ini")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(c.contents());
  file.close();

  // The user opens the window (its read-all is queued) and, while that
  // runs, loads and compares the file.
  controller.OpenParamWindow();
  ParamWindow* w = controller.Window();
  ASSERT_NE(w, nullptr);
  RunFor(300);
  const int pending = cycle.Queue().PendingCount();
  ASSERT_GT(pending, kReadAllRequests - 10);
  std::vector<QString> before;
  for (int k = 0; k < params::kSlotCount; ++k) before.push_back(w->Text(k));

  w->Chooser().Text3()->setText(QStringLiteral("hostile.ini"));
  w->cmdReadFile()->click();
  for (int k = 0; k < params::kSlotCount; ++k) {
    const std::uint32_t color = w->Color(k);
    ASSERT_TRUE(color == COLOR_FROM_FILE || color == COLOR_MISSING_IN_FILE) << "slot " << k << ": " << color;
  }
  c.afterLoad(*w, before);

  w->cmdCompare()->click();
  for (int k = 0; k < params::kSlotCount; ++k) {
    const std::uint32_t color = w->Color(k);
    ASSERT_TRUE(color == COLOR_MATCHES_FILE || color == COLOR_DIFFERS_FROM_FILE || color == COLOR_MISSING_IN_FILE)
        << "slot " << k << ": " << color;
  }
  EXPECT_TRUE(prompter.asked.empty());

  // Nothing was queued for the controller, and nothing goes out.
  EXPECT_EQ(cycle.Queue().PendingCount(), pending);
  EXPECT_EQ(Queued(link::FC_EEPROM_WRITE), 0);
  RunFor(800);
  EXPECT_TRUE(port.FramesOf(link::FC_EEPROM_WRITE).empty());
  EXPECT_FALSE(port.FramesOf(link::FC_EEPROM_READ).empty()) << "the exchange did not run";

  // Only the user's Enter queues a write.
  controller.Editor().txt_par_KeyPress(2, params::ParamEditor::kKeyEnter);
  EXPECT_EQ(Queued(link::FC_EEPROM_WRITE), 1);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFilesE2e, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FileCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zart::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
