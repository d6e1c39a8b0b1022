// Whole-file writes: the backup copy replaces whatever is at its name without writing through it,
// refuses special files without opening them, and temporary files of killed writers are cleaned up.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "rom/safe_file.h"
#include "support/child_process.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::function<bool(std::FILE*)> Writes(const Bytes& bytes) {
  return [bytes](std::FILE* out) { return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size(); };
}

// Names in the folder other than `keep`: what a write left behind.
std::vector<std::string> Leftovers(const std::string& dir, const std::vector<std::string>& keep) {
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (std::find(keep.begin(), keep.end(), name) == keep.end()) left.push_back(name);
  }
  return left;
}

// A link at the backup's name used to be written through: a link to the ROM emptied the ROM, a
// link to a good copy left that copy half written. The name now gets a file of its own.
TEST(SafeFile, TheBackupReplacesAnyLinkAtItsNameAndLeavesWhatItLedTo) {
  const Bytes rom(300000, 0x5A), good(200000, 0x6B), copy(300000, 0x7C);
  struct Case {
    const char* what;
    std::function<void(const test::TempDir&, const std::string& bak)> make;
  };
  const Case cases[] = {
      {"nothing", [](const test::TempDir&, const std::string&) {}},
      {"an old copy", [](const test::TempDir&, const std::string& bak) { test::WriteBytesTo(bak, Bytes(9, 1)); }},
      {"a symbolic link to the ROM", [](const test::TempDir&, const std::string& bak) { fs::create_symlink("rom.smc", bak); }},
      {"a symbolic link to a good copy",
       [](const test::TempDir& d, const std::string& bak) { fs::create_symlink(d.File("keep/good.bak"), bak); }},
      {"a hard link to the ROM", [](const test::TempDir& d, const std::string& bak) { fs::create_hard_link(d.File("rom.smc"), bak); }},
      {"a link into nowhere", [](const test::TempDir& d, const std::string& bak) { fs::create_symlink(d.File("gone/x"), bak); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    fs::create_directory(dir.File("keep"));
    ASSERT_TRUE(test::WriteBytesTo(dir.File("rom.smc"), rom));
    ASSERT_TRUE(test::WriteBytesTo(dir.File("keep/good.bak"), good));
    const std::string bak = dir.File("rom.smc.bak");
    c.make(dir, bak);

    const SafeWriteResult written = WriteFileReplacing(bak, Writes(copy));
    EXPECT_TRUE(written.ok) << SafeWriteErrorText(written.error);
    EXPECT_TRUE(written.replacedWhole);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(bak)));
    EXPECT_EQ(test::ReadBytesOf(bak), copy);
    EXPECT_EQ(test::ReadBytesOf(dir.File("rom.smc")), rom);
    EXPECT_EQ(test::ReadBytesOf(dir.File("keep/good.bak")), good);
    EXPECT_EQ(Leftovers(dir.Path(), {"rom.smc", "rom.smc.bak", "keep"}), std::vector<std::string>());
  }
}

