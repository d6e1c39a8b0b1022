#include "cli_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "rom/safe_file.h"

namespace lettermoor::cli {

namespace {
// The first error met writing to standard output; 0 while every write went through.
int gOutputError = 0;
}  // namespace

void Fail(int code, const std::string& message) {
  Tell(message);
  throw CommandEnd{code};
}

void Tell(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

void NoteOutputFailure() {
  if (gOutputError == 0) gOutputError = errno ? errno : EIO;
}

bool OutputFailed() { return gOutputError != 0 || std::ferror(stdout); }

void WriteOut(const std::string& text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) NoteOutputFailure();
}

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  errno = 0;
  if (std::vfprintf(stdout, format, args) < 0) NoteOutputFailure();
  va_end(args);
}

int FinishOutput(int code) {
  errno = 0;
  if (std::fflush(stdout) != 0) NoteOutputFailure();
  if (std::ferror(stdout) && gOutputError == 0) gOutputError = EIO;
  if (gOutputError == 0) return code;
  if (gOutputError == EPIPE) return kExitOk;
  std::fprintf(stderr, "lettermoor-cli: cannot write to standard output: %s\n", std::strerror(gOutputError));
  return kExitUsage;
}

void HoldClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

std::string ResolvedPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  return error ? path : resolved.string();
}

void RefuseOutputOver(const std::string& output, const std::vector<Guarded>& guarded, const char* nothingDone) {
  if (output.empty() || output == "-") return;
  struct stat out {};
  const bool exists = ::stat(output.c_str(), &out) == 0;
  for (const Guarded& g : guarded) {
    struct stat st {};
    const bool known = g.fd >= 0 ? ::fstat(g.fd, &st) == 0 : !g.path.empty() && ::stat(g.path.c_str(), &st) == 0;
    const bool same = exists && known ? st.st_dev == out.st_dev && st.st_ino == out.st_ino
                                      : !exists && !g.path.empty() && ResolvedPath(g.path) == ResolvedPath(output);
    if (same) Fail(kExitUsage, "Cannot write " + output + ": it is " + g.what + ". " + nothingDone);
  }
}

void WriteOutputFile(const std::string& path, const std::string& bytes, int code, const std::string& after) {
  const SafeWriteResult written = WriteFileSafely(path, [&](std::FILE* out) {
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  });
  if (!written.ok) {
    Fail(code, "Cannot write " + path + ": " + std::strerror(written.error ? written.error : EIO) + "." + after);
  }
}

std::string Hex(int32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
  return buf;
}

std::string OneCell(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace lettermoor::cli
