#pragma once

#include <string>

namespace lettermoor::bench {

// The two ROM files every benchmark reads, written into a private temporary directory.
struct BenchInputs {
  std::string dir;
  // The expanded sample ROM (0x400200 bytes): every listing at its full natural size.
  std::string sample;
  // The expanded sample with its eleven raw text ranges packed with short strings, so that the
  // raw listing stops at the 8000-entry cap; records 0-7 of its pointer table share one text.
  std::string worst;
  // A copy of the worst case that the apply benchmark writes to.
  std::string applyTarget;
  // The sample before its expansion: the sample's original, every text of it untranslated.
  std::string original;
};

// How many of the first records of the worst case's pointer table lead to one shared text.
inline constexpr int kSharedRecordCount = 8;

// Writes the input files into `dir` (which must exist). Gives false when a file cannot be written.
[[nodiscard]] bool WriteBenchInputs(const std::string& dir, BenchInputs& inputs);

// Makes a fresh temporary directory and writes the inputs there; aborts the program on failure.
BenchInputs MakeBenchInputs();

// Removes the directory and the files MakeBenchInputs made.
void RemoveBenchInputs(const BenchInputs& inputs);

}  // namespace lettermoor::bench
