#include <gtest/gtest.h>

#include <QLocale>

#include "monitor/hex_padded.h"
#include "monitor/status_decoder.h"
#include "monitor_fakes.h"

namespace zart::monitor {
namespace {

using testing::FakeParamHook;
using testing::FakeStatusView;
using testing::StatusBlock;

class StatusDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale::c()); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
  void Decode(const StatusBlock& block) { decoder.DecodeStatus(block.Store()); }

  FakeStatusView view;
  StatusDecoder decoder{view};
};

TEST_F(StatusDecoderTest, ShowsEachValueInBothLocales) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> registers;
    ValueLabel label;
    const char16_t* point;  // text under a locale with a decimal point
    const char16_t* comma;  // and with a decimal comma
  };
  const Case cases[] = {
      {"ProtocolVersion", {{300, 0x0203}}, ValueLabel::lbl_pr_ver, u"2 .3 ", u"2 .3 "},
      {"BlockedFlagStaysInMajor", {{300, 0x8203}}, ValueLabel::lbl_pr_ver, u"130 .3 ", u"130 .3 "},
      {"SoftwareVersion", {{301, 0x0107}}, ValueLabel::lbl_sw_ver, u"1 .7 ", u"1 .7 "},
      {"BatteryFraction", {{305, 126}}, ValueLabel::lbl_acc, u"12.6 ", u"12,6 "},
      {"BatteryWholeHasNoSeparator", {{305, 120}}, ValueLabel::lbl_acc, u"12 ", u"12 "},
      {"BatteryNegative", {{305, -5}}, ValueLabel::lbl_acc, u"-0.5 ", u"-0,5 "},
      {"BatteryZero", {{305, 0}}, ValueLabel::lbl_acc, u"0 ", u"0 "},
      {"EngineSpeedUnsigned", {{303, 0xFFFF}}, ValueLabel::lbl_eng_rpm, u"65535 ", u"65535 "},
      {"ShaftSpeed", {{304, 512}}, ValueLabel::lbl_prop_rpm, u"512 ", u"512 "},
      {"ServiceHalfHourRoundsToEvenZero", {{394, 30}}, ValueLabel::lbl_service, u"0 мч", u"0 мч"},
      {"ServiceHourAndHalfRoundsToTwo", {{394, 90}}, ValueLabel::lbl_service, u"2 мч", u"2 мч"},
      {"ServiceTwoAndHalfRoundsToTwo", {{394, 150}}, ValueLabel::lbl_service, u"2 мч", u"2 мч"},
      {"ServiceOverdue", {{394, -90}}, ValueLabel::lbl_service, u"-2 мч", u"-2 мч"},
      {"RunningTimeHighWordFirst", {{395, 1}, {396, 0}}, ValueLabel::lbl_motomin, u"1092 мч", u"1092 мч"},
      {"RunningTimeLargestHandled", {{395, 0x7FFF}, {396, 0xFFFF}}, ValueLabel::lbl_motomin,
       u"35791394 мч", u"35791394 мч"},
      {"RunningTimeBeyondRangeNotNegative", {{395, 0xFFFF}, {396, 0xFFFF}}, ValueLabel::lbl_motomin,
       u"71582788 мч", u"71582788 мч"},
  };
  for (const Case& c : cases) {
    StatusBlock block;
    for (auto [reg, value] : c.registers) block.Set(reg, value);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Decode(block);
    EXPECT_EQ(view.values[c.label], QString::fromUtf16(c.point)) << c.name;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Decode(block);
    EXPECT_EQ(view.values[c.label], QString::fromUtf16(c.comma)) << c.name;
  }
}

