#include "codec/text_decoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/hex_text.h"
#include "codec/describe_control_code.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

// What the lean decode needs to know of each byte value, worked out once from the byte classes
// and the control-code table.
struct alignas(4) ByteRole {
  enum Kind : uint8_t { Character, DictionaryWord, Code, SubCodedCode };
  Kind kind = Code;
  uint8_t argumentCount = 0;  // for codes without a sub-code
  bool described = false;     // for codes without a sub-code
};

struct ByteRoles {
  std::array<ByteRole, 256> of;
  // For the codes 0x18-0x1F, by sub-code: what LookupControlCode gives, without the call.
  struct Described {
    uint8_t argumentCount = 0;
    bool described = false;
  };
  std::array<std::array<Described, 256>, 8> subCoded;

  ByteRoles() {
    for (int code = 0x18; code <= 0x1F; ++code) {
      for (int sub = 0; sub < 256; ++sub) {
        const ControlCodeEntry* entry = LookupControlCode(static_cast<uint8_t>(code), static_cast<uint8_t>(sub));
        subCoded[static_cast<size_t>(code - 0x18)][static_cast<size_t>(sub)] =
            Described{entry ? entry->argumentCount : uint8_t{0}, entry != nullptr};
      }
    }
    for (int value = 0; value < 256; ++value) {
      const auto b = static_cast<uint8_t>(value);
      ByteRole& role = of[static_cast<size_t>(value)];
      switch (ClassifyByte(b)) {
        case ByteClass::Printable: role.kind = ByteRole::Character; break;
        case ByteClass::DictionaryReference: role.kind = ByteRole::DictionaryWord; break;
        case ByteClass::ControlCode:
          if (HasSubCode(b)) {
            role.kind = ByteRole::SubCodedCode;
          } else {
            const ControlCodeEntry* entry = LookupControlCode(b, 0);
            role.kind = ByteRole::Code;
            role.argumentCount = entry ? entry->argumentCount : 0;
            role.described = entry != nullptr;
          }
          break;
      }
    }
  }
};

// Made once at start-up, so that a decode reaches it without a first-use check.
const ByteRoles kRoles;

// The number of 0x00 bytes at the start of `data`, looking at most `limit`.
int64_t ZeroRun(const uint8_t* data, int64_t limit) {
  int64_t n = 0;
  while (n + 8 <= limit) {
    uint64_t word;
    std::memcpy(&word, data + n, sizeof word);
    if (word != 0) break;
    n += 8;
  }
  while (n < limit && data[n] == 0) ++n;
  return n;
}

// Bit k set when byte k of the 64 at `data` lies in [low, low + span].
uint64_t RangeMask64(const uint8_t* data, uint8_t low, uint8_t span) {
  uint64_t mask = 0;
#ifdef __SSE2__
  const __m128i bias = _mm_set1_epi8(static_cast<char>(low));
  const __m128i top = _mm_set1_epi8(static_cast<char>(span));
  for (int chunk = 0; chunk < 4; ++chunk) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * chunk));
    const __m128i t = _mm_sub_epi8(v, bias);  // in range when t <= span, unsigned
    const auto bits = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(t, top), top)));
    mask |= static_cast<uint64_t>(bits) << (16 * chunk);
  }
#else
  for (int k = 0; k < 64; ++k) {
    if (static_cast<uint8_t>(data[k] - low) <= span) mask |= uint64_t{1} << k;
  }
#endif
  return mask;
}

// A stretch of characters and dictionary words, read from 64 bytes at once: where it ends and
// which of its bytes open a dictionary reference. A byte 0x15-0x17 opens one unless the one
// before it opened one (it is then that reference's second byte), so in a row of such bytes that
// starts where an item starts, every other one does: this is worked out for all 64 with a few
// operations on bit masks instead of byte after byte.
struct Stretch {
  int64_t length = 0;      // bytes in the stretch; it ends at a control code or at `limit`
  uint64_t words = 0;      // bit k set when byte k opens a dictionary reference
  bool beforeCode = false;  // a control code follows the stretch
};

