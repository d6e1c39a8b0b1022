// lettermoor-cli never turns the ROM, its backup, a script or an earlier output into something
// else: an output that is one of them is refused, an output that fails leaves the old file, a
// script that is no regular file or has no end is refused, and output it cannot write is an error.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliFileSafety = CliSample;

// A dump named after the ROM (by any path) used to empty the ROM and fill it with text.
TEST_F(CliFileSafety, ADumpIntoTheRomItselfIsRefused) {
  const std::string dir = Dir() + "/own";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::vector<uint8_t> pristine = ReadBytes(RomPath());
  ASSERT_TRUE(WriteBytesTo(dir + "/d.smc", pristine));
  ASSERT_EQ(::link((dir + "/d.smc").c_str(), (dir + "/hard.smc").c_str()), 0);
  ASSERT_EQ(::symlink("d.smc", (dir + "/soft.smc").c_str()), 0);
  ASSERT_TRUE(WriteBytesTo(dir + "/ptrlist.txt", pristine));  // a ROM under the dump's own name

  struct Case {
    std::vector<std::string> command;
    std::string rom;
  };
  const Case cases[] = {
      {{"dump", "d.smc", "-o", "d.smc"}, "d.smc"},
      {{"dump", "d.smc", "-o", "./hard.smc"}, "d.smc"},
      {{"dump", "hard.smc", "-o", dir + "/soft.smc"}, "d.smc"},
      {{"dump", "ptrlist.txt"}, "ptrlist.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.back());
    const CliRun run = RunCli(c.command, dir);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("ROM file itself"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(dir + "/" + c.rom), pristine);
  }
}

// On a full disk the old file used to be replaced by a partial one (by dump, and by make-sample
// even after dumps were mended); the file size limit stands in for the full disk. Other kinds of
// target are still written directly.
TEST_F(CliFileSafety, AFailedOutputLeavesThePreviousFileWhole) {
  const std::string dir = Dir() + "/dumps";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::string old = "the previous file\n";
  const std::vector<std::vector<std::string>> commands = {
      {"dump", RomPath(), "-o", "out.txt"},
      {"export", RomPath(), "-o", "out.txt"},
      {"make-sample", "out.txt"},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0]);
    ASSERT_TRUE(WriteBytesTo(dir + "/out.txt", {old.begin(), old.end()}));
    CliSetup tight;
    tight.fileSizeLimit = 4096;  // far less than any of these outputs of the sample
    const CliRun failed = RunCli(command, dir, tight);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("Cannot write out.txt"), std::string::npos) << failed.err;
    const std::vector<uint8_t> after = ReadBytes(dir + "/out.txt");
    EXPECT_EQ(std::string(after.begin(), after.end()), old);
    // Nothing of the attempt is left behind in the folder.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) entries += e.path().filename() != "out.txt";
    EXPECT_EQ(entries, 0);
  }

  // Done right, the dump replaces the old file, and a link the user placed is written through.
  ASSERT_EQ(::symlink("out.txt", (dir + "/link.txt").c_str()), 0);
  const CliRun written = RunCli({"dump", RomPath(), "-o", "link.txt"}, dir);
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.txt"));
  EXPECT_GT(ReadBytes(dir + "/out.txt").size(), 4096u);
  EXPECT_EQ(RunCli({"dump", RomPath(), "-o", "/dev/null"}, dir).exitCode, 0);
}

