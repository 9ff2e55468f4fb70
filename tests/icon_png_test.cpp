#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdint>
#include <vector>

#include "setup/frm_setup_layout.h"

namespace tarnlight {
namespace {

// The menus' icon, drawn at build time, read back by libpng.
TEST(MenuIcon, ThePngHoldsTheSetupDialogsIconPixelForPixel) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, TARNLIGHT_ICON_PNG))
      << image.message;
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
      << image.message;
  ASSERT_EQ(image.width, 16u);
  ASSERT_EQ(image.height, 16u);
  const IconLayout& icon = *FrmSetupLayout().icon;
  for (std::size_t y = 0; y < 16; ++y) {
    for (std::size_t x = 0; x < 16; ++x) {
      const std::uint8_t* p = &rgba[(y * 16 + x) * 4];
      std::array<int, 4> got{p[0], p[1], p[2], p[3]}, want{};
      std::size_t key = icon.paletteKeys.find(icon.rows[y][x]);
      if (key < icon.palette.size()) {
        const Rgb& c = icon.palette[key];
        want = {c.red, c.green, c.blue, 255};
      }
      // A transparent pixel's colour does not show.
      if (got[3] == 0) got = {0, 0, 0, 0};
      EXPECT_EQ(got, want) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace tarnlight
