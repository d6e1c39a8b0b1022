#include "script/po_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_set>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "codec/hex_text.h"

namespace lettermoor {

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The words of `s` split at any of `separators`, blanks trimmed, empty ones dropped.
std::vector<std::string> Split(std::string_view s, std::string_view separators) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at <= s.size()) {
    size_t end = s.find_first_of(separators, at);
    if (end == std::string_view::npos) end = s.size();
    const std::string_view word = Trimmed(s.substr(at, end - at));
    if (!word.empty()) out.emplace_back(word);
    at = end + 1;
  }
  return out;
}

int OctalValue(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

// Reads the quoted string that `s` must be (blanks around it allowed) onto `out`; gives the fault.
std::optional<std::string> Unquote(std::string_view s, std::string& out) {
  s = Trimmed(s);
  if (s.empty() || s.front() != '"') return "expected a string in double quotes";
  size_t i = 1;
  for (;;) {
    if (i >= s.size()) return "expected a closing double quote at the end of the string";
    const char c = s[i++];
    if (c == '"') break;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i >= s.size()) return "expected an escaped character after the backslash";
    const char e = s[i++];
    switch (e) {
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case 'a': out.push_back('\a'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'v': out.push_back('\v'); break;
      case '\\': case '"': case '\'': case '?': out.push_back(e); break;
      case 'x': {
        int value = 0, digits = 0;
        for (; i < s.size() && HexValue(s[i]) >= 0; ++i, ++digits) value = (value * 16 + HexValue(s[i])) & 0xFF;
        if (digits == 0) return "expected hexadecimal digits after \\x";
        out.push_back(static_cast<char>(value));
        break;
      }
      default: {
        if (OctalValue(e) < 0) return std::string("expected a known escape, found \\") + e;
        int value = OctalValue(e);
        for (int k = 0; k < 2 && i < s.size() && OctalValue(s[i]) >= 0; ++k) value = value * 8 + OctalValue(s[i++]);
        out.push_back(static_cast<char>(value & 0xFF));
      }
    }
  }
  if (!Trimmed(s.substr(i)).empty()) return "expected nothing after the closing double quote";
  return std::nullopt;
}

constexpr bool NeedsEscape(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\'; }

// Where the first character at or after `at` that needs an escape lies, or the text's end.
size_t NextEscape(std::string_view text, size_t at) {
#ifdef __SSE2__
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i belowBlank = _mm_set1_epi8(0x1F);
  for (; at + 16 <= text.size(); at += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, belowBlank), v);
    const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash));
    if (const int bits = _mm_movemask_epi8(_mm_or_si128(control, special))) return at + static_cast<size_t>(__builtin_ctz(bits));
  }
#endif
  while (at < text.size() && !NeedsEscape(text[at])) ++at;
  return at;
}

void AppendQuotedLine(std::string& out, std::string_view text) {
  out += '"';
  size_t at = 0;
  while (at < text.size()) {
    // A run that needs no escape goes in at once.
    const size_t run = NextEscape(text, at);
    out.append(text.data() + at, run - at);
    if (run == text.size()) break;
    const char c = text[run];
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\v': out += "\\v"; break;
      default: out += c;
    }
    at = run + 1;
  }
  out += '"';
}

void AppendField(std::string& out, std::string_view keyword, std::string_view text) {
  out += keyword;
  out += ' ';
  const size_t newline = text.find('\n');
  if (newline == std::string_view::npos || newline + 1 == text.size()) {
    AppendQuotedLine(out, text);
    out += '\n';
    return;
  }
  out += "\"\"\n";
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string_view::npos ? text.size() : end + 1;
    AppendQuotedLine(out, text.substr(at, end - at));
    out += '\n';
    at = end;
  }
}

}  // namespace

void AppendPoEntry(std::string& out, const PoEntry& e) {
  AppendPoComments(out, e);
  AppendPoFields(out, e.context, e.id, e.str);
}

