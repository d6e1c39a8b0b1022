// lettermoor-cli handed files that are not ROMs, ROMs that change under it, and edits it must
// refuse: it never crashes, hangs or damages a file, and an edit it made is on disk before it
// says anything or ends.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <set>

#include "editor/editor_window.h"
#include "rom/snes_address.h"
#include "support/synthetic_rom.h"
#include "support/syscall_trace.h"
#include "support/tool_paths.h"

namespace lettermoor::test {
namespace {

namespace text = editor_text;

constexpr int kExitUsage = 2;   // the ROM cannot be opened or is refused
constexpr int kExitRefused = 1;  // the command ran but was refused
constexpr int kNobody = 65534;

// Three strings, each listed by a record (lines 1 to 3); the third lies where the file will be
// cut.
constexpr int64_t kFirst = 0x51D12;            // "Hello[03 00 02]"
constexpr int64_t kSecond = kFirst + 8;        // "Bye[02]"
constexpr int64_t kFar = 0x200000;             // "Far away[02]"

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

SyntheticRom Image() {
  SyntheticRom rom;
  rom.Put(kFirst, Concat(ScriptText("Hello"), {0x03, 0x00, 0x02}));
  rom.Put(kSecond, Concat(ScriptText("Bye"), {0x02}));
  rom.Put(kFar, Concat(ScriptText("Far away"), {0x02}));
  rom.PointerRecord(0, FileOffsetToSnes(kFirst), 5, 1);
  rom.PointerRecord(1, FileOffsetToSnes(kSecond), 6, 2);
  rom.PointerRecord(2, FileOffsetToSnes(kFar), 7, 3);
  return rom;
}

struct CliResult {
  int exitCode = -1;  // 128 + signal when it was killed
  std::string out;
  std::string err;
};

enum class As { Us, Nobody };

// Runs the tool with its output captured in files. An alarm set before the exec kills a tool that
// hangs (a FIFO it waits on), so a hang fails the test instead of stalling it.
CliResult Cli(const std::vector<std::string>& arguments, As as = As::Us) {
  TempDir capture;
  const std::string outPath = capture.File("out"), errPath = capture.File("err");
  std::vector<std::string> args{kCliPath};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    if (as == As::Nobody &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(125);
    }
    ::alarm(120);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  CliResult run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadText(outPath);
  run.err = ReadText(errPath);
  return run;
}

// Neither a signal nor a sanitizer report: whatever the tool said, it said it on purpose.
void ExpectNoCrash(const CliResult& run) {
  EXPECT_LT(run.exitCode, 3) << run.err;
  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
}

void ExpectRefusal(const CliResult& run, int code, const std::string& said) {
  ExpectNoCrash(run);
  EXPECT_EQ(run.exitCode, code);
  EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
}

// The first line of a message, for texts that span lines.
std::string FirstLine(const char* message) {
  const std::string s = message;
  return s.substr(0, s.find('\n'));
}

// The commands that open a ROM, each run once on the file.
std::vector<std::vector<std::string>> OpeningCommands(const std::string& path) {
  return {{"info", path},
          {"list", path},
          {"list", path, "--listing", "raw"},
          {"show", path, "1"},
          {"search", path, "Hello"},
          {"dump", path, "-o", "-"},
          {"apply", path, "1", "Howdy[03 00 02]"},
          {"expand", path},
          {"details", path, "1", "--page", "rom"}};
}

TEST(HostileCli, FilesTooShortForTheTitleAreUnrecognisedAndLeftAlone) {
  const SyntheticRom full(0x101CF);
  for (size_t size : {size_t{0}, size_t{1}, size_t{0x101C0}, size_t{0x101C0 + 7}}) {
    SCOPED_TRACE(size);
    SyntheticRom image = full;
    image.Bytes().resize(size);
    auto file = image.Save();
    for (const auto& command : OpeningCommands(file->Path())) {
      SCOPED_TRACE(command[0]);
      const CliResult run = Cli(command);
      ExpectRefusal(run, kExitUsage, text::kBadRom);
      EXPECT_TRUE(run.out.empty());
    }
    EXPECT_EQ(file->ReadAll(), image.Bytes());
  }
}

TEST(HostileCli, WhatIsNotARegularFileIsRefusedWithoutHanging) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.smc");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.File("folder.smc");
  ASSERT_EQ(::symlink(dir.Path().c_str(), link.c_str()), 0);
  for (const std::string& path : {fifo, link, dir.Path(), dir.File("missing.smc"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    for (const auto& command : OpeningCommands(path)) {
      SCOPED_TRACE(command[0]);
      const CliResult run = Cli(command);
      ExpectRefusal(run, kExitUsage, "Cannot open");
    }
  }
}

// A master copy without write permission used to fail every command. The viewing commands now
// open it read-only; the writing ones are refused and say why; a missing file and an unreadable
// one are told apart.
TEST(HostileCli, AReadOnlyRomIsViewedButNotWritten) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const std::string path = dir.File("locked.smc");
  {
    auto file = Image().Save();
    std::ofstream(path, std::ios::binary) << ReadText(file->Path());
  }
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const std::string before = ReadText(path);

  // Root may write any file: the tool then runs as an unprivileged user.
  const As as = ::geteuid() == 0 ? As::Nobody : As::Us;
  const CliResult probe = Cli({"--help"}, as);
  if (probe.exitCode != 0) GTEST_SKIP() << "the tool cannot be run as an unprivileged user here";
  for (const auto& command : OpeningCommands(path)) {
    SCOPED_TRACE(command[0]);
    const CliResult run = Cli(command, as);
    if (command[0] == "apply" || command[0] == "expand") {
      ExpectRefusal(run, kExitUsage, "Cannot open " + path + ": there is no permission to read and write it.");
    } else {
      ExpectNoCrash(run);
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(run.err, "");
    }
  }
  EXPECT_EQ(ReadText(path), before);

  const std::string unreadable = dir.File("unreadable.smc");
  std::ofstream(unreadable, std::ios::binary) << before;
  ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
  ExpectRefusal(Cli({"info", unreadable}, as), kExitUsage,
                "Cannot open " + unreadable + ": there is no permission to read it.");
  ExpectRefusal(Cli({"info", dir.File("missing.smc")}, as), kExitUsage,
                "Cannot open " + dir.File("missing.smc") + ": there is no such file.");
}

TEST(HostileCli, A64MegabyteRomIsListedAndEdited) {
  constexpr off_t kSize = off_t{64} << 20;
  auto file = Image().Save();
  ASSERT_EQ(::truncate(file->Path().c_str(), kSize), 0);

  CliResult run = Cli({"info", file->Path()});
  ExpectNoCrash(run);
  EXPECT_NE(run.out.find("Size: 67108864 bytes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Expanded: yes"), std::string::npos) << run.out;
  for (const char* listing : {"pointer", "raw", "expanded"}) {
    SCOPED_TRACE(listing);
    run = Cli({"list", file->Path(), "--listing", listing});
    ExpectNoCrash(run);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.out.empty());
  }
  run = Cli({"apply", file->Path(), "3", "Far AWAY[02]"});
  ExpectNoCrash(run);
  EXPECT_EQ(run.exitCode, 0) << run.err;

