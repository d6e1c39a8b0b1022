#include "rom/rom_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "rom/safe_file.h"

namespace lettermoor {

namespace {

int64_t Nanoseconds(const timespec& ts) {
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// pread until `n` bytes are in or the file ends; gives the count read.
int64_t ReadFully(int fd, uint8_t* out, int64_t n, int64_t offset) {
  int64_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, out + done, static_cast<size_t>(n - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

// Reserves the blocks under a range so that writing it cannot run out of space part way. A file
// system that cannot reserve is written without: the rollback still covers it.
int Reserve(int fd, int64_t offset, int64_t n, bool keepSize) {
  if (n <= 0) return 0;
  for (;;) {
    if (::fallocate(fd, keepSize ? FALLOC_FL_KEEP_SIZE : 0, offset, n) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) return 0;
    return errno;
  }
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

// One sequence for every file, so that no two files ever share a version.
uint64_t NextVersion() {
  static std::atomic<uint64_t> next{0};
  return ++next;
}

}  // namespace

// Holds an advisory lock on the ROM for as long as it lives.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() {
    if (fd_ >= 0) ::flock(fd_, LOCK_UN);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Take(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
      if (errno != EINTR) return false;
    }
    fd_ = fd;
    return true;
  }
  // Leaves the lock taken when this object goes.
  void Keep() { fd_ = -1; }

 private:
  int fd_ = -1;
};

bool IdentityOfPath(const std::string& path, FileIdentity& out) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  out = {st.st_dev, st.st_ino};
  return true;
}

std::unique_ptr<RomFile> RomFile::Open(const std::string& path, RomAccess access, int* error) {
  auto fail = [&](int e) -> std::unique_ptr<RomFile> {
    if (error) *error = e;
    return nullptr;
  };
  if (path.empty()) return fail(ENOENT);
  // O_NONBLOCK keeps a FIFO or device from blocking the open; only regular files are kept.
  const int mode = access == RomAccess::ReadOnly ? O_RDONLY : O_RDWR;
  int fd = ::open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int e = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return fail(e);
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::unique_ptr<RomFile> file(new RomFile(fd, access, AbsolutePath(path), {st.st_dev, st.st_ino}));
  bool loaded = false;
  {
    // A writer in another Lettermoor process finishes its write before we read.
    FileLock lock;
    lock.Take(fd, LOCK_SH);
    loaded = file->Reload();
  }
  if (!loaded) return fail(EIO);
  return file;
}

RomFile::RomFile(int fd, RomAccess access, std::string path, FileIdentity identity)
    : fd_(fd), access_(access), path_(std::move(path)), identity_(identity) {}

RomFile::~RomFile() {
  if (fd_ >= 0) ::close(fd_);
}

void RomFile::TreatAsHeaderless() {
  shift_ = kCopierHeaderSize;
  Reload();
}

bool RomFile::Reload() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return false;
  size_ = st.st_size + shift_;
  int64_t want = std::min<int64_t>(size_, kMirrorLimit);
  if (want > mirrorCapacity_) {
    mirror_.reset(new uint8_t[static_cast<size_t>(want)]);  // left uninitialised: read over below
    mirrorCapacity_ = want;
  }
  const int64_t header = std::min(shift_, want);
  std::fill(mirror_.get(), mirror_.get() + header, uint8_t{0x00});
  // A file that shrinks while we read it leaves a shorter mirror; bytes beyond it read as 0xFF.
  mirrorSize_ = header + ReadFully(fd_, mirror_.get() + header, want - header, 0);
  if (mirrorSize_ < want) size_ = mirrorSize_;
  seenSize_ = st.st_size;
  seenMtimeNs_ = Nanoseconds(st.st_mtim);
  seenCtimeNs_ = Nanoseconds(st.st_ctim);
  version_ = NextVersion();
  return true;
}

void RomFile::NoteFileState() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return;
  seenSize_ = st.st_size;
  seenMtimeNs_ = Nanoseconds(st.st_mtim);
  seenCtimeNs_ = Nanoseconds(st.st_ctim);
}

void RomFile::Refresh() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return;
  if (st.st_size == seenSize_ && Nanoseconds(st.st_mtim) == seenMtimeNs_ &&
      Nanoseconds(st.st_ctim) == seenCtimeNs_) {
    return;
  }
  FileLock lock;
  lock.Take(fd_, LOCK_SH);
  Reload();
}

