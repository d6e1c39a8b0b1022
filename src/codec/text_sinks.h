#pragma once

// The sinks of the editor's decodes (see decode_items.h): the text without codes, the text with
// its codes in brackets, and the interpreter listing. Each appends to a buffer its caller owns.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "codec/character_map.h"
#include "codec/character_table.h"
#include "codec/decode_items.h"
#include "codec/script_scan.h"
#include "codec/text_buffer.h"

namespace lettermoor {

namespace sink_detail {

// True when 16 bytes may be read from the word's characters on. libstdc++ keeps every string
// in at least 16 bytes (its own 15 and the terminator, or a buffer made for more than 15), so
// there it always holds; elsewhere it is asked.
[[gnu::always_inline]] inline bool Holds16(const std::string& word) {
#ifdef _GLIBCXX_RELEASE
  (void)word;
  return true;
#else
  return word.capacity() >= 15;
#endif
}

// Appends a dictionary word. Short words go as one 16-byte copy.
[[gnu::always_inline]] inline void PutWord(TextBuffer& out, const std::string& word) {
  const size_t n = word.size();
  if (n <= 16 && Holds16(word)) {
    std::memcpy(out.Room(16), word.data(), 16);
  } else {
    std::memcpy(out.Room(n), word.data(), n);
  }
  out.Advance(n);
}

[[gnu::always_inline]] inline void PutCharacters(TextBuffer& out, const uint8_t* bytes, size_t n) {
  script_scan::CopyCharacters(out.Room(n + 16), bytes, static_cast<int64_t>(n));
  out.Advance(n);
}

// Appends a run of characters and words with one check for room: each row of characters and each
// short word is one or a few 16-byte copies.
[[gnu::always_inline]] inline void PutRun(TextBuffer& out, const uint8_t* from, const script_scan::Stretch& run,
                                          const TextDictionary& dictionary) {
  // A run holds at most 49 bytes: up to 25 words of up to 16 characters, or characters, each copy
  // with up to 16 bytes written past its end.
  constexpr size_t kRoom = 80 + 16 * 25;
  char* start = out.Room(kRoom);
  char* o = start;
  int64_t next = 0;
  for (uint64_t words = run.words; words != 0; words &= words - 1) {
    const int64_t w = __builtin_ctzll(words);
    o = script_scan::CopyCharacters(o, from + next, w - next);
    const std::string& word = dictionary.Word(from[w], from[w + 1]);
    if (word.size() <= 16 && Holds16(word)) {
      std::memcpy(o, word.data(), 16);
      o += word.size();
    } else {  // a long word makes its own room
      out.Advance(static_cast<size_t>(o - start));
      PutWord(out, word);
      start = o = out.Room(kRoom);
    }
    next = w + 2;
  }
  o = script_scan::CopyCharacters(o, from + next, run.length - next);
  out.Advance(static_cast<size_t>(o - start));
}

// " XX" for every byte value, in upper-case hexadecimal, padded to four bytes for one copy.
inline constexpr auto kCodeByteText = [] {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::array<std::array<char, 4>, 256> t{};
  for (size_t b = 0; b < t.size(); ++b) t[b] = {' ', kHex[b >> 4], kHex[b & 0x0F], ' '};
  return t;
}();

// Appends " 00" `count` times.
void PutZeroCodes(TextBuffer& out, int64_t count);

}  // namespace sink_detail

// The text without codes: characters and dictionary words. With a limit, the text stops growing
// once this sink has written at least `limit` characters (the last item is written whole, so it
// may hold a few more); the decode then only walks the rest of the string for its size count and
// carry-over state. A list row's preview is made this way.
class PlainText {
 public:
  static constexpr bool kTakesCodes = false;

  explicit PlainText(TextBuffer& out, size_t limit = SIZE_MAX)
      : out_(out), stop_(limit > SIZE_MAX - out.Size() ? SIZE_MAX : out.Size() + limit) {}

  void Characters(const uint8_t* bytes, size_t n) { sink_detail::PutCharacters(out_, bytes, n); }
  void Word(const std::string& word) { sink_detail::PutWord(out_, word); }
  void Run(const uint8_t* bytes, const script_scan::Stretch& run, const TextDictionary& dictionary) {
    sink_detail::PutRun(out_, bytes, run, dictionary);
  }
  void Code(const CodeItem&) {}
  bool Full() const { return out_.Size() >= stop_; }

