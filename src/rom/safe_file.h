#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace lettermoor {

// How a file was (or was not) written by WriteFileSafely.
struct SafeWriteResult {
  bool ok = false;
  int error = 0;            // the system's error number of the step that failed
  bool replacedWhole = false;  // written to a temporary file and renamed over the target
};

// Writes a whole file so that a failure never leaves a partial one behind.
//
// When the target is a regular file or does not exist yet, `fill` writes into a temporary file in
// the target's folder, which is synced and renamed over the target only once everything went
// well (keeping the old file's permissions); on failure the temporary file is removed and the old
// file stays as it was. Any other target (a symbolic link the user placed, a FIFO, a device such
// as /dev/null) is opened and written directly, as a plain open would.
//
// `fill` gets the open stream and gives false when it could not write everything.
SafeWriteResult WriteFileSafely(const std::string& target, const std::function<bool(std::FILE*)>& fill);

}  // namespace lettermoor
