#pragma once

#include <string>
#include <vector>

namespace lettermoor::bench {

// The expanded-listing fill done the straightforward way, as a literal port of the byte-by-byte
// design would do it: the ROM is read through a stdio stream one byte at a time, every control
// code costs a tell and a seek, every string is decoded once for its size and once more for its
// row preview, and nothing is cached. Opens the file, checks its title, loads the dictionary,
// lists the expansion area, makes every row's preview and decodes row 0 for the edit box.
// Gives the rows (empty when the file cannot be opened or is not recognised).
std::vector<std::string> StdioReferenceExpandedFill(const std::string& path);

}  // namespace lettermoor::bench
