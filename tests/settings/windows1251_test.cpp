#include "settings/windows1251.h"

#include <gtest/gtest.h>

namespace zart::settings {
namespace {

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

TEST(Windows1251, DecodesAndEncodesPublishedCodePoints) {
  for (const CodePoint& cp : kPublished) {
    SCOPED_TRACE(cp.byte);
    EXPECT_EQ(DecodeWindows1251(cp.byte).unicode(), cp.unicode);
    const QByteArray encoded = EncodeWindows1251(QString(QChar(cp.unicode)));
    ASSERT_EQ(encoded.size(), 1);
    EXPECT_EQ(static_cast<unsigned char>(encoded[0]), cp.byte);
  }
}

TEST(Windows1251, EveryByteRoundTrips) {
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

}  // namespace
}  // namespace zart::settings
