#include "platform/win32/ico_file.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "setup/frm_setup_layout.h"

namespace tarnlight::win32 {
namespace {

unsigned Read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | unsigned(b[at + 1]) << 8;
}
std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return Read16(b, at) | std::uint32_t(Read16(b, at + 2)) << 16;
}

constexpr std::size_t kImage = 22, kPalette = kImage + 40,
                      kColour = kPalette + 64, kMask = kColour + 128;

// The palette index a pixel got, and whether the mask makes it transparent.
int IndexOf(const std::vector<std::uint8_t>& ico, int x, int y) {
  std::uint8_t pair =
      ico[kColour + std::size_t(15 - y) * 8 + std::size_t(x / 2)];
  return x % 2 ? pair & 0x0F : pair >> 4;
}
bool Transparent(const std::vector<std::uint8_t>& ico, int x, int y) {
  std::size_t row = kMask + std::size_t(15 - y) * 4;
  return (ico[row + std::size_t(x / 8)] >> (7 - x % 8)) & 1;
}

TEST(IcoFile, HeadersDescribeOneSixteenColourImage) {
  std::vector<std::uint8_t> ico = IcoFile(*FrmSetupLayout().icon);
  ASSERT_EQ(ico.size(), kMask + 64);
  EXPECT_EQ(Read16(ico, 2), 1u);  // icon
  EXPECT_EQ(Read16(ico, 4), 1u);  // one image
  EXPECT_EQ(ico[6], 16);
  EXPECT_EQ(ico[7], 16);
  EXPECT_EQ(ico[8], 16);
  EXPECT_EQ(Read16(ico, 12), 4u);
  EXPECT_EQ(Read32(ico, 14), ico.size() - kImage);
  EXPECT_EQ(Read32(ico, 18), kImage);
  EXPECT_EQ(Read32(ico, kImage + 4), 16u);
  EXPECT_EQ(Read32(ico, kImage + 8), 32u);
}

TEST(IcoFile, PixelsKeepTheirColourAndBlanksAreTransparent) {
  constexpr std::array<Rgb, 2> palette{{{10, 20, 30}, {200, 100, 50}}};
  IconLayout icon{"ab", palette, {}};
  icon.rows[0] = "ab";
  icon.rows[15] = "  b?";  // '?' is in no palette: transparent too
  std::vector<std::uint8_t> ico = IcoFile(icon);
  EXPECT_EQ(ico[kPalette + 4], 50);  // blue, green, red of entry 1
  EXPECT_EQ(ico[kPalette + 5], 100);
  EXPECT_EQ(ico[kPalette + 6], 200);
  struct Pixel {
    int x, y, index;
    bool transparent;
  };
  for (Pixel p :
       {Pixel{0, 0, 0, false}, Pixel{1, 0, 1, false}, Pixel{2, 0, 0, true},
        Pixel{15, 7, 0, true}, Pixel{2, 15, 1, false}, Pixel{3, 15, 0, true}}) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(IndexOf(ico, p.x, p.y), p.index);
    EXPECT_EQ(Transparent(ico, p.x, p.y), p.transparent);
  }
}

TEST(IcoFile, RefusesMoreThanSixteenColours) {
  std::array<Rgb, 17> palette{};
  IconLayout icon{"abcdefghijklmnopq", palette, {}};
  EXPECT_THROW(IcoFile(icon), std::invalid_argument);
}

}  // namespace
}  // namespace tarnlight::win32
