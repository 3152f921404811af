#include "settings/windows1251.h"

#include <array>
#include <cstdint>

namespace zart::settings {
namespace {

// Bytes 0x80..0xBF; 0xC0..0xFF are the Cyrillic letters U+0410..U+044F in
// order and need no table. 0x98 is not assigned in the code page; it stands
// for the C1 control U+0098, as Windows' own conversion and web browsers
// have it, so that a controller text holding that byte is shown and written
// back unchanged instead of turning into "?".
constexpr char16_t kUnassigned = 0x0098;
constexpr std::array<char16_t, 64> kHighTable = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    kUnassigned, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr char16_t kCyrillicA = 0x0410;
constexpr char16_t kCyrillicYaSmall = 0x044F;
constexpr unsigned char kCyrillicFirstByte = 0xC0;
constexpr char kReplacement = '?';

char encodeUnit(char16_t unit) {
  if (unit < 0x80) {
    return static_cast<char>(unit);
  }
  if (unit >= kCyrillicA && unit <= kCyrillicYaSmall) {
    return static_cast<char>(kCyrillicFirstByte + (unit - kCyrillicA));
  }
  for (std::size_t i = 0; i < kHighTable.size(); ++i) {
    if (kHighTable[i] == unit) {
      return static_cast<char>(0x80 + i);
    }
  }
  return kReplacement;
}

}  // namespace

QChar DecodeWindows1251(unsigned char byte) {
  if (byte < 0x80) {
    return QChar(static_cast<char16_t>(byte));
  }
  if (byte >= kCyrillicFirstByte) {
    return QChar(static_cast<char16_t>(kCyrillicA + (byte - kCyrillicFirstByte)));
  }
  return QChar(kHighTable[byte - 0x80u]);
}

QString DecodeWindows1251(const QByteArray& bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    out[i] = DecodeWindows1251(static_cast<unsigned char>(bytes[i]));
  }
  return text;
}

QByteArray EncodeWindows1251(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t unit = text[i].unicode();
    // A character outside the BMP is two UTF-16 units but one character to
    // the user: it becomes a single "?".
    if (QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
      ++i;
      bytes.append(kReplacement);
      continue;
    }
    bytes.append(encodeUnit(unit));
  }
  return bytes;
}

}  // namespace zart::settings