// An output that was an input or the ROM's backup used to be overwritten, exit 0: `import ROM
// work.txt -o work.txt` turned the translation into a ROM image, and every writing command
// replaced ROM.bak. Each is refused by name, hard link, symbolic link and /proc/self/fd, and a
// backup not made yet by its path; nothing is written.
TEST_F(CliFileSafety, NoOutputIsAnInputOrTheBackup) {
  enum class Kept { Rom, Backup, Script };
  enum class Same { Path, HardLink, SymbolicLink, ProcFd, BackupNotMadeYet };
  struct Command {
    std::vector<std::string> args;  // "OUT" stands for the output
    std::vector<Kept> kept;
  };
  const Command commands[] = {
      {{"export", "r.smc", "-o", "OUT"}, {Kept::Rom, Kept::Backup}},
      {{"dump", "r.smc", "-o", "OUT"}, {Kept::Rom, Kept::Backup}},
      {{"preview", "r.smc", "1", "--png", "OUT"}, {Kept::Rom, Kept::Backup}},
      {{"import", "r.smc", "work.txt", "-o", "OUT"}, {Kept::Rom, Kept::Backup, Kept::Script}},
      {{"make-sample", "OUT"}, {Kept::Backup}},
  };
  const std::map<Kept, std::string> names = {{Kept::Rom, "r.smc"}, {Kept::Backup, "r.smc.bak"}, {Kept::Script, "work.txt"}};
  const std::string dir = Dir() + "/same";
  ASSERT_EQ(RunCli({"export", RomPath(), "-o", Dir() + "/same-script.txt"}, Dir()).exitCode, 0);
  const std::map<Kept, std::vector<uint8_t>> contents = {
      {Kept::Rom, ReadBytes(RomPath())},
      {Kept::Backup, {'k', 'e', 'p', 't'}},
      {Kept::Script, ReadBytes(Dir() + "/same-script.txt")},
  };

  for (const Command& command : commands) {
    for (Kept kept : command.kept) {
      for (Same same : {Same::Path, Same::HardLink, Same::SymbolicLink, Same::ProcFd, Same::BackupNotMadeYet}) {
        if (same == Same::BackupNotMadeYet && kept != Kept::Backup) continue;
        const std::string& name = names.at(kept);
        SCOPED_TRACE(command.args[0] + " into " + name + ", sameness " + std::to_string(static_cast<int>(same)));
        std::filesystem::remove_all(dir);
        ASSERT_TRUE(std::filesystem::create_directory(dir));
        for (const auto& [k, bytes] : contents) ASSERT_TRUE(WriteBytesTo(dir + "/" + names.at(k), bytes));
        CliSetup setup;
        std::string out = name;
        switch (same) {
          case Same::Path: break;
          case Same::HardLink: std::filesystem::create_hard_link(dir + "/" + name, dir + "/hard"), out = "hard"; break;
          case Same::SymbolicLink: std::filesystem::create_symlink(name, dir + "/soft"), out = "soft"; break;
          case Same::ProcFd: setup.in = dir + "/" + name, out = "/proc/self/fd/0"; break;
          case Same::BackupNotMadeYet: std::filesystem::remove(dir + "/" + name), out = "../same/./" + name; break;
        }
        std::vector<std::string> args = command.args;
        std::replace(args.begin(), args.end(), std::string("OUT"), out);
        const CliRun run = RunCli(args, dir, setup);

        // make-sample knows a backup by its name only; a hard link elsewhere is replaced, not written into.
        const bool refused = !(command.args[0] == "make-sample" && same == Same::HardLink);
        EXPECT_EQ(run.exitCode, refused ? 2 : 0) << run.err;
        if (refused) {
          EXPECT_NE(run.err.find("Cannot write " + out), std::string::npos) << run.err;
        }
        for (const auto& [k, bytes] : contents) {
          if (same == Same::BackupNotMadeYet && k == kept) {
            EXPECT_FALSE(std::filesystem::exists(dir + "/" + names.at(k)));
          } else {
            EXPECT_EQ(ReadBytes(dir + "/" + names.at(k)), bytes) << names.at(k) << " was written";
          }
        }
      }
    }
  }
}

