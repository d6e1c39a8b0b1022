#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "rom/change_history.h"

namespace lettermoor {

// How a ROM file is opened.
enum class RomAccess {
  ReadWrite,  // for update: nothing is created or truncated
  ReadOnly,   // for viewing: every write is refused
};

// What became of a write (or an extension) of the file.
enum class WriteStatus {
  Written,          // every byte is in the file and synced to disk
  OutsideFile,      // the range does not lie inside the file as it is now; nothing was written
  ReadOnly,         // the file was opened read-only; nothing was written
  FileReplaced,     // the path no longer names the file that was opened; nothing was written
  FailedRestored,   // the system refused the write; the file holds its old bytes again
  FailedDamaged,    // the system refused the write and the old bytes could not be put back
  BackupFailed,     // the copy kept before the first change could not be made; nothing was written
  JournalFailed,    // the rollback journal could not be made beside the file; nothing was written
};

struct WriteResult {
  WriteStatus status = WriteStatus::Written;
  int error = 0;  // the system's error number when it refused something

  bool Ok() const { return status == WriteStatus::Written; }
  explicit operator bool() const { return Ok(); }
};

// The device and inode that name one file, whatever path leads to it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// One range of a change: bytes at an offset (the headed layout's, as everywhere here).
struct ByteChange {
  int64_t offset = 0;
  std::vector<uint8_t> bytes;
};

// Everything one change writes, applied all or nothing, also across a crash: the ranges, and the
// size the file ends with (-1 keeps its size; a larger one grows it, a smaller one cuts it).
struct ChangeSet {
  std::vector<ByteChange> ranges;
  int64_t newSize = -1;
};

// What taking the file's lock found of a change that was interrupted (a crash, a kill, a power
// loss) and left its rollback journal beside the file.
enum class RecoveryStatus {
  None,        // nothing was interrupted
  RolledBack,  // the change was undone: the file is as it was before it
  Unwritable,  // the file cannot be written here, so it may hold a half-made change; it is shown as it is
  Foreign,     // a journal is there that belongs to another file (replaced since?); left alone
};

struct Recovery {
  RecoveryStatus status = RecoveryStatus::None;
  int ranges = 0;            // RolledBack: how many ranges were put back
  int error = 0;             // Unwritable: the system's reason
  std::string journalPath;   // the journal's path
};

// The identity of what `path` names now (following symbolic links), or false when there is none.
bool IdentityOfPath(const std::string& path, FileIdentity& out);

// One ROM file held open for reading and (unless opened read-only) writing in place.
//
// Reads are served from an in-memory mirror of the file so that decoding thousands of strings
// costs no system calls. Every change goes through one locked step: an exclusive advisory lock
// (flock) on the file, a check that the path still names the file that was opened, a fresh read
// of the file into the mirror, the range check against that fresh size, space reserved, the
// write, a sync, and on failure the old bytes written back from the mirror. Other Lettermoor
// processes take the same lock, so two of them never interleave their writes, and each sees the
// other's work before it checks anything. Refresh() reloads the mirror when another program has
// changed the file since it was read. A read at or past the end of the file gives 0xFF.
//
// A headerless file (one dumped without the 512-byte copier header) is addressed exactly like a
// headed one: every offset and size here is the headed file's, the file's own bytes starting at
// offset kCopierHeaderSize. The missing header reads as zeros and cannot be written.
class RomFile {
 public:
  // Opens an existing regular file. Gives nullptr when the path is not a regular file or cannot
  // be opened as asked; `error`, when given, then receives the system's error number (ENOENT for
  // a missing file, EACCES for one without the permission, EISDIR or EINVAL for other kinds).
  static std::unique_ptr<RomFile> Open(const std::string& path, RomAccess access = RomAccess::ReadWrite,
                                       int* error = nullptr);

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

  // Writes the bytes at `offset`, which must lie wholly inside the file as it is at the moment of
  // writing, then syncs them to disk: all of them or, as far as the file system allows, none.
  [[nodiscard]] WriteResult Write(int64_t offset, std::span<const uint8_t> bytes);
  // The same for the bytes whose `ours` flag is set; the others of the span are written back as
  // the file holds them at that moment, so that several fields change in one write.
  [[nodiscard]] WriteResult Write(int64_t offset, std::span<const uint8_t> bytes,
                                  std::span<const uint8_t> ours);

  // Writes a whole change set under one lock: the old bytes of every range go into a rollback
  // journal beside the file (JournalPathFor), which is synced with its folder before the first
  // byte of the file changes; then the ranges are written, the size set and the file synced;
  // then the journal is removed and the folder synced. Whoever takes the lock next after a crash
  // finds the journal and puts the old bytes back, so the file is always wholly before or
  // wholly after the change. Every range must lie inside the file as it will be.
  [[nodiscard]] WriteResult Apply(const ChangeSet& change);

  // Grows the file to at least `target` bytes with the bytes `tail(size)` gives for its current
  // size, written at that size through this descriptor. A file already that long is left alone
  // (Written, nothing changed: a repeat is harmless). When the write fails the file is cut back
  // to its old size.
  [[nodiscard]] WriteResult Extend(int64_t target, const std::function<std::vector<uint8_t>(int64_t)>& tail);

  // Holds the exclusive lock across several changes (a move and its repoints), so that no other
  // Lettermoor process writes in between; the changes made meanwhile take no lock of their own.
  class Hold {
   public:
    explicit Hold(RomFile& rom);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool Held() const { return held_; }

   private:
    RomFile& rom_;
    bool held_ = false;
  };

  // Names the changes written while it lives: their kind and lines go into the history with them,
  // and its several writes (a move and its repoints) are one entry there, undone together. A
  // label inside another adds nothing: the outer change is what the user asked for.
  class Labeled {
   public:
    Labeled(RomFile& rom, ChangeLabel label);
    ~Labeled();
    Labeled(const Labeled&) = delete;
    Labeled& operator=(const Labeled&) = delete;

