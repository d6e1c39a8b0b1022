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
#include <ctime>
#include <optional>

#include "rom/header_checksum.h"
#include "rom/rollback_journal.h"
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

// pwrite of all `n` bytes at `offset`, each write a step the crash tests can stop at.
bool WriteAllTo(int fd, const uint8_t* data, size_t n, int64_t offset, int& error) {
  for (size_t done = 0; done < n;) {
    if ((error = NoteIoStep()) != 0) return false;
    const ssize_t put = ::pwrite(fd, data + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
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
    file->RecoverInterruptedChange(false);
    loaded = file->Reload();
  }
  if (!loaded) return fail(EIO);
  return file;
}

RomFile::RomFile(int fd, RomAccess access, std::string path, FileIdentity identity)
    : fd_(fd),
      access_(access),
      path_(std::move(path)),
      identity_(identity),
      journalPath_(JournalPathFor(path_)),
      historyPath_(HistoryPathFor(path_)) {}

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
  if (holds_ > 0) {
    // The exclusive lock is ours already (and its taking dealt with any journal): taking it
    // shared here would give it up, and the write the Hold was taken for would come in unlocked.
    Reload();
    return;
  }
  FileLock lock;
  lock.Take(fd_, LOCK_SH);
  RecoverInterruptedChange(false);
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
    rom_.RecoverInterruptedChange(true);
  }
  ++rom_.holds_;
  held_ = true;
}

RomFile::Hold::~Hold() {
  if (held_ && --rom_.holds_ == 0) ::flock(rom_.fd_, LOCK_UN);
}

RomFile::Labeled::Labeled(RomFile& rom, ChangeLabel label) : rom_(rom), outer_(!rom.labeled_) {
  if (!outer_) return;
  rom_.label_ = std::move(label);
  rom_.labeled_ = true;
  rom_.group_ = 0;
}

RomFile::Labeled::~Labeled() {
  if (!outer_) return;
  rom_.labeled_ = false;
  rom_.label_ = {};
  rom_.group_ = 0;
}

int RomFile::OpenHistory(int64_t room, int64_t& at, int& error) {
  // Made before the journal, whose folder sync then keeps its name too.
  int fd = ::open(historyPath_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = fd < 0 ? errno : EINVAL;
    if (fd >= 0) ::close(fd);
    return -1;
  }
  const bool seen = st.st_size == historyLength_ && st.st_ino == historyInode_;
  if (seen && historyLength_ + room <= historyLimit_) {
    at = historyLength_;
    return fd;
  }
  // Another process wrote it since, or a crash left a torn tail: what is whole counts.
  const HistoryContents contents = ReadHistory(historyPath_, fd);
  historyLength_ = contents.validLength;
  historyLastId_ = contents.records.empty() ? 0 : contents.records.back().id;
  historyInode_ = st.st_ino;
  if (historyLength_ + room > historyLimit_ && !contents.records.empty()) {
    ::close(fd);
    int64_t length = 0;
    if ((error = TrimHistory(historyPath_, contents, room, historyLimit_, length)) != 0) return -1;
    historyTrimmed_ = true;
    historyLength_ = -1;  // read again: a new file at the name
    return OpenHistory(room, at, error);
  }
  at = historyLength_;
  return fd;
}

