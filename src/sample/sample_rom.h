#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lettermoor {

inline constexpr size_t kSampleRomSize = 0x300200;          // 3 MB of ROM and the copier header
inline constexpr size_t kSampleExpandedRomSize = 0x400200;  // after the 4096 blank blocks

// What the generator placed, for tests and for the tool's summary.
struct SampleRomLayout {
  // File offsets of the strings of each raw text range, in listing order.
  std::array<std::vector<int64_t>, 11> stringStarts;
  int describedCodes = 0;        // control codes the code table describes, the end codes included
  int undescribedCodes = 0;      // control codes it does not
  int dictionaryReferences = 0;  // two-byte references to dictionary words
};

// A ROM image that the editor accepts, built only from our own story text (samples/script.txt):
// a recognised title, a full text pointer table and plain pointer list, a 767-word dictionary and
// all eleven raw text ranges filled with strings that use printable text, dictionary words and a
// broad mix of control codes, and our own pixel font behind the font table. The same bytes on every call. With `expanded`, the 4096 blank
// blocks that Expand ROM appends follow.
std::vector<uint8_t> MakeSampleRom(bool expanded, SampleRomLayout* layout = nullptr);

// Writes MakeSampleRom(expanded) to `path`, replacing any file there; with `headerless`, without
// its first 0x200 bytes (the copier header), as most dumps come. Gives false when the file
// cannot be written.
[[nodiscard]] bool SaveSampleRom(const std::string& path, bool expanded, bool headerless = false);

}  // namespace lettermoor
