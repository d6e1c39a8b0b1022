#include "script/script_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <span>
#include <unordered_map>

#include "base/second_core.h"
#include "codec/bracket_check.h"
#include "codec/decode_items.h"
#include "codec/hex_text.h"
#include "codec/jump_codes.h"
#include "codec/text_encoder.h"
#include "entries/entry_points.h"
#include "entries/reference_index.h"
#include "entries/text_blocks.h"
#include "rom/rom_file.h"
#include "script/script_text.h"

namespace lettermoor {

namespace {

constexpr std::string_view kHeader = "@ $";
constexpr std::string_view kOriginal = "#<";

// The text after a two-character line prefix and its one optional blank.
std::string_view AfterPrefix(std::string_view line, size_t prefix) {
  line.remove_prefix(prefix);
  if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  return line;
}

// The address of a header line, or nothing when it is not "@ $" and 1 to 8 hexadecimal digits
// followed by a blank or the end of the line.
std::optional<SnesAddress> HeaderAddress(std::string_view line) {
  if (!line.starts_with(kHeader)) return std::nullopt;
  size_t at = kHeader.size();
  uint32_t value = 0;
  size_t digits = 0;
  for (; at < line.size() && HexValue(line[at]) >= 0; ++at, ++digits) value = value * 16 + static_cast<uint32_t>(HexValue(line[at]));
  if (digits == 0 || digits > 8) return std::nullopt;
  if (at < line.size() && line[at] != ' ') return std::nullopt;
  return static_cast<SnesAddress>(value);
}

// A refused character as the error names it: "\"é\" (U+00E9)", "a tab (U+0009)", "the byte 0xFF".
std::string NameOf(const NonGameCharacter& bad) {
  char code[64];
  if (bad.malformed) {
    std::snprintf(code, sizeof code, "the byte 0x%02X (the file is not UTF-8 here)", static_cast<unsigned>(bad.character));
    return code;
  }
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(bad.character));
  if (bad.character == U'\t') return std::string("a tab (") + code + ")";
  if (bad.character < 0x20 || (bad.character >= 0x7F && bad.character < 0xA0)) return std::string("the control character ") + code;
  return "\"" + bad.utf8 + "\" (" + code + ")";
}

// The reference count of a header, "... N bytes, R references"; -1 when it gives none.
int HeaderReferences(std::string_view line) {
  const size_t comma = line.rfind(", ");
  if (comma == std::string_view::npos) return -1;
  std::string_view rest = line.substr(comma + 2);
  int value = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (ec != std::errc() || end == rest.data()) return -1;
  rest.remove_prefix(static_cast<size_t>(end - rest.data()));
  return rest == " reference" || rest == " references" ? value : -1;
}

// What is wrong with a text as the encoder would read it, with its column (from 1, counted in
// bytes of the line); nothing when it encodes as written.
std::optional<ScriptError> CheckText(std::string_view text, int column0) {
  if (const int fault = BracketFaultColumn(text); fault != 0) {
    const bool stray = text[static_cast<size_t>(fault - 1)] == ']';
    return ScriptError{0, column0 + fault,
                       stray ? "expected no \"]\" here: it closes no \"[\" (write a bracket as the code [8D])"
                             : "expected a \"]\" to close this \"[\" (write a bracket as the code [8B])"};
  }
  // Inside brackets, a file takes only the tokens the encoder writes as they read: one byte of
  // one or two hexadecimal digits.
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '[') {
      ++i;
      continue;
    }
    std::optional<BracketToken> inexact;
    i = WalkBracketGroup(text, i, [&](const BracketToken& t) {
      if (!t.exact && !inexact) inexact = t;
    });
    if (inexact) {
      return ScriptError{0, column0 + static_cast<int>(inexact->start) + 1,
                         "expected a byte of two hexadecimal digits inside brackets, found \"" +
                             std::string(text.substr(inexact->start, inexact->length)) + "\""};
    }
  }
  if (const std::optional<NonGameCharacter> bad = FindNonGameCharacter(text)) {
    // Columns count characters here, as the editor shows them.
    return ScriptError{0, column0 + bad->column,
                       "expected a game character, found " + NameOf(*bad) +
                           " (write a byte the game shows otherwise as a bracketed code, e.g. [02])"};
  }
  return std::nullopt;
}

