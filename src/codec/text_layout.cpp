#include "codec/text_layout.h"

#include <algorithm>
#include <functional>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/decode_items.h"
#include "codec/text_dictionary.h"
#include "rom/rom_file.h"

namespace lettermoor {

using namespace text_window;

namespace {

// The items of a string as the game prints them, from the decoder's walk. With `kItems` it makes
// the items; without, it only works out the widest word, which is all a check needs to know of
// most strings. The walk stops once it reaches `end` bytes.
template <bool kItems>
class LayoutSink {
 public:
  // The pair 18 06 clears the window in one item (see text_window_format.h).
  static constexpr std::array<uint8_t, 2> kTwoByteItem = {kClearWindowCode, kClearWindowSubCode};
  static constexpr bool kStopsWhenFull = true;

  using WordWidths = TextLayout::WordWidths;
  using WordCache = std::array<std::vector<WordWidths>, kFontCount>;

  LayoutSink(const LayoutWidths& widths, TextWindowKind kind, int64_t end, std::vector<LayoutItem>* items)
      : widths_(widths), regular_(RegularFontOf(kind)), end_(end), items_(items) {
    SetFont(regular_);
  }
  // The quick look's dictionary words: each word's widths worked out once per font into `cache`.
  LayoutSink(const LayoutWidths& widths, TextWindowKind kind, int64_t end, const TextDictionary& dictionary,
             WordCache& cache)
      : LayoutSink(widths, kind, end, nullptr) {
    dictionary_ = &dictionary;
    wordCache_ = &cache;
  }

  void Characters(const uint8_t* bytes, size_t n) {
    if constexpr (kItems) {
      for (size_t k = 0; k < n; ++k) Character(bytes[k], 1, false);
    } else {
      // Only the widest word is wanted (the check's quick look): kept in registers, no branch.
      int32_t word = word_, widest = widestWord_;
      for (size_t k = 0; k < n; ++k) {
        const bool blank = bytes[k] == kBlankByte;
        const int32_t width = fontWidths_[FontIndex(bytes[k])] + kCharacterSpacing;
        word = blank ? 0 : word + width;
        widest = std::max(widest, blank ? width : word);
      }
      word_ = word;
      widestWord_ = widest;
      at_ += static_cast<int64_t>(n);
    }
  }
  void Word(const std::string& text) {
    if constexpr (kItems) {
      uint8_t byteCount = 2;  // the word's first character stands for its two bytes
      for (char c : text) {
        Character(kGameCharacters.ByteOf(c), byteCount, true);
        byteCount = 0;
      }
    } else {
      const WordWidths w = WidthsOf(text);
      widestWord_ = std::max(widestWord_, word_ + w.head);
      if (w.blank) {
        widestWord_ = std::max(widestWord_, w.inner);
        word_ = w.tail;
      } else {
        word_ += w.head;
      }
    }
    at_ += 2;
  }
  void Code(const CodeItem& code);
  bool Full() const { return at_ >= end_; }

  int32_t WidestWord() const { return widestWord_; }

 private:
  // `text` is one of the dictionary's words: its slot is where it stands among them.
  WordWidths WidthsOf(const std::string& text) {
    const auto& words = dictionary_->words;
    const std::less_equal<const std::string*> atMost;
    if (!atMost(words.data(), &text) || !atMost(&text, &words.back())) return Measured(text);
    std::vector<WordWidths>& cache = (*wordCache_)[static_cast<size_t>(font_)];
    if (cache.empty()) cache.resize(words.size());
    WordWidths& w = cache[static_cast<size_t>(&text - words.data())];
    if (!w.known) w = Measured(text);
    return w;
  }
  WordWidths Measured(const std::string& text) const {
    WordWidths w;
    w.known = true;
    for (const char c : text) {
      const uint8_t value = kGameCharacters.ByteOf(c);
      const int32_t width = fontWidths_[FontIndex(value)] + kCharacterSpacing;
      if (value == kBlankByte) {
        w.blank = true;
        w.tail = 0;
        w.inner = std::max(w.inner, width);
      } else if (w.blank) {
        w.tail += width;
        w.inner = std::max(w.inner, w.tail);
      } else {
        w.head += width;
      }
    }
    return w;
  }

  void SetFont(FontId font) {
    font_ = font;
    fontWidths_ = widths_.widths[static_cast<size_t>(font)].data();
  }
  // A character: the word it stands in grows by its width; a blank ends the word.
  void Character(uint8_t value, uint8_t byteCount, bool fromDictionary);

