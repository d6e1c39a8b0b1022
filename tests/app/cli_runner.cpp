#include "cli_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/synthetic_rom.h"
#include "support/tool_paths.h"

namespace lettermoor::test {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& arguments, const std::string& cwd, const CliSetup& setup) {
  // Output goes to files, so that no amount of it can block the child on a full pipe.
  TempDir capture;
  const std::string outPath = capture.File("stdout");
  const std::string errPath = capture.File("stderr");

  std::vector<std::string> args{kCliPath};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipeEnds[2] = {-1, -1};
  if (setup.out == CliSetup::Out::ReaderGone) {
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    ::close(pipeEnds[0]);
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int out = -1;
    switch (setup.out) {
      case CliSetup::Out::Capture: out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600); break;
      case CliSetup::Out::Full: out = ::open("/dev/full", O_WRONLY); break;
      case CliSetup::Out::ReaderGone: out = pipeEnds[1]; break;
      case CliSetup::Out::Closed: break;
    }
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if ((out < 0 && setup.out != CliSetup::Out::Closed) || err < 0 || ::chdir(cwd.c_str()) != 0 ||
        ::dup2(err, 2) < 0) {
      ::_exit(126);
    }
    if (out >= 0 ? ::dup2(out, 1) < 0 : ::close(1) != 0) ::_exit(126);
    if (!setup.in.empty()) {
      const int in = ::open(setup.in.c_str(), O_RDONLY);
      if (in < 0 || ::dup2(in, 0) < 0) ::_exit(126);
    }
    if (setup.hangAlarm > 0) ::alarm(setup.hangAlarm);
    if (setup.fileSizeLimit >= 0) {
      const struct rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit), static_cast<rlim_t>(setup.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    // A pipe's reader going away must reach the tool as it would from a shell.
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (pipeEnds[1] >= 0) ::close(pipeEnds[1]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  CliRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t end = line.find('\t', start);
    fields.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return fields;
}

}  // namespace lettermoor::test
