#include "tools/icon/icon_files.h"

#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <stdexcept>
#include <utility>

#include "setup/frm_setup_layout.h"

namespace tarnlight::tools {
namespace {

using Rgba = std::array<int, 4>;
using Pixels = std::array<Rgba, 256>;

// Read back by Qt's own PNG and ICO readers (the ICO's bitmap runs from the
// bottom row up, with an AND mask for the transparent pixels).
Pixels Read(const Bytes& file, const char* format) {
  QImage image;
  EXPECT_TRUE(image.loadFromData(file.data(), int(file.size()), format));
  EXPECT_EQ(image.size(), QSize(16, 16));
  Pixels out{};
  for (int i = 0; i < 256 && image.rect().contains(i % 16, i / 16); ++i) {
    const QColor c = image.pixelColor(i % 16, i / 16);
    if (c.alpha())
      out[std::size_t(i)] = {c.red(), c.green(), c.blue(), c.alpha()};
  }
  return out;
}

Pixels Expected(const IconLayout& icon) {
  Pixels out{};
  for (std::size_t y = 0; y < 16; ++y) {
    for (std::size_t x = 0; x < 16; ++x) {
      std::size_t key = icon.paletteKeys.find(icon.rows[y][x]);
      if (key >= icon.palette.size()) continue;
      const Rgb& c = icon.palette[key];
      out[y * 16 + x] = {c.red, c.green, c.blue, 255};
    }
  }
  return out;
}

TEST(IconFiles, BothFilesHoldTheLayoutsPixelsAndRefuseWhatTheyCannotHold) {
  constexpr std::array<Rgb, 2> two{{{10, 20, 30}, {200, 100, 50}}};
  IconLayout small{"ab", two, {}};
  for (auto& row : small.rows) row = "ab  ba  aabb    ";
  small.rows[15] = "               b";
  std::array<Rgb, 17> seventeen{};
  IconLayout wide{"abcdefghijklmnopq", seventeen, {}};
  for (auto& row : wide.rows) row = "                ";
  IconLayout unknown = small, narrow = small;
  unknown.rows[3] = "ab  ?a  aabb    ";
  narrow.rows[7] = "ab";
  for (auto [format, write] : {std::pair{"PNG", &IconPng}, {"ICO", &IconIco}}) {
    SCOPED_TRACE(format);
    for (const IconLayout* icon :
         {FrmSetupLayout().icon, &std::as_const(small)})
      EXPECT_EQ(Read(write(*icon), format), Expected(*icon));
    EXPECT_THROW(write(unknown), std::invalid_argument);
    EXPECT_THROW(write(narrow), std::invalid_argument);
  }
  EXPECT_THROW(IconIco(wide), std::invalid_argument);
  // What Windows reads and Qt does not: the directory's byte count, by which
  // the resource compiler copies the image, and a bitmap height that counts
  // the colour and mask halves.
  const Bytes ico = IconIco(small);
  EXPECT_EQ(ico.size(), 22u + (ico[14] | ico[15] << 8 | ico[16] << 16));
  EXPECT_EQ(ico[30], 32);
}

}  // namespace
}  // namespace tarnlight::tools