// A FIFO given as the script made import wait forever; a device was read as a file. Anything
// that is not a regular file is refused before a byte is read (the tool runs under an alarm).
TEST_F(CliFileSafety, AScriptThatIsNoRegularFileIsRefusedUnread) {
  const std::string dir = Dir() + "/special";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::string rom = CopyOfSample("special");
  const std::vector<uint8_t> before = ReadBytes(rom);
  ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((dir + "/folder").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("fifo", (dir + "/link").c_str()), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir + "/socket";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(listener);

  for (const std::string script : {"fifo", "folder", "link", "socket", "/dev/zero"}) {
    SCOPED_TRACE(script);
    CliSetup setup;
    setup.hangAlarm = 20;
    const CliRun run = RunCli({"import", rom, script}, dir, setup);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(rom), before);
    EXPECT_FALSE(std::filesystem::exists(rom + ".bak"));
  }
}

// `import ROM /dev/zero` read without end. A script is read from a file or standard input ("-"),
// and no further than 64 MiB.
TEST_F(CliFileSafety, AScriptIsReadNoFurtherThanItsLimit) {
  const std::string dir = Dir() + "/bounded";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  const std::string rom = CopyOfSample("bounded");
  const std::vector<uint8_t> before = ReadBytes(rom);
  ASSERT_EQ(RunCli({"export", rom, "-o", "work.txt"}, dir).exitCode, 0);
  // One text made shorter, so that reading it shows in what a dry run would write.
  const std::vector<uint8_t> exported = ReadBytes(dir + "/work.txt");
  std::vector<std::string> lines = Lines(std::string(exported.begin(), exported.end()));
  std::string edited;
  bool changed = false;
  for (std::string& line : lines) {
    if (!changed && !line.empty() && line[0] != '#' && line[0] != '@') line = "Short.[02]", changed = true;
    edited += line + "\n";
  }
  ASSERT_TRUE(WriteBytesTo(dir + "/work.txt", {edited.begin(), edited.end()}));
  ASSERT_TRUE(WriteBytesTo(dir + "/huge.txt", {}));
  std::filesystem::resize_file(dir + "/huge.txt", (int64_t{64} << 20) + 1);  // sparse
  ASSERT_EQ(std::filesystem::file_size(dir + "/huge.txt"), (uint64_t{64} << 20) + 1);

  struct Case {
    const char* what;
    std::string script, in;
    bool read;
  };
  const Case cases[] = {
      {"an endless standard input", "-", "/dev/zero", false},
      {"a file one byte past the limit", "huge.txt", "", false},
      {"the script on standard input", "-", dir + "/work.txt", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CliSetup setup;
    setup.in = c.in;
    setup.hangAlarm = 60;
    const CliRun run = RunCli({"import", rom, c.script, "--dry-run"}, dir, setup);
    if (c.read) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_NE(run.out.find("would be written"), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.exitCode, 2) << run.err;
      EXPECT_NE(run.err.find("64 MiB"), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadBytes(rom), before);
  }
}

// Output that could not be written used to end with exit 0; with standard output closed, the ROM
// itself was opened as standard output and printed into.
TEST_F(CliFileSafety, OutputThatCannotBeWrittenIsAnErrorExceptIntoAClosedPipe) {
  const std::string rom = CopyOfSample("output.smc");
  const std::vector<uint8_t> before = ReadBytes(rom);
  struct Case {
    CliSetup::Out out;
    int exitCode;
    bool saysSomething;
  };
  const Case cases[] = {
      {CliSetup::Out::Full, 2, true},
      {CliSetup::Out::Closed, 2, true},
      {CliSetup::Out::ReaderGone, 0, false},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"info", rom}, {"list", rom}, {"show", rom, "1"}, {"search", rom, "e"},
      {"details", rom, "1", "--page", "rom"}, {"dump", rom, "-o", "-"},
  };
  for (const Case& c : cases) {
    for (const auto& command : commands) {
      SCOPED_TRACE(command[0] + " into output " + std::to_string(static_cast<int>(c.out)));
      CliSetup setup;
      setup.out = c.out;
      const CliRun run = RunCli(command, Dir(), setup);
      EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
      if (c.saysSomething) {
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
      } else {
        EXPECT_EQ(run.err, "");
      }
      ASSERT_EQ(ReadBytes(rom), before);
    }
  }
}

