#pragma once

// Runs code in a child process under ptrace and watches its system calls return, so that a test
// can kill the child at the exact moment a write or a sync comes back: what is in the file then
// is what a crash at that moment would leave.

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace lettermoor::test {

// One system call as it returns.
struct SyscallReturn {
  pid_t pid = 0;          // the traced process
  uint64_t nr = 0;        // SYS_... number
  uint64_t args[6] = {};  // its arguments, as it was entered
  int64_t result = 0;     // its return value (a negative errno on failure)
};

// What became of the traced child.
struct TraceOutcome {
  bool traced = false;  // false when ptrace is not available here: nothing was run
  bool killedByUs = false;
  int status = 0;       // the wait status
};

// Runs `body` in a forked, traced child (which then ends with _exit(0) unless `body` execs or
// exits itself). `onReturn` sees every system call of the child as it returns; when it gives
// true the child is killed with SIGKILL before it runs another instruction.
inline TraceOutcome TraceChild(const std::function<void()>& body,
                               const std::function<bool(const SyscallReturn&)>& onReturn) {
  TraceOutcome outcome;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return outcome;
  if (pid == 0) {
    if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(111);
    ::raise(SIGSTOP);
    body();
    ::_exit(0);
  }

  int status = 0;
  auto wait = [&] {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  };
  wait();
  if (!WIFSTOPPED(status)) {  // ptrace refused: the child ended on its own
    outcome.status = status;
    return outcome;
  }
  outcome.traced = true;
  ::ptrace(PTRACE_SETOPTIONS, pid, nullptr,
           reinterpret_cast<void*>(static_cast<long>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL)));

  SyscallReturn call;
  call.pid = pid;
  int pass = 0;  // a signal to hand on to the child
  while (true) {
    ::ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(pass)));
    pass = 0;
    wait();
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    const int sig = WSTOPSIG(status);
    if (sig != (SIGTRAP | 0x80)) {
      // The trap of an exec is ours; every other signal belongs to the child.
      if (sig != SIGTRAP) pass = sig;
      continue;
    }
    __ptrace_syscall_info info{};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, pid, reinterpret_cast<void*>(sizeof info), &info) <= 0) continue;
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY) {
      call.nr = info.entry.nr;
      for (int i = 0; i < 6; ++i) call.args[i] = info.entry.args[i];
    } else if (info.op == PTRACE_SYSCALL_INFO_EXIT) {
      call.result = info.exit.rval;
      if (onReturn(call)) {
        ::kill(pid, SIGKILL);
        outcome.killedByUs = true;
        wait();
        while (!WIFEXITED(status) && !WIFSIGNALED(status)) {
          ::ptrace(PTRACE_CONT, pid, nullptr, nullptr);
          wait();
        }
        break;
      }
    }
  }
  outcome.status = status;
  return outcome;
}

// The file a descriptor of a (stopped) traced process refers to, as an absolute path; empty when
// there is none. Sanitizer runtimes and test libraries write to descriptors of their own, so a
// test picks out the ROM's writes by path.
inline std::string DescriptorPath(pid_t pid, int fd) {
  const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  char target[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// The absolute path with every symbolic link resolved, as DescriptorPath gives it.
inline std::string ResolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// True for the calls that write data to a file descriptor (the first argument).
inline bool IsWriteCall(uint64_t nr) {
  return nr == SYS_write || nr == SYS_pwrite64 || nr == SYS_writev || nr == SYS_pwritev;
}

// True for the calls that sync a file descriptor to disk.
inline bool IsSyncCall(uint64_t nr) { return nr == SYS_fsync || nr == SYS_fdatasync; }

}  // namespace lettermoor::test