// Through a table, a text of the file as the encoder reads it, in place.
std::optional<ScriptError> FromTable(const CharacterTable* table, std::string& text, int column0) {
  if (!table) return std::nullopt;
  std::string game;
  NonGameCharacter bad;
  if (!table->ToGameText(text, game, bad)) {
    ScriptError error = TableCharacterError(bad);
    error.column += column0;
    return error;
  }
  text = std::move(game);
  return std::nullopt;
}

// The text appended to `out` from `from` on, as the table shows it. A table text that would read
// as a comment or a header at the start, or be trimmed as a blank at the end, goes as its code.
void ShowScriptText(const CharacterTable& table, std::string& out, size_t from) {
  const std::string game = out.substr(from);
  out.resize(from);
  table.AppendDisplay(out, game);
  const auto code = [&](char c) {
    std::string group = "[";
    AppendHexByte(group, kGameCharacters.ByteOf(c));
    return group + "]";
  };
  if (game.empty()) return;
  if (game.back() != ']' && table.Remaps(game.back()) && out.back() == ' ') {
    out.replace(out.size() - 1, 1, code(game.back()));
  }
  const char first = out[from];
  if (game[0] != '[' && table.Remaps(game[0]) && (first == '#' || first == '@' || first == ' ')) {
    out.replace(from, 1, code(game[0]));
  }
}

void AppendNumber(std::string& out, int64_t value) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  out.append(buf, end);
}

// An address as "%06X" gives it.
void AppendAddress(std::string& out, SnesAddress address) {
  const auto a = static_cast<uint32_t>(address);
  int digits = 6;
  while (digits < 8 && (a >> (4 * digits)) != 0) ++digits;
  for (int d = digits - 1; d >= 0; --d) out.push_back(kHexDigits[(a >> (4 * d)) & 0xF]);
}


// The numbers after each "Pointer record " and "Plain pointer " of a comment line.
void ReadLeads(std::string_view line, ScriptBlock& block) {
  auto numbersAfter = [&](std::string_view label, std::vector<int>& out) {
    for (size_t at = line.find(label); at != std::string_view::npos; at = line.find(label, at)) {
      at += label.size();
      int value = 0;
      const auto [end, ec] = std::from_chars(line.data() + at, line.data() + line.size(), value);
      if (ec == std::errc()) out.push_back(value);
      at = static_cast<size_t>(end - line.data());
    }
  };
  numbersAfter("Pointer record ", block.records);
  numbersAfter("Plain pointer ", block.plainPointers);
}



}  // namespace

std::optional<ScriptError> CheckScriptText(std::string_view text, int column0) { return CheckText(text, column0); }

const char* ScriptListingName(ListingMode mode) {
  switch (mode) {
    case ListingMode::PointerTableListing:
      return "pointer";
    case ListingMode::RawTextListing:
      return "raw";
    case ListingMode::ExpandedRomListing:
      return "expanded";
  }
  return "pointer";
}

