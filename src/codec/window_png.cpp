#include "codec/window_png.h"

#include <algorithm>

namespace lettermoor {

namespace {

uint32_t Crc32(const std::string& bytes, size_t from) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) c = table[(c ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void Put32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.append(type, 4);
  out += data;
  Put32(out, Crc32(out, typeAt));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
  std::string z = {'\x78', '\x01'};
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(raw.size() - at, 0xFFFF);
    const bool last = at + n == raw.size();
    z.push_back(last ? '\x01' : '\x00');
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  Put32(z, (b << 16) | a);
  return z;
}

}  // namespace

std::string WindowPng(const TextWindowPicture& picture, int scale) {
  scale = std::max(scale, 1);
  const uint32_t width = static_cast<uint32_t>(picture.width * scale);
  const uint32_t height = static_cast<uint32_t>(picture.height * scale);
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  Put32(header, width);
  Put32(header, height);
  header += std::string{'\x08', '\x03', '\x00', '\x00', '\x00'};  // 8-bit, palette, no interlace
  Chunk(png, "IHDR", header);
  std::string palette;
  for (uint32_t rgb : kWindowColours) {
    for (int shift = 16; shift >= 0; shift -= 8) palette.push_back(static_cast<char>((rgb >> shift) & 0xFF));
  }
  Chunk(png, "PLTE", palette);
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (width + 1));
  std::string row;
  for (int y = 0; y < picture.height; ++y) {
    row.assign(1, '\0');  // filter: none
    for (int x = 0; x < picture.width; ++x) row.append(static_cast<size_t>(scale), static_cast<char>(picture.At(x, y)));
    for (int r = 0; r < scale; ++r) raw += row;
  }
  Chunk(png, "IDAT", StoredZlib(raw));
  Chunk(png, "IEND", "");
  return png;
}

}  // namespace lettermoor