// A rollback that worked used to be reported as damage ("its old bytes could not be put back")
// when a file size limit stopped the write. The limit lies below the ROM's size, so that its
// write fails with "File too large" while the small journal fits (--no-backup: the copy would
// fail first); it stops the change before any byte, or after some bytes are in. Each command
// fails, says the file holds its old bytes, and leaves it byte-identical with no journal.
TEST_F(CliFileSafety, AWriteStoppedByASizeLimitIsRolledBackAndSaysSo) {
  const std::string dir = Dir() + "/limits";
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  ASSERT_EQ(RunCli({"make-sample", "plain.smc"}, dir).exitCode, 0);
  ASSERT_EQ(RunCli({"make-sample", "--expanded", "expanded.smc"}, dir).exitCode, 0);
  // The first five texts of the pointer listing rewritten.
  ASSERT_EQ(RunCli({"export", "plain.smc", "-o", "work.txt"}, dir).exitCode, 0);
  const std::vector<uint8_t> exported = ReadBytes(dir + "/work.txt");
  std::string edited;
  int changed = 0;
  for (std::string line : Lines(std::string(exported.begin(), exported.end()))) {
    if (changed < 5 && !line.empty() && line[0] != '#' && line[0] != '@') {
      line = "Changed text number " + std::to_string(++changed) + ".[02]";
    }
    edited += line + "\n";
  }
  ASSERT_TRUE(WriteBytesTo(dir + "/work.txt", {edited.begin(), edited.end()}));
  // Where line 1's text starts in the file: a limit just past it lets a few bytes in.
  const std::vector<std::string> first = Fields(Lines(RunCli({"list", "plain.smc"}, dir).out).at(0));
  const long long line1 = std::stoll(first.at(2), nullptr, 16) - 0xC00000 + 0x200;

  const std::string longer = "A text far longer than the one it replaces, so that it cannot stay where it was.[02]";
  struct Case {
    const char* what;
    std::string rom;
    std::vector<std::string> args;  // after the ROM's name
    long long limit;
  };
  const Case cases[] = {
      {"apply, nothing written", "plain.smc", {"apply", "1", "Short.[02]"}, 256 << 10},
      {"apply, part written", "plain.smc", {"apply", "1", "Short.[02]"}, line1 + 5},
      {"relocate, nothing written", "expanded.smc", {"apply", "1", longer, "--relocate"}, 256 << 10},
      {"relocate, repoints written", "expanded.smc", {"apply", "1", longer, "--relocate"}, 2 << 20},
      {"import, nothing written", "plain.smc", {"import", "work.txt"}, 256 << 10},
      {"import, part written", "plain.smc", {"import", "work.txt"}, line1 + 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string rom = "rom.smc";
    ASSERT_TRUE(WriteBytesTo(dir + "/" + rom, ReadBytes(dir + "/" + c.rom)));
    const std::vector<uint8_t> before = ReadBytes(dir + "/" + rom);
    std::vector<std::string> args = {c.args[0], rom};
    args.insert(args.end(), c.args.begin() + 1, c.args.end());
    args.push_back("--no-backup");
    CliSetup setup;
    setup.fileSizeLimit = c.limit;
    const CliRun run = RunCli(args, dir, setup);
    EXPECT_NE(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.err.find("put back yet"), std::string::npos) << run.err;  // no claim of damage
    EXPECT_TRUE(run.err.find("old bytes again") != std::string::npos ||
                run.err.find("was put back") != std::string::npos)
        << run.err;
    EXPECT_TRUE(ReadBytes(dir + "/" + rom) == before);
    EXPECT_FALSE(std::filesystem::exists(dir + "/." + rom + ".journal"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/" + rom + ".bak"));
  }
}

}  // namespace
}  // namespace lettermoor::test
