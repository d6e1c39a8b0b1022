#pragma once

// What every command of lettermoor-cli prints through: standard output checked for failed
// writes, the end of a command with its exit code, and the guard that keeps an output off the
// command's own inputs.

#include <string>
#include <vector>

namespace lettermoor::cli {

// Exit codes: 0 done; 1 the command ran but was refused or found nothing; 2 bad usage, a ROM
// that cannot be opened or is refused, a line that does not exist, a script that cannot be read,
// or an output that is one of the command's inputs or the ROM's backup.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Raised to end a command with an exit code once its message has been printed.
struct CommandEnd {
  int code;
};

// Prints `message` (and a line end) to standard error and ends the command with `code`.
[[noreturn]] void Fail(int code, const std::string& message);
// A line to standard error.
void Tell(const std::string& message);

void WriteOut(const std::string& text);
[[gnu::format(printf, 1, 2)]] void Print(const char* format, ...);
// Notes that a write to standard output failed (with errno).
void NoteOutputFailure();
bool OutputFailed();
// Ends a command: output that could not be written is an error, except into a pipe whose reader
// has gone (`list ... | head -1`), which ends quietly like any other filter.
int FinishOutput(int code);
// A standard stream the caller closed would otherwise be the next file we open, so that printing
// would write into the ROM. Such a stream is held by a read-only /dev/null: writes to it fail.
void HoldClosedStandardStreams();

// A file a command reads or keeps, which none of its outputs may replace.
struct Guarded {
  std::string what;  // for the message: "the ROM file itself", "the script file", ...
  std::string path;  // its name ("" for standard input)
  int fd = -1;       // when it is open, its identity is taken from the descriptor
};

// The path with links and "." and ".." resolved as far as it exists; the path itself on error.
std::string ResolvedPath(const std::string& path);

// Ends the command, with nothing written, when `output` is one of the `guarded` files: the same
// file by device and inode (its name, a hard or symbolic link, /proc/self/fd/N), or, for a file
// that does not exist yet (a backup not made so far), the same path. "-" is standard output.
void RefuseOutputOver(const std::string& output, const std::vector<Guarded>& guarded, const char* nothingDone);

// Writes `bytes` into a new file at `path` (replacing it whole, never half), or ends the command
// with exit `code` and "Cannot write PATH: reason." and `after`.
void WriteOutputFile(const std::string& path, const std::string& bytes, int code = kExitFailed,
                     const std::string& after = "");

std::string Hex(int32_t value);
// Row previews go into tab-separated lines; a dictionary word can carry any character.
std::string OneCell(std::string text);

}  // namespace lettermoor::cli
