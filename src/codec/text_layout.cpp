#include "codec/text_layout.h"

#include <algorithm>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"
#include "rom/rom_file.h"

namespace lettermoor {

using namespace text_window;

namespace {

// Bytes a string may take: the decoder's size limit, plus the longest code that may start
// just below it.
constexpr int64_t kLayoutReach = kDecodeSizeLimit + 8;

}  // namespace

bool TextLayoutResult::AnyOverflow() const {
  return std::any_of(lines.begin(), lines.end(), [](const LayoutLine& l) { return l.overflow; });
}

bool TextLayoutResult::AnyCut() const {
  return std::any_of(lines.begin(), lines.end(), [](const LayoutLine& l) { return l.cut; });
}

bool TextLayoutResult::OverflowOnlyEstimated() const {
  return std::all_of(lines.begin(), lines.end(), [](const LayoutLine& l) { return !l.overflow || l.estimated; });
}

void TextLayout::Lay(std::span<const uint8_t> bytes, TextWindowKind kind, TextLayoutResult& out) const {
  Walk(bytes, kind, out);
  Place(out);
}

std::span<const uint8_t> TextLayout::Bytes(const RomFile& rom, int64_t offset, std::vector<uint8_t>& nearEnd) {
  if (offset >= 0 && offset <= rom.MirrorSize() - kLayoutReach) {
    return std::span<const uint8_t>(rom.MirrorData() + offset, static_cast<size_t>(kLayoutReach));
  }
  // Near the file's end: what lies past it reads as 0xFF, as the decoder sees it.
  nearEnd.resize(static_cast<size_t>(kLayoutReach));
  rom.Read(offset, nearEnd);
  return nearEnd;
}

void TextLayout::Lay(const RomFile& rom, int64_t offset, TextWindowKind kind, TextLayoutResult& out) const {
  std::vector<uint8_t> nearEnd;
  Lay(Bytes(rom, offset, nearEnd), kind, out);
}

void TextLayout::LayForCheck(const RomFile& rom, int64_t offset, TextWindowKind kind, bool estimates,
                             TextLayoutResult& out) const {
  std::vector<uint8_t> nearEnd;
  LayForCheck(Bytes(rom, offset, nearEnd), kind, estimates, out);
}

void TextLayout::LayForCheck(std::span<const uint8_t> bytes, TextWindowKind kind, bool estimates,
                             TextLayoutResult& out) const {
  // A word no wider than this fits on any line it is wrapped to; lines only ever start at the
  // indent or further left.
  if (estimates || WalkItems<false>(bytes, kind, nullptr) > ShapeOf(kind).lineWidth - kWrapIndent) {
    Lay(bytes, kind, out);
    return;
  }
  out.kind = kind;
  out.items.clear();
  out.lines.clear();
  out.frames.clear();
}

// The walk through the string, item by item. With `kItems` it makes the items; without, it only
// works out the widest word, which is all a check needs to know of most strings.
template <bool kItems>
int32_t TextLayout::WalkItems(std::span<const uint8_t> bytes, TextWindowKind kind, TextLayoutResult* out) const {
  const FontId regular = RegularFontOf(kind);
  FontId font = regular;
  const int64_t size = static_cast<int64_t>(bytes.size());
  auto at = [&](int64_t k) -> uint8_t { return k < size ? bytes[static_cast<size_t>(k)] : 0xFF; };

  [[maybe_unused]] std::vector<LayoutItem>* items = nullptr;
  if constexpr (kItems) {
    out->kind = kind;
    out->items.clear();
    items = &out->items;
  }
  const uint8_t* widths = widths_.widths[static_cast<size_t>(font)].data();
  int32_t word = 0;        // the width of the word so far
  int32_t wordStart = -1;  // the current word's first character, while a word runs
  int32_t widestWord = 0;
  // A character: the word it stands in grows by its width; a blank ends the word.
  auto character = [&](uint8_t value, int64_t source, uint8_t byteCount, bool fromDictionary) {
    const int width = widths[FontIndex(value)] + kCharacterSpacing;
    if constexpr (kItems) {
      LayoutItem& item = items->emplace_back();
      item.kind = LayoutItem::Character;
      item.value = value;
      item.font = font;
      item.source = static_cast<int32_t>(source);
      item.byteCount = byteCount;
      item.fromDictionary = fromDictionary;
      item.width = static_cast<int16_t>(width);
    }
    if (value == kBlankByte) {
      word = 0;
      wordStart = -1;
      widestWord = std::max(widestWord, width);
      return;
    }
    word += width;
    widestWord = std::max(widestWord, word);
    if constexpr (kItems) {
      if (wordStart < 0) wordStart = static_cast<int32_t>(items->size()) - 1;
      (*items)[static_cast<size_t>(wordStart)].wordWidth = word;
    }
  };

  int64_t i = 0;
  while (i < kDecodeSizeLimit && i < size) {
    const uint8_t b = bytes[static_cast<size_t>(i)];
    if (ClassifyByte(b) == ByteClass::Printable) {
      character(b, i, 1, false);
      i += 1;
      continue;
    }
    if (ClassifyByte(b) == ByteClass::DictionaryReference) {
      const std::string& text = dictionary_.Word(b, at(i + 1));
      uint8_t byteCount = 2;
      for (char c : text) {
        character(kGameCharacters.ByteOf(c), i, byteCount, true);
        byteCount = 0;
      }
      i += 2;
      continue;
    }
    word = 0;  // any code ends a word
    wordStart = -1;
    const uint8_t sub = at(i + 1);
    LayoutItem item;
    item.font = font;
    item.source = static_cast<int32_t>(i);
    item.value = b;
    item.subCode = sub;
    int count = 1;
    if (b == kEndCode) {
      item.kind = LayoutItem::End;
    } else if (b == kClearWindowCode && sub == kClearWindowSubCode) {
      item.kind = LayoutItem::ClearWindow;
      count = kClearWindowSize;
    } else {
      const ControlCodeEntry* entry = LookupControlCode(b, sub);
      count = 1 + (entry ? entry->argumentCount : 0);
      const SubstitutionEstimate* estimate = HasSubCode(b) && entry ? FindSubstitution(b, sub) : nullptr;
      if (b == kNewLineCode) {
        item.kind = LayoutItem::NewLine;
      } else if (b == kNewLineUnlessAtStart) {
        item.kind = LayoutItem::NewLineUnlessAtStart;
      } else if (b == kWaitPromptCode || b == kWaitNoPromptCode || b == kWaitBattleCode) {
        item.kind = LayoutItem::Wait;
      } else if (b == kFontSwitchCode && entry && (sub == kRegularFontSubCode || sub == kMrSaturnFontSubCode)) {
        item.kind = LayoutItem::FontSwitch;
        font = sub == kMrSaturnFontSubCode ? FontId::MrSaturn : regular;
        widths = widths_.widths[static_cast<size_t>(font)].data();
        item.font = font;
      } else if (estimate) {
        item.kind = LayoutItem::Substitution;
        item.width = static_cast<int16_t>(estimate->characters *
                                          (widths_.widest[static_cast<size_t>(font)] + kCharacterSpacing));
      } else {
        item.kind = LayoutItem::OtherCode;
      }
    }
    item.byteCount = static_cast<uint8_t>(count);
    if constexpr (kItems) items->push_back(item);
    i += count;
    if (b == kEndCode) break;
  }
  if constexpr (kItems) {
    out->size = static_cast<int32_t>(std::min<int64_t>(i, kDecodeSizeLimit + 8));
    out->widestWord = widestWord;
  }
  return widestWord;
}

void TextLayout::Walk(std::span<const uint8_t> bytes, TextWindowKind kind, TextLayoutResult& out) const {
  WalkItems<true>(bytes, kind, &out);
}

void TextLayout::Place(TextLayoutResult& out) const {
  const WindowShape shape = ShapeOf(out.kind);
  const int lineWidth = shape.lineWidth;
  std::vector<LayoutItem>& items = out.items;
  std::vector<LayoutLine>& lines = out.lines;
  lines.clear();
  out.frames.clear();
  lines.push_back(LayoutLine{});

  int x = 0;
  bool empty = true;  // nothing printed on the current line yet
  const int32_t itemCount = static_cast<int32_t>(items.size());

  // Ends the current line; the next one starts with item `next`.
  auto newLine = [&](int32_t next, bool wrapped, int indent, bool clears) {
    LayoutLine& current = lines.back();
    current.width = static_cast<int16_t>(std::min(x, 0x7FFF));
    current.overflow = x > lineWidth;
    current.itemCount = next - current.firstItem;
    LayoutLine line;
    line.firstItem = next;
    line.windowStart = clears ? static_cast<int32_t>(lines.size()) : current.windowStart;
    line.indent = static_cast<int16_t>(indent);
    line.wrapped = wrapped;
    lines.push_back(line);
    x = indent;
    empty = true;
  };
  auto frame = [&](int32_t endItem, uint8_t code) {
    const int32_t last = static_cast<int32_t>(lines.size()) - 1;
    const int32_t first = std::max(lines.back().windowStart, last - shape.lines + 1);
    out.frames.push_back(LayoutFrame{first, last, endItem, code});
  };

  int32_t lastPrinting = -1;
  for (int32_t k = 0; k < itemCount; ++k) {
    LayoutItem& item = items[static_cast<size_t>(k)];
    switch (item.kind) {
      case LayoutItem::Character: {
        const bool blank = item.value == kBlankByte;
        if (blank) {
          if (empty && lines.back().wrapped) {
            item.dropped = true;
          } else if (x + item.width > lineWidth && !empty) {
            newLine(k, true, kWrapIndent, false);
            item.dropped = true;
          }
        } else {
          if (item.wordWidth > 0 && x + item.wordWidth > lineWidth && !empty) {
            newLine(k, true, kWrapIndent, false);
          }
          if (x + item.width > lineWidth && !empty) {
            lines.back().cut = true;  // a word wider than a whole line
            newLine(k, true, kWrapIndent, false);
          }
          if (empty && lines.back().wrapped && item.value == kBulletByte) {
            x = 0;
            lines.back().indent = 0;
          }
          if (item.wordWidth > 0 && x + item.wordWidth <= lineWidth) {
            // The whole word fits where it stands: its characters go one after another.
            const int32_t line = static_cast<int32_t>(lines.size()) - 1;
            int32_t j = k;
            for (; j < itemCount; ++j) {
              LayoutItem& c = items[static_cast<size_t>(j)];
              if (c.kind != LayoutItem::Character || c.value == kBlankByte) break;
              c.x = static_cast<int16_t>(x);
              c.line = line;
              x += c.width;
            }
            empty = false;
            lastPrinting = j - 1;
            k = j - 1;
            continue;
          }
        }
        item.x = static_cast<int16_t>(std::min(x, 0x7FFF));
        item.line = static_cast<int32_t>(lines.size()) - 1;
        if (!item.dropped) {
          x += item.width;
          empty = false;
          lastPrinting = k;
        }
        continue;
      }
      case LayoutItem::Substitution:
        if (x + item.width > lineWidth && !empty) newLine(k, true, kWrapIndent, false);
        item.x = static_cast<int16_t>(std::min(x, 0x7FFF));
        item.line = static_cast<int32_t>(lines.size()) - 1;
        x += item.width;
        empty = false;
        lines.back().estimated = true;
        lastPrinting = k;
        continue;
      default:
        break;
    }
    item.x = static_cast<int16_t>(std::min(x, 0x7FFF));
    item.line = static_cast<int32_t>(lines.size()) - 1;
    switch (item.kind) {
      case LayoutItem::NewLine:
        newLine(k + 1, false, 0, false);
        break;
      case LayoutItem::NewLineUnlessAtStart:
        if (!empty) newLine(k + 1, false, 0, false);
        break;
      case LayoutItem::Wait:
        frame(k + 1, item.value);
        break;
      case LayoutItem::ClearWindow:
        if (empty && x == lines.back().indent) {
          // Nothing on this line yet: the cleared window starts with it.
          lines.back().windowStart = static_cast<int32_t>(lines.size()) - 1;
          lines.back().indent = 0;
          lines.back().wrapped = false;
          x = 0;
        } else {
          newLine(k + 1, false, 0, true);
        }
        break;
      default:
        break;
    }
  }
  LayoutLine& last = lines.back();
  last.width = static_cast<int16_t>(std::min(x, 0x7FFF));
  last.overflow = x > lineWidth;
  last.itemCount = itemCount - last.firstItem;
  if (out.frames.empty() || lastPrinting >= out.frames.back().endItem) frame(itemCount, 0);
}

}  // namespace lettermoor