void AppendPoComments(std::string& out, const PoEntry& e) {
  for (const std::string& c : e.comments) {
    out += c.empty() ? "#" : "# ";
    out += c;
    out += '\n';
  }
  for (const std::string& c : e.extracted) {
    out += "#. ";
    out += c;
    out += '\n';
  }
  if (!e.references.empty()) {
    out += "#:";
    for (const std::string& r : e.references) {
      out += ' ';
      out += r;
    }
    out += '\n';
  }
  if (!e.flags.empty()) {
    out += "#,";
    for (size_t i = 0; i < e.flags.size(); ++i) {
      out += i ? ", " : " ";
      out += e.flags[i];
    }
    out += '\n';
  }
}

void AppendPoFields(std::string& out, std::optional<std::string_view> context, std::string_view id,
                    std::string_view str) {
  if (context) AppendField(out, "msgctxt", *context);
  AppendField(out, "msgid", id);
  AppendField(out, "msgstr", str);
}

namespace {

// The charset a header's Content-Type names; empty when it names none.
std::string HeaderCharset(const std::string& header) {
  const size_t at = header.find("charset=");
  if (at == std::string::npos) return "";
  const size_t end = header.find_first_of(" ;\n", at);
  std::string charset = header.substr(at + 8, end == std::string::npos ? std::string::npos : end - at - 8);
  std::transform(charset.begin(), charset.end(), charset.begin(), [](unsigned char c) { return std::toupper(c); });
  return charset;
}

// A text of ours that the encoder would refuse: the fault, at `line`, the column counted in the text.
// Through a table, the text is first read as the table spells it (in place).
std::optional<ScriptError> CheckPoText(std::string& text, int line, const char* what, const CharacterTable* table) {
  std::optional<ScriptError> bad;
  std::string game;
  NonGameCharacter refused;
  if (table && !table->ToGameText(text, game, refused)) {
    bad = TableCharacterError(refused);
  } else {
    if (table) text = std::move(game);
    bad = CheckScriptText(text, 0);
  }
  if (!bad) return std::nullopt;
  bad->expected = std::string("in the ") + what + ", character " + std::to_string(bad->column) + ": " + bad->expected;
  bad->line = line;
  bad->column = 0;
  return bad;
}

// Checks an entry of ours as a whole once it is read.
std::optional<ScriptError> CheckEntry(PoEntry& e, std::unordered_set<std::string>& seen, const CharacterTable* table) {
  if (e.obsolete) return std::nullopt;
  if (e.IsHeader()) {
    const std::string charset = HeaderCharset(e.str);
    if (!charset.empty() && charset != "UTF-8" && charset != "ASCII" && charset != "CHARSET") {
      return ScriptError{e.line, 0, "expected the header to give charset=UTF-8, found charset=" + charset};
    }
    return std::nullopt;
  }
  if (!e.context || !PoContextAddress(*e.context)) {
    return ScriptError{e.line, 0, "expected a msgctxt giving the text's address, such as \"$C51D98\""};
  }
  if (!seen.insert(*e.context + '\x04' + e.id).second) {
    return ScriptError{e.line, 0, "expected each msgctxt and msgid pair once: \"" + *e.context + "\" is given twice"};
  }
  if (std::optional<ScriptError> bad = CheckPoText(e.id, e.line, "msgid", table)) return bad;
  if (!e.str.empty()) return CheckPoText(e.str, e.strLine, "msgstr", table);
  return std::nullopt;
}

}  // namespace

bool PoEntry::Fuzzy() const { return std::find(flags.begin(), flags.end(), "fuzzy") != flags.end(); }

std::string PoQuoted(std::string_view text) {
  std::string out;
  AppendQuotedLine(out, text);
  return out;
}

std::string WritePo(const PoEntry& header, const std::vector<PoEntry>& entries) {
  std::string out;
  out.reserve(entries.size() * 256);
  AppendPoEntry(out, header);
  for (const PoEntry& e : entries) {
    out += '\n';
    AppendPoEntry(out, e);
  }
  return out;
}

PoEntry PoHeader(std::string_view romName, std::string_view listing) {
  PoEntry header;
  header.comments = {"Lettermoor PO file of " + std::string(romName) + ": " + std::string(listing) + " listing.",
                     "msgctxt is the text's address in the original ROM; codes stay in brackets."};
  header.str =
      "Project-Id-Version: " + std::string(romName) +
      "\n"
      "Report-Msgid-Bugs-To: \n"
      "POT-Creation-Date: 2000-01-01 00:00+0000\n"
      "PO-Revision-Date: 2000-01-01 00:00+0000\n"
      "Last-Translator: \n"
      "Language-Team: \n"
      "Language: \n"
      "MIME-Version: 1.0\n"
      "Content-Type: text/plain; charset=UTF-8\n"
      "Content-Transfer-Encoding: 8bit\n"
      "X-Generator: Lettermoor\n";
  return header;
}