bool RomFile::IsSameFile(const std::string& path) const {
  FileIdentity other;
  return IdentityOfPath(path, other) && other == identity_;
}

bool RomFile::PathStillNamesFile() const { return IsSameFile(path_); }

uint8_t RomFile::ReadByteSlow(int64_t offset) const {
  if (offset < mirrorSize_ || offset >= size_) return 0xFF;
  uint8_t byte = 0xFF;
  if (ReadFully(fd_, &byte, 1, offset - shift_) != 1) return 0xFF;
  return byte;
}

void RomFile::Read(int64_t offset, std::span<uint8_t> out) const {
  for (size_t i = 0; i < out.size(); ++i) out[i] = ReadByte(offset + static_cast<int64_t>(i));
}

RomFile::Hold::Hold(RomFile& rom) : rom_(rom) {
  if (rom_.holds_ == 0) {
    FileLock lock;
    if (!lock.Take(rom_.fd_, LOCK_EX)) return;
    lock.Keep();
  }
  ++rom_.holds_;
  held_ = true;
}

RomFile::Hold::~Hold() {
  if (held_ && --rom_.holds_ == 0) ::flock(rom_.fd_, LOCK_UN);
}

WriteResult RomFile::BeginChange(FileLock& lock, bool backUp) {
  if (access_ == RomAccess::ReadOnly) return {WriteStatus::ReadOnly, EBADF};
  if (holds_ == 0 && !lock.Take(fd_, LOCK_EX)) return {WriteStatus::FailedRestored, errno};
  // Writing on through a file that was renamed, replaced or deleted would change a file the user
  // no longer sees at that path.
  if (!PathStillNamesFile()) return {WriteStatus::FileReplaced, 0};
  // Time stamps are too coarse to tell every change apart: under the lock the file is read
  // afresh, so nothing another program wrote is taken as already seen.
  if (!Reload()) return {WriteStatus::FailedRestored, errno};
  if (backUp && !backupMade_ && !backupPath_.empty()) {
    if (int error = WriteBackup(); error != 0) return {WriteStatus::BackupFailed, error};
    backupMade_ = true;
  }
  return {};
}

void RomFile::KeepBackupAt(std::string path) { backupPath_ = std::move(path); }

WriteResult RomFile::BackUpIfDue() {
  if (access_ == RomAccess::ReadOnly || backupMade_ || backupPath_.empty()) return {};
  FileLock lock;
  return BeginChange(lock);
}

int RomFile::WriteBackup() {
  // A copy written over the ROM itself (a link to it at the copy's path) would destroy the very
  // bytes it is meant to keep.
  if (IsSameFile(backupPath_)) return EEXIST;
  const SafeWriteResult written = WriteFileSafely(backupPath_, [this](std::FILE* out) {
    // The file's own bytes, read through the open descriptor: what is on disk under our lock.
    std::vector<uint8_t> chunk(1 << 20);
    for (int64_t at = 0;;) {
      const int64_t got = ReadFully(fd_, chunk.data(), static_cast<int64_t>(chunk.size()), at);
      if (got > 0 && std::fwrite(chunk.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got)) {
        return false;
      }
      at += got;
      if (got < static_cast<int64_t>(chunk.size())) return at == seenSize_;
    }
  });
  return written.ok ? 0 : (written.error ? written.error : EIO);
}

WriteResult RomFile::ReplaceContents(std::span<const uint8_t> bytes) {
  FileLock lock;
  WriteResult begun = BeginChange(lock, false);
  if (!begun) return begun;
  const int64_t n = static_cast<int64_t>(bytes.size());
  const int64_t oldSize = seenSize_;
  std::vector<uint8_t> old(static_cast<size_t>(oldSize));
  if (ReadFully(fd_, old.data(), oldSize, 0) != oldSize) return {WriteStatus::FailedRestored, EIO};
  if (int e = Reserve(fd_, 0, n, false); e != 0) return {WriteStatus::FailedRestored, e};
  // Positions here are the file's own: WriteAll adds back what it takes off for a headerless file.
  auto put = [&](const uint8_t* data, int64_t count, int& error) {
    if (!WriteAll(shift_, data, count, error)) return false;
    while (::ftruncate(fd_, static_cast<off_t>(count)) != 0) {
      if (errno != EINTR) {
        error = errno;
        return false;
      }
    }
    if (::fsync(fd_) != 0) {
      error = errno;
      return false;
    }
    return true;
  };
  int error = 0;
  if (put(bytes.data(), n, error)) {
    backupMade_ = true;  // the file is the copy now: a later write need not keep it again
    Reload();
    return {};
  }
  int ignored = 0;
  const bool restored = put(old.data(), oldSize, ignored);
  Reload();
  return {restored ? WriteStatus::FailedRestored : WriteStatus::FailedDamaged, error};
}

