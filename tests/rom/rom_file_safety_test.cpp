// Every change to the ROM goes through one locked step: it waits for another Lettermoor process's
// write, sees that process's work, writes only while the path still names the open file, and on
// failure leaves the old bytes in place.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <functional>
#include <thread>

#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "rom/snes_address.h"
#include "support/child_process.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::SyntheticRom;
using Bytes = std::vector<uint8_t>;

// True once the thread is waiting in flock (read from /proc: no clock involved).
bool WaitingForLock(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long nr = -1;
  return (in >> nr) && nr == SYS_flock;
}

// Runs `work` on a thread while this test holds the ROM's lock as another Lettermoor process
// would; gives whether the work waited for the lock. `whileHeld` runs once the work is waiting.
bool WaitsForTheLock(const std::string& path, const std::vector<std::function<void()>>& work,
                     const std::function<void()>& whileHeld) {
  const int holder = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  EXPECT_GE(holder, 0);
  EXPECT_EQ(::flock(holder, LOCK_EX), 0);
  std::vector<std::atomic<pid_t>> tids(work.size());
  std::vector<std::atomic<bool>> done(work.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < work.size(); ++i) {
    tids[i] = 0;
    done[i] = false;
    threads.emplace_back([&, i] {
      tids[i] = static_cast<pid_t>(::syscall(SYS_gettid));
      work[i]();
      done[i] = true;
    });
  }
  bool waited = true;
  for (size_t i = 0; i < work.size(); ++i) {
    while (!done[i] && !(tids[i] != 0 && WaitingForLock(tids[i]))) std::this_thread::yield();
    waited = waited && !done[i];
  }
  whileHeld();
  ::flock(holder, LOCK_UN);
  for (std::thread& t : threads) t.join();
  ::close(holder);
  return waited;
}

// Two writers used to interleave, and a change another process made during a write was taken as
// already seen: the mirror stayed stale until the ROM was opened again.
TEST(RomFileLock, AWriteWaitsForAnotherWriterAndSeesItsWork) {
  auto file = SyntheticRom(0x1000, "").Save();
  auto rom = test::OpenForTest(file->Path());
  WriteResult result;
  const bool waited = WaitsForTheLock(
      file->Path(), {[&] { result = rom->Write(0x10, Bytes{1, 2}); }},
      [&] {
        // The other process writes a byte of its own, and cuts the file short.
        const int fd = ::open(file->Path().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::pwrite(fd, "\x42", 1, 0x20), 1);
        ASSERT_EQ(::ftruncate(fd, 0x800), 0);
        ::close(fd);
      });
  EXPECT_TRUE(waited) << "wrote while another process held the lock";
  EXPECT_TRUE(result.Ok());
  EXPECT_EQ(rom->ReadByte(0x20), 0x42);
  EXPECT_EQ(rom->Size(), 0x800);
  const Bytes now = file->ReadAll();
  ASSERT_EQ(now.size(), 0x800u);
  EXPECT_EQ(now[0x10], 1);

  // After the truncation a write past the new end is refused, not turned into a zero gap.
  EXPECT_EQ(rom->Write(0x900, Bytes{7}).status, WriteStatus::OutsideFile);
  EXPECT_EQ(file->ReadAll().size(), 0x800u);
}

// Two expansions at once used to append twice (a 5,243,392-byte file, both reporting success).
TEST(RomFileLock, TwoExpansionsAtOnceGrowTheFileOnce) {
  auto file = SyntheticRom().Save();
  RomImage a{test::OpenForTest(file->Path()), file->Name(), file->Path()};
  RomImage b{test::OpenForTest(file->Path()), file->Name(), file->Path()};
  GrowResult ra = GrowResult::Failed, rb = GrowResult::Failed;
  const bool waited = WaitsForTheLock(
      file->Path(), {[&] { ra = GrowRom(a, kExpandedRomSize); }, [&] { rb = GrowRom(b, kExpandedRomSize); }},
      [] {});
  EXPECT_TRUE(waited);
  EXPECT_EQ(file->ReadAll().size(), 0x400200u);
  EXPECT_TRUE((ra == GrowResult::Grown && rb == GrowResult::AlreadyLarge) ||
              (rb == GrowResult::Grown && ra == GrowResult::AlreadyLarge));
  EXPECT_EQ(a.handle->Size(), 0x400200);
  EXPECT_EQ(b.handle->Size(), 0x400200);
}

