#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/character_table.h"
#include "codec/decoder_state.h"
#include "codec/text_dictionary.h"
#include "entries/text_entry.h"
#include "rom/snes_address.h"

namespace lettermoor {

class RomFile;
class ReferenceIndex;

// A script file: every text of a listing, once per text address, each with its original beside
// it, to be edited in any text editor and read back in whole (docs/script-format.md).
//
//   @ $C50010 21 bytes, 2 references
//   # lines 1, 4; Pointer record 0; Plain pointer 2
//   #< Hello[03 00 02]
//   Hello[03 00 02]
//
// "@ $XXXXXX" opens a block (its rest is information); "#<" gives the original text; the first
// other line that is not a comment is the text to write. Every other "#" line is a comment.

// Called now and then with how much of the work is done; gives false to stop it.
using ScriptProgress = std::function<bool(int done, int total)>;

// The listing's names in a script file's first line.
const char* ScriptListingName(ListingMode mode);

// The line that names the character table a script was exported with (none: no table).
inline constexpr std::string_view kScriptTableLine = "# Character table: ";

// The whole script file of a listing: one block per distinct text address, in listing order.
// `index`, when given, adds the references to each text; `romName` goes into the first line.
// Through `characters`, the texts are written as the table shows them and the file names it.
// Gives nothing when `progress` stopped it.
std::optional<std::string> ExportScript(const RomFile& rom, const TextEntryTable& table, ListingMode mode,
                                        const TextDictionary& dictionary, DecoderState& state,
                                        const ReferenceIndex* index, std::string_view romName,
                                        const ScriptProgress& progress = {},
                                        const CharacterTable* characters = nullptr);

// One block as read back.
struct ScriptBlock {
  SnesAddress address = 0;
  int headerLine = 0;    // lines counted from 1
  // How many references led to the text at the export ("@ $C50010 21 bytes, 3 references");
  // -1 when the header does not say.
  int references = -1;
  // The pointer records and plain pointers that led to the text at the export, from the comment
  // line "# lines 4, 9; Pointer record 3; Plain pointer 2": what identifies the block when its
  // text has moved since.
  std::vector<int> records;
  std::vector<int> plainPointers;
  std::string original;  // the "#<" text
  int textLine = 0;
  std::string text;      // the text to write
};

// Where a script file goes wrong: its line (from 1), the column in it (from 1, 0 for the whole
// line) and what was expected there.
struct ScriptError {
  int line = 0;
  int column = 0;
  std::string expected;
};

struct ParsedScript {
  std::vector<ScriptBlock> blocks;
  std::string table;  // the character table the file names (kScriptTableLine); empty for none
  std::optional<ScriptError> error;  // the first fault; then `blocks` is incomplete
};

// What is wrong with `text` as the encoder would read it (unbalanced brackets, a token in brackets
// that is not a byte, a character that is not the game's), with its column counted from
// `column0` + 1; nothing when it encodes as written. The error's line is left 0.
std::optional<ScriptError> CheckScriptText(std::string_view text, int column0);

// A character of a text that the character table in use cannot spell, as a file's fault (its
// line left 0, its column the character's).
ScriptError TableCharacterError(const NonGameCharacter& bad);

// Reads a whole script file, checking its form and every text's brackets and characters (a
// text the encoder would refuse is a fault of the file). A line may end in "\r\n". Through
// `characters`, each text is read as the table spells it and given as the game's characters.
ParsedScript ParseScript(std::string_view content, const CharacterTable* characters = nullptr);

// Whether a script names another character table than the one in use (`inUse` empty: none), and
// the sentence that refuses its import then.
bool OtherTable(const ParsedScript& script, std::string_view inUse);
std::string DescribeOtherTable(std::string_view fileName, std::string_view exportedWith, std::string_view inUse);

// What is wrong with `text` as the text of a block (its line 0, its column from 1); nothing when
// it encodes to what it says.
std::optional<ScriptError> CheckScriptText(std::string_view text);

// "LINE:COLUMN: expected ..." (or "LINE: ...") after the file's name.
std::string DescribeScriptError(std::string_view fileName, const ScriptError& error);

// Reading stops here: far above any script (a whole expanded listing is under 7 MB), so that a
// device or an endless stream given as the script cannot take all memory.
inline constexpr int64_t kScriptFileLimit = int64_t{64} << 20;

// A script file read whole, or why it was not.
struct ScriptFileRead {
  enum class Fault { None, CannotRead, NotARegularFile, TooLarge };
  Fault fault = Fault::None;
  int error = 0;  // the system's error number, for CannotRead
  std::string content;
};

// Reads the script file at `path`, or standard input for "-". Anything but a regular file (a
// FIFO, a device, a folder) is refused before a byte is read; so is a file larger than
// kScriptFileLimit, and standard input is read no further than that.
ScriptFileRead ReadScriptFile(const std::string& path);

// "Cannot read NAME: ..." for a read that failed.
std::string DescribeScriptReadFault(std::string_view fileName, const ScriptFileRead& read);

}  // namespace lettermoor
