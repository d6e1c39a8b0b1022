// lettermoor-cli: the editor's commands from a shell, over the same Document the desktop
// program shows, so what it prints is what the window would show.

#include <CLI/CLI.hpp>

#include <csignal>
#include <string>
#include <vector>

#include "cli_output.h"
#include "commands.h"

namespace lettermoor::cli {
namespace {

// A subcommand and the function that runs it.
struct Command {
  CLI::App* app;
  int (*run)(const Options&);
};

// Every command that writes to the ROM takes this.
void AddNoBackup(CLI::App* cmd, Options& o) {
  cmd->add_flag("--no-backup", o.noBackup,
                "Write without first keeping a copy of the ROM beside it (by default ROM.bak, such as "
                "game.smc.bak for game.smc, is made before the first write, replacing an older one)");
}

// Writing commands that change the ROM in place (or into a copy) take this.
void AddKeepChecksum(CLI::App* cmd, Options& o) {
  cmd->add_flag("--keep-checksum", o.keepChecksum,
                "Also set the SNES header's checksum and complement to what the written ROM calls for, in the "
                "same step (as Options > Keep the Checksum Right does)");
}

void AddRom(CLI::App* cmd, Options& o) {
  cmd->add_option("ROM", o.rom, "The ROM image (.smc, .sfc, .fig), opened for reading and writing")
      ->required()
      ->type_name("FILE");
  cmd->add_option("--table", o.table,
                  "The character table (HH=text lines) to show and take text through; by default the ROM's name "
                  "with .tbl beside it (game.tbl for game.smc), when there is one")
      ->type_name("FILE");
  cmd->add_flag("--no-table", o.noTable, "Use the game's own characters only, even when a table lies beside the ROM")
      ->excludes("--table");
}

void AddListing(CLI::App* cmd, Options& o) {
  cmd->add_option("--listing", o.listing, "Which strings to list: pointer (the default), raw or expanded")
      ->check(CLI::IsMember({"pointer", "raw", "expanded"}));
}

void AddOriginal(CLI::App* cmd, Options& o) {
  cmd->add_option("--original", o.original, "The unmodified ROM this one is translated from")
      ->check(CLI::ExistingFile);
}

void AddScriptFormat(CLI::App* cmd, Options& o) {
  cmd->add_option("--format", o.format,
                  "script (the default) or po, a gettext PO file for translation tools (also when the file "
                  "name ends in .po)")
      ->check(CLI::IsMember({"script", "po"}));
}

void AddLine(CLI::App* cmd, Options& o) {
  cmd->add_option("LINE", o.line, "The line of the listing, counted from 1")->required();
}

void AddViewingCommands(CLI::App& app, Options& o, std::vector<Command>& commands) {
  CLI::App* info = app.add_subcommand(
      "info", "Show the file name, ROM type, size, whether it is expanded and the free space left for moved texts");
  AddRom(info, o);
  commands.push_back({info, RunInfo});

  CLI::App* list = app.add_subcommand(
      "list", "One tab-separated line per entry: line, location, text address, sprite, movement, size, preview");
  AddRom(list, o);
  AddListing(list, o);
  AddOriginal(list, o);
  list->add_flag("--untranslated", o.untranslated, "Only the lines whose text is still the original's (needs --original)");
  commands.push_back({list, RunList});

  CLI::App* dump = app.add_subcommand("dump", "Write every entry's text, one line each, as Dump to text file does");
  AddRom(dump, o);
  AddListing(dump, o);
  dump->add_option("-o,--output", o.output,
                   "Where to write (- for standard output); by default ptrlist.txt, rawlist.txt or "
                   "explist.txt in the working directory");
  commands.push_back({dump, RunDump});

  CLI::App* show = app.add_subcommand("show", "Print the text the edit box shows for a line");
  AddRom(show, o);
  AddLine(show, o);
  AddListing(show, o);
  show->add_flag("--codes-only", o.codesOnly, "Show the raw bytes, as Display codes only does");
  commands.push_back({show, RunShow});

  CLI::App* search = app.add_subcommand(
      "search", "Print every later line whose text contains QUERY (case of letters ignored), in order");
  AddRom(search, o);
  search->add_option("QUERY", o.query, "The text to find")->required();
  AddListing(search, o);
  search->add_option("--after", o.after, "Start after this line (by default the first line is searched too)");
  commands.push_back({search, RunSearch});
}

void AddEditingCommands(CLI::App& app, Options& o, std::vector<Command>& commands) {
  CLI::App* apply = app.add_subcommand("apply", "Write TEXT over the string of a line, as Apply Changes does");
  AddRom(apply, o);
  AddLine(apply, o);
  apply->add_option("TEXT", o.text, "The new text, with control codes in brackets, e.g. Hello[03 02]")->required();
  AddListing(apply, o);
  apply->add_flag("--allow-larger", o.allowLarger,
                  "Write even a text larger than the old one (Prevent Overwrites off); prints the lines it overwrote");
  apply->add_flag("--compress", o.compress,
                  "Write dictionary words back as two-byte references (Compress with Dictionary on)");
  apply->add_flag("--relocate", o.relocate,
                  "When the text does not fit in place, move it to free space of the expanded ROM and repoint "
                  "every reference to it, as Move to Free Space does (pointer listing only)");
  AddNoBackup(apply, o);
  AddKeepChecksum(apply, o);
  commands.push_back({apply, RunApply});

  CLI::App* refs = app.add_subcommand(
      "refs",
      "List what points at a line's text, one line each: kind and file offset in hexadecimal. Records, plain "
      "pointers and the jump codes the code table describes are found; codes it does not describe and addresses "
      "the game works out while it runs are not");
  AddRom(refs, o);
  AddLine(refs, o);
  AddListing(refs, o);
  commands.push_back({refs, RunRefs});

  CLI::App* measure = app.add_subcommand(
      "measure", "Print how many bytes TEXT encodes to with this ROM's dictionary, as the window's live size");
  AddRom(measure, o);
  measure->add_option("TEXT", o.text, "The text, with control codes in brackets")->required();
  measure->add_flag("--compress", o.compress, "Measure it with dictionary words as references");
  measure->add_flag("--bytes", o.showBytes, "Also print the bytes it encodes to, in hexadecimal");
  commands.push_back({measure, RunMeasure});

  CLI::App* expand = app.add_subcommand("expand", "Grow the ROM to 0x4001FF bytes of blank text space");
  AddRom(expand, o);
  AddNoBackup(expand, o);
  AddKeepChecksum(expand, o);
  commands.push_back({expand, RunExpand});

  CLI::App* checksum = app.add_subcommand(
      "checksum", "Say whether the SNES header's checksum and complement are right (exit 1 when not, or when "
                  "the ROM's size is not summed); with --fix, set them to what the ROM's bytes call for");
  AddRom(checksum, o);
  checksum->add_flag("--fix", o.fix, "Write the right checksum and complement into the header");
  AddNoBackup(checksum, o);
  commands.push_back({checksum, RunChecksum});

  CLI::App* history = app.add_subcommand(
      "history", "List the changes written to the ROM, newest first: number, time, kind, lines, old and new text; "
                 "with --undo N, write change N's old bytes back as a new change (refused, writing nothing, when a "
                 "later change wrote over them)");
  AddRom(history, o);
  history->add_option("--undo", o.undo, "The number of the change to undo")->check(CLI::PositiveNumber);
  AddNoBackup(history, o);
  commands.push_back({history, RunHistory});

  CLI::App* makeSample = app.add_subcommand("make-sample", "Write a sample ROM built from our own story text");
  makeSample->add_option("OUT", o.out, "The file to write")->required()->type_name("FILE");
  makeSample->add_flag("--expanded", o.expanded, "Write it already expanded");
  makeSample->add_flag("--headerless", o.headerless, "Write it without the 512-byte copier header, as a .sfc dump");
  makeSample->add_flag("--example-table", o.exampleTable,
                       "Also write the sample's example character table beside it (OUT's name with .tbl), which "
                       "the other commands then load: French letters the sample's font draws");
  commands.push_back({makeSample, RunMakeSample});
}

void AddLayoutCommands(CLI::App& app, Options& o, std::vector<Command>& commands) {
  CLI::App* details = app.add_subcommand("details", "Print a page of the Details window for a line");
  AddRom(details, o);
  AddLine(details, o);
  details->add_option("--page", o.page, "misc, interpreter, raw or rom")
      ->required()
      ->check(CLI::IsMember({"misc", "interpreter", "raw", "rom"}));
  AddListing(details, o);
  commands.push_back({details, RunDetails});

  CLI::App* preview = app.add_subcommand(
      "preview", "Lay out a line's text as the game prints it: each line's width, the pixels left and its marks");
  AddRom(preview, o);
  AddLine(preview, o);
  AddListing(preview, o);
  preview->add_flag("--battle", o.battle, "Lay it out in the battle window (2 lines of 176 pixels)");
  preview->add_option("--png", o.output, "Also draw every frame with the ROM's own font into this PNG file")
      ->type_name("FILE");
  commands.push_back({preview, RunPreview});

  CLI::App* check = app.add_subcommand(
      "check", "List every string whose layout runs over or cuts a word, or that has no end code (exit 1 when "
               "there are any, 2 when the ROM's font cannot be read)");
  AddRom(check, o);
  AddListing(check, o);
  check->add_flag("--battle", o.battle, "Lay the strings out in the battle window");
  check->add_flag("--estimates", o.estimates,
                  "Also list lines that run over only when names and numbers take their longest form");
  AddOriginal(check, o);
  check->add_flag("--consistency", o.consistency,
                  "Instead, list original texts translated two different ways, and texts with letters left as "
                  "their original (needs --original)");
  commands.push_back({check, RunCheck});
}

void AddScriptCommands(CLI::App& app, Options& o, std::vector<Command>& commands) {
  CLI::App* exportCmd = app.add_subcommand(
      "export", "Write every text of a listing into a script file to translate or edit: one block per text "
                "address with its lines, references, size and original (see docs/script-format.md)");
  AddRom(exportCmd, o);
  AddListing(exportCmd, o);
  exportCmd->add_option("-o,--output", o.output, "The script file to write (- or none for standard output)")
      ->type_name("FILE");
  AddScriptFormat(exportCmd, o);
  AddOriginal(exportCmd, o);
  commands.push_back({exportCmd, RunExport});

  CLI::App* importCmd = app.add_subcommand(
      "import", "Write the changed texts of a script file into the ROM: in place when they fit, else into free "
                "space of an expanded ROM with every reference repointed. One line per changed block, its "
                "warnings under it; exit 1 when some were not written, 2 for a bad file (nothing written)");
  AddRom(importCmd, o);
  importCmd->add_option("FILE", o.scriptFile,
                        "The script file, as export wrote it and you edited it (- for standard input)")
      ->required()
      ->type_name("SCRIPT");
  importCmd->add_option("-o,--output", o.out, "Write the result into this new ROM file; the input ROM is not touched")
      ->type_name("OUT");
  importCmd->add_flag("--dry-run", o.dryRun, "Say what would be written, and write nothing");
  importCmd->add_flag("--no-compress", o.noCompress, "Write dictionary words as plain characters");
  importCmd->add_flag("--no-relocate", o.noRelocate, "Leave texts that do not fit in place, instead of moving them");
  importCmd->add_flag("--overwrite-changed", o.overwriteChanged,
                      "Also write blocks whose text the ROM holds changed since the export (otherwise stale)");
  importCmd->add_flag("--strict", o.strict,
                      "Refuse the whole import (write nothing, exit 1) when a changed text has a warning: its end "
                      "code missing or not at its end, or control codes that differ from its original's");
  AddScriptFormat(importCmd, o);
  AddOriginal(importCmd, o);
  importCmd->add_flag("--other-table", o.otherTable,
                      "Import a script exported with another character table (or none) than the one in use");
  importCmd->add_flag("--include-fuzzy", o.includeFuzzy,
                      "PO files: also import entries flagged fuzzy, and those whose msgid is no longer the "
                      "original's text");
  AddNoBackup(importCmd, o);
  AddKeepChecksum(importCmd, o);
  commands.push_back({importCmd, RunImport});

  CLI::App* replace = app.add_subcommand(
      "replace", "Replace FIND by REPLACE in every text of a listing that holds it (outside bracketed codes), "
                 "written as one import: all the texts, in place or moved to free space, or none when one cannot "
                 "be; a text several lines share changes once. The import's report; its exit codes");
  AddRom(replace, o);
  replace->add_option("FIND", o.query, "The text to find")->required();
  replace->add_option("REPLACE", o.replacement, "What it becomes, with control codes in brackets")->required();
  AddListing(replace, o);
  replace->add_flag("--match-case", o.matchCase, "Letters match only in the same case");
  replace->add_flag("--match-codes", o.matchCodes, "Also match inside bracketed codes");
  replace->add_option("-o,--output", o.out, "Write the result into this new ROM file; the input ROM is not touched")
      ->type_name("OUT");
  replace->add_flag("--dry-run", o.dryRun, "Say what would be written, and write nothing");
  replace->add_flag("--no-compress", o.noCompress, "Write dictionary words as plain characters");
  replace->add_flag("--no-relocate", o.noRelocate, "Do not move texts that no longer fit in place (then none is written)");
  AddNoBackup(replace, o);
  commands.push_back({replace, RunReplace});
}

void AddPatchCommands(CLI::App& app, Options& o, std::vector<Command>& commands) {
  CLI::App* patch = app.add_subcommand(
      "patch", "Make, apply and look into BPS and IPS patches: how a translation or hack is shared without "
               "giving away the ROM");
  patch->require_subcommand(1);
  CLI::App* create = patch->add_subcommand(
      "create", "Write a patch that turns ORIGINAL into MODIFIED; its format (BPS or IPS) from the name's extension");
  create->add_option("ORIGINAL", o.rom, "The unmodified ROM (not the .bak copy: it may hold earlier changes)")
      ->required()
      ->type_name("FILE");
  create->add_option("MODIFIED", o.modified, "The changed ROM")->required()->type_name("FILE");
  create->add_option("-o,--output", o.out, "The patch to write: FILE.bps (the default for sharing) or FILE.ips")
      ->required()
      ->type_name("FILE");
  commands.push_back({create, RunPatchCreate});

  CLI::App* apply = patch->add_subcommand(
      "apply", "Write a patched copy of ORIGINAL; a BPS patch is refused for a ROM that is not its source (a "
               "copier header more or less is allowed for, and the copy keeps the ROM's layout)");
  apply->add_option("ORIGINAL", o.rom, "The ROM to patch; it is only read")->required()->type_name("FILE");
  apply->add_option("PATCH", o.patchFile, "The .bps or .ips patch")->required()->type_name("FILE");
  apply->add_option("-o,--output", o.out, "The patched copy to write (neither input)")->required()->type_name("OUT");
  commands.push_back({apply, RunPatchApply});

  CLI::App* info = patch->add_subcommand(
      "info", "Print a patch's format, sizes and checksums, and with --rom whether that ROM is its source");
  info->add_option("PATCH", o.patchFile, "The .bps or .ips patch")->required()->type_name("FILE");
  info->add_option("--rom", o.rom, "A ROM to check against the patch's source")->type_name("FILE");
  commands.push_back({info, RunPatchInfo});
}

void AddFontCommands(CLI::App& app, Options& o, std::vector<Command>& commands) {
  CLI::App* font = app.add_subcommand(
      "font", "Export a font of the ROM as a picture to redraw in an image editor, and bring it back");
  font->require_subcommand(1);
  auto addFont = [&](CLI::App* cmd) {
    cmd->add_option("--font", o.font, "Which font: main (the default), saturn, battle, tiny or large")
        ->check(CLI::IsMember({"main", "saturn", "battle", "tiny", "large"}));
  };
  CLI::App* exportCmd = font->add_subcommand(
      "export", "Write the font as one PNG picture: every glyph under its byte, in ink on paper, with a bar as "
                "long as its width under it");
  AddRom(exportCmd, o);
  addFont(exportCmd);
  exportCmd->add_option("-o,--output", o.output, "The PNG file to write")->required()->type_name("FILE.png");
  commands.push_back({exportCmd, RunFontExport});

  CLI::App* importCmd = font->add_subcommand(
      "import", "Write back the glyphs and widths a redrawn picture changed (only those bytes; an unchanged "
                "picture writes nothing)");
  AddRom(importCmd, o);
  importCmd->add_option("PICTURE", o.picture, "The picture font export wrote, redrawn")->required()->type_name("FILE.png");
  addFont(importCmd);
  AddNoBackup(importCmd, o);
  AddKeepChecksum(importCmd, o);
  commands.push_back({importCmd, RunFontImport});
}

// Prints the parse error and the usage of the command that was being parsed.
int UsageError(const CLI::App& app, const CLI::ParseError& error) {
  const CLI::App* usage = &app;
  for (const CLI::App* sub : app.get_subcommands()) usage = sub;
  const std::string prefix = usage == &app ? std::string() : app.get_name();
  std::fprintf(stderr, "%s\n\n%s", error.what(), usage->help(prefix).c_str());
  return kExitUsage;
}

int Main(int argc, char** argv) {
  HoldClosedStandardStreams();
  // A reader that goes away is seen as EPIPE on the next write, not as a fatal signal.
  std::signal(SIGPIPE, SIG_IGN);
  // A file size limit is an error a write reports (and the file is rolled back), not a crash.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"Lettermoor command-line tool: list, show, search, dump and edit the script text of "
               "an EarthBound ROM image, in place."};
  app.name("lettermoor-cli");
  app.set_version_flag("--version", "lettermoor-cli " LETTERMOOR_VERSION, "Print the version and exit");
  app.require_subcommand(1);
  Options o;
  std::vector<Command> commands;
  AddViewingCommands(app, o, commands);
  AddEditingCommands(app, o, commands);
  AddLayoutCommands(app, o, commands);
  AddScriptCommands(app, o, commands);
  AddPatchCommands(app, o, commands);
  AddFontCommands(app, o, commands);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return UsageError(app, e);
  }
  o.hasAfter = app.get_subcommand("search")->get_option("--after")->count() > 0;
  SetTableChoice(o.table, o.noTable);
  int code = kExitUsage;
  try {
    for (const Command& c : commands) {
      if (*c.app) code = c.run(o);
    }
  } catch (const CommandEnd& end) {
    code = end.code;
  }
  return FinishOutput(code);
}

}  // namespace
}  // namespace lettermoor::cli

int main(int argc, char** argv) { return lettermoor::cli::Main(argc, argv); }