std::optional<SnesAddress> PoContextAddress(std::string_view context) {
  if (!context.starts_with('$')) return std::nullopt;
  uint32_t value = 0;
  size_t at = 1;
  for (; at < context.size() && HexValue(context[at]) >= 0; ++at) value = value * 16 + static_cast<uint32_t>(HexValue(context[at]));
  if (at == 1 || at > 9 || (at < context.size() && context[at] != ' ')) return std::nullopt;
  return static_cast<SnesAddress>(value);
}

ParsedPo ParsePo(std::string_view content, const CharacterTable* characters) {
  ParsedPo parsed;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  std::unordered_set<std::string> seen;
  PoEntry entry;
  bool started = false, seenId = false, seenStr = false;
  std::string* field = nullptr;  // where a continuation string goes
  auto fail = [&](int line, std::string expected) {
    parsed.error = ScriptError{line, 0, std::move(expected)};
    return parsed;
  };
  // Ends the entry read so far; gives its fault.
  auto finish = [&]() -> std::optional<ScriptError> {
    if (started) {
      if (std::optional<ScriptError> bad = CheckEntry(entry, seen, characters)) return bad;
      parsed.entries.push_back(std::move(entry));
    }
    entry = PoEntry();
    started = seenId = seenStr = false;
    field = nullptr;
    return std::nullopt;
  };
  int lineNumber = 0;
  size_t at = 0;
  while (at < content.size()) {
    size_t end = content.find('\n', at);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = Trimmed(content.substr(at, end - at));
    at = end + 1;
    ++lineNumber;
    if (line.ends_with('\r')) line = Trimmed(line.substr(0, line.size() - 1));
    if (line.empty()) {
      field = nullptr;  // a string after a blank line continues nothing
      continue;
    }
    bool obsolete = false;
    if (line.starts_with("#~")) {
      obsolete = true;
      line = Trimmed(line.substr(2));
      if (line.starts_with('|')) continue;  // an obsolete entry's previous msgid
    } else if (line.starts_with('#')) {
      if (seenStr) {
        if (std::optional<ScriptError> bad = finish()) return parsed.error = bad, parsed;
      }
      if (seenId) return fail(lineNumber, "expected the msgstr of the entry above before a comment");
      if (!started) entry.line = lineNumber;
      started = true;
      field = nullptr;
      const std::string_view rest = line.size() > 1 ? line.substr(2) : std::string_view();
      const char kind = line.size() > 1 ? line[1] : ' ';
      if (kind == ',') {
        for (std::string& flag : Split(rest, ",")) entry.flags.push_back(std::move(flag));
      } else if (kind == ':') {
        for (std::string& ref : Split(rest, " \t")) entry.references.push_back(std::move(ref));
      } else if (kind == '.') {
        entry.extracted.emplace_back(Trimmed(rest));
      } else if (kind == ' ' || line.size() == 1) {
        entry.comments.emplace_back(line.size() > 1 ? line.substr(2) : std::string_view());
      }  // "#|" (the previous msgid) and other kinds are read past
      continue;
    }
    if (line.front() == '"') {
      if (!field) return fail(lineNumber, "expected msgctxt, msgid or msgstr before this string");
      if (std::optional<std::string> bad = Unquote(line, *field)) return fail(lineNumber, *bad);
      continue;
    }
    const size_t space = line.find_first_of(" \t\"");
    const std::string_view keyword = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space);
    if (keyword == "msgctxt" || keyword == "msgid") {
      if (seenStr) {
        if (std::optional<ScriptError> bad = finish()) return parsed.error = bad, parsed;
      }
      if (seenId) return fail(lineNumber, "expected msgstr after the msgid above, found " + std::string(keyword));
      if (keyword == "msgctxt" && entry.context) return fail(lineNumber, "expected one msgctxt in an entry");
      if (!started) entry.line = lineNumber;
      started = true;
      if (keyword == "msgctxt") {
        entry.context.emplace();
        field = &*entry.context;
      } else {
        seenId = true;
        field = &entry.id;
      }
    } else if (keyword == "msgstr") {
      if (!seenId || seenStr) return fail(lineNumber, "expected msgstr only after an entry's msgid");
      seenStr = true;
      entry.strLine = lineNumber;
      field = &entry.str;
    } else if (keyword == "msgid_plural" || keyword.starts_with("msgstr[")) {
      return fail(lineNumber, "expected no plural forms: a text of the game has one msgstr");
    } else {
      return fail(lineNumber, "expected msgctxt, msgid, msgstr, a string in double quotes or a \"#\" comment");
    }
    if (obsolete) entry.obsolete = true;
    if (std::optional<std::string> bad = Unquote(value, *field)) return fail(lineNumber, *bad);
  }
  if (started && !seenStr) return fail(lineNumber + 1, "expected the msgstr of the last entry, found the end of the file");
  if (std::optional<ScriptError> bad = finish()) parsed.error = bad;
  return parsed;
}

