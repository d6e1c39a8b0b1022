#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "codec/character_map.h"
#include "codec/text_dictionary.h"

namespace lettermoor {

// The encoder that puts dictionary words back: the smallest byte encoding of an editable text
// whose decode equals the decode of TextEncoder's bytes for the same text.
//
// Only characters typed outside brackets that the decoder reads as printable items of the plain
// encoding may be replaced: never an argument byte of a control code (in "[04]the" code 04 takes
// "t" and "h") nor the byte after a dictionary reference, and bracket groups are copied byte for
// byte. Words of fewer than three characters (slot 0 among them) save nothing and are never
// used, nor words holding a bracket or a character the encoder would not write back as itself.
//
// The choice of words is an optimal parse: a dynamic programme over the runs of replaceable
// characters, walking a trie of the words from each position. Each trie step is a constant-time
// lookup and a position takes at most one step per character of the longest word (24), so the
// work is linear in the text's length: at most 24 steps per character.
class TextCompressor {
 public:
  // Buffers a caller keeps between calls, so that measuring on every keystroke allocates nothing
  // once they have grown to the text's size. One per caller at a time; the compressor itself
  // stays unchanged and may be shared.
  class Scratch {
    friend class TextCompressor;
    std::vector<uint8_t> plain;    // the plain encoding
    std::vector<uint32_t> breaks;  // in order, where plain holds a byte that is not a game
                                   // character typed outside brackets: these start items
    struct Pick {
      int16_t slot;    // the word starting the cheapest encoding here, or -1 for the character
      uint8_t length;  // its length
    };
    std::vector<Pick> picks;
  };

  explicit TextCompressor(const TextDictionary& dictionary);

  // The compressed bytes. Like TextEncoder, no bracket check.
  std::vector<uint8_t> Encode(std::string_view text) const;
  // The same, into `out` (replacing its content), using the caller's buffers.
  void Encode(std::string_view text, Scratch& scratch, std::vector<uint8_t>& out) const;

  // Like MeasureText, with the compressed size: MeasureText's refusal (a negative result) for a
  // text it refuses, otherwise the number of bytes Encode gives.
  int32_t Measure(std::string_view text) const;
  int32_t Measure(std::string_view text, Scratch& scratch) const;

  // How many words of the dictionary the parse may use (distinct, at least three characters).
  int UsableWords() const { return usableWords_; }

 private:
  // Each trie node keeps its children together, in a table of its own over the bytes from its
  // lowest child's to its highest child's: a child is one comparison and one load away, with no
  // sibling lists to walk. A byte in between with no child has a node of its own with no word and
  // no children, where every walk stops. Most nodes have one or two children, so there are few.
  struct Node {
    uint32_t table = 0;  // where the node's children start in nodes_
    uint8_t low = 0;     // the byte of its first child
    uint8_t span = 0;    // the bytes its children cover (0: none)
    int16_t slot = -1;   // the word ending here, or -1
  };
  static constexpr unsigned kPrintableBytes = kGameCharacters.ByteCount();

  // The child of `node` on byte `b`, or 0 (the root is nobody's child).
  uint32_t Child(const Node& node, uint8_t b) const {
    const unsigned k = static_cast<unsigned>(b) - node.low;
    return k < node.span ? node.table + k : 0;
  }
  // Fills scratch.plain and scratch.breaks with the text's plain encoding. Gives MeasureText's
  // refusal for a text it refuses, otherwise 0.
  static int32_t PlainEncoding(std::string_view text, Scratch& scratch);
  // The fewest bytes for the run of printable bytes `run`; with `picks` (one per byte) also
  // which word, if any, starts the cheapest encoding at each byte. `peekingCode` is the
  // sub-coded control code right before the run that read its first byte as a sub-code and left
  // it (-1 for none): a reference may start the run only where that code reads its byte alike.
  int32_t ParseRun(const uint8_t* run, size_t n, int peekingCode, Scratch::Pick* picks) const;
  template <bool kPicks>
  int32_t ParseRun(const uint8_t* run, size_t n, int peekingCode, Scratch::Pick* picks) const;
  // Walks the plain encoding item by item as the decoder will read it: gives the compressed
  // size, and with `out` appends the compressed bytes.
  int32_t Compress(Scratch& scratch, std::vector<uint8_t>* out) const;

  std::vector<Node> nodes_;  // nodes_[0] is the root
  // Every word has three characters or more, so each walk starts two characters deep: the node
  // for a pair of printable bytes, by their places among the printable bytes, or 0 where no word starts so.
  std::vector<uint32_t> pairs_;
  int usableWords_ = 0;
};

class RomFile;
struct WriteTextResult;

// WriteText with the compressed bytes: writes them at `offset`, in place, synced to disk, or
// nothing when they would reach past the end of the file.
[[nodiscard]] WriteTextResult WriteCompressedText(RomFile& rom, int64_t offset, std::string_view text,
                                                  const TextCompressor& compressor);

// True for a character that the encoder writes as the printable byte that decodes back to it,
// and that is not a bracket.
constexpr bool IsPlainWordCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u <= 0x7A && c != '[' && c != ']';
}

}  // namespace lettermoor
