#include "document/case_fold.h"

#include <unicode/uchar.h>

#include <cstddef>
#include "codec/bracket_check.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lettermoor {

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  UpperCaseAsciiInPlace(out);
  return out;
}

size_t FindUpperCased(std::string_view text, std::string_view needle, size_t from) {
  constexpr size_t kNone = std::string_view::npos;
  if (from > text.size() || needle.size() > text.size() - from) return kNone;
  if (needle.empty()) return from;
  const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  const char first = needle[0];
  const bool letter = first >= 'A' && first <= 'Z';
  const char other = letter ? static_cast<char>(first - 'A' + 'a') : first;
  const size_t last = text.size() - needle.size();  // the last place a match can start
  auto matchesAt = [&](size_t p) {
    for (size_t j = 1; j < needle.size(); ++j) {
      if (fold(text[p + j]) != needle[j]) return false;
    }
    return true;
  };
  size_t p = from;
#ifdef __SSE2__
  // The places where the first character stands, in either case, many at a time.
  const __m128i a = _mm_set1_epi8(first);
  const __m128i b = _mm_set1_epi8(other);
  auto placesIn = [&](size_t at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    return _mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b));
  };
  while (p + 16 <= last + 1) {
    // Thirty-two at a time while nothing is found: a search mostly walks text without a match.
    while (p + 32 <= last + 1 && _mm_movemask_epi8(_mm_or_si128(placesIn(p), placesIn(p + 16))) == 0) p += 32;
    if (p + 16 > last + 1) break;
    for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(placesIn(p))); hits != 0; hits &= hits - 1) {
      const size_t at = p + static_cast<size_t>(__builtin_ctz(hits));
      if (matchesAt(at)) return at;
    }
    p += 16;
  }
#endif
  for (; p <= last; ++p) {
    if ((text[p] == first || text[p] == other) && matchesAt(p)) return p;
  }
  return kNone;
}

namespace {
char32_t FoldedCodePoint(char32_t c) { return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT)); }
}  // namespace

CaseFold::CaseFold(const CharacterTable& table) {
  for (unsigned c = 0; c < 256; ++c) key_[c] = static_cast<uint8_t>(c);
  // The game's characters of each folded code point.
  std::map<char32_t, std::string> classes;
  for (unsigned byte = 0x50; byte <= 0xAA; ++byte) {
    const std::string_view text = table.TextOf(static_cast<uint8_t>(byte));
    char32_t c = 0;
    Utf8Sequence(text, 0, c);
    classes[FoldedCodePoint(c)].push_back(kGameCharacters.CharacterOf(static_cast<uint8_t>(byte)));
  }
  unsigned next = 0x80;
  for (const auto& [folded, members] : classes) {
    const char m = members[0];
    const bool letter = (m >= 'a' && m <= 'z') || (m >= 'A' && m <= 'Z');
    // Two letters the table leaves alone that are one letter in two cases fold so already; so
    // does any other lone character. A lone letter a to z whose other case the table took must
    // not meet that byte's text under UpperCaseAscii: it gets a key of its own.
    const bool plainPair = members.size() == 2 && !table.Remaps(members[0]) && !table.Remaps(members[1]) &&
                           (members[0] ^ members[1]) == 0x20;
    const bool plainSingle = members.size() == 1 && !(letter && (table.Remaps(m) || table.Remaps(static_cast<char>(m ^ 0x20))));
    if (!plainPair && !plainSingle) {
      for (char member : members) key_[static_cast<uint8_t>(member)] = static_cast<uint8_t>(next);
      ++next;
    }
    keyOfFolded_[folded] = key_[static_cast<uint8_t>(m)];
  }
  for (unsigned c = 0; c < 256; ++c) {
    if (key_[c] != c) changed_.emplace_back(static_cast<char>(c), static_cast<char>(key_[c]));
  }
}

void CaseFold::Fold(char* text, size_t n) const {
  // Most tables fold nothing beyond a to z (no letter in two cases): then there is nothing to do.
  if (changed_.empty()) return;
  size_t k = 0;
#ifdef __SSE2__
  if (changed_.size() <= 8) {
    for (; k + 16 <= n; k += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k));
      for (const auto& [from, to] : changed_) {
        const __m128i at = _mm_cmpeq_epi8(v, _mm_set1_epi8(from));
        v = _mm_or_si128(_mm_andnot_si128(at, v), _mm_and_si128(at, _mm_set1_epi8(to)));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(text + k), v);
    }
  }
#endif
  for (; k < n; ++k) text[k] = static_cast<char>(key_[static_cast<uint8_t>(text[k])]);
}

std::optional<std::string> CaseFold::Needle(std::string_view query) const {
  std::string out;
  for (size_t i = 0; i < query.size();) {
    if (query[i] == '[') {
      const size_t end = WalkBracketGroup(query, i, [](const BracketToken&) {});
      for (; i < end; ++i) out.push_back(static_cast<char>(key_[static_cast<uint8_t>(query[i])]));
      continue;
    }
    char32_t c = 0;
    const size_t n = Utf8Sequence(query, i, c);
    const auto key = n == 0 ? keyOfFolded_.end() : keyOfFolded_.find(FoldedCodePoint(c));
    if (key == keyOfFolded_.end()) return std::nullopt;
    out.push_back(static_cast<char>(key->second));
    i += n;
  }
  return out;
}

void UpperCaseAsciiInPlace(std::string& text) {
  char* c = text.data();
  size_t n = text.size();
#ifdef __SSE2__
  // Sixteen at a time: a byte is a lower-case letter when byte - 'a' is at most 25, unsigned.
  const __m128i a = _mm_set1_epi8('a');
  const __m128i last = _mm_set1_epi8(25);
  const __m128i caseBit = _mm_set1_epi8(0x20);
  for (; n >= 16; c += 16, n -= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    const __m128i lower = _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, a), last), last);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(c), _mm_sub_epi8(v, _mm_and_si128(lower, caseBit)));
  }
#endif
  for (; n > 0; ++c, --n) {
    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
}

}  // namespace lettermoor
