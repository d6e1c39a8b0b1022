#include "bench_inputs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "codec/character_map.h"
#include "entries/text_entry_table.h"
#include "rom/snes_address.h"
#include "sample/sample_rom.h"

namespace lettermoor::bench {

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

void PutLe32(std::vector<uint8_t>& rom, int64_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) rom[static_cast<size_t>(at + i)] = static_cast<uint8_t>(value >> (8 * i));
}

// Script bytes for plain characters.
void PutText(std::vector<uint8_t>& out, const char* text) {
  for (const char* p = text; *p; ++p) out.push_back(kGameCharacters.ByteOf(*p));
}

// A 28-byte string: 20 characters, a dictionary word, a code with arguments, a prompt, a
// newline and the end code. Short enough that the raw ranges hold far more than 8000 of them,
// varied enough to run through every path of the decoder.
std::vector<uint8_t> ShortString(int n) {
  std::vector<uint8_t> s;
  char letters[21];
  std::snprintf(letters, sizeof letters, "Packed line %08d", n % 100000000);
  PutText(s, letters);
  s.insert(s.end(), {0x15, static_cast<uint8_t>(1 + n % 200), 0x1F, 0x00, static_cast<uint8_t>(n), 0x03,
                     0x00, 0x02});
  return s;
}

// The worst case: every raw range packed with short strings from its first byte on.
std::vector<uint8_t> MakeWorstCase() {
  std::vector<uint8_t> rom = MakeSampleRom(true);
  int n = 0;
  for (const TextRange& range : kRawTextRanges) {
    int64_t at = range.start;
    while (at < range.end) {
      const std::vector<uint8_t> s = ShortString(n++);
      for (size_t i = 0; i < s.size() && at + static_cast<int64_t>(i) < static_cast<int64_t>(rom.size()); ++i) {
        rom[static_cast<size_t>(at) + i] = s[i];
      }
      at += static_cast<int64_t>(s.size());
    }
  }
  // A plain text (no dictionary word, so it encodes back to its own size) shared by the first
  // records of the pointer table: one apply renews all their rows.
  std::vector<uint8_t> shared;
  PutText(shared, "A text that several records share");
  shared.insert(shared.end(), {0x03, 0x00, 0x02});
  const int64_t sharedAt = kRawTextRanges[0].start;
  for (size_t i = 0; i < shared.size(); ++i) rom[static_cast<size_t>(sharedAt) + i] = shared[i];
  for (int r = 0; r < kSharedRecordCount; ++r) {
    PutLe32(rom, kPointerTableStart + static_cast<int64_t>(r) * kPointerRecordSize + 13,
            static_cast<uint32_t>(FileOffsetToSnes(static_cast<int32_t>(sharedAt))));
  }
  return rom;
}

}  // namespace

bool WriteBenchInputs(const std::string& dir, BenchInputs& inputs) {
  inputs.dir = dir;
  inputs.sample = dir + "/sample.smc";
  inputs.worst = dir + "/worst.smc";
  inputs.applyTarget = dir + "/apply.smc";
  inputs.original = dir + "/original.smc";
  const std::vector<uint8_t> worst = MakeWorstCase();
  return WriteFile(inputs.sample, MakeSampleRom(true)) && WriteFile(inputs.worst, worst) &&
         WriteFile(inputs.applyTarget, worst) && WriteFile(inputs.original, MakeSampleRom(false));
}

BenchInputs MakeBenchInputs() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lettermoor-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::perror("lettermoor_bench: cannot make a temporary directory");
    std::exit(1);
  }
  BenchInputs inputs;
  if (!WriteBenchInputs(pattern, inputs)) {
    std::fprintf(stderr, "lettermoor_bench: cannot write the input ROMs to %s\n", pattern.c_str());
    std::exit(1);
  }
  return inputs;
}

void RemoveBenchInputs(const BenchInputs& inputs) {
  std::error_code ignored;
  if (!inputs.dir.empty()) std::filesystem::remove_all(inputs.dir, ignored);
}

}  // namespace lettermoor::bench
