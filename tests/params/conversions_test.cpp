#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include <QLocale>

#include "link/rx_store.h"
#include "params/box_colors.h"
#include "params/conversions.h"
#include "params/fake_param_boxes.h"

namespace zart::params {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const double kInf = std::numeric_limits<double>::infinity();

/// Runs each case under a point and a comma locale: typed numbers must not
/// depend on the user's locale.
class UnderLocale : public ::testing::TestWithParam<QLocale::Language> {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale(GetParam())); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

INSTANTIATE_TEST_SUITE_P(PointAndComma, UnderLocale, ::testing::Values(QLocale::English, QLocale::Russian),
                         [](const auto& p) { return QLocale::languageToCode(p.param).toStdString(); });

TEST_P(UnderLocale, ParseNumberReadsTheLeadingNumber) {
  struct Case {
    const char16_t* text;
    double expected;
  };
  const Case cases[] = {
      {u"12,5", 12.5},      {u"12.5", 12.5},     {u"1500 ", 1500},    {u"50%", 50},         {u"50 % 7", 50},
      {u"%50", 0},          {u"abc", 0},         {u"-", 0},           {u"", 0},             {u"  \t-3.5e2x", -350},
      {u"+7", 7},           {u"1,5,6", 1.5},     {u"1.2.3", 1.2},     {u"1,2.3", 1.2},      {u".5", 0.5},
      {u"5.", 5},           {u"1e", 1},          {u"1e+", 1},         {u"2E-1", 0.2},       {u"1e-999", 0},
      {u"12 34", 12},       {u"007", 7},         {u"−5", 0},  // a typographic minus is not a sign
      // Not numbers here, unlike strtod: a box holding them writes 0.
      {u"inf", 0},          {u"-infinity", 0},   {u"nan", 0},         {u"NAN(0x1)", 0},     {u"0x1A", 0},
      {u"١٢", 0},  // Arabic-Indic digits are not read
  };
  for (const Case& c : cases) EXPECT_EQ(ParseNumber(QString::fromUtf16(c.text)), c.expected) << QString::fromUtf16(c.text).toStdString();
  EXPECT_EQ(ParseNumber(QStringLiteral("1e999")), kInf);
  EXPECT_EQ(ParseNumber(QStringLiteral("-1e99999999999999999999")), -kInf);
  EXPECT_EQ(ParseNumber(QString(100000, QLatin1Char('9'))), kInf);
}

TEST(RoundHalfAway, HalvesAwayFromZeroAndSaturates) {
  struct Case {
    double x;
    std::int32_t expected;
  };
  const Case cases[] = {
      {2.5, 3},   {-2.5, -3},          {0.49, 0},           {-0.49, 0},        {0.5, 1},
      {7, 7},     {-7, -7},            {75.5, 76},          {16.666, 17},      {2147483646.4, 2147483646},
      {2147483646.6, kMax}, {2147483647.0, kMax}, {1e20, kMax}, {kInf, kMax},
      {-2147483647.6, kMin}, {-2147483648.4, kMin}, {-1e20, kMin}, {-kInf, kMin},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundHalfAway(c.x), c.expected) << c.x;
}

TEST_P(UnderLocale, TextToRawRoundsAndClampsToTheSlotRange) {
  struct Case {
    const char16_t* text;
    std::int32_t minimum, maximum;
    double divisor;
    std::int32_t expected;
  };
  const Case cases[] = {
      {u"1500", 0, 255, 20, 75},       {u"1510", 0, 255, 20, 76},         {u"12,5", 0, 255, 0.1, 125},
      {u"12.5", 0, 255, 0.1, 125},     {u"30", 0, 255, 0.1, 255},         {u"100", 0, 255, 6, 17},
      {u"-12.3", -32768, 32767, 0.1, -123}, {u"50%", 0, 255, 1, 50},      {u"-5", 0, 255, 1, 0},
      {u"-", 0, 255, 1, 0},            {u"abc", -128, 127, 1, 0},         {u"200", 0, 127, 1, 127},
      // Quotients beyond 32 bits, infinities and NaN end on the slot's limits.
      {u"1e30", 0, 255, 0.1, 255},     {u"-1e30", -128, 127, 1, -128},    {u"1e999", 0, 65535, 1, 65535},
      {u"-1e999", -32768, 32767, 0.1, -32768}, {u"5", 0, 255, 0, 255},    {u"0", 1, 10, 0, 1},
      {u"nan", -128, 127, 1, 0},       {u"3000000000", 0, 65535, 1, 65535},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToRaw(QString::fromUtf16(c.text), c.minimum, c.maximum, c.divisor), c.expected)
        << QString::fromUtf16(c.text).toStdString() << " / " << c.divisor;
}

TEST(FormatParamValue, ThreeDecimalsTiesToEvenLocaleSeparatorOneSpace) {
  struct Case {
    std::int32_t raw;
    double scale;
    const char16_t* point;
    const char16_t* comma;
  };
  const Case cases[] = {
      {75, 20, u"1500 ", u"1500 "},    {76, 20, u"1520 ", u"1520 "},   {123, 0.1, u"12.3 ", u"12,3 "},
      {255, 0.1, u"25.5 ", u"25,5 "}, {17, 6, u"102 ", u"102 "},       {-123, 0.1, u"-12.3 ", u"-12,3 "},
      {1, 0.5, u"0.5 ", u"0,5 "},     {0, 0.1, u"0 ", u"0 "},          {-32768, 0.1, u"-3276.8 ", u"-3276,8 "},
      {65535, 1, u"65535 ", u"65535 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::English)), QString::fromUtf16(c.point)) << c.raw;
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::Russian)), QString::fromUtf16(c.comma)) << c.raw;
  }
  EXPECT_EQ(FormatParamValue(1, 0.0005, QLocale(QLocale::English)), QStringLiteral("0 "));    // 0.0005 → even 0.000
  EXPECT_EQ(FormatParamValue(3, 0.0005, QLocale(QLocale::English)), QStringLiteral("0.002 "));  // 0.0015 → 0.002
}