PoImportPlan PlanPoImport(const ParsedPo& po, bool includeFuzzy,
                          const std::function<std::optional<std::string>(SnesAddress)>& originalText) {
  PoImportPlan plan;
  for (const PoEntry& e : po.entries) {
    if (e.obsolete || e.IsHeader()) continue;
    // msgfmt's counting: an empty msgstr is untranslated, fuzzy or not.
    if (e.str.empty()) {
      ++plan.untranslated;
      continue;
    }
    const bool fuzzy = e.Fuzzy();
    ++(fuzzy ? plan.fuzzy : plan.translated);
    ScriptBlock block;
    block.address = *PoContextAddress(*e.context);
    if (!includeFuzzy) {
      if (fuzzy) {
        ++plan.skippedFuzzy;
        continue;
      }
      const std::optional<std::string> now = originalText ? originalText(block.address) : std::nullopt;
      if (now && *now != e.id) {
        ++plan.skippedChanged;
        continue;
      }
    }
    block.headerLine = e.line;
    for (const std::string& ref : e.references) {
      const size_t colon = ref.find(':');
      if (colon == std::string::npos) continue;
      const std::string_view kind = std::string_view(ref).substr(0, colon);
      const std::string number = ref.substr(colon + 1);
      if (number.empty() || !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
          number.size() > 9) {
        continue;
      }
      if (kind == "record") block.records.push_back(std::stoi(number));
      if (kind == "pointer") block.plainPointers.push_back(std::stoi(number));
    }
    block.original = e.id;
    block.textLine = e.strLine;
    block.text = e.str;
    plan.blocks.push_back(std::move(block));
  }
  return plan;
}

void AppendPoSizeComment(std::string& out, int32_t size, std::optional<SnesAddress> shares, std::optional<bool> fits) {
  char digits[16];
  const std::string_view count(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, size).ptr - digits));
  out += count;
  if (shares) {
    out += " bytes, no room in place (shares bytes with ";
    AppendDollarAddress(out, static_cast<uint32_t>(*shares));
    out += ": a change moves it)";
  } else {
    out += " bytes, room for ";
    out += count;
    out += " in place";
  }
  if (fits) out += *fits ? "; fits the dialogue window" : "; does not fit the dialogue window";
}

std::string DescribePoCounts(int translated, int fuzzy, int untranslated) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%d translated message%s, %d fuzzy translation%s, %d untranslated message%s",
                translated, translated == 1 ? "" : "s", fuzzy, fuzzy == 1 ? "" : "s", untranslated,
                untranslated == 1 ? "" : "s");
  return buf;
}

std::string DescribePoImport(const PoImportPlan& plan) {
  std::string out = "PO file: " + DescribePoCounts(plan.translated, plan.fuzzy, plan.untranslated) + ".\n";
  if (plan.skippedFuzzy + plan.skippedChanged > 0) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "Not imported: %d fuzzy, %d whose msgid is no longer the original's text (to import them, "
                  "include fuzzy entries).\n",
                  plan.skippedFuzzy, plan.skippedChanged);
    out += buf;
  }
  return out;
}

}  // namespace lettermoor
