#pragma once

// Shared pieces of the fuzz targets: an in-memory ROM file and a check that aborts.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "rom/rom_file.h"

// A violated invariant is a finding: say which one and abort, so that libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                              \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace lettermoor::fuzz {

// A file in a private folder of the memory file system (/dev/shm, else /tmp) that the production
// RomFile opens by its name, so the fuzzers exercise the real open, mirror, journal and write code
// without touching the disk. A real name, not a memfd's /proc path: the rollback journal of every
// write is made in the file's folder.
class MemoryFile {
 public:
  MemoryFile() {
    char folder[] = "/dev/shm/lettermoor-fuzz-XXXXXX";
    char fallback[] = "/tmp/lettermoor-fuzz-XXXXXX";
    const char* made = ::mkdtemp(folder);
    if (!made) made = ::mkdtemp(fallback);
    FUZZ_CHECK(made != nullptr);
    folder_ = made;
    path_ = folder_ + "/rom.smc";
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd_ >= 0);
  }
  ~MemoryFile() {
    ::close(fd_);
    ::unlink(path_.c_str());
    ::rmdir(folder_.c_str());
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Makes the file exactly `size` bytes long: zeros (sparse) everywhere but `bytes` at `at`.
  void Reset(int64_t size, const uint8_t* bytes = nullptr, size_t n = 0, int64_t at = 0) {
    FUZZ_CHECK(::ftruncate(fd_, 0) == 0);
    FUZZ_CHECK(::ftruncate(fd_, size) == 0);
    if (n > 0) WriteAt(at, bytes, n);
  }

  void WriteAt(int64_t at, const uint8_t* bytes, size_t n) {
    size_t done = 0;
    while (done < n) {
      ssize_t put = ::pwrite(fd_, bytes + done, n - done, at + static_cast<int64_t>(done));
      FUZZ_CHECK(put > 0);
      done += static_cast<size_t>(put);
    }
  }

  std::vector<uint8_t> ReadAll() const {
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    std::vector<uint8_t> out(static_cast<size_t>(size));
    size_t done = 0;
    while (done < out.size()) {
      ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(done));
      FUZZ_CHECK(got > 0);
      done += static_cast<size_t>(got);
    }
    return out;
  }

  const std::string& Path() const { return path_; }

  // Opens the file through the production path.
  std::unique_ptr<RomFile> Open() const {
    std::unique_ptr<RomFile> rom = RomFile::Open(Path());
    FUZZ_CHECK(rom != nullptr);
    return rom;
  }

 private:
  std::string folder_;
  std::string path_;
  int fd_ = -1;
};

// Reads the input from the front, giving zeros once it is used up.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t Le32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }
  const uint8_t* Rest() const { return data_ + pos_; }
  size_t RestSize() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace lettermoor::fuzz
