#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace lettermoor {

// One ROM file held open for reading and writing in place.
//
// Reads are served from an in-memory mirror of the file so that decoding thousands of strings
// costs no system calls. The mirror is kept in step with the file: every write goes to the file
// (and is synced to disk) and to the mirror together, and Refresh() reloads the mirror when
// another program has changed the file since it was read. A read at or past the end of the file
// gives 0xFF.
//
// A headerless file (one dumped without the 512-byte copier header) is addressed exactly like a
// headed one: every offset and size here is the headed file's, the file's own bytes starting at
// offset kCopierHeaderSize. The missing header reads as zeros and cannot be written.
class RomFile {
 public:
  // Opens an existing regular file for update ("rb+" semantics: nothing is created or
  // truncated). Gives nullptr when the path is not a regular file or cannot be opened for both
  // reading and writing.
  static std::unique_ptr<RomFile> Open(const std::string& path);

  ~RomFile();
  RomFile(const RomFile&) = delete;
  RomFile& operator=(const RomFile&) = delete;

  // The byte at a file offset, or 0xFF at or past the end of the file (and for negative offsets).
  uint8_t ReadByte(int64_t offset) const {
    if (offset >= 0 && offset < mirrorSize_) return mirror_[static_cast<size_t>(offset)];
    return ReadByteSlow(offset);
  }

  // Copies `out.size()` bytes from `offset`, 0xFF where they lie outside the file.
  void Read(int64_t offset, std::span<uint8_t> out) const;

  // The file's size in bytes as last seen (kept up to date by writes, GrowRom and Refresh); for a
  // headerless file the size it would have with a header.
  int64_t Size() const { return size_; }

  // The mirrored bytes: the first MirrorSize() bytes of the file, for fast scanning.
  const uint8_t* MirrorData() const { return mirror_.get(); }
  int64_t MirrorSize() const { return mirrorSize_; }

  // Writes the bytes at `offset`, which must lie wholly inside the file, then syncs them to
  // disk. Gives false, writing nothing, when the range is not inside the file; gives false too
  // when the operating system reports an error.
  [[nodiscard]] bool Write(int64_t offset, std::span<const uint8_t> bytes);

  // Re-reads the file when another program has changed or truncated it since we last looked.
  // Cheap when nothing changed (one fstat).
  void Refresh();

  int Descriptor() const { return fd_; }

  // From now on addresses the file as headerless (see above); reloads the mirror.
  void TreatAsHeaderless();
  bool IsHeaderless() const { return shift_ != 0; }

  // The size of the copier header a headed file starts with.
  static constexpr int64_t kCopierHeaderSize = 0x200;

  // Changes whenever the bytes may have changed (a write through this file, or a reload after
  // another program's change), and differs between any two files: something worked out from
  // the bytes is still good while the version it was made at is.
  uint64_t Version() const { return version_; }

  // Files larger than this are mirrored only up to it; the rest is read on demand. Every region
  // the editor works on lies far below it.
  static constexpr int64_t kMirrorLimit = 16 * 1024 * 1024;

 private:
  explicit RomFile(int fd);
  uint8_t ReadByteSlow(int64_t offset) const;
  bool Reload();
  void NoteFileState();

  int fd_ = -1;
  // What is added to a position in the file to give the offset used here: 0, or the copier
  // header's size for a headerless file.
  int64_t shift_ = 0;
  int64_t size_ = 0;
  // Not a std::vector: the whole file is read into it at once, so zero-filling it first would
  // only double the cost of an open.
  std::unique_ptr<uint8_t[]> mirror_;
  int64_t mirrorCapacity_ = 0;
  int64_t mirrorSize_ = 0;
  // What the file looked like when the mirror was last made to match it.
  int64_t seenSize_ = -1;
  int64_t seenMtimeNs_ = -1;
  int64_t seenCtimeNs_ = -1;
  uint64_t version_ = 0;
};

}  // namespace lettermoor