  const LayoutWidths& widths_;
  const FontId regular_;
  const int64_t end_;
  std::vector<LayoutItem>* items_;
  const TextDictionary* dictionary_ = nullptr;  // with wordCache_, the quick look's only
  WordCache* wordCache_ = nullptr;
  FontId font_ = FontId::Main;
  const uint8_t* fontWidths_ = nullptr;
  int64_t at_ = 0;         // where the next item starts in the string
  int32_t word_ = 0;       // the width of the word so far
  int32_t wordStart_ = -1;  // the current word's first character, while a word runs
  int32_t widestWord_ = 0;
};

template <bool kItems>
void LayoutSink<kItems>::Character(uint8_t value, uint8_t byteCount, bool fromDictionary) {
  const int width = fontWidths_[FontIndex(value)] + kCharacterSpacing;
  if constexpr (kItems) {
    LayoutItem& item = items_->emplace_back();
    item.kind = LayoutItem::Character;
    item.value = value;
    item.font = font_;
    item.source = static_cast<int32_t>(at_);
    item.byteCount = byteCount;
    item.fromDictionary = fromDictionary;
    item.width = static_cast<int16_t>(width);
  }
  if (!fromDictionary) ++at_;
  if (value == kBlankByte) {
    word_ = 0;
    wordStart_ = -1;
    widestWord_ = std::max(widestWord_, width);
    return;
  }
  word_ += width;
  widestWord_ = std::max(widestWord_, word_);
  if constexpr (kItems) {
    if (wordStart_ < 0) wordStart_ = static_cast<int32_t>(items_->size()) - 1;
    (*items_)[static_cast<size_t>(wordStart_)].wordWidth = word_;
  }
}

template <bool kItems>
void LayoutSink<kItems>::Code(const CodeItem& code) {
  word_ = 0;  // any code ends a word
  wordStart_ = -1;
  const uint8_t b = code.Code();
  const uint8_t sub = HasSubCode(b) ? code.bytes[1] : uint8_t{0};
  LayoutItem item;
  item.font = font_;
  item.source = static_cast<int32_t>(at_);
  item.value = b;
  item.subCode = sub;
  item.byteCount = static_cast<uint8_t>(code.length);
  at_ += code.length;
  const SubstitutionEstimate* estimate = HasSubCode(b) && code.described ? FindSubstitution(b, sub) : nullptr;
  if (b == kEndCode) {
    item.kind = LayoutItem::End;
  } else if (b == kClearWindowCode && sub == kClearWindowSubCode) {
    item.kind = LayoutItem::ClearWindow;
  } else if (b == kNewLineCode) {
    item.kind = LayoutItem::NewLine;
  } else if (b == kNewLineUnlessAtStart) {
    item.kind = LayoutItem::NewLineUnlessAtStart;
  } else if (b == kWaitPromptCode || b == kWaitNoPromptCode || b == kWaitBattleCode) {
    item.kind = LayoutItem::Wait;
  } else if (b == kFontSwitchCode && code.described && (sub == kRegularFontSubCode || sub == kMrSaturnFontSubCode)) {
    item.kind = LayoutItem::FontSwitch;
    SetFont(sub == kMrSaturnFontSubCode ? FontId::MrSaturn : regular_);
    item.font = font_;
  } else if (estimate) {
    item.kind = LayoutItem::Substitution;
    item.width = static_cast<int16_t>(estimate->characters *
                                      (widths_.widest[static_cast<size_t>(font_)] + kCharacterSpacing));
  } else {
    item.kind = LayoutItem::OtherCode;
  }
  if constexpr (kItems) items_->push_back(item);
}

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
  WalkItems<true>(ByteSpan{bytes}, 0, static_cast<int64_t>(bytes.size()), kind, out);
  Place(out);
}

void TextLayout::Lay(const RomFile& rom, int64_t offset, TextWindowKind kind, TextLayoutResult& out) const {
  WalkItems<true>(rom, offset, kDecodeSizeLimit, kind, out);
  Place(out);
}

void TextLayout::LayForCheck(const RomFile& rom, int64_t offset, TextWindowKind kind, bool estimates,
                             TextLayoutResult& out) const {
  if (estimates || WideWord(rom, offset, kDecodeSizeLimit, kind, out)) {
    Lay(rom, offset, kind, out);
  } else {
    Clear(kind, out);
  }
}

void TextLayout::LayForCheck(std::span<const uint8_t> bytes, TextWindowKind kind, bool estimates,
                             TextLayoutResult& out) const {
  if (estimates || WideWord(ByteSpan{bytes}, 0, static_cast<int64_t>(bytes.size()), kind, out)) {
    Lay(bytes, kind, out);
  } else {
    Clear(kind, out);
  }
}

template <typename Bytes>
bool TextLayout::WideWord(const Bytes& bytes, int64_t offset, int64_t end, TextWindowKind kind,
                          TextLayoutResult& out) const {
  // A word no wider than this fits on any line it is wrapped to; lines only ever start at the
  // indent or further left.
  return WalkItems<false>(bytes, offset, end, kind, out) > ShapeOf(kind).lineWidth - kWrapIndent;
}

void TextLayout::Clear(TextWindowKind kind, TextLayoutResult& out) {
  out.kind = kind;
  out.items.clear();
  out.lines.clear();
  out.frames.clear();
}

// The walk through the string at `offset` of `bytes`, up to `end` bytes in: the items into
// `out` with `kItems`, else only the widest word.
template <bool kItems, typename Bytes>
int32_t TextLayout::WalkItems(const Bytes& bytes, int64_t offset, int64_t end, TextWindowKind kind,
                              TextLayoutResult& out) const {
  LayoutSink<kItems> sink = [&] {
    if constexpr (kItems) {
      return LayoutSink<kItems>(widths_, kind, end, &out.items);
    } else {
      return LayoutSink<kItems>(widths_, kind, end, dictionary_, wordWidths_);
    }
  }();
  if constexpr (kItems) {
    out.kind = kind;
    out.items.clear();
  }
  bool lastDescribed = false;
  out.size = end > 0 ? ReadItems(bytes, offset, dictionary_, sink, lastDescribed) : 0;
  out.widestWord = sink.WidestWord();
  return out.widestWord;
}

namespace {

// Puts laid-out items on lines and into frames as the game prints them, keeping the pen's place.
class Placer {
 public:
  explicit Placer(TextLayoutResult& out)
      : out_(out), items_(out.items), lines_(out.lines), shape_(ShapeOf(out.kind)), lineWidth_(shape_.lineWidth) {}

