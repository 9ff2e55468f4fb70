#include "platform/win32/ico_file.h"

#include <stdexcept>

namespace tarnlight::win32 {
namespace {

constexpr int kSide = 16;
constexpr int kColours = 16;
constexpr int kHeaderBytes = 40;
constexpr int kPaletteBytes = kColours * 4;
constexpr int kColourRowBytes = kSide / 2;  // 4 bits a pixel, 32-bit aligned
constexpr int kMaskRowBytes = 4;            // 16 bits, padded to 32
constexpr int kImageBytes = kHeaderBytes + kPaletteBytes +
                            kSide * kColourRowBytes + kSide * kMaskRowBytes;
constexpr int kDirectoryBytes = 6 + 16;

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(std::uint8_t(value));
  out.push_back(std::uint8_t(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutDirectory(std::vector<std::uint8_t>& out) {
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, 1);  // one image
  out.push_back(kSide);
  out.push_back(kSide);
  out.push_back(kColours);
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits a pixel
  Put32(out, kImageBytes);
  Put32(out, kDirectoryBytes);
}

// The height counts the colour and mask halves together.
void PutBitmapHeader(std::vector<std::uint8_t>& out) {
  Put32(out, kHeaderBytes);
  Put32(out, kSide);
  Put32(out, 2 * kSide);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);  // uncompressed
  Put32(out, kImageBytes - kHeaderBytes - kPaletteBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, kColours);
  Put32(out, 0);
}

// The palette index of a pixel, or -1 where it is transparent.
int IndexAt(const IconLayout& icon, int x, int y) {
  std::string_view row = icon.rows[std::size_t(y)];
  if (std::size_t(x) >= row.size()) return -1;
  std::size_t index = icon.paletteKeys.find(row[std::size_t(x)]);
  return index < icon.palette.size() ? int(index) : -1;
}

}  // namespace

std::vector<std::uint8_t> IcoFile(const IconLayout& icon) {
  if (icon.palette.size() > kColours)
    throw std::invalid_argument("an icon of 16 colours has a larger palette");
  std::vector<std::uint8_t> out;
  out.reserve(kDirectoryBytes + kImageBytes);
  PutDirectory(out);
  PutBitmapHeader(out);
  for (int i = 0; i < kColours; ++i) {
    Rgb c = i < int(icon.palette.size()) ? icon.palette[std::size_t(i)] : Rgb{};
    out.insert(out.end(), {c.blue, c.green, c.red, 0});
  }
  // Both halves run from the bottom row up.
  for (int y = kSide - 1; y >= 0; --y) {
    for (int x = 0; x < kSide; x += 2) {
      int left = IndexAt(icon, x, y), right = IndexAt(icon, x + 1, y);
      out.push_back(
          std::uint8_t((left < 0 ? 0 : left) << 4 | (right < 0 ? 0 : right)));
    }
  }
  for (int y = kSide - 1; y >= 0; --y) {
    std::uint16_t bits = 0;
    for (int x = 0; x < kSide; ++x)
      if (IndexAt(icon, x, y) < 0) bits |= std::uint16_t(0x8000 >> x);
    out.insert(out.end(), {std::uint8_t(bits >> 8), std::uint8_t(bits), 0, 0});
  }
  return out;
}

}  // namespace tarnlight::win32
