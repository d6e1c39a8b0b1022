#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace lettermoor {

// How a file was (or was not) written by WriteFileSafely or WriteFileReplacing.
struct SafeWriteResult {
  bool ok = false;
  int error = 0;            // the system's error number of the step that failed, or kNotARegularFile
  bool replacedWhole = false;  // written to a temporary file and renamed over the target
};

// The error of a target that is neither a regular file nor a symbolic link (a FIFO, a socket, a
// device, a folder), which WriteFileReplacing refuses without opening. Above every system error
// number, so that messages can say what it is rather than print strerror.
inline constexpr int kNotARegularFile = 0x10000;

// "is not a regular file" for kNotARegularFile, else the system's text for the error number.
std::string SafeWriteErrorText(int error);

// Writes a whole file so that a failure never leaves a partial one behind.
//
// When the target is a regular file or does not exist yet, `fill` writes into a temporary file in
// the target's folder, which is synced and renamed over the target only once everything went
// well (keeping the old file's permissions); on failure the temporary file is removed and the old
// file stays as it was. Any other target (a symbolic link the user placed, a FIFO, a device such
// as /dev/null) is opened and written directly, as a plain open would.
//
// The temporary file is named ".NAME.lettermoor-XXXXXX" and locked (flock) while it is written;
// those of the same target that no live writer holds (left by a killed one) are removed first.
//
// `fill` gets the open stream and gives false when it could not write everything.
// The folder a path lies in ("." for a bare name) and its last part.
std::string FolderOf(const std::string& path);
std::string BaseOf(const std::string& path);

SafeWriteResult WriteFileSafely(const std::string& target, const std::function<bool(std::FILE*)>& fill);

// Writes a whole file that must become a file of its own, such as a ROM's backup copy: always
// through a temporary file in the target's folder, synced and renamed over the name, then the
// folder synced. Whatever is at the name is replaced, never written into: a symbolic link (to the
// ROM, or to a good copy elsewhere) or a hard link to the ROM stays with the file it leads to. A
// target that is neither a regular file nor a symbolic link is refused with kNotARegularFile
// without being opened, so a FIFO there cannot make the writer wait forever.
SafeWriteResult WriteFileReplacing(const std::string& target, const std::function<bool(std::FILE*)>& fill);

}  // namespace lettermoor