namespace {

// Appends "; Pointer record 3; Plain pointer 2; ..." for every reference to `address`.
void AppendReferences(std::string& head, const ReferenceIndex& index, SnesAddress address) {
  for (const Reference& r : index.To(address)) {
    switch (r.kind) {
      case ReferenceKind::PointerRecord:
        head += "; Pointer record ";
        AppendNumber(head, r.number);
        break;
      case ReferenceKind::PlainPointer:
        head += "; Plain pointer ";
        AppendNumber(head, r.number);
        break;
      case ReferenceKind::JumpCode:
        head += "; ";
        head += ReferenceKindName(r);
        head += " in the string at $";
        AppendAddress(head, FileOffsetToSnes(static_cast<int32_t>(r.stringOffset)));
        break;
    }
  }
}

// Block `b`'s header and comment line, appended to `head`. Built by hand: thousands of blocks and
// references go by, and formatting each through snprintf would cost more than decoding the texts.
void AppendBlockHead(std::string& head, const TextBlocks& blocks, size_t b, int32_t size, const ReferenceIndex* index,
                     EntryPoints& entryPoints) {
  const SnesAddress address = blocks.order[b];
  const std::span<const int> rows = blocks.RowsOf(b);
  head += "\n@ $";
  AppendAddress(head, address);
  head += ' ';
  AppendNumber(head, size);
  head += " bytes";
  if (index) {
    head += ", ";
    const size_t count = index->To(address).size();
    AppendNumber(head, static_cast<int64_t>(count));
    head += count == 1 ? " reference" : " references";
  }
  head += "\n# line";
  if (rows.size() > 1) head += 's';
  for (size_t k = 0; k < rows.size(); ++k) {
    head += k == 0 ? " " : ", ";
    AppendNumber(head, rows[k] + 1);
  }
  if (index) AppendReferences(head, *index, address);
  // Writing such a text in place changes the other one too: said here, and the import moves it.
  if (const std::optional<SnesAddress> other = entryPoints.SharedWith(SnesToFileOffset(address), size)) {
    head += "; shares bytes with $";
    AppendAddress(head, *other);
  }
  head += '\n';
}

// Every block's header and comment line, one after another: block b's from at[b] to at[b + 1].
// They need only the file and the index, so they are written on another core beside the texts.
struct BlockHeads {
  std::string text;
  std::vector<size_t> at;
};

BlockHeads HeadsOf(const RomFile& rom, const TextBlocks& blocks, const ReferenceIndex* index) {
  BlockHeads heads;
  heads.text.reserve(blocks.size() * 96);
  heads.at.reserve(blocks.size() + 1);
  EntryPoints entryPoints(rom, blocks.order, index);
  for (size_t b = 0; b < blocks.size(); ++b) {
    NoText none;
    bool lastDescribed = false;
    const int32_t size = ReadItems(rom, SnesToFileOffset(blocks.order[b]), kNoWords, none, lastDescribed);
    heads.at.push_back(heads.text.size());
    AppendBlockHead(heads.text, blocks, b, size, index, entryPoints);
  }
  heads.at.push_back(heads.text.size());
  return heads;
}

}  // namespace

std::optional<std::string> ExportScript(const RomFile& rom, const TextEntryTable& table, ListingMode mode,
                                        const TextDictionary& dictionary, DecoderState& state,
                                        const ReferenceIndex* index, std::string_view romName,
                                        const ScriptProgress& progress, const CharacterTable* characters) {
  const TextBlocks blocks(table);
  const int total = static_cast<int>(blocks.size());
  std::future<BlockHeads> pending = OnSecondCore([&] { return HeadsOf(rom, blocks, index); });
  // The texts first, into one buffer, while the headers are written; then the file.
  std::string texts;
  texts.reserve(blocks.size() * 128);
  std::vector<size_t> textAt;
  textAt.reserve(blocks.size() + 1);
  ScriptTextReader reader(rom, dictionary, state);
  for (int n = 0; n < total; ++n) {
    if (progress && n % 64 == 0 && !progress(n, total)) return std::nullopt;
    textAt.push_back(texts.size());
    reader.Append(SnesToFileOffset(blocks.order[static_cast<size_t>(n)]), texts);
    if (characters) ShowScriptText(*characters, texts, textAt.back());
  }
  textAt.push_back(texts.size());
  const BlockHeads heads = pending.get();
  std::string out;
  out.reserve(heads.text.size() + 2 * texts.size() + blocks.size() * 8 + 512);
  char buf[160];
  std::snprintf(buf, sizeof buf, "# Lettermoor script of %.80s: %s listing, %zu texts\n",
                std::string(romName).c_str(), ScriptListingName(mode), blocks.size());
  out += buf;
  if (characters) {
    out += kScriptTableLine;
    out += characters->Name();
    out += '\n';
  }
  out +=
      "# Edit the line under each \"#<\" line (the original); codes stay in brackets. See "
      "docs/script-format.md.\n";
  for (size_t n = 0; n < blocks.size(); ++n) {
    const std::string_view text = std::string_view(texts).substr(textAt[n], textAt[n + 1] - textAt[n]);
    out.append(heads.text, heads.at[n], heads.at[n + 1] - heads.at[n]);
    out += "#< ";
    out += text;
    out += '\n';
    out += text;
    out += '\n';
  }
  if (progress) progress(total, total);
  return out;
}

