#include "rom/change_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "rom/patch.h"
#include "rom/field_reader.h"
#include "rom/safe_file.h"

namespace lettermoor {

namespace {

constexpr char kMagic[8] = {'L', 'M', 'H', 'I', 'S', 'T', '1', '\n'};
constexpr size_t kFrame = 12;  // a record's length (8 bytes) and CRC-32 (4)

class Out {
 public:
  void U8(uint8_t v) { bytes.push_back(v); }
  void U32(uint32_t v) { Put(v, 4); }
  void U64(uint64_t v) { Put(v, 8); }
  void Blob(const void* data, size_t n) {
    U64(n);
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
  }
  std::vector<uint8_t> bytes;

 private:
  void Put(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
};

// A length-prefixed run of bytes, into `out`.
template <typename Container>
void ReadBlob(FieldReader& in, Container& out) {
  const uint64_t n = in.U64();
  if (const uint8_t* p = in.Bytes(n)) out.assign(p, p + n);
}

bool DecodeBody(const uint8_t* data, size_t n, HistoryRecord& r) {
  FieldReader in(data, n);
  r.id = in.U64();
  r.group = in.U64();
  r.time = static_cast<int64_t>(in.U64());
  r.label.kind = static_cast<ChangeKind>(in.U8());
  r.label.undoes = in.U64();
  const uint64_t lines = in.U32();
  for (uint64_t i = 0; i < lines && in.Ok(); ++i) r.label.lines.push_back(static_cast<int32_t>(in.U32()));
  ReadBlob(in, r.label.before);
  ReadBlob(in, r.label.after);
  r.oldSize = static_cast<int64_t>(in.U64());
  r.newSize = static_cast<int64_t>(in.U64());
  const uint64_t ranges = in.U32();
  for (uint64_t i = 0; i < ranges && in.Ok(); ++i) {
    HistoryRange& range = r.ranges.emplace_back();
    range.offset = static_cast<int64_t>(in.U64());
    range.derived = in.U8() != 0;
    ReadBlob(in, range.old);
    ReadBlob(in, range.now);
  }
  return in.AtEnd();
}

}  // namespace

namespace {

int64_t EndOf(const HistoryRange& r) {
  return r.offset + static_cast<int64_t>(std::max(r.old.size(), r.now.size()));
}

}  // namespace

NetChange NetChangeOf(const std::vector<const HistoryRecord*>& records) {
  NetChange net;
  if (records.empty()) return net;
  net.oldSize = records.front()->oldSize;
  net.newSize = records.back()->newSize;
  std::vector<std::pair<int64_t, int64_t>> spans;
  for (const HistoryRecord* r : records) {
    for (const HistoryRange& range : r->ranges) {
      if (!range.derived && EndOf(range) > range.offset) spans.emplace_back(range.offset, EndOf(range));
    }
  }
  std::sort(spans.begin(), spans.end());
  for (const auto& [from, to] : spans) {
    if (net.ranges.empty() || from > EndOf(net.ranges.back())) {
      net.ranges.push_back({from, {}, {}, false});
    }
    HistoryRange& merged = net.ranges.back();
    const auto length = static_cast<size_t>(std::max(to, EndOf(merged)) - merged.offset);
    merged.old.resize(length);
    merged.now.resize(length);
  }
  // The first write of a byte tells what it was; the last what it is.
  for (HistoryRange& merged : net.ranges) {
    std::vector<bool> seen(merged.old.size());
    for (const HistoryRecord* r : records) {
      for (const HistoryRange& range : r->ranges) {
        if (range.derived || range.offset < merged.offset || range.offset >= EndOf(merged)) continue;
        const auto base = static_cast<size_t>(range.offset - merged.offset);
        for (size_t i = 0; i < range.old.size() || i < range.now.size(); ++i) {
          if (!seen[base + i] && i < range.old.size()) merged.old[base + i] = range.old[i];
          seen[base + i] = true;
          if (i < range.now.size()) merged.now[base + i] = range.now[i];
        }
      }
    }
  }
  return net;
}

bool Touches(const HistoryRecord& record, int64_t from, int64_t to) {
  return std::any_of(record.ranges.begin(), record.ranges.end(), [&](const HistoryRange& r) {
    return !r.derived && r.offset < to && EndOf(r) > from;
  });
}

std::string HistoryPathFor(const std::string& romPath) {
  const auto slash = romPath.find_last_of('/');
  return romPath.substr(0, slash == std::string::npos ? 0 : slash + 1) + "." + BaseOf(romPath) + ".history";
}

std::vector<uint8_t> EncodeHistoryRecord(const HistoryRecord& r, bool first) {
  Out body;
  body.U64(r.id);
  body.U64(r.group);
  body.U64(static_cast<uint64_t>(r.time));
  body.U8(static_cast<uint8_t>(r.label.kind));
  body.U64(r.label.undoes);
  body.U32(static_cast<uint32_t>(r.label.lines.size()));
  for (int32_t line : r.label.lines) body.U32(static_cast<uint32_t>(line));
  body.Blob(r.label.before.data(), r.label.before.size());
  body.Blob(r.label.after.data(), r.label.after.size());
  body.U64(static_cast<uint64_t>(r.oldSize));
  body.U64(static_cast<uint64_t>(r.newSize));
  body.U32(static_cast<uint32_t>(r.ranges.size()));
  for (const HistoryRange& range : r.ranges) {
    body.U64(static_cast<uint64_t>(range.offset));
    body.U8(range.derived ? 1 : 0);
    body.Blob(range.old.data(), range.old.size());
    body.Blob(range.now.data(), range.now.size());
  }
  Out framed;
  if (first) framed.bytes.assign(kMagic, kMagic + sizeof kMagic);
  framed.U64(body.bytes.size());
  framed.U32(Crc32(body.bytes));
  framed.bytes.insert(framed.bytes.end(), body.bytes.begin(), body.bytes.end());
  return std::move(framed.bytes);
}

HistoryContents ParseHistory(const std::vector<uint8_t>& bytes) {
  HistoryContents contents;
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return contents;
  size_t at = sizeof kMagic;
  contents.validLength = static_cast<int64_t>(at);
  while (bytes.size() - at >= kFrame) {
    FieldReader frame(bytes.data() + at, kFrame);
    const uint64_t n = frame.U64();
    const uint32_t crc = frame.U32();
    if (n > bytes.size() - at - kFrame) break;  // cut short
    const uint8_t* body = bytes.data() + at + kFrame;
    HistoryRecord record;
    if (Crc32({body, static_cast<size_t>(n)}) != crc || !DecodeBody(body, static_cast<size_t>(n), record)) break;
    contents.records.push_back(std::move(record));
    at += kFrame + static_cast<size_t>(n);
    contents.validLength = static_cast<int64_t>(at);
  }
  return contents;
}

HistoryContents ReadHistory(const std::string& path, int fd) {
  const bool own = fd < 0;
  if (own) fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::vector<uint8_t> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= 2 * kHistoryLimit) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    bytes.resize(done);
  }
  if (own) ::close(fd);
  return ParseHistory(bytes);
}

