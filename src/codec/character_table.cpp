#include "codec/character_table.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cerrno>
#include <fstream>
#include <sstream>

#include "codec/bracket_check.h"
#include "codec/hex_text.h"

namespace lettermoor {

namespace {

constexpr uint8_t kFirstByte = 0x50;
constexpr uint8_t kLastByte = 0xAA;
const uint8_t kOpenBracketByte = kGameCharacters.ByteOf('[');
const uint8_t kCloseBracketByte = kGameCharacters.ByteOf(']');

std::string FixedText(uint8_t byte) { return std::string(1, kGameCharacters.CharacterOf(byte)); }

// The one code point of `text`, or nothing when it has none, several, is not UTF-8 or is a control.
std::optional<char32_t> SingleCodePoint(std::string_view text) {
  if (text.empty()) return std::nullopt;
  char32_t c = 0;
  const size_t n = Utf8Sequence(text, 0, c);
  if (n == 0 || n != text.size()) return std::nullopt;
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return std::nullopt;
  return c;
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const size_t n = Utf8Sequence(text, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace

std::optional<CharacterTable> CharacterTable::Parse(std::string_view content, std::string name, TableLoad& fault) {
  fault = {};
  CharacterTable table;
  table.name_ = std::move(name);
  for (unsigned b = 0; b < 256; ++b) table.text_[b] = FixedText(static_cast<uint8_t>(b));
  std::array<int, 256> lineOf{};  // the line that named each byte last; 0 for none
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  const auto refuse = [&](TableFault why, int line, uint8_t byte, std::string_view text) {
    fault.fault = why;
    fault.line = line;
    fault.byte = byte;
    fault.text = std::string(text);
    return std::nullopt;
  };
  int lineNumber = 0;
  while (!content.empty()) {
    ++lineNumber;
    const size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (line.size() < 3 || !IsHexDigit(line[0]) || !IsHexDigit(line[1]) || line[2] != '=' ||
        !IsUtf8(line.substr(3))) {
      return refuse(TableFault::Malformed, lineNumber, 0, line);
    }
    const auto byte = static_cast<uint8_t>(HexValue(line[0]) * 16 + HexValue(line[1]));
    const std::string_view text = line.substr(3);
    if (byte < kFirstByte || byte > kLastByte) return refuse(TableFault::ByteOutOfRange, lineNumber, byte, text);
    if (byte == kOpenBracketByte || byte == kCloseBracketByte) {
      return refuse(TableFault::BracketByte, lineNumber, byte, text);
    }
    if (text == "[" || text == "]") return refuse(TableFault::BracketText, lineNumber, byte, text);
    if (!SingleCodePoint(text)) return refuse(TableFault::NotOneCodePoint, lineNumber, byte, text);
    table.text_[byte] = std::string(text);
    lineOf[byte] = lineNumber;
  }
  // Each text stands for one byte, counting the game's characters of the bytes left alone.
  for (unsigned b = kFirstByte; b <= kLastByte; ++b) {
    for (unsigned other = kFirstByte; other < b; ++other) {
      if (table.text_[b] != table.text_[other]) continue;
      // The line at fault is the later of the two (or the one line when the other is the game's).
      const bool laterIsB = lineOf[b] >= lineOf[other];
      const unsigned at = laterIsB ? b : other;
      fault.otherByte = static_cast<uint8_t>(laterIsB ? other : b);
      return refuse(TableFault::DuplicateText, lineOf[at], static_cast<uint8_t>(at), table.text_[at]);
    }
  }
  for (unsigned b = kFirstByte; b <= kLastByte; ++b) {
    const char game = kGameCharacters.CharacterOf(static_cast<uint8_t>(b));
    table.remapped_[static_cast<uint8_t>(game)] = table.text_[b].size() != 1 || table.text_[b][0] != game;
    if (table.remapped_[static_cast<uint8_t>(game)]) table.few_.push_back(game);
    const char32_t c = *SingleCodePoint(table.text_[b]);
    if (c < 0x80) {
      table.ascii_[c] = game;
    } else {
      table.others_.emplace_back(c, game);
    }
  }
  std::sort(table.others_.begin(), table.others_.end());
  return table;
}

std::optional<CharacterTable> CharacterTable::Load(const std::string& path, TableLoad& fault) {
  fault = {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (in) content << in.rdbuf();
  if (!in || in.bad()) {
    fault.fault = TableFault::CannotRead;
    fault.error = errno != 0 ? errno : EIO;
    return std::nullopt;
  }
  const size_t slash = path.find_last_of('/');
  std::optional<CharacterTable> table =
      Parse(content.str(), slash == std::string::npos ? path : path.substr(slash + 1), fault);
  if (table) table->path_ = path;
  return table;
}

std::optional<char> CharacterTable::CharacterFor(char32_t codePoint) const {
  if (codePoint < 0x80) {
    const char c = ascii_[codePoint];
    return c != 0 ? std::optional<char>(c) : std::nullopt;
  }
  const auto it = std::lower_bound(others_.begin(), others_.end(), std::pair<char32_t, char>(codePoint, '\0'));
  if (it == others_.end() || it->first != codePoint) return std::nullopt;
  return it->second;
}

namespace {

// Whether `text` holds one of `few` (or, with `highBytes`, a byte above 0x7F); `remapped` decides
// the rest, one character at a time.
bool HoldsAny(std::string_view text, const std::vector<char>& few, const std::array<bool, 256>& remapped,
              bool highBytes) {
  size_t i = 0;
#ifdef __SSE2__
  // A table names a few bytes: sixteen characters at a time against each of them, the last
  // sixteen (which may overlap the ones before) as well, so that no character is left over.
  if (few.size() <= 8 && text.size() >= 16) {
    __m128i wanted[8];
    const size_t count = few.size();
    for (size_t k = 0; k < count; ++k) wanted[k] = _mm_set1_epi8(few[k]);
    auto holds = [&](size_t at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
      __m128i hits = highBytes ? _mm_cmplt_epi8(v, _mm_setzero_si128()) : _mm_setzero_si128();
      for (size_t k = 0; k < count; ++k) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(v, wanted[k]));
      return _mm_movemask_epi8(hits) != 0;
    };
    for (; i + 16 <= text.size(); i += 16) {
      if (holds(i)) return true;
    }
    return i < text.size() && holds(text.size() - 16);
  }
#endif
  bool any = false;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    any |= remapped[c] || (highBytes && c >= 0x80);
  }
  return any;
}

}  // namespace

bool CharacterTable::RemapsAny(std::string_view text) const { return HoldsAny(text, few_, remapped_, false); }

bool CharacterTable::ReadsAsItself(std::string_view text) const { return !HoldsAny(text, few_, remapped_, true); }

void CharacterTable::AppendDisplay(std::string& out, std::string_view text) const {
  // Most texts hold none of the table's characters: copied whole.
  if (!RemapsAny(text)) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + text.size() + 16);
  size_t run = 0;  // the start of the characters not yet copied
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '[') {
      i = WalkBracketGroup(text, i, [](const BracketToken&) {});
      continue;
    }
    const char c = text[i];
    if (remapped_[static_cast<uint8_t>(c)]) {
      out.append(text.substr(run, i - run));
      out += text_[kGameCharacters.ByteOf(c)];
      run = i + 1;
    }
    ++i;
  }
  out.append(text.substr(run));
}

