#include "eeprom_image.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace zart::sim {
namespace {

// The parameter map of the controller: every byte of these ranges belongs
// to a parameter, no byte outside them does.
struct Range {
  int first, last;
};
constexpr Range kParameterBytes[] = {{256, 283}, {285, 287}, {320, 321}, {372, 374}, {377, 377}, {384, 384},
                                     {512, 519}, {576, 623}, {640, 767}, {1280, 3093}, {3126, 4085}};

bool isParameterByte(int a) {
  for (const Range& r : kParameterBytes) {
    if (a >= r.first && a <= r.last) return true;
  }
  return false;
}

TEST(EepromImage, DefaultsFillEveryParameterByteAndNothingElse) {
  for (int type : {0, 1}) {
    const EepromImage onFF = EepromImage::Defaults(type, 0xFF);
    const EepromImage on00 = EepromImage::Defaults(type, 0x00);
    for (int a = 0; a < EepromImage::kSize; ++a) {
      const bool written = onFF.At(a) == on00.At(a);
      EXPECT_EQ(written, isParameterByte(a)) << "address " << a << " type " << type;
      if (!isParameterByte(a)) {
        EXPECT_EQ(onFF.At(a), 0xFF) << "address " << a;
      }
    }
  }
}

TEST(EepromImage, DefaultsHoldPlausibleSettings) {
  const EepromImage dgu = EepromImage::Defaults(0);
  const EepromImage dra = EepromImage::Defaults(1);
  EXPECT_EQ(dgu.At(258), 15);   // start speed 300 rev/min at scale 20
  EXPECT_EQ(dgu.At(279), 7);    // slave address
  EXPECT_EQ(dgu.At(257), 0);
  EXPECT_EQ(dra.At(257), 1);
  EXPECT_EQ(dgu.At(266) * 256 + dgu.At(267), 1800);
  // Channel 1, 12-byte name "Т ОЖ" in Windows-1251, zero padded.
  const std::uint8_t name1[12] = {0xD2, 0x20, 0xCE, 0xC6, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(dgu.At(1280 + i), name1[i]) << i;
  // Channel 5, first of the 4-byte names: "Т1".
  EXPECT_EQ(dgu.At(1328), 0xD2);
  EXPECT_EQ(dgu.At(1329), '1');
  EXPECT_EQ(dgu.At(1331), 0);
  // Lower range of channel 1 (Pt1000), signed big-endian 0.1 °C: -200.0.
  EXPECT_EQ(static_cast<std::int16_t>(dgu.At(2000) * 256 + dgu.At(2001)), -2000);
  // Discrete input 1 name starts with "А" (0xC0).
  EXPECT_EQ(dgu.At(3126), 0xC0);
}

TEST(EepromImage, TextIsWindows1251CutAndPadded) {
  EepromImage img;
  img.SetText(300, u"Ёжик", 3);
  EXPECT_EQ(img.At(300), 0xA8);
  EXPECT_EQ(img.At(301), 0xE6);
  EXPECT_EQ(img.At(302), 0xE8);
  EXPECT_EQ(img.At(303), 0xFF) << "nothing past the slot";
  img.SetText(310, u"я", 2);
  EXPECT_EQ(img.At(310), 0xFF);
  EXPECT_EQ(img.At(311), 0x00);
  EXPECT_EQ(ToWindows1251(u'€'), '?');
}

class EepromFileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path.c_str()); }
  std::string path = ::testing::TempDir() + "zart_sim_eeprom_" + std::to_string(::getpid()) + ".bin";
};

TEST_F(EepromFileTest, SaveAndLoadRoundTrip) {
  EepromImage img = EepromImage::Defaults(0);
  img.Set(1000, 0x42);
  std::string error;
  ASSERT_TRUE(img.Save(path, error)) << error;
  EepromImage back;
  ASSERT_TRUE(back.Load(path, error)) << error;
  EXPECT_TRUE(std::equal(img.Bytes().begin(), img.Bytes().end(), back.Bytes().begin()));
}

TEST_F(EepromFileTest, FilesOfTheWrongSizeAreRefused) {
  for (std::size_t size : {std::size_t{0}, std::size_t{4095}, std::size_t{4097}}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size, 'x');
    EepromImage img;
    std::string error;
    EXPECT_FALSE(img.Load(path, error)) << size;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(img.At(500), 0xFF) << "image left as it was";
  }
  std::string error;
  EepromImage img;
  EXPECT_FALSE(img.Load(path + ".missing", error));
}

}  // namespace
}  // namespace zart::sim