  void Run();

 private:
  // Ends the current line; the next one starts with item `next`.
  void NewLine(int32_t next, bool wrapped, int indent, bool clears);
  void Frame(int32_t endItem, uint8_t code);
  // Adds a passing frame for every line that does not fit and that no stop shows whole.
  void ShowLinesThatDoNotFit();
  void Mark(LayoutItem& item) const {
    item.x = static_cast<int16_t>(std::min(x_, 0x7FFF));
    item.line = static_cast<int32_t>(lines_.size()) - 1;
  }
  // Places the character item `k`, or the whole word it starts when that fits where it stands;
  // gives the last item placed.
  int32_t PlaceCharacter(int32_t k);
  // A blank: dropped at the start of a wrapped line, or where it would run over.
  void PlaceBlank(LayoutItem& item, int32_t k);
  void PlaceSubstitution(LayoutItem& item, int32_t k);
  void PlaceCode(LayoutItem& item, int32_t k);

  TextLayoutResult& out_;
  std::vector<LayoutItem>& items_;
  std::vector<LayoutLine>& lines_;
  const WindowShape shape_;
  const int lineWidth_;
  int32_t itemCount_ = 0;
  int x_ = 0;
  bool empty_ = true;  // nothing printed on the current line yet
  int32_t lastPrinting_ = -1;
};

void Placer::NewLine(int32_t next, bool wrapped, int indent, bool clears) {
  LayoutLine& current = lines_.back();
  current.width = static_cast<int16_t>(std::min(x_, 0x7FFF));
  current.overflow = x_ > lineWidth_;
  current.itemCount = next - current.firstItem;
  LayoutLine line;
  line.firstItem = next;
  line.windowStart = clears ? static_cast<int32_t>(lines_.size()) : current.windowStart;
  line.indent = static_cast<int16_t>(indent);
  line.wrapped = wrapped;
  lines_.push_back(line);
  x_ = indent;
  empty_ = true;
}

void Placer::Frame(int32_t endItem, uint8_t code) {
  const int32_t last = static_cast<int32_t>(lines_.size()) - 1;
  const int32_t first = std::max(lines_.back().windowStart, last - shape_.lines + 1);
  out_.frames.push_back(LayoutFrame{first, last, endItem, code});
}

void Placer::PlaceBlank(LayoutItem& item, int32_t k) {
  if (empty_ && lines_.back().wrapped) {
    item.dropped = true;
  } else if (x_ + item.width > lineWidth_ && !empty_) {
    NewLine(k, true, kWrapIndent, false);
    item.dropped = true;
  }
}

int32_t Placer::PlaceCharacter(int32_t k) {
  LayoutItem& item = items_[static_cast<size_t>(k)];
  if (item.value == kBlankByte) {
    PlaceBlank(item, k);
  } else {
    if (item.wordWidth > 0 && x_ + item.wordWidth > lineWidth_ && !empty_) NewLine(k, true, kWrapIndent, false);
    if (x_ + item.width > lineWidth_ && !empty_) {
      lines_.back().cut = true;  // a word wider than a whole line
      NewLine(k, true, kWrapIndent, false);
    }
    if (empty_ && lines_.back().wrapped && item.value == kBulletByte) {
      x_ = 0;
      lines_.back().indent = 0;
    }
    if (item.wordWidth > 0 && x_ + item.wordWidth <= lineWidth_) {
      // The whole word fits where it stands: its characters go one after another.
      const int32_t line = static_cast<int32_t>(lines_.size()) - 1;
      int32_t j = k;
      for (; j < itemCount_; ++j) {
        LayoutItem& c = items_[static_cast<size_t>(j)];
        if (c.kind != LayoutItem::Character || c.value == kBlankByte) break;
        c.x = static_cast<int16_t>(x_);
        c.line = line;
        x_ += c.width;
      }
      empty_ = false;
      lastPrinting_ = j - 1;
      return j - 1;
    }
  }
  Mark(item);
  if (!item.dropped) {
    x_ += item.width;
    empty_ = false;
    lastPrinting_ = k;
  }
  return k;
}

void Placer::PlaceSubstitution(LayoutItem& item, int32_t k) {
  if (x_ + item.width > lineWidth_ && !empty_) NewLine(k, true, kWrapIndent, false);
  Mark(item);
  x_ += item.width;
  empty_ = false;
  lines_.back().estimated = true;
  lastPrinting_ = k;
}

void Placer::PlaceCode(LayoutItem& item, int32_t k) {
  Mark(item);
  switch (item.kind) {
    case LayoutItem::NewLine:
      NewLine(k + 1, false, 0, false);
      break;
    case LayoutItem::NewLineUnlessAtStart:
      if (!empty_) NewLine(k + 1, false, 0, false);
      break;
    case LayoutItem::Wait:
      Frame(k + 1, item.value);
      break;
    case LayoutItem::ClearWindow:
      if (empty_ && x_ == lines_.back().indent) {
        // Nothing on this line yet: the cleared window starts with it.
        lines_.back().windowStart = static_cast<int32_t>(lines_.size()) - 1;
        lines_.back().indent = 0;
        lines_.back().wrapped = false;
        x_ = 0;
      } else {
        NewLine(k + 1, false, 0, true);
      }
      break;
    default:
      break;
  }
}

void Placer::Run() {
  lines_.clear();
  out_.frames.clear();
  lines_.push_back(LayoutLine{});
  itemCount_ = static_cast<int32_t>(items_.size());
  for (int32_t k = 0; k < itemCount_; ++k) {
    LayoutItem& item = items_[static_cast<size_t>(k)];
    if (item.kind == LayoutItem::Character) {
      k = PlaceCharacter(k);
    } else if (item.kind == LayoutItem::Substitution) {
      PlaceSubstitution(item, k);
    } else {
      PlaceCode(item, k);
    }
  }
  LayoutLine& last = lines_.back();
  last.width = static_cast<int16_t>(std::min(x_, 0x7FFF));
  last.overflow = x_ > lineWidth_;
  last.itemCount = itemCount_ - last.firstItem;
  if (out_.frames.empty() || lastPrinting_ >= out_.frames.back().endItem) Frame(itemCount_, 0);
  ShowLinesThatDoNotFit();
}

void Placer::ShowLinesThatDoNotFit() {
  const auto fault = [](const LayoutLine& line) { return line.overflow || line.cut; };
  if (std::none_of(lines_.begin(), lines_.end(), fault)) return;  // the keystroke's usual case: nothing to add
  std::vector<LayoutFrame> frames;
  frames.reserve(out_.frames.size() + 1);
  size_t f = 0;
  for (int32_t n = 0; n < static_cast<int32_t>(lines_.size()); ++n) {
    const LayoutLine& line = lines_[static_cast<size_t>(n)];
    const int32_t lineEnd = line.firstItem + line.itemCount;
    // The first stop at which line n is printed whole; stops only scroll on, so if that one does
    // not show it, none does.
    for (; f < out_.frames.size(); ++f) {
      const LayoutFrame& at = out_.frames[f];
      if (at.lastLine > n || (at.lastLine == n && at.endItem >= lineEnd)) break;
      frames.push_back(at);
    }
    if (!fault(line) || (f < out_.frames.size() && out_.frames[f].firstLine <= n)) continue;
    LayoutFrame passing{std::max(line.windowStart, n - shape_.lines + 1), n, lineEnd, 0};
    passing.passing = true;
    frames.push_back(passing);
  }
  frames.insert(frames.end(), out_.frames.begin() + static_cast<ptrdiff_t>(f), out_.frames.end());
  out_.frames.swap(frames);
}

}  // namespace

void TextLayout::Place(TextLayoutResult& out) const { Placer(out).Run(); }

}  // namespace lettermoor
