#include "rom/patch_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "rom/safe_file.h"

namespace lettermoor {

namespace {

std::string Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  return error ? path : full.string();
}

PatchFileOutcome Unreadable(PatchFileRole role, const std::string& path, const WholeFile& file) {
  PatchFileOutcome outcome;
  outcome.status = PatchFileOutcome::Status::CannotRead;
  outcome.role = role;
  outcome.path = path;
  outcome.read = file.fault;
  outcome.error = file.error;
  return outcome;
}

// Refuses an output that is one of the inputs; nothing is read or written then.
bool RefuseOverInput(PatchFileOutcome& outcome, const std::string& out,
                     std::initializer_list<std::pair<PatchFileRole, const std::string*>> inputs) {
  for (const auto& [role, path] : inputs) {
    if (SameFilePath(out, *path)) {
      outcome.status = PatchFileOutcome::Status::OutputIsInput;
      outcome.role = role;
      outcome.path = *path;
      return true;
    }
  }
  return false;
}

void Write(PatchFileOutcome& outcome, const std::string& path, const std::vector<uint8_t>& bytes) {
  const SafeWriteResult written = WriteFileSafely(path, [&](std::FILE* f) {
    return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  });
  if (!written.ok) {
    outcome.status = PatchFileOutcome::Status::CannotWrite;
    outcome.role = PatchFileRole::Output;
    outcome.path = path;
    outcome.error = written.error ? written.error : EIO;
    return;
  }
  outcome.written = bytes.size();
}

}  // namespace

WholeFile ReadWholeFile(const std::string& path, size_t limit) {
  WholeFile file;
  // Never waits on a FIFO or a device: only a regular file is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    file.fault = WholeFile::Fault::CannotRead;
    file.error = errno;
    if (fd >= 0) ::close(fd);
    return file;
  }
  if (!S_ISREG(st.st_mode)) {
    file.fault = WholeFile::Fault::NotARegularFile;
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    file.fault = WholeFile::Fault::TooLarge;
  } else {
    file.bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < file.bytes.size()) {
      const ssize_t n = ::read(fd, file.bytes.data() + done, file.bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // A file cut short while it was read is not read at all.
        file.fault = WholeFile::Fault::CannotRead;
        file.error = n < 0 ? errno : EIO;
        file.bytes.clear();
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  return file;
}

bool SameFilePath(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  return Canonical(a) == Canonical(b);
}

PatchFileOutcome CreatePatchFile(const std::string& original, const std::string& modified, const std::string& patchPath) {
  PatchFileOutcome outcome;
  const std::optional<PatchFormat> format = PatchFormatOfName(patchPath);
  if (!format) {
    outcome.status = PatchFileOutcome::Status::UnknownFormat;
    outcome.path = patchPath;
    return outcome;
  }
  outcome.format = *format;
  if (RefuseOverInput(outcome, patchPath, {{PatchFileRole::Original, &original}, {PatchFileRole::Modified, &modified}})) {
    return outcome;
  }
  const WholeFile before = ReadWholeFile(original);
  if (before.fault != WholeFile::Fault::None) return Unreadable(PatchFileRole::Original, original, before);
  const WholeFile after = ReadWholeFile(modified);
  if (after.fault != WholeFile::Fault::None) return Unreadable(PatchFileRole::Modified, modified, after);
  outcome.created = CreatePatch(*format, before.bytes, after.bytes);
  if (outcome.created.fault != PatchFault::None) {
    outcome.status = PatchFileOutcome::Status::Refused;
    return outcome;
  }
  Write(outcome, patchPath, outcome.created.bytes);
  outcome.created.bytes.clear();
  return outcome;
}

PatchFileOutcome ApplyPatchFile(const std::string& rom, const std::string& patch, const std::string& out) {
  PatchFileOutcome outcome;
  if (RefuseOverInput(outcome, out, {{PatchFileRole::Rom, &rom}, {PatchFileRole::Patch, &patch}})) return outcome;
  const WholeFile patchFile = ReadWholeFile(patch);
  if (patchFile.fault != WholeFile::Fault::None) return Unreadable(PatchFileRole::Patch, patch, patchFile);
  const WholeFile romFile = ReadWholeFile(rom);
  if (romFile.fault != WholeFile::Fault::None) return Unreadable(PatchFileRole::Rom, rom, romFile);
  outcome.applied = ApplyPatch(romFile.bytes, patchFile.bytes);
  outcome.format = outcome.applied.format;
  if (!outcome.applied.Applied()) {
    outcome.status = PatchFileOutcome::Status::Refused;
    return outcome;
  }
  Write(outcome, out, outcome.applied.result);
  outcome.applied.result.clear();
  return outcome;
}

}  // namespace lettermoor