TEST_F(StatusDecoderTest, BlockedFlagDisablesMenuAndShowsBothBanners) {
  FakeParamHook hook;
  decoder.SetParamWindowHook(&hook);

  Decode(StatusBlock().Set(300, 0x8203));
  EXPECT_TRUE(view.bannerVisible);
  EXPECT_FALSE(view.paramMenuEnabled);
  EXPECT_TRUE(decoder.Blocked());

  Decode(StatusBlock().Set(300, 0x0203));
  EXPECT_FALSE(view.bannerVisible);
  EXPECT_TRUE(view.paramMenuEnabled);
  EXPECT_EQ(hook.banners, (QList<bool>{true, false}));
}

TEST_F(StatusDecoderTest, UnknownObjectTypeKeepsLastKnownDisplay) {
  Decode(StatusBlock().Set(302, 1));
  Decode(StatusBlock().Set(302, 5));
  EXPECT_EQ(view.values[ValueLabel::lbl_object], QStringLiteral(u"ДРА"));
  EXPECT_EQ(decoder.ObjectType(), 1);
  EXPECT_TRUE(view.propSpeedVisible);
  for (int lamp : {7, 8, 9}) EXPECT_TRUE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;
  for (int lamp : {6, 10}) EXPECT_FALSE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;

  Decode(StatusBlock().Set(302, 0));
  EXPECT_EQ(view.values[ValueLabel::lbl_object], QStringLiteral(u"ДГУ"));
  EXPECT_FALSE(view.propSpeedVisible);
  for (int lamp : {7, 8, 9}) EXPECT_FALSE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;
  for (int lamp : {6, 10}) EXPECT_TRUE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;
}

TEST_F(StatusDecoderTest, LampsFollowTheirBitsWhetherVisibleOrNot) {
  Decode(StatusBlock().Set(392, 0x0401 | 0xF800));  // bits 11..15 mean nothing
  for (int b = 0; b < StatusView::kLampCount; ++b) {
    EXPECT_EQ(view.lampLit[static_cast<std::size_t>(b)], b == 0 || b == 10) << "lamp " << b;
  }
  Decode(StatusBlock().Set(392, 0x0080));  // the gearbox lamp, hidden for ДГУ
  EXPECT_TRUE(view.lampLit[7]);
  EXPECT_FALSE(view.lampLit[0]);
}

TEST_F(StatusDecoderTest, OneBitLightsExactlyItsSignalCell) {
  struct Case {
    int reg, value, litCell;
  };
  for (const Case& c : {Case{397, 0x0001, 0}, Case{397, 0x0002, 1}, Case{398, 0x0001, 16}, Case{412, 0x8000, 255}}) {
    view.signalLit.fill(true);  // cells are created lit
    Decode(StatusBlock().Set(c.reg, c.value));
    for (int i = 0; i < StatusView::kSignalCount; ++i)
      EXPECT_EQ(view.signalLit[static_cast<std::size_t>(i)], i == c.litCell) << "cell " << i << " for cell " << c.litCell;
  }
}

TEST_F(StatusDecoderTest, FaultWordsZeroAndOneFromTheLastTwoRegisters) {
  Decode(StatusBlock().Set(423, 0x1A).Set(424, 0xFFFF));
  EXPECT_EQ(view.faults[0], QStringLiteral("001A"));
  EXPECT_EQ(view.faults[1], QStringLiteral("FFFF"));
  for (std::size_t i = 2; i < view.faults.size(); ++i) EXPECT_TRUE(view.faults[i].isEmpty()) << i;
}

TEST(HexPaddedTest, PadsButNeverCuts) {
  struct Case {
    std::int64_t value;
    int digits;
    const char* text;
  };
  for (const Case& c : {Case{0, 4, "0000"}, Case{0x1A, 4, "001A"}, Case{0xFFFF, 4, "FFFF"},
                        Case{0x12345, 4, "12345"}, Case{-1, 4, "FFFFFFFF"}, Case{0x80000000LL, 4, "80000000"},
                        Case{0xABC, 0, "ABC"}}) {
    EXPECT_EQ(HexPadded(c.value, c.digits), QLatin1String(c.text)) << c.value;
  }
}

}  // namespace
}  // namespace zart::monitor
