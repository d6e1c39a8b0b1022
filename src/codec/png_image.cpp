#include "codec/png_image.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace lettermoor {

namespace {

void AppendToString(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

struct ReadSource {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

void ReadFromSource(png_structp png, png_bytep data, size_t length) {
  auto* source = static_cast<ReadSource*>(png_get_io_ptr(png));
  if (length > source->bytes.size() - source->at) png_error(png, "the file ends too early");
  std::memcpy(data, source->bytes.data() + source->at, length);
  source->at += length;
}

// libpng reports through these; the reason is kept for the caller, then libpng's own jump ends
// the reading at its setjmp.
void KeepError(png_structp png, png_const_charp message) {
  if (auto* error = static_cast<std::string*>(png_get_error_ptr(png))) *error = message;
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// The libpng calls alone, each side, in functions of their own: libpng ends a failed call with a
// jump back to the setjmp here, so nothing that a jump could leave half-made lives in them.
bool Write(png_structp png, png_infop info, const PalettePicture& picture, std::vector<png_color>& colours,
           std::vector<png_text>& texts, std::vector<png_bytep>& rows, std::string& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &out, AppendToString, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  if (!texts.empty()) png_set_text(png, info, texts.data(), static_cast<int>(texts.size()));
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

bool Read(png_structp png, png_infop info, ReadSource& source, std::vector<png_bytep>& rows, RgbaPicture& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &source, ReadFromSource);
  png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
  png_read_info(png, info);
  // Whatever was stored, 8-bit RGBA: palettes and low-depth grey expanded, transparency to
  // alpha, 16-bit channels cut to their high byte, grey to RGB, and opaque alpha added.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  if (png_get_rowbytes(png, info) != static_cast<size_t>(out.width) * 4) png_error(png, "unexpected row size");
  out.rgba.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 4);
  rows.resize(static_cast<size_t>(out.height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = out.rgba.data() + y * static_cast<size_t>(out.width) * 4;
  png_read_image(png, rows.data());
  png_read_end(png, info);
  png_textp texts = nullptr;
  const int count = png_get_text(png, info, &texts, nullptr);
  for (int i = 0; i < count; ++i) {
    const bool international = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE;
    out.texts.emplace_back(texts[i].key, std::string(texts[i].text, international ? texts[i].itxt_length : texts[i].text_length));
  }
  return true;
}

}  // namespace

std::string EncodePng(const PalettePicture& picture) {
  std::vector<png_color> colours;
  for (uint32_t rgb : picture.palette) {
    colours.push_back({static_cast<png_byte>(rgb >> 16), static_cast<png_byte>(rgb >> 8), static_cast<png_byte>(rgb)});
  }
  std::vector<png_text> texts(picture.texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    texts[i] = png_text{};
    texts[i].compression = PNG_ITXT_COMPRESSION_NONE;
    texts[i].key = const_cast<char*>(picture.texts[i].first.c_str());
    texts[i].text = const_cast<char*>(picture.texts[i].second.c_str());
    texts[i].itxt_length = picture.texts[i].second.size();
  }
  std::vector<png_bytep> rows(static_cast<size_t>(std::max(picture.height, 0)));
  for (size_t y = 0; y < rows.size(); ++y) {
    rows[y] = const_cast<png_bytep>(picture.pixels.data() + y * static_cast<size_t>(picture.width));
  }
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  const bool written = info && Write(png, info, picture, colours, texts, rows, out);
  png_destroy_write_struct(&png, &info);
  return written ? out : std::string();
}

std::optional<RgbaPicture> DecodePng(std::span<const uint8_t> bytes, std::string* error) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    if (error) *error = "it does not begin with the PNG signature";
    return std::nullopt;
  }
  std::string reason;
  ReadSource source{bytes, 0};
  RgbaPicture out;
  std::vector<png_bytep> rows;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reason, KeepError, IgnoreWarning);
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  const bool read = info && Read(png, info, source, rows, out);
  png_destroy_read_struct(&png, &info, nullptr);
  if (read) return out;
  if (error) *error = reason.empty() ? "libpng could not read it" : reason;
  return std::nullopt;
}

}  // namespace lettermoor