bool RomFile::WriteAll(int64_t offset, const uint8_t* data, int64_t n, int& error) {
  // `offset` is the headed layout's; the file's own bytes start `shift_` earlier.
  int64_t done = 0;
  while (done < n) {
    ssize_t put = ::pwrite(fd_, data + done, static_cast<size_t>(n - done), offset - shift_ + done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? errno : EIO;
      return false;
    }
    done += put;
  }
  return true;
}

void RomFile::Mirror(int64_t offset, const uint8_t* data, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    if (offset + i >= 0 && offset + i < mirrorSize_) mirror_[static_cast<size_t>(offset + i)] = data[i];
  }
}

WriteResult RomFile::Write(int64_t offset, std::span<const uint8_t> bytes) {
  return Write(offset, bytes, {});
}

WriteResult RomFile::Write(int64_t offset, std::span<const uint8_t> given, std::span<const uint8_t> ours) {
  FileLock lock;
  WriteResult begun = BeginChange(lock);
  if (!begun) return begun;
  const int64_t n = static_cast<int64_t>(given.size());
  // A headerless file has no header to write into.
  if (offset < shift_ || offset > size_ || n > size_ - offset) return {WriteStatus::OutsideFile, 0};
  if (n == 0) return {};
  if (int e = Reserve(fd_, offset - shift_, n, true); e != 0) return {WriteStatus::FailedRestored, e};

  std::vector<uint8_t> old(static_cast<size_t>(n));
  Read(offset, old);
  std::vector<uint8_t> merged;
  std::span<const uint8_t> bytes = given;
  if (!ours.empty()) {
    merged = old;
    for (size_t i = 0; i < merged.size() && i < ours.size(); ++i) {
      if (ours[i]) merged[i] = given[i];
    }
    bytes = merged;
  }
  int error = 0;
  bool ok = WriteAll(offset, bytes.data(), n, error);
  if (ok && ::fsync(fd_) != 0) {
    error = errno;
    ok = false;
  }
  if (ok) {
    Mirror(offset, bytes.data(), n);
    version_ = NextVersion();
    NoteFileState();
    return {};
  }
  // Put back what was there, so a failed write leaves no half string behind.
  int ignored = 0;
  const bool restored = WriteAll(offset, old.data(), n, ignored) && ::fsync(fd_) == 0;
  Reload();
  return {restored ? WriteStatus::FailedRestored : WriteStatus::FailedDamaged, error};
}

WriteResult RomFile::Extend(int64_t target, const std::function<std::vector<uint8_t>(int64_t)>& tail) {
  FileLock lock;
  WriteResult begun = BeginChange(lock);
  if (!begun) return begun;
  const int64_t size = size_;
  if (size >= target) return {};  // grown already, perhaps by another process a moment ago
  const std::vector<uint8_t> bytes = tail(size);
  const int64_t n = static_cast<int64_t>(bytes.size());
  const int64_t end = size - shift_;  // where the file's own bytes end
  int error = Reserve(fd_, end, n, true);
  bool ok = error == 0 && WriteAll(size, bytes.data(), n, error);
  if (ok && ::fsync(fd_) != 0) {
    error = errno;
    ok = false;
  }
  if (ok) {
    Reload();
    return {};
  }
  // Cut this same file back: blocks reserved or written past the old end go.
  ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, end, n);
  bool restored = false;
  while (!(restored = ::ftruncate(fd_, static_cast<off_t>(end)) == 0) && errno == EINTR) {
  }
  restored = restored && ::fsync(fd_) == 0;
  Reload();
  return {restored ? WriteStatus::FailedRestored : WriteStatus::FailedDamaged, error};
}

}  // namespace lettermoor