link::RxStore StoreAt(int offset, const std::vector<int>& bytes) {
  link::RxStore rx;
  for (int i = 0; i < offset; ++i) rx.Store(i, 0xEE);
  for (std::size_t i = 0; i < bytes.size(); ++i) rx.Store(offset + static_cast<int>(i), bytes[i]);
  rx.Store(offset + static_cast<int>(bytes.size()), 0xEE);
  return rx;
}

TEST(BytesToNumber, MostSignificantFirstAndTwosComplement) {
  struct Case {
    std::vector<int> bytes;
    std::int32_t asUnsigned, asSigned;
  };
  const Case cases[] = {
      {{0xFB}, 251, -5},          {{0x7F}, 127, 127},          {{0x80}, 128, -128},
      {{0x01, 0x2C}, 300, 300},   {{0xFF, 0x85}, 65413, -123}, {{0x80, 0x00}, 32768, -32768},
      {{0x7F, 0xFF}, 32767, 32767}, {{0x12, 0x34, 0x56, 0x78}, 0x12345678, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1, -1},
  };
  for (const Case& c : cases) {
    const link::RxStore rx = StoreAt(5, c.bytes);
    const int n = static_cast<int>(c.bytes.size());
    EXPECT_EQ(BytesToUnsigned(rx, 5, n), c.asUnsigned) << n << " bytes from " << c.bytes[0];
    EXPECT_EQ(BytesToSigned(rx, 5, n), c.asSigned) << n << " bytes from " << c.bytes[0];
  }
}

TEST(ShowParam, TextStopsAtTheFirstZeroAndTheBoxEndsGreen) {
  testing::FakeParamBoxes boxes;
  // "Насос 1" in Windows-1251, zero padding, then junk the zero hides.
  const link::RxStore rx = StoreAt(5, {0xCD, 0xE0, 0xF1, 0xEE, 0xF1, 0x20, 0x31, 0x00, 0x41, 0x42, 0x00, 0x00});
  ShowParamText(boxes, 89, rx, 5, 12);
  EXPECT_EQ(boxes.Text(89), QStringLiteral(u"Насос 1"));
  EXPECT_EQ(boxes.Color(89), COLOR_FROM_EEPROM);

  const link::RxStore empty = StoreAt(5, {0x00, 0x41, 0x42, 0x43});
  ShowParamText(boxes, 93, empty, 5, 4);
  EXPECT_EQ(boxes.Text(93), QString());
  EXPECT_EQ(boxes.Color(93), COLOR_FROM_EEPROM);

  QLocale::setDefault(QLocale(QLocale::Russian));
  ShowParamValue(boxes, 41, 125, 0.1);
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(boxes.Text(41), QStringLiteral("12,5 "));
  EXPECT_EQ(boxes.Color(41), COLOR_FROM_EEPROM);
}

}  // namespace
}  // namespace zart::params