// Which bytes open a dictionary reference, given the masks of the bytes 0x15-0x17 (`openers`)
// and of the characters, for bytes from an item start on; and where the first control code is
// (64 when there is none in the mask). Rows of opener bytes that start on an even bit keep their
// even bits, the others their odd bits; adding a row's first bit to the row clears it, which
// singles out the rows that start on an even bit.
struct StretchMasks {
  uint64_t words;
  uint64_t seconds;  // second bytes of references, whatever their value
  int64_t code;
};
[[gnu::always_inline]] inline StretchMasks Resolve(uint64_t characters, uint64_t openers, uint64_t known) {
  constexpr uint64_t kEven = 0x5555555555555555ull;
  const uint64_t rowStarts = openers & ~(openers << 1);
  const uint64_t evenRows = openers & ~(openers + (rowStarts & kEven));
  const uint64_t oddRows = openers & ~evenRows;
  StretchMasks m;
  m.words = (evenRows & kEven) | (oddRows & ~kEven);
  m.seconds = m.words << 1;
  const uint64_t codes = ~(characters | openers) & ~m.seconds & known;
  m.code = codes ? __builtin_ctzll(codes) : 64;
  return m;
}

// `bytes` is where an item starts; 64 bytes from there must be readable. The stretch stops
// before the first control code, or at the first item start at or after `limit` (at most 48).
// Most stretches are short, so the first 16 bytes are looked at alone first.
[[gnu::always_inline]] inline Stretch ReadStretch(const uint8_t* bytes, int64_t limit) {
  StretchMasks m{};
#ifdef __SSE2__
  {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i charTop = _mm_set1_epi8(0xAA - 0x50);
    const __m128i openerTop = _mm_set1_epi8(0x17 - 0x15);
    const auto characters = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, _mm_set1_epi8(0x50)), charTop), charTop))));
    const auto openers = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, _mm_set1_epi8(0x15)), openerTop), openerTop))));
    m = Resolve(characters, openers, 0xFFFF);
  }
  if (m.code >= 16 || m.code >= limit)
#endif
  {
    m = Resolve(RangeMask64(bytes, 0x50, 0xAA - 0x50), RangeMask64(bytes, 0x15, 0x17 - 0x15), ~uint64_t{0});
  }
  Stretch s;
  s.beforeCode = m.code < limit;
  s.length = std::min(m.code, limit);
  if (!s.beforeCode && ((m.seconds >> limit) & 1)) ++s.length;  // a reference across the limit
  s.words = m.words & ((uint64_t{1} << s.length) - 1);
  return s;
}

enum class Output { SizeOnly, Text, BracketedText };

// Where a lean decode writes its text: a scratch area that every decode on this thread reuses,
// so that a decode allocates nothing; the caller's string gets a copy once at the end.
class TextOut {
 public:
  explicit TextOut(std::vector<char>& area) : area_(area), next_(area.data()), end_(next_ + area.size()) {}

  // Room for `n` more characters at the write position.
  char* Room(size_t n) {
    if (static_cast<size_t>(end_ - next_) < n) Grow(n);
    return next_;
  }
  void Advance(size_t n) { next_ += n; }
  void Put(char c) { *Room(1) = c; ++next_; }
  size_t Size() const { return static_cast<size_t>(next_ - area_.data()); }

 private:
  void Grow(size_t n) {
    const size_t used = Size();
    area_.resize(std::max(area_.size() * 2, used + n + 64));
    next_ = area_.data() + used;
    end_ = area_.data() + area_.size();
  }

  std::vector<char>& area_;
  char* next_;
  char* end_;
};

// Writes `n` characters (each byte less 0x30) at `o`, in 16-byte blocks: at least 16 bytes are
// written and read, whatever `n`. Gives the end of the characters.
char* CopyCharacters(char* o, const uint8_t* bytes, int64_t n) {
#ifdef __SSE2__
  const __m128i bias = _mm_set1_epi8(0x30);
  int64_t k = 0;
  do {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + k), _mm_sub_epi8(v, bias));
    k += 16;
  } while (k < n);
#else
  for (int64_t k = 0; k < n; ++k) o[k] = static_cast<char>(bytes[k] - 0x30);
