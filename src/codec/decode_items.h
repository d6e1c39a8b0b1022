#pragma once

// The decode of one script string, item by item, into a sink the caller owns.
//
// A string is a sequence of items, read from a file offset on:
//   - a character: one byte the character map reads as a character (0x50-0xAA);
//   - a dictionary word: a byte 0x15-0x17 and the byte after it, which select the word;
//   - a control code: any other byte, followed by its argument bytes (for 0x18-0x1F the first
//     argument is a sub-code, which decides how many more follow; undescribed codes have none).
// The string ends after the end code 0x02, or once its size count (the bytes consumed) reaches
// kDecodeSizeLimit: the item that crosses the limit is still taken whole. Bytes outside the file
// read as 0xFF.
//
// DecodeItems walks the items in order and hands each to a sink:
//
//   struct MySink {
//     // Required:
//     void Characters(const uint8_t* bytes, size_t n);  // n characters in a row (one byte each);
//                                                       // bytes[0, n + 16) may be read
//     void Word(const std::string& word);               // one dictionary word
//     void Code(const CodeItem& code);                  // one control code with its arguments
//     // Optional:
//     void Run(const uint8_t* bytes, const script_scan::Stretch& run, const TextDictionary& d);
//                              // a run of characters and words between two codes in one call,
//                              // its word openers marked in run.words; bytes[0, 64) may be read.
//                              // Without it the run comes through Characters() and Word()
//     void Zeros(int64_t n, int32_t at);  // n more codes 0x00 from `at` on, each alone, right
//                              // after a Code() of 0x00 (blank space); without it each comes
//                              // through Code()
//     bool Full() const;       // true once the sink wants nothing more: it gets Finish() and the
//                              // walk goes on only for the size count and the carry-over state.
//                              // Asked after each stretch of text, and after each code for a
//                              // sink that takes codes
//     void Finish();           // called once, after the last item the sink gets
//     static constexpr bool kTakesText = false;   // skip Characters() and Word() (faster)
//     static constexpr bool kTakesCodes = false;  // skip Code() and Zeros()
//     static constexpr bool kStopsWhenFull = true;  // once Full(), the walk ends there
//     static constexpr std::array<uint8_t, 2> kTwoByteItem = {code, subCode};
//                              // a code 0x18-0x1F and a sub-code the table leaves undescribed,
//                              // read as one item of two bytes (the layout's clear-window pair)
//   };
//
// Runs of characters and words are found many bytes at a time (script_scan.h) where the string's
// reach lies in the file's in-memory mirror; elsewhere the bytes are read one by one. Both
// readings give the same items. The sinks the editor uses (the text with or without codes, the
// interpreter listing) are in text_sinks.h; the jump scan (jump_codes.h) and the layout
// (text_layout.cpp) are sinks too. Every item length comes from kCodeRoles.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "codec/control_code_table.h"
#include "codec/decoder_state.h"
#include "codec/script_scan.h"
#include "codec/text_dictionary.h"
#include "rom/rom_file.h"

namespace lettermoor {

// A string never counts more than this many bytes: a decode that meets no end code stops once
// its size count reaches it (the last item may take the count a little past it).
inline constexpr int32_t kDecodeSizeLimit = 4000;

// One control code as the walk hands it to a sink.
struct CodeItem {
  // The code byte, then its argument bytes (a sub-code first). For a code 0x18-0x1F, bytes[1] is
  // the byte after the code (the sub-code) even when the table gives the code no arguments.
  const uint8_t* bytes;
  int length;            // 1 + the number of argument bytes
  bool described;        // the code table describes the code (with its sub-code)
  int32_t at;            // where the code byte stands, counted from the string's start

