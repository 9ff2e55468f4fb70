#include "tools/icon/icon_files.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

namespace tarnlight::tools {
namespace {

constexpr int kSide = 16;
constexpr int kColours = 16;

// The palette index of a pixel, or -1 for a blank: the one reading of the
// layout's rows that both files share.
int IndexAt(const IconLayout& icon, int x, int y) {
  std::string_view row = icon.rows[std::size_t(y)];
  if (row.size() != kSide)
    throw std::invalid_argument("an icon row is not 16 pixels wide");
  char key = row[std::size_t(x)];
  if (key == ' ') return -1;
  std::size_t index = icon.paletteKeys.find(key);
  if (index >= icon.palette.size())
    throw std::invalid_argument("an icon pixel has no palette entry");
  return int(index);
}

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(std::uint8_t(value >> shift));
}

void PutLittle16(Bytes& out, unsigned value) {
  out.push_back(std::uint8_t(value));
  out.push_back(std::uint8_t(value >> 8));
}

void PutLittle32(Bytes& out, std::uint32_t value) {
  PutLittle16(out, value & 0xFFFF);
  PutLittle16(out, value >> 16);
}

std::uint32_t Crc32(const Bytes& data) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = ~0u;
  for (std::uint8_t byte : data) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutChunk(Bytes& out, std::string_view type, const Bytes& body) {
  PutBig32(out, std::uint32_t(body.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBig32(out, Crc32(typed));
}

// A zlib stream of stored (uncompressed) blocks: the image is about a
// kilobyte, and this keeps the tool free of any library.
Bytes ZlibStored(const Bytes& raw) {
  Bytes out{0x78, 0x01};
  std::size_t at = 0;
  do {
    std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
    out.push_back(at + size == raw.size() ? 1 : 0);
    PutLittle16(out, unsigned(size));
    PutLittle16(out, unsigned(~size & 0xFFFF));
    out.insert(out.end(), raw.begin() + long(at),
               raw.begin() + long(at + size));
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

// The ICO's sizes: one directory entry, then a bitmap whose height counts
// the colour and mask halves together.
constexpr int kHeaderBytes = 40;
constexpr int kPaletteBytes = kColours * 4;
constexpr int kColourRowBytes = kSide / 2;  // 4 bits a pixel, 32-bit aligned
constexpr int kMaskRowBytes = 4;            // 16 bits, padded to 32
constexpr int kImageBytes = kHeaderBytes + kPaletteBytes +
                            kSide * kColourRowBytes + kSide * kMaskRowBytes;
constexpr int kDirectoryBytes = 6 + 16;

void PutIcoHeaders(Bytes& out) {
  for (unsigned word : {0, 1, 1}) PutLittle16(out, word);  // an icon, one image
  out.insert(out.end(), {kSide, kSide, kColours, 0});
  PutLittle16(out, 1);  // planes
  PutLittle16(out, 4);  // bits a pixel
  PutLittle32(out, kImageBytes);
  PutLittle32(out, kDirectoryBytes);
  for (std::uint32_t value : {kHeaderBytes, kSide, 2 * kSide})
    PutLittle32(out, value);
  PutLittle16(out, 1);
  PutLittle16(out, 4);
  for (std::uint32_t value :
       {0, kImageBytes - kHeaderBytes - kPaletteBytes, 0, 0, kColours, 0})
    PutLittle32(out, value);
}

}  // namespace

Bytes IconPng(const IconLayout& icon) {
  Bytes raw;
  for (int y = 0; y < kSide; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < kSide; ++x) {
      int index = IndexAt(icon, x, y);
      if (index < 0) {
        raw.insert(raw.end(), {0, 0, 0, 0});
        continue;
      }
      const Rgb& c = icon.palette[std::size_t(index)];
      raw.insert(raw.end(), {c.red, c.green, c.blue, 255});
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

Bytes IconIco(const IconLayout& icon) {
  if (icon.palette.size() > kColours)
    throw std::invalid_argument("an icon of 16 colours has a larger palette");
  Bytes out;
  out.reserve(kDirectoryBytes + kImageBytes);
  PutIcoHeaders(out);
  for (int i = 0; i < kColours; ++i) {
    Rgb c = i < int(icon.palette.size()) ? icon.palette[std::size_t(i)] : Rgb{};
    out.insert(out.end(), {c.blue, c.green, c.red, 0});
  }
  // Both halves run from the bottom row up; a blank is index 0 under the mask.
  for (int y = kSide - 1; y >= 0; --y)
    for (int x = 0; x < kSide; x += 2)
      out.push_back(std::uint8_t(std::max(IndexAt(icon, x, y), 0) << 4 |
                                 std::max(IndexAt(icon, x + 1, y), 0)));
  for (int y = kSide - 1; y >= 0; --y) {
    std::uint16_t bits = 0;
    for (int x = 0; x < kSide; ++x)
      if (IndexAt(icon, x, y) < 0) bits |= std::uint16_t(0x8000 >> x);
    out.insert(out.end(), {std::uint8_t(bits >> 8), std::uint8_t(bits), 0, 0});
  }
  return out;
}

}  // namespace tarnlight::tools