bool CharacterTable::ToGameText(std::string_view text, std::string& out, NonGameCharacter& refused) const {
  // Never longer than the text: each character becomes one, a group stays as it is.
  out.resize(text.size());
  size_t o = 0;
  int column = 0;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (b < 0x80 && ascii_[b] != 0 && b != '[') {  // nearly every character
      out[o++] = ascii_[b];
      ++i;
      ++column;
      continue;
    }
    if (b == '[') {
      const size_t end = WalkBracketGroup(text, i, [](const BracketToken&) {});
      for (size_t k = i; k < end;) {
        char32_t c = 0;
        const size_t n = Utf8Sequence(text, k, c);
        k += n == 0 ? 1 : n;
        ++column;
      }
      text.copy(out.data() + o, end - i, i);
      o += end - i;
      i = end;
      continue;
    }
    char32_t c = 0;
    const size_t n = Utf8Sequence(text, i, c);
    ++column;
    const std::optional<char> game = n == 0 ? std::nullopt : CharacterFor(c);
    if (!game) {
      refused = {};
      refused.malformed = n == 0;
      refused.character = n == 0 ? static_cast<uint8_t>(text[i]) : c;
      refused.column = column;
      refused.utf8 = std::string(text.substr(i, n == 0 ? 1 : n));
      refused.table = name_;
      out.resize(o);
      return false;
    }
    out[o++] = *game;
    i += n;
  }
  out.resize(o);
  return true;
}

}  // namespace lettermoor
