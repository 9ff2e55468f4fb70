// Build tool, run on the building machine: writes the setup dialog's icon
// as a 16 x 16 RGBA PNG for the desktop's icon theme, so that the menus
// show the same pixels as the dialog's title bar.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "setup/frm_setup_layout.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size,
                    std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(Bytes& out, std::string_view type, const Bytes& body) {
  PutBig32(out, static_cast<std::uint32_t>(body.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBig32(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) blocks: the image is about a
// kilobyte, and this keeps the tool free of any library.
Bytes ZlibStored(const Bytes& raw) {
  Bytes out{0x78, 0x01};
  std::size_t at = 0;
  do {
    std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
    bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(static_cast<std::uint8_t>(size >> 8));
    out.push_back(static_cast<std::uint8_t>(~size));
    out.push_back(static_cast<std::uint8_t>(~size >> 8));
    out.insert(out.end(), raw.begin() + at, raw.begin() + at + size);
    at += size;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(out, (b << 16) | a);
  return out;
}

Bytes IconPng(const tarnlight::IconLayout& icon) {
  constexpr std::uint32_t kSide = 16;
  Bytes raw;
  for (std::string_view row : icon.rows) {
    if (row.size() != kSide) throw std::runtime_error("an icon row is not 16");
    raw.push_back(0);  // filter: none
    for (char key : row) {
      if (key == ' ') {
        raw.insert(raw.end(), {0, 0, 0, 0});
        continue;
      }
      std::size_t index = icon.paletteKeys.find(key);
      if (index == std::string_view::npos || index >= icon.palette.size())
        throw std::runtime_error("an icon pixel has no palette entry");
      const tarnlight::Rgb& rgb = icon.palette[index];
      raw.insert(raw.end(), {rgb.red, rgb.green, rgb.blue, 255});
    }
  }
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBig32(header, kSide);
  PutBig32(header, kSide);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", ZlibStored(raw));
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon_png OUTPUT.png\n");
    return 2;
  }
  try {
    const auto* icon = tarnlight::FrmSetupLayout().icon;
    if (!icon) throw std::runtime_error("the setup dialog has no icon");
    Bytes bytes = IconPng(*icon);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) throw std::runtime_error("cannot write the icon file");
    bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written)
      throw std::runtime_error("the icon file is incomplete");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_icon_png: %s\n", e.what());
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