#endif
  return o + n;
}

// Writes the dictionary word. Short words go as one 16-byte copy: a std::string's buffer always
// holds at least 16 bytes (its capacity is never below 15, plus the terminator).
void PutWord(const std::string& word, TextOut& out) {
  const size_t n = word.size();
  if (n <= 16 && word.capacity() >= 15) {
    std::memcpy(out.Room(16), word.data(), 16);
  } else {
    std::memcpy(out.Room(n), word.data(), n);
  }
  out.Advance(n);
}

// Writes " 00" `count` times.
void PutZeroCodes(TextOut& out, int64_t count) {
  static const std::string kPattern = [] {
    std::string p;
    for (int k = 0; k < 256; ++k) p += " 00";
    return p;
  }();
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(count, 256)) * 3;
    std::memcpy(out.Room(n), kPattern.data(), n);
    out.Advance(n);
    count -= static_cast<int64_t>(n / 3);
  }
}

// The lean decodes' text area, one per thread.
std::vector<char>& Scratch() {
  thread_local std::vector<char> area(64 * 1024);
  return area;
}

char* PutHexByte(char* out, uint8_t b) {
  out[0] = kHexDigits[b >> 4];
  out[1] = kHexDigits[b & 0x0F];
  return out + 2;
}

// A decode without the interpreter listing reaches at most this far past its start: an item
// that starts just below the size limit takes at most 7 bytes, and bytes are looked at up to 64
// at a time.
constexpr int64_t kLeanReach = kDecodeSizeLimit + 80;