  uint8_t Code() const { return bytes[0]; }
};

// The sink of a decode that wants only the size count and the carry-over state.
struct NoText {
  static constexpr bool kTakesText = false;
  static constexpr bool kTakesCodes = false;
  void Characters(const uint8_t*, size_t) {}
  void Word(const std::string&) {}
  void Code(const CodeItem&) {}
};

// The bytes the item that starts with `b` takes, `next` being the byte after it: a character
// one, a dictionary reference two, a code itself and its arguments.
inline int ItemLength(uint8_t b, uint8_t next) {
  const ByteRole& role = kCodeRoles.of[b];
  if (role.kind == ByteRole::Character) return 1;
  if (role.kind == ByteRole::DictionaryWord) return 2;
  return 1 + kCodeRoles.CodeOf(b, next).argumentCount;
}

// Bytes in memory, read like a file: 0xFF outside them.
struct ByteSpan {
  std::span<const uint8_t> bytes;
  uint8_t ReadByte(int64_t at) const {
    return at >= 0 && at < MirrorSize() ? bytes[static_cast<size_t>(at)] : uint8_t{0xFF};
  }
  const uint8_t* MirrorData() const { return bytes.data(); }
  int64_t MirrorSize() const { return static_cast<int64_t>(bytes.size()); }
};

// An empty dictionary, for walks that take no text.
extern const TextDictionary kNoWords;

// How DecodeItems reads the bytes: scanned many at a time where it can (always the same items),
// or strictly one by one, the plain reading the scanned one is checked against.
enum class ItemReading { Scanned, OneByOne };

namespace decode_detail {

// A walk on the mirror reaches at most this far past the string's start: an item that starts
// just below the size limit takes at most 7 bytes, and bytes are looked at up to 64 at a time.
inline constexpr int64_t kScanReach = kDecodeSizeLimit + 80;

template <typename Sink>
constexpr bool TakesText() {
  if constexpr (requires { Sink::kTakesText; }) {
    return Sink::kTakesText;
  } else {
    return true;
  }
}

template <typename Sink>
constexpr bool TakesCodes() {
  if constexpr (requires { Sink::kTakesCodes; }) {
    return Sink::kTakesCodes;
  } else {
    return true;
  }
}

template <typename Sink>
bool IsFull(const Sink& sink) {
  if constexpr (requires { sink.Full(); }) {
    return sink.Full();
  } else {
    return false;
  }
}

template <typename Sink>
void Finish(Sink& sink) {
  if constexpr (requires { sink.Finish(); }) sink.Finish();
}

template <typename Sink>
constexpr bool StopsWhenFull() {
  if constexpr (requires { Sink::kStopsWhenFull; }) {
    return Sink::kStopsWhenFull;
  } else {
    return false;
  }
}

// Once the sink is full at `i`: it is finished and, unless it stops the walk, `rest` goes on
// without it, for the size count and the carry-over state.
template <typename Sink, typename Rest>
int64_t AfterFull(Sink& sink, int64_t i, Rest&& rest) {
  Finish(sink);
  if constexpr (StopsWhenFull<Sink>()) {
    return i;
  } else {
    NoText none;
    return rest(none);
  }
}

// The role of the code `b` as `sink` reads it; `sub` (the byte after it) counts only for the
// codes 0x18-0x1F.
template <typename Sink>
[[gnu::always_inline]] inline CodeRole RoleOf(const CodeRoles& roles, uint8_t b, uint8_t sub) {
  const ByteRole& role = roles.of[b];
  if (role.kind != ByteRole::SubCodedCode) return role.code;
  if constexpr (requires { Sink::kTwoByteItem; }) {
    if (b == Sink::kTwoByteItem[0] && sub == Sink::kTwoByteItem[1]) return CodeRole{.argumentCount = 1};
  }
  return roles.subCoded[b - 0x18][sub];
}

inline constexpr uint8_t kZeroCode[24] = {};

// `n` codes 0x00 from `at` on.
template <typename Sink>
void PutZeros(Sink& sink, int64_t n, bool described, int32_t at) {
  if constexpr (requires { sink.Zeros(n, at); }) {
    sink.Zeros(n, at);
  } else {
    for (int64_t k = 0; k < n; ++k) sink.Code(CodeItem{kZeroCode, 1, described, static_cast<int32_t>(at + k)});
  }
}

// The items of a stretch of characters and words, in order.
template <typename Sink>
[[gnu::always_inline]] inline void PutStretch(const uint8_t* from, const script_scan::Stretch& stretch,
                                              const TextDictionary& dictionary, Sink& sink) {
  if constexpr (requires { sink.Run(from, stretch, dictionary); }) {
    sink.Run(from, stretch, dictionary);
  } else {
    int64_t next = 0;
    for (uint64_t words = stretch.words; words != 0; words &= words - 1) {
      const int64_t w = __builtin_ctzll(words);
      if (w > next) sink.Characters(from + next, static_cast<size_t>(w - next));
      sink.Word(dictionary.Word(from[w], from[w + 1]));
      next = w + 2;
    }
    if (stretch.length > next) sink.Characters(from + next, static_cast<size_t>(stretch.length - next));
  }
}

// The walk over the mirror, from `i` bytes into the string on: `bytes` is the string's start and
// kScanReach bytes from there are readable. Every item consumes exactly the bytes it counts, so
// the size count is the number of bytes consumed.
template <typename Sink>
int64_t WalkScanned(const uint8_t* bytes, const TextDictionary& dictionary, const CodeRoles& roles,
                    Sink& sink, int64_t i, bool& lastDescribed) {
  auto rest = [&](auto& none) { return WalkScanned(bytes, dictionary, roles, none, i, lastDescribed); };
  while (i < kDecodeSizeLimit) {
    // Characters and words up to the next control code, many at a time. Codes often come
    // several in a row: one that stands here goes straight on to its own step below.
    if (roles.of[bytes[i]].kind < ByteRole::Code) {
      const script_scan::Stretch stretch =
          script_scan::ScanStretch(bytes + i, std::min<int64_t>(48, kDecodeSizeLimit - i));
      if constexpr (TakesText<Sink>()) PutStretch(bytes + i, stretch, dictionary, sink);
      i += stretch.length;
      if (IsFull(sink)) return AfterFull(sink, i, rest);
      if (!stretch.beforeCode) continue;
    }
    const uint8_t b = bytes[i];
    const CodeRole role = RoleOf<Sink>(roles, b, bytes[i + 1]);
    const int n = role.argumentCount;
    if constexpr (TakesCodes<Sink>()) sink.Code(CodeItem{bytes + i, 1 + n, role.described, static_cast<int32_t>(i)});
    i += 1 + n;
    lastDescribed = role.described;
    if (b == kEndCode) break;
    if (b == 0x00 && n == 0) {
      // Blank space (each expansion block is 255 zero bytes) goes by in one step: every zero is
      // a code of its own with no arguments, counted and shown like the one just read.
      const int64_t run = script_scan::ZeroRun(bytes + i, kDecodeSizeLimit - i);
      if constexpr (TakesCodes<Sink>()) {
        if (run > 0) PutZeros(sink, run, role.described, static_cast<int32_t>(i));
      }
      i += run;
    }
    if constexpr (TakesCodes<Sink>()) {
      if (IsFull(sink)) return AfterFull(sink, i, rest);
    }
  }
  Finish(sink);
  return i;
}

// The same walk reading byte after byte through ReadByte (0xFF outside the file).
template <typename Bytes, typename Sink>
int64_t WalkOneByOne(const Bytes& rom, int64_t offset, const TextDictionary& dictionary,
                     const CodeRoles& roles, Sink& sink, int64_t i, bool& lastDescribed) {
  auto rest = [&](auto& none) { return WalkOneByOne(rom, offset, dictionary, roles, none, i, lastDescribed); };
  uint8_t item[24] = {};  // one item's bytes, and room for a sink's 16-byte reads
  while (i < kDecodeSizeLimit) {
    const uint8_t b = rom.ReadByte(offset + i);
    const ByteRole::Kind kind = roles.of[b].kind;
    if (kind == ByteRole::Character || kind == ByteRole::DictionaryWord) {
      if (kind == ByteRole::Character) {
        item[0] = b;
        if constexpr (TakesText<Sink>()) sink.Characters(item, 1);
        i += 1;
      } else {
        if constexpr (TakesText<Sink>()) sink.Word(dictionary.Word(b, rom.ReadByte(offset + i + 1)));
        i += 2;
      }
      if (IsFull(sink)) return AfterFull(sink, i, rest);
      continue;
    }
    int read = 1;  // item bytes read so far
    item[0] = b;
    if (kind == ByteRole::SubCodedCode) item[read++] = rom.ReadByte(offset + i + 1);
    const CodeRole role = RoleOf<Sink>(roles, b, item[1]);
    const int n = role.argumentCount;
    if constexpr (TakesCodes<Sink>()) {
      for (; read <= n; ++read) item[read] = rom.ReadByte(offset + i + read);
      sink.Code(CodeItem{item, 1 + n, role.described, static_cast<int32_t>(i)});
    }
    i += 1 + n;
    lastDescribed = role.described;
    if (b == kEndCode) break;
    if constexpr (TakesCodes<Sink>()) {
      if (IsFull(sink)) return AfterFull(sink, i, rest);
    }
  }
  Finish(sink);
  return i;
}

}  // namespace decode_detail

// The walk of DecodeItems for a caller that keeps no decoder state: `lastDescribed` is the
// carry-over, whether the last control code met was described.
template <typename Bytes, typename Sink>
int32_t ReadItems(const Bytes& rom, int64_t offset, const TextDictionary& dictionary, Sink& sink,
                  bool& lastDescribed, ItemReading reading = ItemReading::Scanned) {
  const bool scanned = reading == ItemReading::Scanned && offset >= 0 &&
                       offset <= rom.MirrorSize() - decode_detail::kScanReach;
  return static_cast<int32_t>(
      scanned ? decode_detail::WalkScanned(rom.MirrorData() + offset, dictionary, kCodeRoles, sink, 0, lastDescribed)
              : decode_detail::WalkOneByOne(rom, offset, dictionary, kCodeRoles, sink, 0, lastDescribed));
}

// Decodes the string at `offset` item by item into `sink` and gives its size count. Reads and
// updates the carry-over `state.lastCodeDescribed` (whether the last control code met, in this
// string or an earlier one, was described), and empties `state.interpreterText`, the listing of
// the string decoded last (a listing sink may be writing into it: it is emptied before the first
// item). The dictionary gives the words. `Bytes` is a RomFile, or anything with its ReadByte,
// MirrorData and MirrorSize.
template <typename Bytes, typename Sink>
int32_t DecodeItems(const Bytes& rom, int64_t offset, const TextDictionary& dictionary,
                    DecoderState& state, Sink& sink, ItemReading reading = ItemReading::Scanned) {
  state.interpreterText.clear();
  bool lastDescribed = state.lastCodeDescribed;
  const int32_t size = ReadItems(rom, offset, dictionary, sink, lastDescribed, reading);
  state.lastCodeDescribed = lastDescribed;
  return size;
}

}  // namespace lettermoor
