#include "tools/icon/icon_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "setup/frm_setup_layout.h"

namespace tarnlight::tools {
namespace {

using Rgba = std::array<int, 4>;
using Pixels = std::array<Rgba, 256>;

// Read back by libpng, so that the PNG is checked by a reader of its own.
Pixels FromPng(const Bytes& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()))
      << image.message;
  image.format = PNG_FORMAT_RGBA;
  EXPECT_EQ(image.width * image.height, 256u);
  Bytes rgba(PNG_IMAGE_SIZE(image));
  EXPECT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
      << image.message;
  Pixels out{};
  for (std::size_t i = 0; i < out.size() && i * 4 < rgba.size(); ++i) {
    const std::uint8_t* p = &rgba[i * 4];
    out[i] = p[3] ? Rgba{p[0], p[1], p[2], 255} : Rgba{};
  }
  return out;
}

// The one-image, 4-bit ICO read as Windows reads it: the directory points at
// a bitmap whose colour and mask halves run from the bottom row up.
Pixels FromIco(const Bytes& ico) {
  auto at32 = [&](std::size_t i) {
    return ico[i] | ico[i + 1] << 8 | ico[i + 2] << 16 | ico[i + 3] << 24;
  };
  EXPECT_EQ(ico.size(), 22u + std::size_t(at32(14)));
  std::size_t image = std::size_t(at32(18)), palette = image + 40,
              colour = palette + 64, mask = colour + 128;
  EXPECT_EQ(at32(image + 8), 32);  // both halves
  Pixels out{};
  for (std::size_t y = 0; y < 16; ++y) {
    for (std::size_t x = 0; x < 16; ++x) {
      if ((ico[mask + (15 - y) * 4 + x / 8] >> (7 - x % 8)) & 1) continue;
      std::uint8_t pair = ico[colour + (15 - y) * 8 + x / 2];
      std::size_t entry =
          palette + 4 * std::size_t(x % 2 ? pair & 15 : pair >> 4);
      out[y * 16 + x] = {ico[entry + 2], ico[entry + 1], ico[entry], 255};
    }
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

const std::tuple<const char*, Bytes (*)(const IconLayout&),
                 Pixels (*)(const Bytes&)>
    kFormats[] = {{"png", IconPng, FromPng}, {"ico", IconIco, FromIco}};

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
  for (auto [name, write, read] : kFormats) {
    SCOPED_TRACE(name);
    for (const IconLayout* icon :
         {FrmSetupLayout().icon, &std::as_const(small)})
      EXPECT_EQ(read(write(*icon)), Expected(*icon));
    EXPECT_THROW(write(unknown), std::invalid_argument);
    EXPECT_THROW(write(narrow), std::invalid_argument);
  }
  EXPECT_THROW(IconIco(wide), std::invalid_argument);
}

}  // namespace
}  // namespace tarnlight::tools
