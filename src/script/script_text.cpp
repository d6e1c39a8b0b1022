#include "script/script_text.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "codec/character_map.h"
#include "codec/control_code_table.h"
#include "codec/decode_items.h"
#include "codec/hex_text.h"
#include "codec/text_compressor.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

// Builds the text item by item, keeping track of how far into the string each item lies, so that
// a word that must be shown as its reference can be read back from the file.
class ScriptTextSink {
  // The bytes of the two bracket characters, which the text cannot spell.
  static constexpr uint8_t kOpenBracket = kGameCharacters.ByteOf('[');
  static constexpr uint8_t kCloseBracket = kGameCharacters.ByteOf(']');

 public:
  // `spellable`, when given, tells for each slot of `words` whether Spellable() holds for it.
  ScriptTextSink(std::string& out, const RomFile& rom, int64_t offset, const TextDictionary& words,
                 const bool* spellable)
      : out_(out), rom_(rom), offset_(offset), start_(out.size()), words_(words), spellable_(spellable) {}

  void Characters(const uint8_t* bytes, size_t n) {
    peekingCode_ = -1;
    size_t k = 0;
    if (AtStart() && n > 0 && StartsLikeMarkup(kGameCharacters.CharacterOf(bytes[0]))) Byte(bytes[k++]);
    while (k < n) {
      // A run without the two bracket bytes goes in at once, sixteen characters at a time.
      const size_t run = k + BeforeBracket(bytes + k, n - k);
      if (run > k) Close();
      while (k < run) {
        char text[kChunk + 16];  // the characters are made 16 at a time
        const size_t m = std::min(run - k, kChunk);
        kGameCharacters.ToCharacters(text, bytes + k, static_cast<int64_t>(m));
        out_.append(text, m);
        k += m;
      }
      if (k < n) Byte(bytes[k++]);
    }
    at_ += static_cast<int64_t>(n);
  }

  void Word(const std::string& word) {
    if (SpellableWord(word) && !(AtStart() && StartsLikeMarkup(word.front())) && KeepsPeekingCode(word)) {
      Close();
      out_ += word;
    } else {
      Byte(rom_.ReadByte(offset_ + at_));
      Byte(rom_.ReadByte(offset_ + at_ + 1));
    }
    at_ += 2;
    peekingCode_ = -1;
  }

  void Code(const CodeItem& code) {
    for (int k = 0; k < code.length; ++k) Byte(code.bytes[k]);
    at_ += code.length;
    peekingCode_ = HasSubCode(code.Code()) && code.length == 1 ? code.Code() : -1;
  }

  void Finish() {
    Close();
    // Blanks at the end become codes: an editor that trims lines would drop them.
    size_t blanks = 0;
    while (blanks < out_.size() - start_ && out_[out_.size() - 1 - blanks] == ' ') ++blanks;
    if (blanks == 0) return;
    out_.resize(out_.size() - blanks);
    for (size_t k = 0; k < blanks; ++k) Byte(kGameCharacters.ByteOf(' '));
    Close();
  }

 private:
  bool AtStart() const { return out_.size() == start_; }

  static constexpr size_t kChunk = 64;

  // How many of the `n` bytes at `bytes` come before the first bracket byte; 16 bytes past the
  // `n` may be read, as the decoder allows.
  static size_t BeforeBracket(const uint8_t* bytes, size_t n) {
#ifdef __SSE2__
    const __m128i open = _mm_set1_epi8(static_cast<char>(kOpenBracket));
    const __m128i close = _mm_set1_epi8(static_cast<char>(kCloseBracket));
    for (size_t i = 0; i < n; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      const auto hits = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close))));
      if (hits != 0) return std::min(n, i + static_cast<size_t>(__builtin_ctz(hits)));
    }
    return n;
#else
    size_t i = 0;
    while (i < n && bytes[i] != kOpenBracket && bytes[i] != kCloseBracket) ++i;
    return i;
#endif
  }
  static bool StartsLikeMarkup(char c) { return c == '#' || c == '@' || c == ' '; }

  // Spelled right after a code that read the reference's first byte as its sub-code, the word's
  // first letter stands there instead: the code must read it alike.
  bool KeepsPeekingCode(const std::string& word) const {
    if (peekingCode_ < 0) return true;
    const auto code = static_cast<uint8_t>(peekingCode_);
    return LookupControlCode(code, kGameCharacters.ByteOf(word.front())) ==
           LookupControlCode(code, rom_.ReadByte(offset_ + at_));
  }

  bool SpellableWord(const std::string& word) const {
    // The decoder hands over the dictionary's own strings: the slot is where the word lies.
    const auto slot = static_cast<size_t>(reinterpret_cast<uintptr_t>(&word) - reinterpret_cast<uintptr_t>(words_.words.data())) / sizeof word;
    if (spellable_ && slot < words_.words.size() && &words_.words[slot] == &word) return spellable_[slot];
    return Spellable(word);
  }

 public:
  static bool Spellable(const std::string& word) {
    if (word.empty()) return false;
    for (char c : word) {
      if (!IsPlainWordCharacter(c)) return false;
    }
    return true;
  }

 private:
  void Byte(uint8_t b) {
    out_.push_back(open_ ? ' ' : '[');
    open_ = true;
    AppendHexByte(out_, b);
  }

  void Close() {
    if (open_) out_.push_back(']');
    open_ = false;
  }

  std::string& out_;
  const RomFile& rom_;
  int64_t offset_;
  size_t start_;  // where this text begins in `out_`
  const TextDictionary& words_;
  const bool* spellable_;
  int64_t at_ = 0;
  bool open_ = false;
  int peekingCode_ = -1;  // the last item, when it is a code that read the next byte as its sub-code and left it
};

}  // namespace

int32_t AppendScriptText(const RomFile& rom, int64_t offset, const TextDictionary& dictionary, DecoderState& state,
                         std::string& out) {
  ScriptTextSink sink(out, rom, offset, dictionary, nullptr);
  return DecodeItems(rom, offset, dictionary, state, sink);
}

ScriptTextReader::ScriptTextReader(const RomFile& rom, const TextDictionary& dictionary, DecoderState& state)
    : rom_(rom), dictionary_(dictionary), state_(state) {
  for (size_t slot = 0; slot < dictionary.words.size(); ++slot) spellable_[slot] = ScriptTextSink::Spellable(dictionary.words[slot]);
}

int32_t ScriptTextReader::Append(int64_t offset, std::string& out) {
  ScriptTextSink sink(out, rom_, offset, dictionary_, spellable_.data());
  return DecodeItems(rom_, offset, dictionary_, state_, sink);
}

std::string ScriptText(const RomFile& rom, int64_t offset, const TextDictionary& dictionary, DecoderState& state,
                       int32_t* size) {
  std::string text;
  const int32_t count = AppendScriptText(rom, offset, dictionary, state, text);
  if (size) *size = count;
  return text;
}

}  // namespace lettermoor