// The decode without the interpreter listing, from `i` bytes into the string on. Every item
// consumes exactly the bytes it counts, so the size count is the number of bytes consumed. With
// `kMirrored` the string's longest possible reach (kLeanReach) lies in the mirror, which is read
// directly and many bytes at a time; without it every byte is read through RomFile::ReadByte
// (0xFF outside the file). A text without codes may stop growing once it holds `textLimit`
// characters: the rest of the string is then only walked, for its size count and last code.
template <Output kOut, bool kMirrored>
int32_t LeanDecode(const RomFile& rom, int64_t offset, const TextDictionary& dictionary,
                   bool& lastDescribed, TextOut& out, int64_t i, size_t textLimit) {
  const ByteRoles& roles = kRoles;
  const uint8_t* const bytes = kMirrored ? rom.MirrorData() + offset : nullptr;
  auto at = [&](int64_t k) -> uint8_t {
    if constexpr (kMirrored) {
      return bytes[k];
    } else {
      return rom.ReadByte(offset + k);
    }
  };
  constexpr bool kText = kOut != Output::SizeOnly;
  constexpr bool kCodes = kOut == Output::BracketedText;
  bool groupOpen = false;
  auto closeGroup = [&] {
    if constexpr (kCodes) {
      if (groupOpen) {
        out.Put(']');
        groupOpen = false;
      }
    }
  };
  // Once the text is long enough, only the walk goes on.
  auto textFull = [&] {
    if constexpr (kOut == Output::Text) return out.Size() >= textLimit;
    return false;
  };
  // Writes the characters and dictionary words of a stretch, with one check for room: each
  // run of characters (at most 49) and each short word is one or a few 16-byte copies.
  auto putStretch = [&](const uint8_t* from, const Stretch& stretch) {
    // At most 49 bytes: up to 25 words of up to 16 characters, or characters with 16 to spare.
    auto room = [&] { return out.Room(80 + 16 * 25); };
    char* start = room();
    char* o = start;
    int64_t next = 0;
    for (uint64_t words = stretch.words; words != 0; words &= words - 1) {
      const int64_t w = __builtin_ctzll(words);
      o = CopyCharacters(o, from + next, w - next);
      const std::string& word = dictionary.Word(from[w], from[w + 1]);
      if (word.size() <= 16 && word.capacity() >= 15) {
        std::memcpy(o, word.data(), 16);
        o += word.size();
      } else {  // a long word: it makes its own room
        out.Advance(static_cast<size_t>(o - start));
        PutWord(word, out);
        start = o = room();
      }
      next = w + 2;
    }
    o = CopyCharacters(o, from + next, stretch.length - next);
    out.Advance(static_cast<size_t>(o - start));
  };

  while (i < kDecodeSizeLimit) {  // i: the bytes consumed, which is the size count
    if constexpr (kMirrored) {
      // Characters and words, up to the next control code, many at a time. Codes often come
      // several in a row: one that stands here goes straight on to its own step below.
      if (roles.of[bytes[i]].kind < ByteRole::Code) {
        const Stretch stretch = ReadStretch(bytes + i, std::min<int64_t>(48, kDecodeSizeLimit - i));
        closeGroup();
        if constexpr (kText) putStretch(bytes + i, stretch);
        i += stretch.length;
        if (textFull()) {
          return LeanDecode<Output::SizeOnly, kMirrored>(rom, offset, dictionary, lastDescribed, out, i, 0);
        }
        if (!stretch.beforeCode) continue;
      }
    } else {
      const ByteRole::Kind kind = roles.of[at(i)].kind;
      if (kind == ByteRole::Character) {
        closeGroup();
        if constexpr (kText) out.Put(static_cast<char>(at(i) - 0x30));
        i += 1;
        if (textFull()) {
          return LeanDecode<Output::SizeOnly, kMirrored>(rom, offset, dictionary, lastDescribed, out, i, 0);
        }
        continue;
      }
      if (kind == ByteRole::DictionaryWord) {
        closeGroup();
        if constexpr (kText) PutWord(dictionary.Word(at(i), at(i + 1)), out);
        i += 2;
        if (textFull()) {
          return LeanDecode<Output::SizeOnly, kMirrored>(rom, offset, dictionary, lastDescribed, out, i, 0);
        }
        continue;
      }
    }

    const uint8_t b = at(i);
    const ByteRole role = roles.of[b];
    int n = role.argumentCount;
    bool described = role.described;
    if (role.kind == ByteRole::SubCodedCode) {
      const ByteRoles::Described d = roles.subCoded[static_cast<size_t>(b - 0x18)][at(i + 1)];
      n = d.argumentCount;
      described = d.described;
    }
    if constexpr (kCodes) {
      char* o = out.Room(3 + 3 * static_cast<size_t>(n));
      *o++ = groupOpen ? ' ' : '[';
      o = PutHexByte(o, b);
      for (int a = 1; a <= n; ++a) {
        *o++ = ' ';
        o = PutHexByte(o, at(i + a));
      }
      out.Advance(3 + 3 * static_cast<size_t>(n));
      groupOpen = true;
    }
    i += 1 + n;
    lastDescribed = described;
    if (b == kEndCode) break;
    if constexpr (kMirrored) {
      if (b == 0x00 && n == 0) {
        // Blank space (each expansion block is 255 zero bytes) goes by in one step: every
        // zero is a code of its own with no arguments, counted and shown like the one just read.
        const int64_t run = ZeroRun(bytes + i, kDecodeSizeLimit - i);
        if constexpr (kCodes) PutZeroCodes(out, run);
        i += run;
      }
    }
  }
  closeGroup();
  return static_cast<int32_t>(i);
}

template <Output kOut>
int32_t LeanDecode(const RomFile& rom, int64_t offset, const TextDictionary& dictionary,
                   bool& lastDescribed, TextOut& out, size_t textLimit = SIZE_MAX) {
  const bool mirrored = offset >= 0 && offset <= rom.MirrorSize() - kLeanReach;
  return mirrored ? LeanDecode<kOut, true>(rom, offset, dictionary, lastDescribed, out, 0, textLimit)
                  : LeanDecode<kOut, false>(rom, offset, dictionary, lastDescribed, out, 0, textLimit);
}

}  // namespace