WriteResult RomFile::BeginChange(FileLock& lock, bool backUp) {
  if (access_ == RomAccess::ReadOnly) return {WriteStatus::ReadOnly, EBADF};
  if (holds_ == 0) {
    if (!lock.Take(fd_, LOCK_EX)) return {WriteStatus::FailedRestored, errno};
    RecoverInterruptedChange(true);
  }
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
  // Always a new file renamed over the name: a link there (even one to the ROM itself) is
  // replaced, never written through, and a special file is refused without being opened.
  const SafeWriteResult written = WriteFileReplacing(backupPath_, [this](std::FILE* out) {
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
  // Only the runs that differ are journaled and written: a revert after a few edits is small.
  ChangeSet change;
  const int64_t n = static_cast<int64_t>(bytes.size());
  change.newSize = n + shift_;
  std::vector<uint8_t> now(static_cast<size_t>(std::min(n, seenSize_)));
  if (ReadFully(fd_, now.data(), static_cast<int64_t>(now.size()), 0) != static_cast<int64_t>(now.size())) {
    return {WriteStatus::FailedRestored, EIO};
  }
  for (int64_t at = 0; at < n;) {
    if (at < static_cast<int64_t>(now.size()) && now[static_cast<size_t>(at)] == bytes[static_cast<size_t>(at)]) {
      ++at;
      continue;
    }
    int64_t end = at;
    // Runs closer than a few bytes are one range: fewer, larger writes.
    for (int64_t same = 0; end < n && same < 16; ++end) {
      const bool equal = end < static_cast<int64_t>(now.size()) && now[static_cast<size_t>(end)] == bytes[static_cast<size_t>(end)];
      same = equal ? same + 1 : 0;
    }
    change.ranges.push_back({at + shift_, std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + end)});
    at = end;
  }
  const WriteResult written = Commit(change);
  if (written) backupMade_ = true;  // the file is the copy now: a later write need not keep it again
  return written;
}

bool RomFile::WriteAll(int64_t offset, const uint8_t* data, int64_t n, int& error) {
  // `offset` is the headed layout's; the file's own bytes start `shift_` earlier.
  return WriteAllTo(fd_, data, static_cast<size_t>(n), offset - shift_, error);
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
  ChangeSet change;
  const int64_t n = static_cast<int64_t>(given.size());
  if (ours.empty()) {
    change.ranges.push_back({offset, std::vector<uint8_t>(given.begin(), given.end())});
  } else {
    // Each run of our bytes is a range; the bytes between are left as the file holds them.
    for (int64_t at = 0; at < n;) {
      if (at >= static_cast<int64_t>(ours.size()) || !ours[static_cast<size_t>(at)]) {
        ++at;
        continue;
      }
      int64_t end = at;
      while (end < n && end < static_cast<int64_t>(ours.size()) && ours[static_cast<size_t>(end)]) ++end;
      change.ranges.push_back({offset + at, std::vector<uint8_t>(given.begin() + at, given.begin() + end)});
      at = end;
    }
  }
  FileLock lock;
  WriteResult begun = BeginChange(lock);
  if (!begun) return begun;
  // The whole span must lie inside the file, not only our bytes of it.
  if (offset < shift_ || offset > size_ || n > size_ - offset) return {WriteStatus::OutsideFile, 0};
  return Commit(change);
}

WriteResult RomFile::Apply(const ChangeSet& change) {
  FileLock lock;
  WriteResult begun = BeginChange(lock);
  if (!begun) return begun;
  return Commit(change);
}

WriteResult RomFile::Extend(int64_t target, const std::function<std::vector<uint8_t>(int64_t)>& tail) {
  FileLock lock;
  WriteResult begun = BeginChange(lock);
  if (!begun) return begun;
  const int64_t size = size_;
  if (size >= target) return {};  // grown already, perhaps by another process a moment ago
  ChangeSet change;
  change.ranges.push_back({size, tail(size)});
  change.newSize = size + static_cast<int64_t>(change.ranges.back().bytes.size());
  return Commit(change);
}

namespace {

// Puts a journal's old bytes back through `fd` and cuts the file to its old size, then syncs.
// Gives true when the file then holds exactly the old bytes and size, read back to be sure: a
// failed write may still have left the file as it was.
bool RollBack(int fd, const JournalContents& journal, const std::string& historyPath) {
  for (const JournalRange& r : journal.ranges) {
    for (size_t done = 0; done < r.old.size();) {
      if (NoteIoStep() != 0) break;
      const ssize_t put = ::pwrite(fd, r.old.data() + done, r.old.size() - done, r.offset + static_cast<off_t>(done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<size_t>(put);
    }
  }
  if (NoteIoStep() == 0) {
    while (::ftruncate(fd, static_cast<off_t>(journal.oldSize)) != 0 && errno == EINTR) {
    }
  }
  if (NoteIoStep() == 0) ::fsync(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size != journal.oldSize) return false;
  // The change's history record goes with it.
  if (journal.historyLength >= 0) {
    const int history = ::open(historyPath.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    bool cut = history < 0 && errno == ENOENT;
    if (history >= 0) {
      cut = ::fstat(history, &st) == 0 && st.st_size <= journal.historyLength;
      if (!cut && NoteIoStep() == 0 && ::ftruncate(history, static_cast<off_t>(journal.historyLength)) == 0 &&
          NoteIoStep() == 0 && ::fsync(history) == 0) {
        cut = true;
      }
      ::close(history);
    }
    if (!cut) return false;
  }
  std::vector<uint8_t> now;
  for (const JournalRange& r : journal.ranges) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(r.old.size()), journal.oldSize - r.offset);
    if (n <= 0) continue;
    now.resize(static_cast<size_t>(n));
    if (ReadFully(fd, now.data(), n, r.offset) != n || !std::equal(now.begin(), now.end(), r.old.begin())) return false;
  }
  return true;
}


}  // namespace

WriteResult RomFile::Commit(const ChangeSet& asked) {
  const int64_t endAfter = asked.newSize >= 0 ? asked.newSize : size_;
  if (endAfter < shift_) return {WriteStatus::OutsideFile, 0};
  for (const ByteChange& c : asked.ranges) {
    const int64_t n = static_cast<int64_t>(c.bytes.size());
    // A headerless file has no header to write into.
    if (c.offset < shift_ || c.offset > endAfter || n > endAfter - c.offset) return {WriteStatus::OutsideFile, 0};
  }
  const bool resize = endAfter != size_;
  const bool anyBytes = std::any_of(asked.ranges.begin(), asked.ranges.end(),
                                    [](const ByteChange& c) { return !c.bytes.empty(); });
  if (!resize && !anyBytes) return {};
  // The checksum's fix joins the change itself: journaled, written and undone with it. It lies
  // in the first 64 KiB of a file that is summed, so inside the file.
  std::optional<ChangeSet> withChecksum;
  if (keepChecksumRight_) {
    if (std::optional<ByteChange> fix = ChecksumFixAfter(*this, asked)) {
      withChecksum = asked;
      withChecksum->ranges.push_back(std::move(*fix));
    }
  }
  const ChangeSet& change = withChecksum ? *withChecksum : asked;

  // The old bytes of every range that lies in the file now, and of a tail that a cut removes.
  JournalContents journal;
  journal.romName = BaseOf(path_);
  journal.device = static_cast<uint64_t>(identity_.device);
  journal.inode = static_cast<uint64_t>(identity_.inode);
  journal.oldSize = seenSize_;
  // The history's record holds the same old bytes beside the new ones.
  HistoryRecord record;
  record.time = static_cast<int64_t>(std::time(nullptr));
  if (labeled_) record.label = label_;
  record.oldSize = seenSize_;
  record.newSize = endAfter - shift_;
  auto keep = [&](int64_t from, int64_t to) {  // file offsets, the headed layout's
    HistoryRange& h = record.ranges.emplace_back();
    h.offset = std::max(from, shift_) - shift_;
    from = std::max(from, shift_);
    to = std::min(to, size_);
    if (to <= from) return;
    JournalRange r{from - shift_, std::vector<uint8_t>(static_cast<size_t>(to - from))};
    if (ReadFully(fd_, r.old.data(), to - from, r.offset) == to - from) {
      h.old = r.old;
      journal.ranges.push_back(std::move(r));
    }
  };
  for (const ByteChange& c : change.ranges) {
    keep(c.offset, c.offset + static_cast<int64_t>(c.bytes.size()));
    record.ranges.back().now = c.bytes;
  }
  if (withChecksum) record.ranges.back().derived = true;
  if (endAfter < size_) keep(endAfter, size_);

  int historyFd = -1;
  std::vector<uint8_t> entry;
  if (keepHistory_) {
    int error = 0;
    int64_t at = 0;
    const int64_t room = static_cast<int64_t>(EncodeHistoryRecord(record, true).size());
    historyFd = OpenHistory(room, at, error);
    if (historyFd < 0) return {WriteStatus::JournalFailed, error};
    record.id = historyLastId_ + 1;
    if (labeled_ && group_ == 0) group_ = record.id;
    record.group = labeled_ ? group_ : record.id;
    entry = EncodeHistoryRecord(record, at == 0);
    journal.historyLength = at;
  }
  struct HistoryCloser {
    int& fd;
    ~HistoryCloser() {
      if (fd >= 0) ::close(fd);
    }
  } closeHistory{historyFd};
  if (int e = WriteJournal(journalPath_, journal); e != 0) return {WriteStatus::JournalFailed, e};

  int error = 0;
  for (const ByteChange& c : change.ranges) {
    if (error == 0) error = Reserve(fd_, c.offset - shift_, static_cast<int64_t>(c.bytes.size()), true);
  }
  bool ok = error == 0;
  for (size_t i = 0; ok && i < change.ranges.size(); ++i) {
    const ByteChange& c = change.ranges[i];
    ok = WriteAll(c.offset, c.bytes.data(), static_cast<int64_t>(c.bytes.size()), error);
  }
  if (ok && resize) {
    error = NoteIoStep();
    if (error == 0) {
      int rc = 0;
      while ((rc = ::ftruncate(fd_, static_cast<off_t>(endAfter - shift_))) != 0 && errno == EINTR) {
      }
      if (rc != 0) error = errno;
    }
    ok = error == 0;
  }
  const int64_t historyAt = journal.historyLength;
  if (ok && historyFd >= 0) {
    // Appended where the last whole record ends: a torn tail after it is cut.
    ok = WriteAllTo(historyFd, entry.data(), entry.size(), historyAt, error);
    struct stat st {};
    const int64_t end = historyAt + static_cast<int64_t>(entry.size());
    if (ok && ::fstat(historyFd, &st) == 0 && st.st_size > end) {
      if ((error = NoteIoStep()) == 0 && ::ftruncate(historyFd, static_cast<off_t>(end)) != 0) error = errno;
      ok = error == 0;
    }
  }
  if (ok && ((error = NoteIoStep()) != 0 || ::fsync(fd_) != 0)) {
    if (error == 0) error = errno;
    ok = false;
  }
  if (ok && historyFd >= 0 && ((error = NoteIoStep()) != 0 || ::fsync(historyFd) != 0)) {
    if (error == 0) error = errno;
    ok = false;
  }
  // The change is on disk; once the journal is gone it stays. A journal that cannot be removed
  // would undo it at the next lock, so the change is taken back now instead.
  if (ok && (error = RemoveJournal(journalPath_)) != 0) ok = false;
  if (ok) {
    if (historyFd >= 0) {
      historyLength_ = historyAt + static_cast<int64_t>(entry.size());
      historyLastId_ = record.id;
    }
    if (resize) {
      Reload();
    } else {
      for (const ByteChange& c : change.ranges) Mirror(c.offset, c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
      version_ = NextVersion();
      NoteFileState();
    }
    return {};
  }
  // Put back what was there, so a failed write leaves no half change behind. Whether it is
  // back is read from the file, not guessed from the calls: a refused write may have changed
  // nothing. When it is not, the journal stays for the next lock to finish the work.
  historyLength_ = -1;  // read again before the next record
  const bool restored = RollBack(fd_, journal, historyPath_);
  if (restored) RemoveJournal(journalPath_);
  Reload();
  return {restored ? WriteStatus::FailedRestored : WriteStatus::FailedDamaged, error};
}

void RomFile::RecoverInterruptedChange(bool exclusive) {
  struct stat st {};
  // The common case costs one lstat: no journal.
  if (::lstat(journalPath_.c_str(), &st) != 0 && errno == ENOENT) return;
  JournalContents journal;
  if (!exclusive) {
    // Taken again exclusively, the journal is read afresh: another process may have dealt with
    // it in between.
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  const JournalState state = ReadJournal(journalPath_, journal);
  const bool ours = journal.romName == BaseOf(path_) && journal.device == static_cast<uint64_t>(identity_.device) &&
                    journal.inode == static_cast<uint64_t>(identity_.inode);
  if (state == JournalState::Torn) {
    // Cut short while it was being written: the file was not touched yet.
    RemoveJournal(journalPath_);
  } else if (state == JournalState::Whole && !ours) {
    recovery_ = {RecoveryStatus::Foreign, static_cast<int>(journal.ranges.size()), 0, journalPath_};
  } else if (state == JournalState::Whole) {
    int fd = fd_;
    if (access_ == RomAccess::ReadOnly) {
      // Opened for viewing, but the file may still be writable: undo the change if it is.
      fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
      if (fd >= 0 && (::fstat(fd, &st) != 0 || FileIdentity{st.st_dev, st.st_ino} != identity_)) {
        ::close(fd);
        fd = -1;
        errno = EBADF;
      }
    }
    if (fd < 0) {
      recovery_ = {RecoveryStatus::Unwritable, static_cast<int>(journal.ranges.size()), errno, journalPath_};
    } else if (RollBack(fd, journal, historyPath_)) {
      const int removed = RemoveJournal(journalPath_);
      recovery_ = {removed == 0 ? RecoveryStatus::RolledBack : RecoveryStatus::Unwritable,
                   static_cast<int>(journal.ranges.size()), removed, journalPath_};
    } else {
      recovery_ = {RecoveryStatus::Unwritable, static_cast<int>(journal.ranges.size()), errno ? errno : EIO,
                   journalPath_};
    }
    if (fd >= 0 && fd != fd_) ::close(fd);
  }
  if (!exclusive) {
    while (::flock(fd_, LOCK_SH) != 0 && errno == EINTR) {
    }
  }
}

}  // namespace lettermoor
