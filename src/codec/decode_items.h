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
//     void Zeros(int64_t n);   // n more codes 0x00, each alone, right after a Code() of 0x00
//                              // (blank space); without it each comes through Code()
//     bool Full() const;       // true once the sink wants nothing more: it gets Finish() and the
//                              // walk goes on only for the size count and the carry-over state
//     void Finish();           // called once, after the last item the sink gets
//     static constexpr bool kTakesText = false;   // skip Characters() and Word() (faster)
//     static constexpr bool kTakesCodes = false;  // skip Code() and Zeros()
//   };
//
// Runs of characters and words are found many bytes at a time (script_scan.h) where the string's
// reach lies in the file's in-memory mirror; elsewhere the bytes are read one by one. Both
// readings give the same items. The sinks the editor uses (the text with or without codes, the
// interpreter listing) are in text_sinks.h.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

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

// How DecodeItems reads the bytes: scanned many at a time where it can (always the same items),
// or strictly one by one, the plain reading the scanned one is checked against.
enum class ItemReading { Scanned, OneByOne };

namespace decode_detail {

// What the walk needs to know of each byte value, worked out once from the byte classes and the
// control-code table.
struct ByteRole {
  enum Kind : uint8_t { Character, DictionaryWord, Code, SubCodedCode };
  Kind kind = Code;
  uint8_t argumentCount = 0;  // for codes without a sub-code
  bool described = false;     // for codes without a sub-code
};

struct SubCodeRole {
  uint8_t argumentCount = 0;
  bool described = false;
};

struct CodeRoles {
  ByteRole of[256];
  SubCodeRole subCoded[8][256];  // for the codes 0x18-0x1F, by sub-code
};

// Made once at start-up, so that a decode reaches it without a first-use check.
extern const CodeRoles kCodeRoles;

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

inline constexpr uint8_t kZeroCode[24] = {};

template <typename Sink>
void PutZeros(Sink& sink, int64_t n, bool described) {
  if constexpr (requires { sink.Zeros(n); }) {
    sink.Zeros(n);
  } else {
    for (int64_t k = 0; k < n; ++k) sink.Code(CodeItem{kZeroCode, 1, described});
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
  while (i < kDecodeSizeLimit) {
    // Characters and words up to the next control code, many at a time. Codes often come
    // several in a row: one that stands here goes straight on to its own step below.
    if (roles.of[bytes[i]].kind < ByteRole::Code) {
      const script_scan::Stretch stretch =
          script_scan::ScanStretch(bytes + i, std::min<int64_t>(48, kDecodeSizeLimit - i));
      if constexpr (TakesText<Sink>()) PutStretch(bytes + i, stretch, dictionary, sink);
      i += stretch.length;
      if (IsFull(sink)) {
        Finish(sink);
        NoText rest;
        return WalkScanned(bytes, dictionary, roles, rest, i, lastDescribed);
      }
      if (!stretch.beforeCode) continue;
    }
    const uint8_t b = bytes[i];
    const ByteRole role = roles.of[b];
    int n = role.argumentCount;
    bool described = role.described;
    if (role.kind == ByteRole::SubCodedCode) {
      const SubCodeRole sub = roles.subCoded[b - 0x18][bytes[i + 1]];
      n = sub.argumentCount;
      described = sub.described;
    }
    if constexpr (TakesCodes<Sink>()) sink.Code(CodeItem{bytes + i, 1 + n, described});
    i += 1 + n;
    lastDescribed = described;
    if (b == 0x02) break;  // the end code
    if (b == 0x00 && n == 0) {
      // Blank space (each expansion block is 255 zero bytes) goes by in one step: every zero is
      // a code of its own with no arguments, counted and shown like the one just read.
      const int64_t run = script_scan::ZeroRun(bytes + i, kDecodeSizeLimit - i);
      if constexpr (TakesCodes<Sink>()) {
        if (run > 0) PutZeros(sink, run, described);
      }
      i += run;
    }
  }
  Finish(sink);
  return i;
}

// The same walk reading byte after byte through ReadByte (0xFF outside the file).
template <typename Bytes, typename Sink>
int64_t WalkOneByOne(const Bytes& rom, int64_t offset, const TextDictionary& dictionary,
                     const CodeRoles& roles, Sink& sink, int64_t i, bool& lastDescribed) {
  uint8_t item[24] = {};  // one item's bytes, and room for a sink's 16-byte reads
  while (i < kDecodeSizeLimit) {
    const uint8_t b = rom.ReadByte(offset + i);
    const ByteRole role = roles.of[b];
    if (role.kind == ByteRole::Character || role.kind == ByteRole::DictionaryWord) {
      if (role.kind == ByteRole::Character) {
        item[0] = b;
        if constexpr (TakesText<Sink>()) sink.Characters(item, 1);
        i += 1;
      } else {
        if constexpr (TakesText<Sink>()) sink.Word(dictionary.Word(b, rom.ReadByte(offset + i + 1)));
        i += 2;
      }
      if (IsFull(sink)) {
        Finish(sink);
        NoText rest;
        return WalkOneByOne(rom, offset, dictionary, roles, rest, i, lastDescribed);
      }
      continue;
    }
    int n = role.argumentCount;
    bool described = role.described;
    int read = 1;  // item bytes read so far
    item[0] = b;
    if (role.kind == ByteRole::SubCodedCode) {
      item[read++] = rom.ReadByte(offset + i + 1);
      const SubCodeRole sub = roles.subCoded[b - 0x18][item[1]];
      n = sub.argumentCount;
      described = sub.described;
    }
    if constexpr (TakesCodes<Sink>()) {
      for (; read <= n; ++read) item[read] = rom.ReadByte(offset + i + read);
      sink.Code(CodeItem{item, 1 + n, described});
    }
    i += 1 + n;
    lastDescribed = described;
    if (b == 0x02) break;  // the end code
  }
  Finish(sink);
  return i;
}

}  // namespace decode_detail

// Decodes the string at `offset` item by item into `sink` and gives its size count. Reads and
// updates the carry-over `state.lastCodeDescribed` (whether the last control code met, in this
// string or an earlier one, was described), and empties `state.interpreterText`, the listing of
// the string decoded last (a listing sink may be writing into it: it is emptied before the first
// item). The dictionary gives the words. `Bytes` is a RomFile, or anything with its ReadByte,
// MirrorData and MirrorSize.
template <typename Bytes, typename Sink>
int32_t DecodeItems(const Bytes& rom, int64_t offset, const TextDictionary& dictionary,
                    DecoderState& state, Sink& sink, ItemReading reading = ItemReading::Scanned) {
  const decode_detail::CodeRoles& roles = decode_detail::kCodeRoles;
  state.interpreterText.clear();
  bool lastDescribed = state.lastCodeDescribed;
  const bool scanned = reading == ItemReading::Scanned && offset >= 0 &&
                       offset <= rom.MirrorSize() - decode_detail::kScanReach;
  const int64_t size =
      scanned ? decode_detail::WalkScanned(rom.MirrorData() + offset, dictionary, roles, sink, 0, lastDescribed)
              : decode_detail::WalkOneByOne(rom, offset, dictionary, roles, sink, 0, lastDescribed);
  state.lastCodeDescribed = lastDescribed;
  return static_cast<int32_t>(size);
}

}  // namespace lettermoor