  struct stat st {};
  ASSERT_EQ(::stat(file->Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_size, kSize);
  const int fd = ::open(file->Path().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> written(9);
  ASSERT_EQ(::pread(fd, written.data(), written.size(), kFar), 9);
  ::close(fd);
  EXPECT_EQ(written, Concat(ScriptText("Far AWAY"), {0x02}));
}

TEST(HostileCli, AFileHoldingOnlyTheTitleTakesNoEditButCanBeExpanded) {
  auto file = SyntheticRom(0x101CF).Save();
  const auto before = file->ReadAll();

  CliResult run = Cli({"list", file->Path()});
  ExpectNoCrash(run);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.empty());  // no pointer leads into the text window
  ExpectRefusal(Cli({"show", file->Path(), "1"}), kExitUsage, "does not exist");

  run = Cli({"show", file->Path(), "1", "--listing", "raw"});
  ExpectNoCrash(run);
  EXPECT_EQ(run.out.substr(0, 9), "[FF FF FF");  // every byte past the end reads as 0xFF
  ExpectRefusal(Cli({"apply", file->Path(), "1", "Hi[02]", "--listing", "raw"}), kExitRefused,
                FirstLine(text::kPastEndOfFile));
  EXPECT_EQ(file->ReadAll(), before);

  run = Cli({"expand", file->Path()});
  ExpectNoCrash(run);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const auto grown = file->ReadAll();
  EXPECT_GE(grown.size(), static_cast<size_t>(kExpandedRomSize));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), grown.begin()));
}