// Edits used to go to a file that had been deleted or replaced, and were reported as done.
TEST(RomFileIdentity, WritesOnlyWhileThePathNamesTheOpenFile) {
  test::TempDir dir;
  const std::string path = dir.File("gui.smc");
  const std::string copy = dir.File("new.smc");
  const Bytes original = SyntheticRom(0x1000, "").Bytes();
  struct Case {
    const char* what;
    std::function<void()> change;
    WriteStatus expected;
  };
  const Case cases[] = {
      {"unchanged", [] {}, WriteStatus::Written},
      {"a hard link added", [&] { ASSERT_EQ(::link(path.c_str(), copy.c_str()), 0); }, WriteStatus::Written},
      {"deleted", [&] { ASSERT_EQ(::unlink(path.c_str()), 0); }, WriteStatus::FileReplaced},
      {"renamed away", [&] { ASSERT_EQ(::rename(path.c_str(), copy.c_str()), 0); }, WriteStatus::FileReplaced},
      {"replaced by a copy",
       [&] {
         ASSERT_TRUE(test::WriteBytesTo(copy, original));
         ASSERT_EQ(::rename(copy.c_str(), path.c_str()), 0);
       },
       WriteStatus::FileReplaced},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::unlink(path.c_str());
    ::unlink(copy.c_str());
    ASSERT_TRUE(test::WriteBytesTo(path, original));
    auto rom = test::OpenForTest(path);
    c.change();
    const WriteResult result = rom->Write(0x10, Bytes{9, 9});
    EXPECT_EQ(result.status, c.expected);
    const bool written = c.expected == WriteStatus::Written;
    EXPECT_EQ(rom->ReadByte(0x10), written ? 9 : 0);
    // Whatever the path names now holds what it should: the edit only when it is our file.
    if (::access(path.c_str(), F_OK) == 0) { EXPECT_EQ(test::ReadBytesOf(path)[0x10], written ? 9 : 0); }
    if (::access(copy.c_str(), F_OK) == 0) { EXPECT_EQ(test::ReadBytesOf(copy)[0x10], written ? 9 : 0); }
  }
}

// A write cut short part way used to leave half a string; the file size limit cuts it here. Each
// kind of change is tried in a child, where the limit cannot touch other tests.
TEST(RomFileRollback, AWriteCutShortLeavesTheOldBytes) {
  constexpr int64_t kRecord = 0xF8B92;  // text pointer record 0
  const SyntheticRom image = SyntheticRom().PointerRecord(0, 0xC51D12, 5, 1).Put(0x60000, Bytes(16, 0x77));
  struct Case {
    const char* what;
    int64_t limit;
    std::function<bool(RomImage&)> change;  // gives true when the change reported failure
  };
  const Case cases[] = {
      {"text", 0x60000 + 5, [](RomImage& r) { return !r.handle->Write(0x60000, Bytes(12, 0x55)); }},
      {"pointer record", kRecord + 10,
       [](RomImage& r) { return !WriteTextPointerRecord(*r.handle, kRecord, 0xC60000, 9, 9); }},
      {"expansion", 0x300200 + 0x800, [](RomImage& r) { return GrowRom(r, kExpandedRomSize) == GrowResult::Failed; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto file = image.Save();
    const int status = test::InChild([&] {
      RomImage rom{RomFile::Open(file->Path()), file->Name(), file->Path()};
      if (!rom.IsLoaded()) return 2;
      std::signal(SIGXFSZ, SIG_IGN);
      const struct rlimit limit{static_cast<rlim_t>(c.limit), static_cast<rlim_t>(c.limit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 77;
      return c.change(rom) ? 0 : 1;
    });
    if (status == 77) GTEST_SKIP() << "no file size limit here";
    EXPECT_EQ(status, 0) << "1: the failure was reported as success";
    EXPECT_EQ(file->ReadAll(), image.Bytes());
  }
}

// On a full file system with a hole under a string, a same-size edit used to write part of the
// string and lose its end code; now it is refused whole, either for want of room for its journal
// or rolled back. Needs a private tmpfs: skipped where mounting is not allowed.
TEST(RomFileRollback, AFullFileSystemLeavesTheOldBytes) {
  test::TempDir dir;
  const int status = test::InChild([&] {
    if (::unshare(CLONE_NEWNS) != 0) return 77;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
    if (::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=4m") != 0) return 77;
    constexpr int64_t kString = 0x52000 - 8;  // the string runs into the next page
    SyntheticRom image;
    image.Put(kString, Bytes(15, 0x91)).Put(kString + 15, {0x02});
    const std::string path = dir.File("rom.smc");
    if (!test::WriteBytesTo(path, image.Bytes())) return 2;
    // Fill the file system, free the page under the end of the string, and fill it again.
    const std::string filler = dir.File("filler");
    auto fill = [&] {
      const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      const Bytes page(4096, 0xAA);
      while (::write(fd, page.data(), page.size()) > 0) {
      }
      ::close(fd);
    };
    fill();
    const int rom = ::open(path.c_str(), O_RDWR);
    if (::fallocate(rom, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0x52000, 4096) != 0) return 77;
    ::close(rom);
    fill();
    auto file = RomFile::Open(path);
    if (!file) return 3;
    const WriteResult result = file->Write(kString, Bytes(16, 0x92));
    if (result.Ok()) return 4;
    // With no room even for the journal the change is refused before it starts.
    if (result.status != WriteStatus::FailedRestored && result.status != WriteStatus::JournalFailed) return 5;
    const Bytes after = test::ReadBytesOf(path);
    Bytes expected = image.Bytes();
    std::fill(expected.begin() + 0x52000, expected.begin() + 0x53000, 0);  // the hole reads as zeros
    return after == expected ? 0 : 6;
  });
  if (status == 77) GTEST_SKIP() << "no private tmpfs here";
  EXPECT_EQ(status, 0) << "4: reported success, 5: not reported as restored, 6: the file changed";
}

}  // namespace
}  // namespace lettermoor
