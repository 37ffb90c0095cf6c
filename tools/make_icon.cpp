// Writes the launcher's icon: one 32x32 image at 24 bits per pixel, a white
// arrow into a tray on a blue field. Run as `make_icon OUTPUT`; the output is
// the same bytes on every run, so res/launcher.ico can be checked against it.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 32;

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// True where the picture is white; x to the right, y downwards.
bool IsWhite(int x, int y) {
  bool shaft = x >= 13 && x <= 18 && y >= 4 && y <= 14;
  int half_width = 22 - y;  // the head narrows from 9 to 0 over rows 13..22
  bool head =
      y >= 13 && y <= 22 && x >= 15 - half_width && x <= 16 + half_width;
  bool tray_floor = y >= 25 && y <= 27 && x >= 5 && x <= 26;
  bool tray_sides =
      y >= 20 && y <= 27 && (x == 5 || x == 6 || x == 25 || x == 26);
  return shaft || head || tray_floor || tray_sides;
}

std::vector<std::uint8_t> Icon() {
  const std::uint32_t pixel_bytes = kSize * kSize * 3;
  const std::uint32_t mask_bytes = kSize * 4;  // 1 bit a pixel, rows of 4 bytes
  const std::uint32_t image_bytes = 40 + pixel_bytes + mask_bytes;
  std::vector<std::uint8_t> out;
  // Icon directory with one entry.
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(kSize);
  out.push_back(kSize);
  out.push_back(0);  // no palette
  out.push_back(0);
  Put16(out, 1);   // planes
  Put16(out, 24);  // bits per pixel
  Put32(out, image_bytes);
  Put32(out, 6 + 16);
  // Bitmap header; the height counts the colour and mask rows together.
  Put32(out, 40);
  Put32(out, kSize);
  Put32(out, kSize * 2);
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, pixel_bytes + mask_bytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  // Rows bottom up, blue-green-red.
  for (int y = kSize - 1; y >= 0; --y) {
    for (int x = 0; x < kSize; ++x) {
      if (IsWhite(x, y)) {
        out.insert(out.end(), {0xFF, 0xFF, 0xFF});
      } else {
        out.push_back(static_cast<std::uint8_t>(0xB0 + y));
        out.push_back(static_cast<std::uint8_t>(0x50 + y * 2));
        out.push_back(0x10);
      }
    }
  }
  out.insert(out.end(), mask_bytes, 0);  // fully opaque
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT\n");
    return 2;
  }
  std::vector<std::uint8_t> icon = Icon();
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return 1;
  bool written = std::fwrite(icon.data(), 1, icon.size(), file) == icon.size();
  return std::fclose(file) == 0 && written ? 0 : 1;
}
