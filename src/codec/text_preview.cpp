#include "codec/text_preview.h"

#include "codec/text_encoder.h"

namespace lettermoor {

void TextPreviewer::ReadFonts(const RomFile& rom) {
  fonts_ = ReadRomFonts(rom);
  widths_ = LayoutWidthsOf(fonts_);
}

PreviewRefusal TextPreviewer::RefusalFor(TextWindowKind kind) const {
  return fonts_.Of(RegularFontOf(kind)).readable ? PreviewRefusal::None : PreviewRefusal::FontUnreadable;
}

PreviewRefusal TextPreviewer::LayText(const TextDictionary& dictionary, std::string_view text, TextWindowKind kind,
                                      TextPreview& out) const {
  if (const PreviewRefusal r = RefusalFor(kind); r != PreviewRefusal::None) return Refuse(r, out);
  return LayBytes(dictionary, TextEncoder(text), kind, out);
}

PreviewRefusal TextPreviewer::LayBytes(const TextDictionary& dictionary, std::span<const uint8_t> bytes,
                                       TextWindowKind kind, TextPreview& out) const {
  if (const PreviewRefusal r = RefusalFor(kind); r != PreviewRefusal::None) return Refuse(r, out);
  TextLayout(dictionary, widths_).Lay(bytes, kind, out.layout);
  Count(out);
  return PreviewRefusal::None;
}

PreviewRefusal TextPreviewer::LayAt(const TextDictionary& dictionary, const RomFile& rom, int64_t offset,
                                    TextWindowKind kind, TextPreview& out) const {
  if (const PreviewRefusal r = RefusalFor(kind); r != PreviewRefusal::None) return Refuse(r, out);
  TextLayout(dictionary, widths_).Lay(rom, offset, kind, out.layout);
  Count(out);
  return PreviewRefusal::None;
}

PreviewRefusal TextPreviewer::Refuse(PreviewRefusal refusal, TextPreview& out) {
  out = TextPreview{};
  return refusal;
}

void TextPreviewer::Count(TextPreview& out) {
  out.notFitting = 0;
  for (const LayoutLine& line : out.layout.lines) out.notFitting += line.overflow || line.cut;
}

}  // namespace lettermoor