   private:
    RomFile& rom_;
    bool outer_ = false;
  };

  // The history beside the file (HistoryPathFor): every change written through Commit adds a
  // record there in the same journaled step, so that a rollback takes both back. On at first;
  // off keeps none (a measure of what it costs).
  void KeepHistory(bool on) { keepHistory_ = on; }
  const std::string& HistoryPath() const { return historyPath_; }
  // Where the oldest entries start to go (kHistoryLimit; tests make it small).
  void SetHistoryLimit(int64_t bytes) { historyLimit_ = bytes; }
  // True once, after a change for which the oldest entries were dropped to keep under the limit.
  bool TakeHistoryTrimmed() { return std::exchange(historyTrimmed_, false); }

  // Before the first change through this file (a write, an extension or a replacement), a copy
  // of the whole file as it is at that moment is kept at `path`, written with WriteFileSafely so
  // that an older copy there is replaced only by a complete, synced one. A change whose copy
  // cannot be made is refused with BackupFailed and writes nothing. The copy is made once per
  // opening; an empty path keeps none. Every writer gets this without asking for it.
  void KeepBackupAt(std::string path);
  const std::string& BackupPath() const { return backupPath_; }
  // True once the copy has been made (or the file was put back from it) since it was opened.
  bool BackupMade() const { return backupMade_; }
  // Makes the copy now when it is still due, under the lock: a writer that must know before it
  // starts (a move of several writes) asks here. Written when it was made or is not needed.
  [[nodiscard]] WriteResult BackUpIfDue();

  // Replaces the whole file with `bytes` (the file's own bytes, from its first byte, header
  // included when it has one) through this descriptor, cutting it to their length, then syncs:
  // a revert to a kept copy. The path is never renamed over. When a write fails the old bytes
  // are put back. Makes no copy first: what it writes is the copy.
  [[nodiscard]] WriteResult ReplaceContents(std::span<const uint8_t> bytes);

  // Re-reads the file when another program has changed or truncated it since we last looked.
  // Cheap when nothing changed (one fstat).
  void Refresh();

  // What the last taking of the lock found of an interrupted change, once: the report is
  // cleared by reading it. Opening the file takes the lock, so this is the place to look after
  // Open.
  Recovery TakeRecovery() { return std::exchange(recovery_, Recovery{}); }
  const std::string& JournalPath() const { return journalPath_; }

  // True when `path` names this very file (same device and inode), whatever its name.
  bool IsSameFile(const std::string& path) const;
  // True when the path the file was opened by still names it.
  bool PathStillNamesFile() const;

  bool IsReadOnly() const { return access_ == RomAccess::ReadOnly; }
  const std::string& OpenedPath() const { return path_; }
  int Descriptor() const { return fd_; }

  // From now on addresses the file as headerless (see above); reloads the mirror.
  void TreatAsHeaderless();
  bool IsHeaderless() const { return shift_ != 0; }

  // Keep the Checksum Right: every change written from now on also sets the SNES header's
  // checksum pair to what the bytes call for, in the same journaled step, so a crash leaves both
  // or neither. A file of a size that is not summed (header_checksum.h) is left as it is.
  void KeepChecksumRight(bool on) { keepChecksumRight_ = on; }
  bool KeepsChecksumRight() const { return keepChecksumRight_; }

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
  RomFile(int fd, RomAccess access, std::string path, FileIdentity identity);
  uint8_t ReadByteSlow(int64_t offset) const;
  bool Reload();
  void NoteFileState();
  // Takes the exclusive lock, checks the path and reloads; gives Written when the caller may go on.
  WriteResult BeginChange(class FileLock& lock, bool backUp = true);
  // Journals and writes a change; the caller holds the exclusive lock (BeginChange).
  WriteResult Commit(const ChangeSet& change);
  // With a lock held: when a journal lies beside the file, puts its old bytes back (taking the
  // lock exclusively for it when `exclusive` is false) and notes what happened in recovery_.
  void RecoverInterruptedChange(bool exclusive);
  // Writes the copy of the file to backupPath_; gives the error number, or 0.
  int WriteBackup();
  // Opens the history for the next record (its old entries dropped when `room` more bytes would
  // pass the limit); gives the descriptor and where the record goes, or -1 with the error number.
  int OpenHistory(int64_t room, int64_t& at, int& error);
  bool WriteAll(int64_t offset, const uint8_t* data, int64_t n, int& error);
  void Mirror(int64_t offset, const uint8_t* data, int64_t n);

  int fd_ = -1;
  // What is added to a position in the file to give the offset used here: 0, or the copier
  // header's size for a headerless file.
  int64_t shift_ = 0;
  RomAccess access_ = RomAccess::ReadWrite;
  std::string path_;
  FileIdentity identity_;
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
  int holds_ = 0;  // how many Holds keep the lock taken
  std::string backupPath_;
  bool backupMade_ = false;
  bool keepChecksumRight_ = false;
  std::string journalPath_;
  Recovery recovery_;
  std::string historyPath_;
  bool keepHistory_ = true;
  int64_t historyLimit_ = kHistoryLimit;
  bool historyTrimmed_ = false;
  // The history as this file last wrote it: its length, inode and newest id. Another process's
  // append changes the length or inode, and the file is read again.
  int64_t historyLength_ = -1;
  ino_t historyInode_ = 0;
  uint64_t historyLastId_ = 0;
  ChangeLabel label_;
  bool labeled_ = false;
  uint64_t group_ = 0;  // the first record's id of the labelled change being written, 0 before it
};

}  // namespace lettermoor
