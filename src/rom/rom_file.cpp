#include "rom/rom_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

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

// One sequence for every file, so that no two files ever share a version.
uint64_t NextVersion() {
  static std::atomic<uint64_t> next{0};
  return ++next;
}

}  // namespace

std::unique_ptr<RomFile> RomFile::Open(const std::string& path) {
  if (path.empty()) return nullptr;
  // O_NONBLOCK keeps a FIFO or device from blocking the open; only regular files are kept.
  int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::unique_ptr<RomFile> file(new RomFile(fd));
  if (!file->Reload()) return nullptr;
  return file;
}

RomFile::RomFile(int fd) : fd_(fd) {}

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
  Reload();
}

uint8_t RomFile::ReadByteSlow(int64_t offset) const {
  if (offset < mirrorSize_ || offset >= size_) return 0xFF;
  uint8_t byte = 0xFF;
  if (ReadFully(fd_, &byte, 1, offset - shift_) != 1) return 0xFF;
  return byte;
}

void RomFile::Read(int64_t offset, std::span<uint8_t> out) const {
  for (size_t i = 0; i < out.size(); ++i) out[i] = ReadByte(offset + static_cast<int64_t>(i));
}

bool RomFile::Write(int64_t offset, std::span<const uint8_t> bytes) {
  Refresh();  // check the range against the file as it is now, not as we last saw it
  const int64_t n = static_cast<int64_t>(bytes.size());
  // A headerless file has no header to write into.
  if (offset < shift_ || offset > size_ || n > size_ - offset) return false;
  if (n == 0) return true;
  int64_t done = 0;
  bool ok = true;
  while (done < n) {
    ssize_t put = ::pwrite(fd_, bytes.data() + done, static_cast<size_t>(n - done), offset - shift_ + done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      ok = false;
      break;
    }
    done += put;
  }
  if (ok && ::fsync(fd_) != 0) ok = false;
  // The mirror follows whatever reached the file.
  for (int64_t i = 0; i < done; ++i) {
    int64_t at = offset + i;
    if (at < mirrorSize_) mirror_[static_cast<size_t>(at)] = bytes[static_cast<size_t>(i)];
  }
  if (done > 0) version_ = NextVersion();
  NoteFileState();
  return ok;
}

}  // namespace lettermoor