int32_t TextDecoder::DecodeLean(const RomFile& rom, int64_t offset, std::string* text,
                                bool bracketed) const {
  std::vector<char>& scratch = Scratch();
  TextOut out(scratch);
  bool lastDescribed = state_.lastCodeDescribed;
  int32_t size = 0;
  if (!text) {
    size = LeanDecode<Output::SizeOnly>(rom, offset, dictionary_, lastDescribed, out);
  } else if (bracketed) {
    size = LeanDecode<Output::BracketedText>(rom, offset, dictionary_, lastDescribed, out);
  } else {
    size = LeanDecode<Output::Text>(rom, offset, dictionary_, lastDescribed, out);
  }
  if (text) text->assign(scratch.data(), out.Size());
  state_.interpreterText.clear();
  state_.lastCodeDescribed = lastDescribed;
  state_.atStringStart = false;  // the first item always ends it
  return size;
}

std::string_view TextDecoder::DecodeBracketedView(const RomFile& rom, int64_t offset,
                                                  int32_t* size) const {
  std::vector<char>& scratch = Scratch();
  TextOut out(scratch);
  bool lastDescribed = state_.lastCodeDescribed;
  const int32_t n = LeanDecode<Output::BracketedText>(rom, offset, dictionary_, lastDescribed, out);
  state_.interpreterText.clear();
  state_.lastCodeDescribed = lastDescribed;
  state_.atStringStart = false;
  if (size) *size = n;
  return std::string_view(scratch.data(), out.Size());
}

int32_t TextDecoder::DecodePreview(const RomFile& rom, int64_t offset, std::string& text,
                                   size_t length) const {
  std::vector<char>& scratch = Scratch();
  TextOut out(scratch);
  bool lastDescribed = state_.lastCodeDescribed;
  const int32_t size = LeanDecode<Output::Text>(rom, offset, dictionary_, lastDescribed, out, length);
  text.assign(scratch.data(), std::min(out.Size(), length));
  state_.interpreterText.clear();
  state_.lastCodeDescribed = lastDescribed;
  state_.atStringStart = false;
  return size;
}

int32_t TextDecoder::DecodeItemByItem(const RomFile& rom, int64_t offset, std::string* text,
                                      DecodeFlags flags) const {
  const bool bracketed = flags.bracketedCodes;
  const bool listing = flags.interpreterListing;
  DecoderState& state = state_;

  if (text) text->clear();
  state.interpreterText.clear();
  state.atStringStart = true;

  DecodeCursor cursor{offset, 0, false};
  bool groupOpen = false;
  ByteClass previous = ByteClass::Printable;

  while (cursor.size < kDecodeSizeLimit) {
    const uint8_t b = rom.ReadByte(cursor.position++);
    const ByteClass cls = ClassifyByte(b);

    if (cls != ByteClass::ControlCode) {
      if (listing && previous == ByteClass::ControlCode) state.interpreterText += "\r\n";
      if (groupOpen) {
        if (bracketed && text) text->push_back(']');
        groupOpen = false;
      }
    }
    previous = cls;

    if (cls == ByteClass::Printable) {
      const char c = static_cast<char>(b - 0x30);
      if (text) text->push_back(c);
      cursor.size += 1;
      if (listing) state.interpreterText.push_back(c);
      state.atStringStart = false;
    } else if (cls == ByteClass::DictionaryReference) {
      const uint8_t d = rom.ReadByte(cursor.position++);
      const std::string& word = dictionary_.Word(b, d);
      if (text) text->append(word);
      cursor.size += 2;
      if (listing) state.interpreterText += word;
      state.atStringStart = false;
    } else {
      cursor.size += 1;
      if (bracketed) {
        if (text) {
          text->push_back(groupOpen ? ' ' : '[');
          AppendHexByte(*text, b);
        }
        groupOpen = true;
      }
      DescribeControlCode(rom, cursor, b, text, bracketed, listing, state);
      if (cursor.ended) break;
    }
  }
  if (groupOpen && bracketed && text) text->push_back(']');
  return cursor.size;
}

std::string FormatRawBytes(const RomFile& rom, int64_t offset, int32_t count) {
  std::string text = "[";
  if (count > 0) text.reserve(static_cast<size_t>(count) * 3 + 1);
  for (int32_t i = 0; i < count; ++i) {
    AppendHexByte(text, rom.ReadByte(offset + i));
    text.push_back(' ');
  }
  text.back() = ']';
  return text;
}

}  // namespace lettermoor
