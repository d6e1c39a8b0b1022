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
#include "codec/describe_control_code.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, uint8_t b) {
  out.push_back(kHexDigits[b >> 4]);
  out.push_back(kHexDigits[b & 0x0F]);
}

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

const ByteRoles& Roles() {
  static const ByteRoles roles;
  return roles;
}

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

// The number of printable bytes (0x50-0xAA) at the start of `data`, looking at most `limit`.
size_t PrintableRun(const uint8_t* data, size_t limit) {
  size_t n = 0;
#ifdef __SSE2__
  // Sixteen at a time: b is printable when b - 0x50 is at most 0x5A, unsigned.
  const __m128i bias = _mm_set1_epi8(0x50);
  const __m128i span = _mm_set1_epi8(0x5A);
  while (n + 16 <= limit) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + n));
    const __m128i t = _mm_sub_epi8(v, bias);
    const unsigned inRange =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(t, span), span)));
    if (inRange != 0xFFFF) return n + static_cast<size_t>(__builtin_ctz(~inRange));
    n += 16;
  }
#endif
  while (n < limit && static_cast<uint8_t>(data[n] - 0x50) <= 0x5A) ++n;
  return n;
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

// The run of characters (printable bytes) at `bytes`, at most `limit` long, and, with kText, the
// characters written: each is its byte less 0x30. At least 16 bytes from `bytes` on must be
// readable. Gives the run's length (at least 1: the first byte is known to be printable).
template <bool kText>
[[gnu::always_inline]] inline int64_t PutCharacterRun(const uint8_t* bytes, int64_t limit, TextOut& out) {
#ifdef __SSE2__
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i span = _mm_set1_epi8(0x5A);
  const auto inRange = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, _mm_set1_epi8(0x50)), span), span)));
  int64_t run = inRange == 0xFFFF
                    ? 16 + static_cast<int64_t>(PrintableRun(bytes + 16, static_cast<size_t>(std::max<int64_t>(limit - 16, 0))))
                    : __builtin_ctz(~inRange);
  run = std::min(run, limit);
  if constexpr (kText) {
    char* o = out.Room(static_cast<size_t>(run) + 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_sub_epi8(v, _mm_set1_epi8(0x30)));
    for (int64_t k = 16; k < run; ++k) o[k] = static_cast<char>(bytes[k] - 0x30);
    out.Advance(static_cast<size_t>(run));
  }
  return run;
#else
  const auto run = static_cast<int64_t>(PrintableRun(bytes, static_cast<size_t>(limit)));
  if constexpr (kText) {
    char* o = out.Room(static_cast<size_t>(run));
    for (int64_t k = 0; k < run; ++k) o[k] = static_cast<char>(bytes[k] - 0x30);
    out.Advance(static_cast<size_t>(run));
  }
  return run;
#endif
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

// The decode without the interpreter listing, from `i` bytes into the string on. Every item
// consumes exactly the bytes it counts, so the size count is the number of bytes consumed. With
// `kChecked` every byte is read through RomFile::ReadByte (0xFF outside the file); without it the
// string's longest possible reach must lie in the mirror, which is then read directly and in
// runs. A text without codes may stop growing once it holds `textLimit` characters: the rest of
// the string is then only walked, for its size count and its last code.
template <Output kOut, bool kChecked>
int32_t LeanDecode(const RomFile& rom, int64_t offset, const TextDictionary& dictionary,
                   bool& lastDescribed, TextOut& out, int64_t i, size_t textLimit) {
  const ByteRoles& roles = Roles();
  const uint8_t* const bytes = kChecked ? nullptr : rom.MirrorData() + offset;
  auto at = [&](int64_t i) -> uint8_t {
    if constexpr (kChecked) {
      return rom.ReadByte(offset + i);
    } else {
      return bytes[i];
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

  while (i < kDecodeSizeLimit) {  // i: the bytes consumed, which is the size count
    const uint8_t b = at(i);
    const ByteRole role = roles.of[b];
    if (role.kind == ByteRole::Character) {
      closeGroup();
      // The whole run of characters at once; each counts one byte, up to the size limit.
      int64_t run = 1;
      if constexpr (kChecked) {
        if constexpr (kText) out.Put(static_cast<char>(b - 0x30));
      } else {
        run = PutCharacterRun<kText>(bytes + i, kDecodeSizeLimit - i, out);
      }
      i += run;
      if constexpr (kOut == Output::Text) {
        if (out.Size() >= textLimit) {
          return LeanDecode<Output::SizeOnly, kChecked>(rom, offset, dictionary, lastDescribed, out, i, 0);
        }
      }
      continue;
    }
    if (role.kind == ByteRole::DictionaryWord) {
      closeGroup();
      if constexpr (kText) PutWord(dictionary.Word(b, at(i + 1)), out);
      i += 2;
      if constexpr (kOut == Output::Text) {
        if (out.Size() >= textLimit) {
          return LeanDecode<Output::SizeOnly, kChecked>(rom, offset, dictionary, lastDescribed, out, i, 0);
        }
      }
      continue;
    }

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
      for (int k = 1; k <= n; ++k) {
        *o++ = ' ';
        o = PutHexByte(o, at(i + k));
      }
      out.Advance(3 + 3 * static_cast<size_t>(n));
      groupOpen = true;
    }
    i += 1 + n;
    lastDescribed = described;
    if (b == kEndCode) break;
    if constexpr (!kChecked) {
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
  // The longest reach: an item that starts just below the limit takes at most 7 bytes, and a
  // run of characters there is looked at 16 bytes at a time.
  const bool mirrored = offset >= 0 && offset <= rom.MirrorSize() - (kDecodeSizeLimit + 16);
  return mirrored ? LeanDecode<kOut, false>(rom, offset, dictionary, lastDescribed, out, 0, textLimit)
                  : LeanDecode<kOut, true>(rom, offset, dictionary, lastDescribed, out, 0, textLimit);
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