namespace {

// Starts `block` from its header line ("@ $C50010 ..."); gives what was expected instead when
// the line is no header, or names an address that has a block already.
std::optional<std::string> ReadHeader(std::string_view line, int lineNumber,
                                      std::unordered_map<SnesAddress, int>& seen, ScriptBlock& block) {
  const std::optional<SnesAddress> address = HeaderAddress(line);
  if (!address) {
    return line.starts_with("@")
               ? "expected a block header: \"@ $\" and the text address in hexadecimal, e.g. \"@ $C50010\""
               : "expected a block header \"@ $XXXXXX\" (this line is outside any block)";
  }
  if (auto [it, added] = seen.try_emplace(*address, lineNumber); !added) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "expected each text address once: $%06X has its block on line %d already",
                  static_cast<unsigned>(*address), it->second);
    return buf;
  }
  block = ScriptBlock{};
  block.address = *address;
  block.headerLine = lineNumber;
  block.references = HeaderReferences(line);
  return std::nullopt;
}

}  // namespace

std::optional<ScriptError> CheckScriptText(std::string_view text) { return CheckText(text, 0); }

ScriptError TableCharacterError(const NonGameCharacter& bad) {
  return ScriptError{0, bad.column, "expected a character of the character table " + bad.table + ", found " + NameOf(bad)};
}

bool OtherTable(const ParsedScript& script, std::string_view inUse) { return script.table != inUse; }

std::string DescribeOtherTable(std::string_view fileName, std::string_view exportedWith, std::string_view inUse) {
  const auto name = [](std::string_view table) {
    return table.empty() ? std::string("no character table") : "the character table " + std::string(table);
  };
  return std::string(fileName) + " was exported with " + name(exportedWith) + ", but " + name(inUse) +
         " is in use: its letters would be read as other bytes.";
}

ParsedScript ParseScript(std::string_view content, const CharacterTable* characters) {
  ParsedScript parsed;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);  // a byte order mark some editors add
  std::unordered_map<SnesAddress, int> seen;
  enum class Expect { Header, Original, Text } expect = Expect::Header;
  ScriptBlock block;
  auto fail = [&](int line, int column, std::string expected) {
    parsed.error = ScriptError{line, column, std::move(expected)};
    return parsed;
  };
  int lineNumber = 0;
  size_t at = 0;
  while (at < content.size()) {
    size_t end = content.find('\n', at);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);

    if (expect == Expect::Header) {
      if (line.starts_with(kScriptTableLine) && parsed.blocks.empty()) {
        parsed.table = std::string(line.substr(kScriptTableLine.size()));
      }
      if (line.empty() || (line.front() == '#' && !line.starts_with(kOriginal))) continue;
      if (std::optional<std::string> expected = ReadHeader(line, lineNumber, seen, block)) {
        return fail(lineNumber, 0, std::move(*expected));
      }
      expect = Expect::Original;
      continue;
    }
    if (expect == Expect::Original) {
      if (line.starts_with(kOriginal)) {
        block.original = std::string(AfterPrefix(line, kOriginal.size()));
        const int column0 = static_cast<int>(line.size() - block.original.size());
        std::optional<ScriptError> bad = FromTable(characters, block.original, column0);
        if (!bad) bad = CheckText(block.original, column0);
        if (bad) {
          bad->line = lineNumber;
          bad->expected = "in the original text: " + bad->expected;
          parsed.error = *bad;
          return parsed;
        }
        expect = Expect::Text;
        continue;
      }
      if (line.starts_with("# line")) ReadLeads(line, block);
      if (!line.empty() && line.front() == '#') continue;
      return fail(lineNumber, 0, "expected the original text (a line starting \"#< \") before the block's text");
    }
    // Expect::Text
    if (line.starts_with(kOriginal)) return fail(lineNumber, 0, "expected the block's text, found a second original");
    if (!line.empty() && line.front() == '#') continue;
    if (line.empty()) {
      return fail(lineNumber, 0, "expected the block's text under its original (a text is never empty: [02] is the "
                                 "empty string)");
    }
    if (line.front() == '@') {
      return fail(lineNumber, 0, "expected the block's text before the next block (a text that starts with \"@\" "
                                 "writes it as the code [70])");
    }
    block.text = std::string(line);
    std::optional<ScriptError> bad = FromTable(characters, block.text, 0);
    if (!bad) bad = CheckText(block.text, 0);
    if (bad) {
      bad->line = lineNumber;
      parsed.error = *bad;
      return parsed;
    }
    block.textLine = lineNumber;
    parsed.blocks.push_back(std::move(block));
    expect = Expect::Header;
  }
  if (expect != Expect::Header) {
    return fail(lineNumber + (content.ends_with('\n') ? 1 : 0), 0,
                expect == Expect::Original ? "expected the original text (\"#< \") of the last block, found the end of the file"
                                           : "expected the last block's text, found the end of the file");
  }
  return parsed;
}

