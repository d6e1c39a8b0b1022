#pragma once

// The commands of lettermoor-cli, one function each, over the same Document the window shows.
// Each prints what it found and gives its exit code (or ends with CommandEnd).

#include <optional>
#include <string>

namespace lettermoor::cli {

// Every option any command takes, as CLI11 fills them.
struct Options {
  std::string rom, listing = "pointer", original, format, output, query, text, page, out, scriptFile;
  int line = 0;
  int undo = 0;  // history --undo N
  int after = 0;
  bool hasAfter = false;  // --after was given
  std::string modified, patchFile;  // patch create's MODIFIED, patch apply's and info's PATCH
  std::string replacement;                      // replace: what FIND becomes
  std::string font = "main", picture;           // font export and import
  std::string table;                            // --table: the character table
  bool noTable = false, otherTable = false;     // --no-table; import: --other-table
  bool exampleTable = false;                    // make-sample: write the example table too
  bool matchCase = false, matchCodes = false;  // replace
  bool codesOnly = false, allowLarger = false, relocate = false, expanded = false, battle = false,
       estimates = false, headerless = false, compress = false, showBytes = false, noBackup = false,
       dryRun = false, noCompress = false, noRelocate = false, overwriteChanged = false, strict = false,
       untranslated = false, includeFuzzy = false, consistency = false,
       keepChecksum = false, fix = false;
};

// Which character table the commands open their ROM with: `table`, else the one beside the ROM
// unless `noTable`.
void SetTableChoice(const std::string& table, bool noTable);

int RunInfo(const Options& o);
int RunList(const Options& o);
int RunDump(const Options& o);
int RunShow(const Options& o);
int RunSearch(const Options& o);
int RunApply(const Options& o);
int RunRefs(const Options& o);
int RunMeasure(const Options& o);
int RunExpand(const Options& o);
int RunHistory(const Options& o);
int RunMakeSample(const Options& o);
int RunDetails(const Options& o);
int RunPreview(const Options& o);
int RunCheck(const Options& o);
int RunExport(const Options& o);
int RunImport(const Options& o);
int RunPatchCreate(const Options& o);
int RunPatchApply(const Options& o);
int RunPatchInfo(const Options& o);
int RunReplace(const Options& o);
int RunChecksum(const Options& o);
int RunFontExport(const Options& o);
int RunFontImport(const Options& o);

}  // namespace lettermoor::cli
