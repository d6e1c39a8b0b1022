#pragma once

// Gettext PO files: a listing's texts for the tools translation teams use (Poedit, Lokalize,
// translation servers, msgmerge). One entry per distinct text:
//
//   #. 41 bytes, room for 41 in place; fits the dialogue window
//   #: line:4 line:1409 record:3 pointer:2
//   msgctxt "$C51D98"
//   msgid "[19 10 56 1A 0A]Tobias tipped his hat.[03 00 02]"
//   msgstr ""
//
// msgctxt is the text's identity (its address in the original ROM, which stays when a text
// moves); msgid the original text; msgstr the text now when it differs, else empty. Texts are
// the script file's, codes in brackets.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rom/snes_address.h"
#include "script/script_file.h"

namespace lettermoor {

struct PoEntry {
  std::vector<std::string> comments;    // "# " lines, the translators' own
  std::vector<std::string> extracted;   // "#." lines
  std::vector<std::string> references;  // the "#:" tokens, in order
  std::vector<std::string> flags;       // the "#," flags
  std::optional<std::string> context;   // msgctxt
  std::string id;
  std::string str;
  bool obsolete = false;  // a "#~" entry
  int line = 0;           // where the entry starts (from 1)
  int strLine = 0;        // its msgstr's line

  bool Fuzzy() const;
  bool IsHeader() const { return id.empty() && !context && !obsolete; }
};

// `text` as one PO string in quotes, with \" \\ \n \t and the other C escapes.
std::string PoQuoted(std::string_view text);

// The header entry and the entries, as a PO file.
std::string WritePo(const PoEntry& header, const std::vector<PoEntry>& entries);
// Appends one entry as WritePo writes it: a file is its header, then a blank line before each entry.
void AppendPoEntry(std::string& out, const PoEntry& entry);
// The two halves of an entry: its comment lines (translator, extracted, references, flags), then
// its msgctxt (when it has one), msgid and msgstr.
void AppendPoComments(std::string& out, const PoEntry& entry);
void AppendPoFields(std::string& out, std::optional<std::string_view> context, std::string_view id,
                    std::string_view str);

// The header entry of our files: UTF-8, and the fields msgfmt --check asks for.
PoEntry PoHeader(std::string_view romName, std::string_view listing);

struct ParsedPo {
  std::vector<PoEntry> entries;  // the header (if any) first, as in the file; obsolete ones too
  std::optional<ScriptError> error;
};

// Reads a whole PO file: comments, flags, continuation lines, obsolete "#~" entries. Refuses
// (with its line) a broken string or escape, a keyword out of place, a plural entry, a
// (msgctxt, msgid) pair given twice, and an entry of ours (with a msgctxt) whose texts the
// encoder would refuse. Through `characters`, the texts are read as the table spells them and
// given as the game's characters.
ParsedPo ParsePo(std::string_view content, const CharacterTable* characters = nullptr);

// The address a msgctxt of ours gives ("$C51D98", anything after a blank ignored).
std::optional<SnesAddress> PoContextAddress(std::string_view context);

// What a PO file holds, counted as msgfmt --statistics counts it (obsolete entries and the header
// aside), and what of it an import takes.
struct PoImportPlan {
  std::vector<ScriptBlock> blocks;  // one per entry that is imported
  int translated = 0;               // a msgstr and no fuzzy flag
  int fuzzy = 0;                    // flagged fuzzy (with a msgstr)
  int untranslated = 0;             // no msgstr: writes nothing
  int skippedFuzzy = 0;             // fuzzy, and not imported
  int skippedChanged = 0;           // the msgid is no longer the original's text, and not imported
};

// The entries of `po` as the script import's blocks: msgctxt the address, "record:N" and
// "pointer:N" references the records and plain pointers that lead to it, msgid the original
// and msgstr the text. Fuzzy entries, and those whose msgid differs from what
// `originalText(address)` gives (when it gives something), are left out unless `includeFuzzy`.
PoImportPlan PlanPoImport(const ParsedPo& po, bool includeFuzzy,
                          const std::function<std::optional<std::string>(SnesAddress)>& originalText);

// An entry's "#." line: the text's size, the room it has in place (none when it shares bytes with
// `shares`, which makes a changed text move), and whether it fits the dialogue window (unsaid when
// the fonts could not be read).
void AppendPoSizeComment(std::string& out, int32_t size, std::optional<SnesAddress> shares, std::optional<bool> fits);

// The import's first lines: what the file holds ("PO file: 412 translated messages, ...") and
// which entries were not imported.
std::string DescribePoImport(const PoImportPlan& plan);

// "412 translated, 3 fuzzy, 1902 untranslated messages" as msgfmt says it.
std::string DescribePoCounts(int translated, int fuzzy, int untranslated);

}  // namespace lettermoor
