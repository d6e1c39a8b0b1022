#include "rom/rollback_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "rom/field_reader.h"
#include "rom/safe_file.h"

namespace lettermoor {

namespace {

constexpr char kMagic[8] = {'L', 'M', 'J', 'O', 'U', 'R', 'N', '2'};
// A journal of an older version, without the history's length: still undone after an update.
constexpr char kMagicWithoutHistory[8] = {'L', 'M', 'J', 'O', 'U', 'R', 'N', '1'};
// Far above any change to a ROM of at most 64 MB: a larger file is not a journal of ours.
constexpr int64_t kLargestJournal = int64_t{256} << 20;

IoStepHook gHook = nullptr;


void PutU64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t Crc32(const uint8_t* data, size_t n) {
  uLong crc = ::crc32(0L, Z_NULL, 0);
  while (n > 0) {
    const uInt chunk = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
    crc = ::crc32(crc, data, chunk);
    data += chunk;
    n -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

int WriteAllTo(int fd, const uint8_t* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    if (int injected = NoteIoStep()) return injected;
    const ssize_t put = ::write(fd, data + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put < 0 ? errno : EIO;
    done += static_cast<size_t>(put);
  }
  return 0;
}

}  // namespace

void SetIoStepHook(IoStepHook hook) { gHook = hook; }

int NoteIoStep() { return gHook ? gHook() : 0; }

std::string JournalPathFor(const std::string& romPath) {
  const auto slash = romPath.find_last_of('/');
  return romPath.substr(0, slash == std::string::npos ? 0 : slash + 1) + "." + BaseOf(romPath) + ".journal";
}

int SyncFolderOf(const std::string& path) {
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  int error = NoteIoStep();
  if (error == 0 && ::fsync(dir) != 0) error = errno;
  ::close(dir);
  // Some file systems cannot sync a folder; what they keep is all they promise anyway.
  return error == EINVAL ? 0 : error;
}

int WriteJournal(const std::string& path, const JournalContents& contents) {
  std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
  PutU32(out, static_cast<uint32_t>(contents.romName.size()));
  out.insert(out.end(), contents.romName.begin(), contents.romName.end());
  PutU64(out, contents.device);
  PutU64(out, contents.inode);
  PutU64(out, static_cast<uint64_t>(contents.oldSize));
  PutU64(out, static_cast<uint64_t>(contents.historyLength));
  PutU32(out, static_cast<uint32_t>(contents.ranges.size()));
  for (const JournalRange& r : contents.ranges) {
    PutU64(out, static_cast<uint64_t>(r.offset));
    PutU64(out, r.old.size());
    out.insert(out.end(), r.old.begin(), r.old.end());
  }
  PutU32(out, Crc32(out.data(), out.size()));

  // Never over an existing name: a journal already there belongs to a change not yet undone.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int error = WriteAllTo(fd, out.data(), out.size());
  if (error == 0 && (error = NoteIoStep()) == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) error = SyncFolderOf(path);
  if (error != 0) ::unlink(path.c_str());
  return error;
}

JournalState ReadJournal(const std::string& path, JournalContents& contents) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? JournalState::Missing : JournalState::Torn;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestJournal) {
    ::close(fd);
    return JournalState::Torn;
  }
  std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t got = ::pread(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  if (done != data.size() || data.size() < sizeof kMagic + 4) return JournalState::Torn;
  const bool withHistory = std::memcmp(data.data(), kMagic, sizeof kMagic) == 0;
  if (!withHistory && std::memcmp(data.data(), kMagicWithoutHistory, sizeof kMagic) != 0) return JournalState::Torn;
  const size_t body = data.size() - 4;
  FieldReader check(data.data() + body, 4);
  if (check.U32() != Crc32(data.data(), body)) return JournalState::Torn;

  FieldReader in(data.data() + sizeof kMagic, body - sizeof kMagic);
  JournalContents c;
  const uint32_t nameLength = in.U32();
  if (const uint8_t* name = in.Bytes(nameLength)) c.romName.assign(name, name + nameLength);
  c.device = in.U64();
  c.inode = in.U64();
  c.oldSize = static_cast<int64_t>(in.U64());
  if (withHistory) c.historyLength = static_cast<int64_t>(in.U64());
  const uint32_t count = in.U32();
  for (uint32_t i = 0; i < count && in.Ok(); ++i) {
    JournalRange r;
    r.offset = static_cast<int64_t>(in.U64());
    const uint64_t n = in.U64();
    if (const uint8_t* old = in.Bytes(n)) r.old.assign(old, old + n);
    if (r.offset < 0) return JournalState::Torn;
    c.ranges.push_back(std::move(r));
  }
  if (!in.Ok() || in.At() != body - sizeof kMagic || c.oldSize < 0) return JournalState::Torn;
  contents = std::move(c);
  return JournalState::Whole;
}

int RemoveJournal(const std::string& path) {
  if (int injected = NoteIoStep()) return injected;
  if (::unlink(path.c_str()) != 0) return errno == ENOENT ? 0 : errno;
  return SyncFolderOf(path);
}

}  // namespace lettermoor