std::string DescribeScriptError(std::string_view fileName, const ScriptError& error) {
  std::string out(fileName);
  out += ':';
  out += std::to_string(error.line);
  if (error.column > 0) {
    out += ':';
    out += std::to_string(error.column);
  }
  out += ": ";
  out += error.expected;
  return out;
}

namespace {

// Reads `fd` to its end into `read`, but no further than one byte past the limit.
void ReadBounded(int fd, ScriptFileRead& read) {
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      read.fault = ScriptFileRead::Fault::CannotRead;
      read.error = errno;
      return;
    }
    if (got == 0) return;
    read.content.append(chunk, static_cast<size_t>(got));
    if (static_cast<int64_t>(read.content.size()) > kScriptFileLimit) {
      read.fault = ScriptFileRead::Fault::TooLarge;
      read.content.clear();
      return;
    }
  }
}

}  // namespace

ScriptFileRead ReadScriptFile(const std::string& path) {
  ScriptFileRead read;
  auto fail = [&](ScriptFileRead::Fault fault, int error) {
    read.fault = fault;
    read.error = error;
    return read;
  };
  struct stat st {};
  if (path == "-") {
    // Standard input may be a pipe or a terminal: only the bound holds it.
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > kScriptFileLimit) {
      return fail(ScriptFileRead::Fault::TooLarge, 0);
    }
    ReadBounded(STDIN_FILENO, read);
    return read;
  }
  // Looked at before it is opened: opening a device may already do something.
  if (::stat(path.c_str(), &st) != 0) return fail(ScriptFileRead::Fault::CannotRead, errno);
  if (!S_ISREG(st.st_mode)) return fail(ScriptFileRead::Fault::NotARegularFile, 0);
  // O_NONBLOCK: should a FIFO have taken the name since, the open does not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(ScriptFileRead::Fault::CannotRead, errno);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(ScriptFileRead::Fault::NotARegularFile, 0);
  }
  if (st.st_size > kScriptFileLimit) {
    ::close(fd);
    return fail(ScriptFileRead::Fault::TooLarge, 0);
  }
  read.content.reserve(static_cast<size_t>(st.st_size));
  ReadBounded(fd, read);
  ::close(fd);
  return read;
}

std::string DescribeScriptReadFault(std::string_view fileName, const ScriptFileRead& read) {
  std::string out = "Cannot read " + std::string(fileName) + ": ";
  switch (read.fault) {
    case ScriptFileRead::Fault::NotARegularFile:
      return out + "it is not a regular file (such as a FIFO, a device or a folder).";
    case ScriptFileRead::Fault::TooLarge:
      return out + "it is larger than " + std::to_string(kScriptFileLimit >> 20) +
             " MiB, far more than any script file holds.";
    case ScriptFileRead::Fault::CannotRead:
    case ScriptFileRead::Fault::None:
      break;
  }
  return out + std::strerror(read.error ? read.error : EIO) + ".";
}

}  // namespace lettermoor
