#pragma once

// Patches between files: read whole (bounded, regular files only), checked, and written through
// WriteFileSafely, so that a refused or failed patch leaves no output file. Never in place: the
// output may be neither input.

#include <string>
#include <vector>

#include "rom/patch.h"

namespace lettermoor {

// A whole file read for patching.
struct WholeFile {
  enum class Fault { None, CannotRead, NotARegularFile, TooLarge };
  Fault fault = Fault::None;
  int error = 0;  // CannotRead: the system's error number
  std::vector<uint8_t> bytes;
};
WholeFile ReadWholeFile(const std::string& path, size_t limit = kPatchSizeLimit);

// Which of a command's files a fault is about.
enum class PatchFileRole { Rom, Patch, Original, Modified, Output };

struct PatchFileOutcome {
  enum class Status {
    Done,
    CannotRead,      // a file could not be read (`role`, `read`)
    OutputIsInput,   // the output is one of the inputs (`role` names which): nothing was done
    UnknownFormat,   // create: the patch's name ends in neither .bps nor .ips
    Refused,         // the patch could not be made or applied (`fault`)
    CannotWrite,     // the output could not be written (`error`); nothing was left there
  };
  Status status = Status::Done;
  PatchFileRole role = PatchFileRole::Output;
  std::string path;              // the file `role` names
  WholeFile::Fault read = WholeFile::Fault::None;
  int error = 0;
  PatchFormat format = PatchFormat::Bps;
  // Apply: what applying found (its `result` is not kept). Create: the fault and the first
  // offset IPS cannot reach.
  PatchOutcome applied;
  CreatedPatch created;
  size_t written = 0;            // bytes written to the output
  bool Done() const { return status == Status::Done; }
};

// True when the two names lead to the same file (by identity when both exist, else by their
// canonical paths).
bool SameFilePath(const std::string& a, const std::string& b);

// A patch that makes `modified` from `original`, into `patchPath` in the format its name asks for.
PatchFileOutcome CreatePatchFile(const std::string& original, const std::string& modified, const std::string& patchPath);

// `patch` applied to `rom`, the result (in the ROM's layout) into `out`.
PatchFileOutcome ApplyPatchFile(const std::string& rom, const std::string& patch, const std::string& out);

}  // namespace lettermoor