// A FIFO at the backup's name made the writer wait forever (while it held the ROM's lock); other
// special files were opened and written into. Each is refused unopened: a child process runs the
// write under an alarm, so a hang fails the case.
TEST(SafeFile, ASpecialFileWhereTheBackupGoesIsRefusedUnopened) {
  struct Case {
    const char* what;
    std::function<bool(const std::string& bak)> make;  // false: cannot be made here
  };
  const Case cases[] = {
      {"a FIFO", [](const std::string& bak) { return ::mkfifo(bak.c_str(), 0600) == 0; }},
      {"a folder", [](const std::string& bak) { return ::mkdir(bak.c_str(), 0700) == 0; }},
      {"a socket",
       [](const std::string& bak) {
         const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         if (s < 0 || bak.size() >= sizeof address.sun_path) return false;
         bak.copy(address.sun_path, bak.size());
         const bool bound = ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
         ::close(s);
         return bound;
       }},
      {"a device like /dev/null", [](const std::string& bak) { return ::mknod(bak.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string bak = dir.File("rom.smc.bak");
    if (!c.make(bak)) {
      std::printf("  (%s cannot be made here: case skipped)\n", c.what);
      continue;
    }
    struct stat before {};
    ASSERT_EQ(::lstat(bak.c_str(), &before), 0);
    // 0 refused as not a regular file without `fill` being called; 1 filled; 2 another outcome.
    const int status = test::InChild([&] {
      ::alarm(10);
      bool filled = false;
      const SafeWriteResult written = WriteFileReplacing(bak, [&](std::FILE*) { return filled = true; });
      if (filled) return 1;
      return !written.ok && written.error == kNotARegularFile ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << (status == 128 + SIGALRM ? "the write hung" : "");
    struct stat after {};
    ASSERT_EQ(::lstat(bak.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Leftovers(dir.Path(), {"rom.smc.bak"}), std::vector<std::string>());
  }
  EXPECT_EQ(SafeWriteErrorText(kNotARegularFile), "is not a regular file");
}

// A writer killed in the middle used to leave its hidden temporary file (megabytes for a ROM's
// copy) for good. The next write to the same target removes it; a temporary file a live writer
// still holds is left alone, and so is one of another target.
TEST(SafeFile, TemporaryFilesOfKilledWritersAreRemovedByTheNextWrite) {
  enum class End { Killed, Exited, StillWriting };
  struct Writer {
    const char* name;
    SafeWriteResult (*write)(const std::string&, const std::function<bool(std::FILE*)>&);
  };
  const Writer writers[] = {{"WriteFileSafely", &WriteFileSafely}, {"WriteFileReplacing", &WriteFileReplacing}};
  const Bytes old(1000, 0x11), partial(1 << 20, 0x22), next(5000, 0x33);
  for (const Writer& writer : writers) {
    for (End end : {End::Killed, End::Exited, End::StillWriting}) {
      SCOPED_TRACE(std::string(writer.name) + ", first writer " +
                   (end == End::Killed ? "killed" : end == End::Exited ? "exited" : "still writing"));
      test::TempDir dir;
      const std::string target = dir.File("out.bin");
      ASSERT_TRUE(test::WriteBytesTo(target, old));
      // Another target's temporary file is not this write's to remove.
      ASSERT_TRUE(test::WriteBytesTo(dir.File(".other.bin.lettermoor-abcdef"), Bytes(3, 0)));
      const std::vector<std::string> kept = {"out.bin", ".other.bin.lettermoor-abcdef"};

      int ready[2], go[2];
      ASSERT_EQ(::pipe(ready), 0);
      ASSERT_EQ(::pipe(go), 0);
      std::fflush(nullptr);
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::alarm(20);
        writer.write(target, [&](std::FILE* out) {
          std::fwrite(partial.data(), 1, partial.size(), out);
          std::fflush(out);
          char byte = 0;
          if (end == End::Killed) ::kill(::getpid(), SIGKILL);
          if (end == End::Exited) ::_exit(0);
          if (::write(ready[1], "r", 1) != 1 || ::read(go[0], &byte, 1) != 1) ::_exit(3);
          return true;
        });
        ::_exit(0);
      }
      int status = 0;
      if (end != End::StillWriting) ::waitpid(pid, &status, 0);
      char byte = 0;
      if (end == End::StillWriting) {
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
      }
      // The first writer's temporary file is there, the target is untouched.
      EXPECT_EQ(Leftovers(dir.Path(), kept).size(), 1u);
      EXPECT_EQ(test::ReadBytesOf(target), old);

      const SafeWriteResult written = writer.write(target, Writes(next));
      EXPECT_TRUE(written.ok) << SafeWriteErrorText(written.error);
      EXPECT_EQ(test::ReadBytesOf(target), next);
      EXPECT_EQ(Leftovers(dir.Path(), kept).size(), end == End::StillWriting ? 1u : 0u);
      if (end == End::StillWriting) {
        // Let the live writer finish: its file takes the name, and nothing is left over.
        ASSERT_EQ(::write(go[1], "g", 1), 1);
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(test::ReadBytesOf(target), partial);
        EXPECT_EQ(Leftovers(dir.Path(), kept), std::vector<std::string>());
      }
      EXPECT_TRUE(fs::exists(dir.File(".other.bin.lettermoor-abcdef")));
      for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
    }
  }
}

}  // namespace
}  // namespace lettermoor