 private:
  TextBuffer& out_;
  size_t stop_;
};

// The text with codes, as the edit box shows it: characters, words, and each group of control
// codes in a row as "[XX XX ...]" in upper-case hexadecimal, arguments included.
class BracketedText {
 public:
  explicit BracketedText(TextBuffer& out) : out_(out) {}

  void Characters(const uint8_t* bytes, size_t n) {
    CloseGroup();
    sink_detail::PutCharacters(out_, bytes, n);
  }
  void Word(const std::string& word) {
    CloseGroup();
    sink_detail::PutWord(out_, word);
  }
  void Run(const uint8_t* bytes, const script_scan::Stretch& run, const TextDictionary& dictionary) {
    CloseGroup();
    sink_detail::PutRun(out_, bytes, run, dictionary);
  }
  void Code(const CodeItem& code) {
    const size_t n = 3 * static_cast<size_t>(code.length);
    char* o = out_.Room(n + 1);  // each byte's text is copied as four bytes
    for (int k = 0; k < code.length; ++k) std::memcpy(o + 3 * k, sink_detail::kCodeByteText[code.bytes[k]].data(), 4);
    if (!groupOpen_) o[0] = '[';
    out_.Advance(n);
    groupOpen_ = true;
  }
  void Zeros(int64_t n, int32_t) { sink_detail::PutZeroCodes(out_, n); }
  void Finish() { CloseGroup(); }

 private:
  void CloseGroup() {
    if (groupOpen_) {
      out_.Put(']');
      groupOpen_ = false;
    }
  }

  TextBuffer& out_;
  bool groupOpen_ = false;
};

// The interpreter listing: a plain-English line for each described control code and the hex
// byte of each undescribed one, with the string's characters and words between them, lines
// joined by "\r\n". It appends to `listing` and hands every item on to `text` as well (NoText
// when only the listing is wanted). `lastCodeDescribed` is the carry-over state before the
// decode: it decides whether the string's first code starts a new line.
template <typename Text>
class Listing {
 public:
  Listing(std::string& listing, bool lastCodeDescribed, Text& text, const CharacterTable* characters = nullptr)
      : listing_(listing), lastDescribed_(lastCodeDescribed), text_(text), characters_(characters) {}

  void Characters(const uint8_t* bytes, size_t n) {
    StartText();
    for (size_t k = 0; k < n; ++k) Put(kGameCharacters.CharacterOf(bytes[k]));
    if constexpr (decode_detail::TakesText<Text>()) text_.Characters(bytes, n);
  }
  void Word(const std::string& word) {
    StartText();
    for (char c : word) Put(c);
    if constexpr (decode_detail::TakesText<Text>()) text_.Word(word);
  }
  void Code(const CodeItem& code) {
    ListCode(code);
    if constexpr (decode_detail::TakesCodes<Text>()) text_.Code(code);
  }
  void Zeros(int64_t n, int32_t at) {
    for (int64_t k = 0; k < n; ++k) {
      ListCode(CodeItem{decode_detail::kZeroCode, 1, lastDescribed_, static_cast<int32_t>(at + k)});
    }
    if constexpr (decode_detail::TakesCodes<Text>()) decode_detail::PutZeros(text_, n, lastDescribed_, at);
  }
  void Finish() { decode_detail::Finish(text_); }

 private:
  // A character or word right after a code starts a new line.
  void StartText() {
    if (afterCode_) listing_ += "\r\n";
    afterCode_ = false;
    atStart_ = false;
  }
  void ListCode(const CodeItem& code);
  // A character as the table shows it.
  void Put(char c) {
    if (characters_ && characters_->Remaps(c)) {
      listing_ += characters_->TextOf(kGameCharacters.ByteOf(c));
    } else {
      listing_.push_back(c);
    }
  }

  std::string& listing_;
  bool lastDescribed_;
  Text& text_;
  const CharacterTable* characters_;
  bool atStart_ = true;
  bool afterCode_ = false;
};

// Appends the line of one control code: its description with the arguments filled in, or for an
// undescribed code its byte in hex and a blank.
void AppendCodeDescription(std::string& listing, const CodeItem& code);

template <typename Text>
void Listing<Text>::ListCode(const CodeItem& code) {
  // A described code starts a new line, and so does any code after a described one.
  if (!atStart_ && (code.described || lastDescribed_)) listing_ += "\r\n";
  AppendCodeDescription(listing_, code);
  lastDescribed_ = code.described;
  atStart_ = false;
  afterCode_ = true;
}

}  // namespace lettermoor