int TrimHistory(const std::string& path, const HistoryContents& contents, int64_t room, int64_t limit,
                int64_t& newLength) {
  // From the newest back, whole changes while they fit in three quarters of the limit: the
  // quarter left free spares the next appends a rewrite each.
  limit -= limit / 4;
  int64_t total = static_cast<int64_t>(sizeof kMagic) + room;
  size_t first = contents.records.size();
  while (first > 0) {
    const uint64_t group = contents.records[first - 1].group;
    size_t start = first;
    int64_t size = 0;
    while (start > 0 && contents.records[start - 1].group == group) {
      size += static_cast<int64_t>(EncodeHistoryRecord(contents.records[start - 1], false).size());
      --start;
    }
    if (total + size > limit) break;
    total += size;
    first = start;
  }
  newLength = static_cast<int64_t>(sizeof kMagic);
  const SafeWriteResult written = WriteFileReplacing(path, [&](std::FILE* out) {
    if (std::fwrite(kMagic, 1, sizeof kMagic, out) != sizeof kMagic) return false;
    for (size_t i = first; i < contents.records.size(); ++i) {
      const std::vector<uint8_t> bytes = EncodeHistoryRecord(contents.records[i], false);
      if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return false;
      newLength += static_cast<int64_t>(bytes.size());
    }
    return true;
  });
  return written.ok ? 0 : (written.error ? written.error : EIO);
}

}  // namespace lettermoor
