#include "codec/text_spans.h"

#include <algorithm>

#include "codec/bracket_check.h"
#include "codec/decode_items.h"
#include "codec/text_encoder.h"

namespace lettermoor {

namespace {

// Characters from a byte index on, counted forward only: groups and runs are nearly always plain
// ASCII, a character per byte.
class CharacterCount {
 public:
  explicit CharacterCount(std::string_view text) : text_(text) {}

  int32_t At(size_t to) {
    while (at_ < to) {
      if (static_cast<uint8_t>(text_[at_]) < 0x80) {
        ++at_;
      } else {
        char32_t c = 0;
        const size_t n = Utf8Sequence(text_, at_, c);
        at_ += n == 0 ? 1 : n;
      }
      ++count_;
    }
    return count_;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
  int32_t count_ = 0;
};

// Where the encoder's refusal of unbalanced brackets points: the byte of a "]" with no group
// open, or of the "[" of a group that the next "[" or the end finds open. npos when the counts
// of "[" and "]" agree (the encoder takes the text).
size_t BracketFaultAt(std::string_view text, bool& stray) {
  if (std::count(text.begin(), text.end(), '[') == std::count(text.begin(), text.end(), ']')) {
    return std::string_view::npos;
  }
  size_t group = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      if (group != std::string_view::npos) break;
      group = i;
    } else if (text[i] == ']') {
      if (group == std::string_view::npos) {
        stray = true;
        return i;
      }
      group = std::string_view::npos;
    }
  }
  stray = false;
  return group;
}

// The group's items, each a code with its arguments (or a character or word byte) as the decoder
// would read the bytes.
void AddGroupItems(const std::vector<BracketToken>& tokens, CharacterCount& count, std::vector<TextSpan>& out) {
  for (size_t k = 0; k < tokens.size();) {
    const uint8_t b = tokens[k].Byte();
    const uint8_t next = k + 1 < tokens.size() ? tokens[k + 1].Byte() : uint8_t{0};
    const size_t length = static_cast<size_t>(ItemLength(b, next));
    const size_t last = std::min(k + length, tokens.size()) - 1;
    TextSpan span;
    span.kind = TextSpanKind::Code;
    span.start = count.At(tokens[k].start);
    span.length = count.At(tokens[last].start + tokens[last].length) - span.start;
    span.byteCount = static_cast<uint8_t>(last + 1 - k);
    for (size_t j = k; j <= last; ++j) span.bytes[j - k] = tokens[j].Byte();
    if (kCodeRoles.of[b].kind == ByteRole::Code || kCodeRoles.of[b].kind == ByteRole::SubCodedCode) {
      if (const ControlCodeEntry* entry = LookupControlCode(b, next)) span.group = entry->group;
    }
    out.push_back(span);
    k += length;
  }
}

}  // namespace

void FindTextSpans(std::string_view text, std::vector<TextSpan>& out, const CharacterTable* characters) {
  out.clear();
  CharacterCount count(text);
  std::vector<BracketToken> tokens;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '[') {
      out.push_back(TextSpan{.start = count.At(i), .length = 1, .kind = TextSpanKind::Bracket});
      tokens.clear();
      const size_t end = WalkBracketGroup(text, i, [&](const BracketToken& t) { tokens.push_back(t); });
      AddGroupItems(tokens, count, out);
      if (end > i + 1 && text[end - 1] == ']') {
        out.push_back(TextSpan{.start = count.At(end - 1), .length = 1, .kind = TextSpanKind::Bracket});
      }
      i = end;
      continue;
    }
    // Every game character is plain ASCII; the run stops at a "[" or at one that is not.
    if (!characters) {
      i += GameCharacters(text, i, '[');
      if (i >= text.size() || text[i] == '[') continue;
    }
    char32_t c = 0;
    const size_t n = Utf8Sequence(text, i, c);
    if (characters && n != 0 && characters->CharacterFor(c)) {
      i += n;
      continue;
    }
    TextSpan span{.start = count.At(i), .length = 1, .kind = TextSpanKind::NonGameCharacter};
    span.malformed = n == 0;
    span.character = n == 0 ? static_cast<uint8_t>(text[i]) : c;
    span.byteCount = static_cast<uint8_t>(n == 0 ? 1 : n);
    std::copy_n(text.data() + i, span.byteCount, span.bytes.data());
    out.push_back(span);
    i += span.byteCount;
  }

  bool stray = false;
  const size_t fault = BracketFaultAt(text, stray);
  if (fault == std::string_view::npos) return;
  size_t lineEnd = text.find_first_of("\r\n", fault);
  if (lineEnd == std::string_view::npos) lineEnd = text.size();
  CharacterCount faultCount(text);
  TextSpan span{.start = faultCount.At(fault),
                .kind = stray ? TextSpanKind::StrayClose : TextSpanKind::UnclosedGroup};
  span.length = faultCount.At(lineEnd) - span.start;
  out.push_back(span);
}

const TextSpan* RefusedFault(const std::vector<TextSpan>& spans) {
  // The bracket fault, when there is one, is the last span.
  if (!spans.empty() && spans.back().IsFault() && spans.back().kind != TextSpanKind::NonGameCharacter) {
    return &spans.back();
  }
  for (const TextSpan& s : spans) {
    if (s.kind == TextSpanKind::NonGameCharacter) return &s;
  }
  return nullptr;
}

}  // namespace lettermoor