TEST(HostileCli, ARomCutShortWhileTheToolHasItOpenIsNeverWrittenPastItsEnd) {
  auto file = Image().Save();
  const off_t cut = static_cast<off_t>(kFar - 0x10);
  const auto before = file->ReadAll();

  // Another program cuts the file just after the tool has read it in, before it lists or writes.
  auto runCutting = [&](const std::vector<std::string>& arguments) {
    const std::string path = file->Path();
    bool cutDone = false;
    TempDir capture;
    const std::string errPath = capture.File("err");
    const TraceOutcome outcome = TraceChild(
        [&] {
          const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
          const int null = ::open("/dev/null", O_WRONLY);
          if (err < 0 || null < 0 || ::dup2(null, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
          // LeakSanitizer cannot work under a tracer; it is not what this test looks at.
          const char* asan = std::getenv("ASAN_OPTIONS");
          const std::string options = std::string(asan ? asan : "") + ":detect_leaks=0";
          ::setenv("ASAN_OPTIONS", options.c_str(), 1);
          std::vector<std::string> args{kCliPath};
          args.insert(args.end(), arguments.begin(), arguments.end());
          std::vector<char*> argv;
          for (std::string& a : args) argv.push_back(a.data());
          argv.push_back(nullptr);
          ::execv(argv[0], argv.data());
          ::_exit(127);
        },
        [&](const SyscallReturn& call) {
          // The mirror is filled by one large read of the whole file.
          if (!cutDone && call.nr == SYS_pread64 && call.result > 0x100000) {
            cutDone = ::truncate(path.c_str(), cut) == 0;
          }
          return false;
        });
    EXPECT_TRUE(outcome.traced);
    EXPECT_TRUE(cutDone) << "the tool was not caught reading the ROM";
    CliResult run;
    run.exitCode = WIFEXITED(outcome.status) ? WEXITSTATUS(outcome.status) : 128 + WTERMSIG(outcome.status);
    run.err = ReadText(errPath);
    return run;
  };

  // The string of line 3 is gone: the edit is refused and nothing is written.
  ExpectRefusal(runCutting({"apply", file->Path(), "3", "Far away[02]"}), kExitRefused,
                FirstLine(text::kPastEndOfFile));
  std::vector<uint8_t> expected(before.begin(), before.begin() + cut);
  EXPECT_EQ(file->ReadAll(), expected);

  // What is left takes edits.
  file->WriteAll(before);
  const CliResult run = runCutting({"apply", file->Path(), "2", "Bey[02]"});
  ExpectNoCrash(run);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const auto bey = Concat(ScriptText("Bey"), {0x02});
  std::copy(bey.begin(), bey.end(), expected.begin() + kSecond);
  EXPECT_EQ(file->ReadAll(), expected);

  file->WriteAll(before);
  ExpectNoCrash(runCutting({"list", file->Path(), "--listing", "raw"}));
}

TEST(HostileCli, AGarbageRomWithAGoodTitleSurvivesEveryCommand) {
  SyntheticRom image;
  std::mt19937 random(77);
  for (uint8_t& b : image.Bytes()) b = static_cast<uint8_t>(random());
  image.Title("EARTH BOUND (J)");
  std::uniform_int_distribution<int64_t> anywhere(0x51D12, SyntheticRom::kStandardSize - 1);
  for (int i = 0; i < 1406; i += 3) image.PointerRecord(i, FileOffsetToSnes(static_cast<int32_t>(anywhere(random))), 1, 1);
  auto file = image.Save();
  const std::string path = file->Path();

  ExpectNoCrash(Cli({"expand", path}));
  for (const char* listing : {"pointer", "raw", "expanded"}) {
    SCOPED_TRACE(listing);
    const std::vector<std::vector<std::string>> commands = {
        {"list", path, "--listing", listing},
        {"show", path, "1", "--listing", listing},
        {"show", path, "2", "--listing", listing, "--codes-only"},
        {"search", path, "no such text in random bytes", "--listing", listing},
        {"dump", path, "-o", "-", "--listing", listing},
        {"details", path, "1", "--page", "interpreter", "--listing", listing},
        {"apply", path, "1", "[02]", "--listing", listing},
    };
    for (const auto& command : commands) {
      SCOPED_TRACE(command[0]);
      ExpectNoCrash(Cli(command));
    }
  }
  EXPECT_EQ(file->ReadAll().size(), 0x400200u);
}

// The edit is on disk the moment the sync of the ROM returns: the tool is killed right there,
// before it can print or do anything else.
class CliDurability : public ::testing::Test {
 protected:
  struct Watch {
    bool killedAfterSync = false;
    bool spokeBeforeSync = false;  // wrote to standard output or error before the data was synced
    int fileWrites = 0;            // writes to the ROM
  };

  // Runs the tool traced (its second argument is the ROM); with `killAtSync`, kills it when a sync
  // of the written ROM returns.
  static Watch Trace(const std::vector<std::string>& arguments, bool killAtSync, int* exitCode = nullptr) {
    Watch watch;
    std::set<int> unsynced;
    const std::string romPath = ResolvedPath(arguments.at(1));
    const TraceOutcome outcome = TraceChild(
        [&] {
          const int null = ::open("/dev/null", O_WRONLY);
          if (null < 0 || ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0) ::_exit(126);
          const char* asan = std::getenv("ASAN_OPTIONS");
          const std::string options = std::string(asan ? asan : "") + ":detect_leaks=0";
          ::setenv("ASAN_OPTIONS", options.c_str(), 1);
          std::vector<std::string> args{kCliPath};
          args.insert(args.end(), arguments.begin(), arguments.end());
          std::vector<char*> argv;
          for (std::string& a : args) argv.push_back(a.data());
          argv.push_back(nullptr);
          ::execv(argv[0], argv.data());
          ::_exit(127);
        },
        [&](const SyscallReturn& call) {
          const int fd = static_cast<int>(call.args[0]);
          if (IsWriteCall(call.nr) && call.result > 0) {
            if (fd > 2 && DescriptorPath(call.pid, fd) == romPath) {
              unsynced.insert(fd);
              ++watch.fileWrites;
            } else if ((fd == 1 || fd == 2) && !unsynced.empty()) {
              watch.spokeBeforeSync = true;
            }
          }
          if (IsSyncCall(call.nr) && call.result == 0 && unsynced.erase(fd) && killAtSync) {
            watch.killedAfterSync = true;
            return true;
          }
          return false;
        });
    EXPECT_TRUE(outcome.traced);
    if (exitCode) *exitCode = WIFEXITED(outcome.status) ? WEXITSTATUS(outcome.status) : -1;
    return watch;
  }

  void SetUp() override {
    file_ = Image().Save();
    before_ = file_->ReadAll();
  }

  std::unique_ptr<TempFile> file_;
  std::vector<uint8_t> before_;
};

TEST_F(CliDurability, AnAppliedEditIsOnDiskWhenTheToolIsKilledRightAfterTheSync) {
  const Watch watch = Trace({"apply", file_->Path(), "1", "Howdy[03 00 02]"}, true);
  EXPECT_TRUE(watch.killedAfterSync) << "the tool ended without syncing the ROM";
  EXPECT_FALSE(watch.spokeBeforeSync);
  std::vector<uint8_t> expected = before_;
  const auto howdy = Concat(ScriptText("Howdy"), {0x03, 0x00, 0x02});
  std::copy(howdy.begin(), howdy.end(), expected.begin() + kFirst);
  EXPECT_EQ(file_->ReadAll(), expected);
}

TEST_F(CliDurability, AnExpansionIsOnDiskBeforeTheToolSaysSo) {
  const Watch watch = Trace({"expand", file_->Path()}, true);
  EXPECT_TRUE(watch.killedAfterSync) << "the tool ended without syncing the new blocks";
  EXPECT_FALSE(watch.spokeBeforeSync) << "\"ROM expanded\" was printed before the blocks were synced";
  const auto bytes = file_->ReadAll();
  ASSERT_EQ(bytes.size(), 0x400200u);
  EXPECT_TRUE(std::equal(before_.begin(), before_.end(), bytes.begin()));
  EXPECT_EQ(bytes.back(), 0x02);
}

TEST_F(CliDurability, RefusedAppliesWriteNothing) {
  struct Case {
    const char* what;
    std::vector<std::string> extra;
    std::string line;
    std::string text;
  };
  ASSERT_EQ(::truncate(file_->Path().c_str(), static_cast<off_t>(kFar + 4)), 0);
  before_ = file_->ReadAll();
  for (const Case& c : {Case{"bracket error", {}, "1", "Howdy[03 00 02"},
                        Case{"larger than the old text", {}, "1", "Hello there[03 00 02]"},
                        Case{"past the end of the file", {"--allow-larger"}, "3", "Far away[02]"}}) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"apply", file_->Path(), c.line, c.text};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    int exitCode = -1;
    const Watch watch = Trace(args, false, &exitCode);
    EXPECT_EQ(exitCode, kExitRefused);
    EXPECT_EQ(watch.fileWrites, 0);
    EXPECT_EQ(file_->ReadAll(), before_);
  }
}

}  // namespace
}  // namespace lettermoor::test
